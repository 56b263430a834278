// The server's record locks: each an advisory lock of the session, keyed by
// the lock's number; the server lets go of it when the session ends. The
// session's schema is part of the numbers, since one database's schemas
// may each hold a table of the same name and a server's advisory locks
// span them all. A session made again on a new connection takes its locks
// again; one that another session took meanwhile is lost, and its holder
// told so when it saves.
#include "PgConnection.h"

namespace tarnwick::engine {

namespace {

// The server's advisory locks of two 32-bit keys, apart from those of one
// 64-bit key (which the engine takes for other ends).
bool serverLock(PgConnection& server, std::int64_t offset, bool take) {
  PgStatement& s = server.cached(take ? "SELECT pg_try_advisory_lock($1::int, $2::int)"
                                      : "SELECT pg_advisory_unlock($1::int, $2::int)");
  const auto bits = static_cast<std::uint64_t>(offset);
  s.bind(1, static_cast<std::int64_t>(static_cast<std::int32_t>(bits >> 32)));
  s.bind(2, static_cast<std::int64_t>(static_cast<std::int32_t>(bits & 0xFFFFFFFFu)));
  const bool done = s.step() && s.int64(0) != 0;
  s.rewind();
  return done;
}

// Whether another session holds a record's advisory lock, by the server's
// table of locks: asked, not taken, so that users saving the same record at
// once never see each other's question as a lock.
bool heldByAnother(PgConnection& server, std::int64_t offset) {
  PgStatement& s = server.cached(
      "SELECT 1 FROM pg_locks WHERE locktype = 'advisory' AND classid = $1::int::oid AND objid = $2::int::oid "
      "AND objsubid = 2 AND granted AND pid <> pg_backend_pid() LIMIT 1");
  const auto bits = static_cast<std::uint64_t>(offset);
  s.bind(1, static_cast<std::int64_t>(static_cast<std::int32_t>(bits >> 32)));
  s.bind(2, static_cast<std::int64_t>(static_cast<std::int32_t>(bits & 0xFFFFFFFFu)));
  const bool held = s.step();
  s.rewind();
  return held;
}

class ServerLocks final : public RecordLockStore {
 public:
  explicit ServerLocks(PgConnection& server) : server_(server) {}

  std::string scope() override {
    PgStatement& s = server_.cached("SELECT current_schema()");
    std::string schema = s.step() ? std::string(s.text(0)) + "." : std::string(".");
    s.rewind();
    return schema;
  }

  bool take(std::int64_t number) override {
    if (!serverLock(server_, number, true)) return false;
    server_.session().heldLocks.insert(number);
    return true;
  }

  void give(std::int64_t number) noexcept override {
    impl::PgSession& session = server_.session();
    session.heldLocks.erase(number);
    if (session.lostLocks.erase(number)) return;
    try {
      if (server_.isOpen()) serverLock(server_, number, false);
    } catch (...) {
      // A session that is gone holds no locks.
    }
  }

  bool keeps(std::int64_t number) override { return !server_.session().lostLocks.count(number); }

  void clear() noexcept override {
    server_.session().heldLocks.clear();
    server_.session().lostLocks.clear();
  }

  bool heldElsewhere(std::int64_t number) override { return heldByAnother(server_, number); }

 private:
  PgConnection& server_;
};

}  // namespace

void PgConnection::retakeLocks() noexcept {
  impl::PgSession& session = *session_;
  for (auto at = session.heldLocks.begin(); at != session.heldLocks.end();) {
    bool taken = false;
    try {
      taken = serverLock(*this, *at, true);
    } catch (...) {
    }
    if (taken) {
      ++at;
    } else {
      session.lostLocks.insert(*at);
      at = session.heldLocks.erase(at);
    }
  }
}

std::unique_ptr<RecordLockStore> PgConnection::recordLockStore() { return std::make_unique<ServerLocks>(*this); }

}  // namespace tarnwick::engine
