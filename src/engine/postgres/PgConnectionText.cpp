// Connection texts (a URI, libpq's key=value form, the engine's own
// parameter for poolers) and making a connection by one.
#include "PgInternal.h"

#include <tarnwick/automation/Error.h>
#include <tarnwick/automation/String.h>
#include <tarnwick/frame/HostServices.h>

#include <libpq-fe.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <mutex>
#include <random>
#include <set>

namespace tarnwick::engine {

namespace impl {

namespace {

void ignoreNotice(void*, const char*) {}

// A connection over the network that asked for encryption only where the
// server offers it (libpq's sslmode "prefer", its default, or "allow") and
// got none is said in the host's message log, once per server and database
// in the process: its texts, passwords among them, cross the network as
// they are. A session through the server's local socket is not told.
void noteIfUnencrypted(pg_conn* conn, const std::string& target) {
  if (PQsslInUse(conn)) return;
  const char* host = PQhost(conn);
  if (!host || *host == '/' || *host == '@') return;
  std::string mode;
  if (PQconninfoOption* options = PQconninfo(conn)) {
    for (const PQconninfoOption* o = options; o->keyword; ++o)
      if (o->val && std::string_view(o->keyword) == "sslmode") mode = o->val;
    PQconninfoFree(options);
  }
  if (mode != "prefer" && mode != "allow") return;
  static std::mutex mutex;
  static std::set<std::string> told;
  {
    const std::lock_guard lock(mutex);
    if (!told.insert(target).second) return;
  }
  frame::logMessage(u"The connection to '" + fromUtf8(target) + u"' is not encrypted: it asked for encryption only " +
                    u"where the server offers it (sslmode=" + fromUtf8(mode) +
                    u") and the server offers none. Ask for sslmode=verify-full to refuse such a connection.");
}

}  // namespace

std::string shownTarget(const std::string& text) {
  char* error = nullptr;
  PQconninfoOption* options = PQconninfoParse(text.c_str(), &error);
  PQfreemem(error);
  if (!options) {
    const auto scheme = text.find("://");
    if (scheme == std::string::npos) return text.find('=') == std::string::npos ? text : std::string();
    std::string shown = text.substr(0, text.find('?'));
    const auto at = shown.find('@', scheme + 3);
    const auto colon = shown.find(':', scheme + 3);
    if (at != std::string::npos && colon < at) shown.erase(colon, at - colon);
    return shown;
  }
  std::string user, host, port, dbname;
  for (const PQconninfoOption* o = options; o->keyword; ++o) {
    if (!o->val) continue;
    const std::string_view key = o->keyword;
    if (key == "user") user = o->val;
    else if (key == "host" || (key == "hostaddr" && host.empty())) host = o->val;
    else if (key == "port") port = o->val;
    else if (key == "dbname") dbname = o->val;
  }
  PQconninfoFree(options);
  std::string shown = "postgresql://";
  if (!user.empty()) shown += user + '@';
  // Several servers: each host with its port ("h1:p1,h2:p2"); a single
  // port stands for all of them.
  const auto item = [](const std::string& list, std::size_t index) {
    std::size_t from = 0;
    for (std::size_t i = 0; i < index && from != std::string::npos; ++i) {
      from = list.find(',', from);
      if (from != std::string::npos) ++from;
    }
    if (from == std::string::npos) return std::string();
    return list.substr(from, list.find(',', from) - from);
  };
  const std::size_t hosts = static_cast<std::size_t>(std::count(host.begin(), host.end(), ',')) + 1;
  const bool onePort = port.find(',') == std::string::npos;
  for (std::size_t i = 0; i < hosts; ++i) {
    if (i > 0) shown += ',';
    shown += item(host, i);
    const std::string p = onePort ? port : item(port, i);
    if (!p.empty()) shown += ':' + p;
  }
  if (!dbname.empty()) shown += '/' + dbname;
  return shown;
}

// A text that libpq cannot parse
// is searched by the rules of its two forms: libpq's message about it may
// quote it whole.
std::string passwordOf(const std::string& text) {
  char* error = nullptr;
  PQconninfoOption* options = PQconninfoParse(text.c_str(), &error);
  PQfreemem(error);
  std::string password;
  if (options) {
    for (const PQconninfoOption* o = options; o->keyword; ++o) {
      if (o->val && std::string_view(o->keyword) == "password") password = o->val;
    }
    PQconninfoFree(options);
    return password;
  }
  if (const auto scheme = text.find("://"); scheme != std::string::npos) {
    const auto at = text.find('@', scheme + 3);
    const auto colon = text.find(':', scheme + 3);
    if (at != std::string::npos && colon < at) password = text.substr(colon + 1, at - colon - 1);
  } else if (const auto key = text.find("password"); key != std::string::npos) {
    auto from = text.find_first_not_of(" =", key + 8);
    if (from != std::string::npos && text[from] == '\'') ++from;
    if (from != std::string::npos) password = text.substr(from, text.find_first_of(" '", from) - from);
  }
  return password;
}

// Takes the engine's own parameter "pool_mode" out of a connection text
// (libpq knows no such parameter): "transaction" when the server is
// reached through a transaction pooler. In a URI it is one of the query's
// parameters, in the key=value form one of the pairs.
std::string takePoolMode(std::string& text) {
  constexpr std::string_view kKey = "pool_mode=";
  std::string mode;
  const bool uri = text.find("://") != std::string::npos;
  for (std::size_t at = text.find(kKey); at != std::string::npos; at = text.find(kKey, at + 1)) {
    const char before = at == 0 ? ' ' : text[at - 1];
    if (uri ? before != '?' && before != '&' : before != ' ' && before != '\t') continue;
    std::size_t end = at + kKey.size();
    while (end < text.size() && text[end] != '&' && text[end] != ' ' && text[end] != '\t') ++end;
    mode = text.substr(at + kKey.size(), end - at - kKey.size());
    // The parameter goes with one separator: the one after it, or else the
    // one before.
    std::size_t from = at, to = end;
    if (to < text.size()) ++to;
    else if (from > 0 && (text[from - 1] == '&' || (!uri && text[from - 1] == ' '))) --from;
    text.erase(from, to - from);
    if (uri && !text.empty() && text.back() == '?') text.pop_back();
    break;
  }
  return mode;
}

std::string randomHolder() {
  std::random_device random;
  char text[17];
  std::snprintf(text, sizeof text, "%08x%08x", random(), random());
  return text;
}

pg_conn* connectTo(const std::string& text, impl::PgSession& session) {
  // A server that does not answer is given up after ten seconds, unless the
  // text says otherwise; texts always travel as UTF-8.
  const char* const keys[] = {"connect_timeout", "dbname", "client_encoding", "fallback_application_name", nullptr};
  const char* const values[] = {"10", text.c_str(), "UTF8", "tarnwick", nullptr};
  PGconn* conn = PQconnectdbParams(keys, values, 1);
  if (!conn) raise(errc::OutOfMemory);
  // The password libpq found elsewhere (its environment, its password file).
  if (const char* password = PQpass(conn); password && *password) {
    if (std::find(session.secrets.begin(), session.secrets.end(), password) == session.secrets.end())
      session.secrets.emplace_back(password);
  }
  if (PQstatus(conn) != CONNECTION_OK) {
    const std::u16string message = session.clean(PQerrorMessage(conn));
    PQfinish(conn);
    raise(Error(errc::OdbcConnectionFailed,
                describe(errc::OdbcConnectionFailed, session.clean(session.target)) + u' ' + message));
  }
  noteIfUnencrypted(conn, session.target);
  // The server's notices (a table dropped only if it exists) are not errors.
  PQsetNoticeProcessor(conn, &ignoreNotice, nullptr);
  return conn;
}

}  // namespace impl

bool PgConnection::names(std::string_view name) noexcept {
  // A URI of any scheme ("word://"), or libpq's key=value form (a first
  // word followed by "="): never a file's path, though only the server's
  // own schemes and keywords open (libpq then tells what is wrong with the
  // rest). A file whose name starts so is named with a folder ("./a=b").
  std::size_t word = 0;
  while (word < name.size() && (std::isalnum(static_cast<unsigned char>(name[word])) || name[word] == '_' ||
                                (word > 0 && (name[word] == '+' || name[word] == '-' || name[word] == '.'))))
    ++word;
  if (word == 0) {
    // Leading blanks go before a key=value text's first word.
    const auto first = name.find_first_not_of(" \t");
    return first != std::string_view::npos && first > 0 && names(name.substr(first));
  }
  if (name.substr(word, 3) == "://") return true;
  std::size_t at = word;
  while (at < name.size() && (name[at] == ' ' || name[at] == '\t')) ++at;
  return at < name.size() && name[at] == '=' && name.substr(0, word).find_first_of("+-.") == std::string_view::npos;
}

}  // namespace tarnwick::engine
