// The server's record locks: each an advisory lock of the session, keyed by
// the lock's number; the server lets go of it when the session ends. The
// session's schema is part of the numbers, since one database's schemas
// may each hold a table of the same name and a server's advisory locks
// span them all. A session made again on a new connection takes its locks
// again; one that another session took meanwhile is lost, and its holder
// told so when it saves.
#include "PgConnection.h"

#include <tarnwick/automation/Error.h>

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

// The session's schema, which sets its lock numbers apart.
std::string schemaScope(PgConnection& server) {
  PgStatement& s = server.cached("SELECT current_schema()");
  std::string schema = s.step() ? std::string(s.text(0)) + "." : std::string(".");
  s.rewind();
  return schema;
}

class ServerLocks final : public RecordLockStore {
 public:
  explicit ServerLocks(PgConnection& server) : server_(server) {}

  std::string scope() override {
    return schemaScope(server_);
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
  // Leased locks are rows of the database: they outlive the connection.
  if (session.pooled) return;
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

// Behind a transaction pooler a session's advisory locks would belong to
// whichever server connection it had at the time: the locks are rows of a
// table of the database's own instead, each naming its holder (a name of
// the session's own) and a lease. A lock whose lease ran out is free to
// take; the holder renews its lease whenever it uses the lock, and the
// lease of a session that went runs out by itself. A session gives back
// its locks when it closes.
class LeasedLocks final : public RecordLockStore {
 public:
  LeasedLocks(PgConnection& server, std::string holder) : server_(server), holder_(std::move(holder)) {}

  // The table is made when the database opens (see PgConnection), never
  // here: a lock is asked for inside a record's write.
  std::string scope() override {
    return schemaScope(server_);
  }

  bool take(std::int64_t number) override {
    return ask("INSERT INTO tarnwick_locks VALUES ($1, $2, now() + " + lease() +
                   ") ON CONFLICT (number) DO UPDATE SET holder = excluded.holder, expires = excluded.expires "
                   "WHERE tarnwick_locks.expires < now() OR tarnwick_locks.holder = excluded.holder RETURNING 1",
               number);
  }

  void give(std::int64_t number) noexcept override {
    try {
      if (server_.isOpen()) ask("DELETE FROM tarnwick_locks WHERE number = $1 AND holder = $2 RETURNING 1", number);
    } catch (...) {
      // Its lease runs out.
    }
  }

  bool heldElsewhere(std::int64_t number) override {
    return ask("SELECT 1 FROM tarnwick_locks WHERE number = $1 AND holder <> $2 AND expires >= now()", number);
  }

  // Still this session's when its row names it: the lease is renewed then.
  bool keeps(std::int64_t number) override {
    return ask("UPDATE tarnwick_locks SET expires = now() + " + lease() +
                   " WHERE number = $1 AND holder = $2 RETURNING 1",
               number);
  }

  void clear() noexcept override {
    try {
      if (!server_.isOpen()) return;
      PgStatement& s = server_.cached("DELETE FROM tarnwick_locks WHERE holder = $1");
      s.bind(1, std::string_view(holder_));
      s.step();
      s.rewind();
    } catch (...) {
    }
  }

 private:
  // How long a lock stays its holder's without being used.
  static std::string lease() { return "interval '" + std::to_string(kLeaseSeconds) + " seconds'"; }
  static constexpr int kLeaseSeconds = 300;

  bool ask(const std::string& sql, std::int64_t number) {
    PgStatement& s = server_.cached(sql);
    s.bind(1, number);
    s.bind(2, std::string_view(holder_));
    const bool found = s.step();
    s.rewind();
    return found;
  }

  PgConnection& server_;
  std::string holder_;
};

void PgConnection::ensureLockTable() {
  // On its own, so that losing a race to make the table spoils nothing.
  try {
    WriteScope made(*this);
    exec("CREATE TABLE IF NOT EXISTS tarnwick_locks (number bigint PRIMARY KEY, holder text NOT NULL, "
         "expires timestamptz NOT NULL)");
    made.commit();
  } catch (const Error& e) {
    if (e.number() != errc::DuplicateKey) throw;
  }
}

std::unique_ptr<RecordLockStore> PgConnection::recordLockStore() {
  if (session_->pooled) return std::make_unique<LeasedLocks>(*this, holder_);
  return std::make_unique<ServerLocks>(*this);
}

}  // namespace tarnwick::engine
