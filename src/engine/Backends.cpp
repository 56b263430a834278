// The backends the engine knows, one row each, and which one a database's
// name belongs to: the one place above the backends' folders that names
// them. A third backend is a third row (and a third folder).
#include "Connection.h"

#include <tarnwick/engine/DBEngine.h>

#include "postgres/PgConnection.h"
#include "sqlite/SqliteSession.h"

#include <array>

namespace tarnwick::engine {

namespace {

struct Backend {
  // Whether a database's name is one of this backend's.
  bool (*names)(std::string_view name) noexcept;
  std::unique_ptr<Session> (*open)(const std::filesystem::path& name, bool create, bool readOnly, int busyMilliseconds);
  // Removes what a creation that failed left behind.
  void (*discard)(const std::filesystem::path& name) noexcept;
};

bool anyName(std::string_view) noexcept { return true; }

const std::array<Backend, 2> kBackends{{
    {PgConnection::names,
     [](const std::filesystem::path& name, bool, bool readOnly, int busyMilliseconds) -> std::unique_ptr<Session> {
       return std::make_unique<PgConnection>(name.native(), readOnly, busyMilliseconds);
     },
     // A server's database keeps what was made: its tables are the
     // administrator's to drop.
     [](const std::filesystem::path&) noexcept {}},
    // Any other name is a file's path.
    {anyName,
     [](const std::filesystem::path& name, bool create, bool readOnly, int busyMilliseconds) -> std::unique_ptr<Session> {
       return std::make_unique<SqliteSession>(name, create, readOnly, busyMilliseconds);
     },
     SqliteSession::discard},
}};

const Backend& backendOf(const std::filesystem::path& name) noexcept {
  for (const Backend& b : kBackends)
    if (b.names(name.native())) return b;
  return kBackends.back();
}

}  // namespace

std::unique_ptr<Session> openSession(const std::filesystem::path& name, bool create, bool readOnly,
                                     int busyMilliseconds) {
  return backendOf(name).open(name, create, readOnly, busyMilliseconds);
}

void discardDatabase(const std::filesystem::path& name) noexcept { backendOf(name).discard(name); }

bool namesConnection(std::u16string_view name) noexcept {
  std::string text;
  for (const char16_t c : name) text += c < 0x80 ? static_cast<char>(c) : '\x80';
  return &backendOf(text) != &kBackends.back();
}

}  // namespace tarnwick::engine
