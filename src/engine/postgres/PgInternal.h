#pragma once
// Private to the server backend: what its session, its connection texts,
// its connection and its transactions share.
#include "PgConnection.h"

#include <string>
#include <string_view>

namespace tarnwick::engine::impl {

bool startsWith(std::string_view text, std::string_view prefix) noexcept;
// A field of a failed result (empty when there is none).
std::string_view field(const pg_result* result, int code) noexcept;
// Whether the server's error ends the session: its connection failed, or
// the server stopped the session (an administrator, a shutdown, a crash).
bool endsSession(std::string_view state) noexcept;

// What an error of a lost session adds: a call outside a transaction opens
// a new session; a transaction cannot go on in one.
inline constexpr std::u16string_view kLostSession = u"the server session was lost; the next call opens a new one";
inline constexpr std::u16string_view kLostTransaction =
    u"the server session was lost, and with it the open transaction: nothing of it was saved; end it with Rollback";
// Error 3146 with `detail` after the platform's text.
[[noreturn]] void raiseLost(std::u16string detail);

// Sends one command of a pipeline: a command prepared once per session by
// its name (none is behind a pooler).
bool sendCommand(pg_conn* conn, const std::string& command, bool pooled = false);

// Connection texts (PgConnectionText.cpp).
// A connection text without its password: a URI's user information keeps
// only the user and its query is left out; a key=value text is shown by its
// parsed parts, several hosts each with its port.
std::string shownTarget(const std::string& text);
// The password a connection text carries.
std::string passwordOf(const std::string& text);
// Takes the engine's own parameter "pool_mode" out of a connection text.
std::string takePoolMode(std::string& text);
// A name of the session's own, for what other sessions may see.
std::string randomHolder();
// A connection by `text`; fails with 3151: the platform's text with the
// target (without its password), then the server's message.
pg_conn* connectTo(const std::string& text, PgSession& session);

}  // namespace tarnwick::engine::impl
