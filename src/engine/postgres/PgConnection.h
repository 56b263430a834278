#pragma once
// Private to the engine: a session with a PostgreSQL server, the server's
// Session and Statement. Everything that speaks libpq lives in this folder
// (libpq's header is included only here).
//
// Statements are prepared on the server once and run with their parameters
// as text. A running statement's rows stream from the server one at a time
// and are read as they are stepped over, so a large result is never held
// whole; only a statement whose LIMIT bounds its rows to a few is read in
// one piece. One session carries one command at a time: when another statement
// (or exec, or a transaction step) needs the session while a statement is
// still streaming, that statement first reads the rest of its rows into its
// own queue and serves them from there.
//
// Commands that open and close a change's savepoint (or its transaction)
// are not sent on their own: they wait for the session's next command and
// go with it in one round trip (a prepared statement's run takes them along
// in the server's pipeline mode), so that saving a record costs one round
// trip rather than three. A write scope that ends before anything was sent
// in it takes back its opening command.
#include "../Storage.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <functional>
#include <unordered_map>
#include <unordered_set>
#include <vector>

struct pg_conn;
struct pg_result;

namespace tarnwick::engine {

class PgConnection;
class PgStatement;

namespace impl {

struct PgResultFree {
  void operator()(pg_result* result) const noexcept;
};
using PgResult = std::unique_ptr<pg_result, PgResultFree>;

// What the connection and its statements share; statements keep it, so a
// statement that outlives its connection finds the session closed (3420)
// rather than gone.
struct PgSession {
  pg_conn* conn = nullptr;
  // The URI without its password, for error texts.
  std::string target;
  // Passwords that the session knows; never shown in an error text.
  std::vector<std::string> secrets;
  // The statement whose rows are still arriving, if any.
  PgStatement* streaming = nullptr;
  // Prepared statements to drop on the server with the next command.
  std::vector<std::string> unprepared;
  // Commands without results that go with the next command.
  std::vector<std::string> deferred;
  // True while the session lasts (its connection is there).
  bool open = false;
  // Counts the times deferred commands went out.
  std::uint64_t sends = 0;
  // A statement's run went out with deferred commands in the server's
  // pipeline mode, which ends when its results have all been read.
  bool pipelined = false;
  std::int64_t changes = 0;
  std::uint64_t names = 0;
  // The connection went down under a command (found by the command's
  // failure): the session's owner makes a new one at its next command.
  bool lost = false;
  // Counts the connections the session has had, the lost one counted gone
  // when found lost: a statement prepared on an earlier one is prepared
  // again before its next run.
  std::uint64_t generation = 1;
  // The depth of the open transaction, and how many of its levels went
  // with a lost connection (the client has yet to end them).
  int depth = 0;
  int lostLevels = 0;
  // Write scopes open outside a transaction (each its own transaction).
  int scopes = 0;
  // Advisory locks this session holds (taken again on a new connection),
  // and those that another session took while the connection was down.
  std::unordered_set<std::int64_t> heldLocks, lostLocks;
  // Makes a new connection for a lost one; set by the session's owner.
  std::function<void()> renew;
  // Behind a transaction pooler ("pool_mode=transaction" in the connection
  // text): nothing lives in the server connection beyond a transaction, so
  // statements go unnamed with their text, and the session's settings go
  // with every transaction (`settings`, a command that sets them for the
  // transaction it runs in).
  bool pooled = false;
  std::string settings;
  // How long a command waits for the server's answer before the session is
  // given up (0: as long as it takes). The server stops a statement at the
  // query timeout itself; this is for a server that cannot answer at all
  // (a process stopped, a machine gone without a word).
  int answerMilliseconds = 0;
  // The wait ran out: the connection was shut, and the failure it brings
  // is the timeout's.
  bool timedOut = false;
  // The command to put before another so that its transaction has the
  // session's settings (empty where none is needed: not pooled, or inside
  // a transaction, which has them since its start).
  const std::string& settingsFor() const noexcept;

  ~PgSession();
  void close() noexcept;
  // Frees the session for a new command (the streaming statement other than
  // `next` reads its rest ahead) and drops what waits to be dropped.
  // A lost connection is made anew first (see PgConnection::renew).
  void claim(const PgStatement* next);
  void dropUnprepared() noexcept;
  // The deferred commands, as one text to put before a command's own
  // (empty when there are none); they count as sent.
  std::string takeDeferred();
  // Runs `sql` after the deferred commands, in one round trip.
  PgResult run(const std::string& sql);
  // Waits until the next result of the command under way can be read
  // without blocking, at most answerMilliseconds; when that runs out the
  // connection is shut, so that reading fails at once.
  void awaitAnswer() noexcept;
  // The next result of the command under way (libpq's PQgetResult, after
  // awaitAnswer).
  PgResult answer() noexcept;
  // All results of a command just sent, as libpq's PQexec gives them: the
  // last (null when the command did not go).
  PgResult collect(bool sent) noexcept;
  // The next result of the running command; at its end, the end of the
  // pipeline it ran in.
  PgResult next() noexcept;
  // Reads what is left of a pipeline up to its end and leaves pipeline
  // mode; the first failed command's result goes to `failure` if given.
  void endPipeline(PgResult* failure = nullptr) noexcept;
  // Whether `command` waits last among the deferred commands, not sent
  // since `since` sends; it is then taken back.
  bool takeBack(std::string_view command, std::uint64_t since) noexcept;
  // Notes the rows changed by a finished command.
  void noteChanges(const pg_result* result) noexcept;
  // The engine's error for a failed command (`result` may be null: the
  // failure is then the session's own, such as a lost connection). A
  // connection found down is marked lost, and with it the open transaction.
  [[noreturn]] void fail(const pg_result* result);
  // The error of a run that a lost connection cut off, found after a new
  // connection was made.
  [[noreturn]] void failCut() const;
  // Marks the connection lost (and what lived in it gone).
  void markLost() noexcept;
  // Marks the connection lost, if it is down; true when it is.
  bool noteLoss() noexcept;
  // A text from the server or from libpq, on one line, without any password.
  std::u16string clean(std::string_view message) const;
};

// Whether a command's result says it ran to its end: a server's completion
// carries its tag ("SELECT 3", "COMMIT"); a result without one is libpq's
// own, made up for a connection that went.
bool completed(const pg_result* result) noexcept;

inline constexpr std::string_view kScopeBegin = "BEGIN", kScopeSavepoint = "SAVEPOINT tw_write",
                                  kScopeRelease = "RELEASE SAVEPOINT tw_write";

// The commands that open and close a change, which go with every saved
// record: prepared once per session, so that the server does not read them
// again for each record.
struct PreparedCommand {
  std::string_view text;
  const char* name;
};
inline constexpr PreparedCommand kPreparedCommands[] = {
    {kScopeBegin, "tw_begin"}, {kScopeSavepoint, "tw_savepoint"}, {kScopeRelease, "tw_release"}};

// The name of a command prepared once per session, or null.
inline const char* preparedName(std::string_view command) noexcept {
  for (const PreparedCommand& c : kPreparedCommands)
    if (c.text == command) return c.name;
  return nullptr;
}

// A value as the server writes it, or Null.
struct PgCell {
  std::string_view text;
  bool null = true;
};

}  // namespace impl

// The rows of one result, kept past the statement's next step; values are
// decoded as PgStatement::value decodes them.
class PgRows final : public KeptRows {
 public:
  PgRows(impl::PgResult result, std::vector<unsigned> types) noexcept;
  void readRow(int row, int first, const FieldInfo* fields, std::size_t count, Variant* out) const override;

 private:
  impl::PgResult result_;
  std::vector<unsigned> types_;
  int rows_ = 0;
};

// A statement prepared on the server; dropped there when it goes.
class PgStatement final : public Statement {
 public:
  PgStatement(PgConnection& connection, std::string_view sql);
  ~PgStatement() override;

  // Parameters count from 1; the server reads each from its text. Those
  // left unbound are Null.
  void bindNull(int index) override;
  void bind(int index, std::int64_t value) override;
  void bind(int index, double value) override;
  void bind(int index, std::string_view utf8) override;
  void bind(int index, std::string&& utf8) override { bind(index, std::string_view(utf8)); }
  // An engine value, stored the way its field type keeps it, in the form
  // the parameter's server type reads (a date as a timestamp, a yes/no as a
  // boolean, bytes as bytea). A text holding a NUL character is refused
  // (3146): the server's texts cannot keep one.
  void bind(int index, const Variant& value, FieldType type) override;
  using Statement::bind;
  int parameterCount() const noexcept { return parameters_; }

  // Steps once: true when a row is ready, false when done (the next step
  // runs the statement again). Failures throw the engine's error for them.
  bool step() override;
  // Ends a run; reset() clears the bindings too, rewind() keeps them.
  void reset() noexcept override;
  void rewind() noexcept override;
  // Sends the run now, for rows wanted later, while the caller goes on with
  // other work: only when the session carries nothing else and no
  // transaction is open (a run that failed there would spoil it unasked);
  // false when it did not go. Its rows are stepped over as any run's; a
  // command that needs the session first reads them into this statement's
  // queue, so they show the records as they were before that command.
  bool sendAhead() override;
  // The number of the run under way (runs count from 1), 0 when none is:
  // whoever sent a run ahead knows from it that nobody has since reset the
  // statement or run it again.
  std::uint64_t runUnderWay() const noexcept override { return running_ ? runs_ : 0; }
  // Takes in what has arrived of this statement's rows while they stream,
  // so that the server is not held up sending a run sent ahead.
  void absorb() noexcept override;
  // The bytes the server sent for the current row's values.
  std::size_t rowBytes() const noexcept override;

  // The result's columns, known before the first step.
  int columnCount() const noexcept override;
  std::string columnName(int column) const override;
  bool isNull(int column) const noexcept override;
  // Whole numbers and yes/no as integers, floating and numeric types as
  // reals, everything else as text.
  StoredKind kind(int column) const noexcept override;
  std::int64_t int64(int column) const noexcept override;
  double real(int column) const noexcept override;
  std::string_view text(int column) const noexcept override;
  // The stored values of `count` columns from `first`, as the server writes
  // them: equal images mean equal values.
  std::string image(int first, int count) const override;
  // Names from the server's catalogue; on the server, every result column
  // has a type, expressions too.
  std::string originTable(int column) const override;
  std::string originColumn(int column) const override;
  std::string declaredType(int column) const override;
  // What the server says of a result column: the table (0 for none) and
  // its column number a value comes from, and the value's type.
  unsigned tableOid(int column) const noexcept;
  int tableColumn(int column) const noexcept;
  unsigned typeOid(int column) const noexcept;
  int typeModifier(int column) const noexcept;
  // The value as the server types it: integers and booleans as integers,
  // floating and numeric types as doubles, everything else as text.
  void raw(int column, RawValue& value) const override;
  using Statement::raw;
  // The column as an engine value of `type`; currency read from a numeric
  // column keeps all its digits.
  Variant value(int column, FieldType type) const override;
  // The result holding the current row, shared from now on (see
  // Statement::keepRows), and the row's place in it.
  std::shared_ptr<const KeptRows> keepRows() override;
  const KeptRows* keptNow() const noexcept override { return kept_.get(); }
  int keptRow() const noexcept override { return rowIndex_; }
  int rowIndex() const noexcept { return rowIndex_; }

 private:
  friend struct impl::PgSession;
  friend class PgConnection;
  // Prepares the statement on the session's connection (again, on a new
  // connection).
  void prepareOnServer();
  void start();
  // Sends the run behind the deferred commands, in one round trip.
  void startPipelined(const std::vector<const char*>& values);
  // Sends the run itself: by the statement's name, or (unnamed, behind a
  // pooler) with its text.
  bool sendRun(const char* const* values);
  // Reads what is left of this statement's results into its queue.
  void readAhead() noexcept;
  // Drops what is left of this run.
  void discard() noexcept;
  impl::PgResult nextResult() noexcept;
  // Makes `result` the rows being stepped over.
  void adopt(impl::PgResult result) noexcept;
  // A column of the current row, or Null (also for a column that is not there).
  impl::PgCell cell(int column) const noexcept;
  // Lets go of the current result (kept rows stay with whoever keeps them).
  void dropRows() noexcept;

  std::shared_ptr<impl::PgSession> session_;
  // Asked for the names of the server's catalogue (a recordset keeps its
  // database, and with it the connection, as long as its statements).
  PgConnection* connection_;
  // The statement as the server reads it.
  std::string text_;
  std::string name_;
  // The generation of the session's connection it was prepared on.
  std::uint64_t preparedIn_ = 0;
  int parameters_ = 0;
  std::vector<std::optional<std::string>> values_;
  impl::PgResult description_;
  // The result whose rows are being stepped over: owned here (row_), or
  // shared once kept (kept_); result_ is whichever holds it.
  impl::PgResult row_;
  std::shared_ptr<PgRows> kept_;
  pg_result* result_ = nullptr;
  // The columns of the result and their server types, read once per result
  // (once per statement for the types) rather than once per value.
  int columns_ = 0;
  std::vector<unsigned> types_;
  std::deque<impl::PgResult> ahead_;
  // The current row within the result (a result holds one row when streamed, all
  // of them when read whole).
  int rowIndex_ = 0;
  // The statement's rows are few (a small LIMIT bounds them, or its text
  // lists them): they come in one result rather than one result per row,
  // each of which libpq builds whole with a copy of the columns'
  // description.
  bool whole_ = false;
  bool running_ = false;
  // The run's end came (the server marks it): rows that stop without it
  // were cut off.
  bool ended_ = false;
  std::uint64_t runIn_ = 0;
  std::uint64_t runs_ = 0;
};

// One session with a server database.
class PgConnection final : public Session {
 public:
  // Opens a session from a connection URI (or libpq's key=value text), with
  // libpq's usual sources for what the URI leaves out (its environment,
  // password file and service file). Fails with 3151: the platform's text
  // with the target (without its password), then the server's message.
  explicit PgConnection(std::string_view uri);
  // The same, as a database's session: read-only (every transaction of
  // the session is), waiting `busyMilliseconds` for locks, and with the
  // engine's functions on the server (made there when missing).
  PgConnection(std::string_view uri, bool readOnly, int busyMilliseconds);
  ~PgConnection() override;
  // Whether a database's name is a connection text rather than a file's
  // path: a URI ("postgresql://...", or of another scheme, which then
  // fails to open) or libpq's key=value form ("host=... dbname=...").
  static bool names(std::string_view name) noexcept;

  const Dialect& dialect() const noexcept override;
  std::u16string name() const override;
  bool readOnly() const noexcept override { return readOnly_; }
  const bool& openFlag() const noexcept override { return session_->open; }
  std::uint64_t generation() const noexcept override { return session_->generation; }
  std::string copyStem() const override;
  bool pooled() const noexcept { return session_->pooled; }
  pg_conn* handle() const noexcept { return session_->conn; }
  impl::PgSession& session() const noexcept { return *session_; }
  const std::string& target() const noexcept { return session_->target; }
  bool isOpen() const noexcept { return session_->conn != nullptr; }

  std::unique_ptr<Statement> prepare(std::string_view sql) override;
  // Runs statements without results (several may be separated by ";").
  void exec(std::string_view sql) override;
  // The session's statements are its own kind (see Session::cached).
  PgStatement& cached(const std::string& sql) { return static_cast<PgStatement&>(Session::cached(sql)); }
  std::shared_ptr<PgStatement> sharedCached(const std::string& sql) {
    return std::static_pointer_cast<PgStatement>(Session::sharedCached(sql));
  }
  // Names from the server's catalogue, for describing a result's columns
  // (empty when there is none).
  std::string relationName(unsigned oid);
  std::string attributeName(unsigned table, int column);
  // The type as the server writes it ("character varying(20)").
  std::string typeName(unsigned type, int modifier);
  // Rows changed by the last insert, update or delete.
  std::int64_t changes() const noexcept override { return session_->changes; }

  // How long a statement waits for a record or table that another session
  // has locked before it fails with 3260 (0: it fails at once). Until it is
  // set, a session waits as long as the server lets it.
  void setBusyTimeout(int milliseconds) override;
  // The server's statement_timeout, kept here so that it can be applied
  // again: to a new session, and after a rollback undid a change of it
  // made inside the transaction (see restoreSettings).
  void setQueryTimeout(int seconds) override;
  int queryTimeout() const noexcept override { return querySeconds_; }

  // Nested transactions, the depth counting from 1; the levels below the
  // outermost are savepoints. A statement that fails inside a transaction
  // spoils the server's transaction up to the innermost level: only a
  // rollback of that level makes it usable again, and a commit of a spoilt
  // transaction fails (3146) having rolled it back.
  int transactionDepth() const noexcept override;
  void begin() override;
  void commit() override;
  void rollback() override;

  // One change of a record: a transaction of its own when none is open,
  // and inside one a savepoint, so that a change the server refuses is
  // undone alone and leaves the open transaction usable.
  WriteMark openWrite() override;
  void commitWrite(WriteMark& mark) override;
  bool undoWrite(WriteMark& mark) noexcept override;
  using WriteScope = engine::WriteScope;

  std::unique_ptr<CatalogueStore> catalogueStore() override;
  std::unique_ptr<RecordLockStore> recordLockStore() override;

 protected:
  void closeStorage() noexcept override;

 private:
  friend class PgStatement;
  // The session's settings, and the commands sent with every change
  // prepared on the server.
  void setUp();
  // What a database's session sets beside: read-only, the wait for locks,
  // the engine's functions.
  // `fresh`: the database's first session here (not one made again).
  void setUpDatabase(bool fresh);
  // Makes a new connection for a lost one (see the session's renew).
  void renew();
  // Makes the table of leased record locks (behind a pooler) if the
  // database lacks it.
  void ensureLockTable();
  // Takes the session's record locks again on a new connection; those that
  // another session took meanwhile are lost.
  void retakeLocks() noexcept;
  // What became of the transaction numbered `number` on `server` (its
  // address and start time) whose commit went unanswered: committed
  // (true), rolled back (false) or unknown.
  std::optional<bool> commitOutcome(const std::string& number, int formerPid, const std::string& server) noexcept;
  void checkOpen() const;
  // Commits the server's transaction; one that a failed statement spoilt is
  // rolled back instead, and that is an error.
  void commitOnServer();
  std::shared_ptr<impl::PgSession> session_;
  // Makes the command that sets the session's settings for a transaction
  // (behind a pooler).
  void composeSettings();
  // The connection text as given, password and all, for new connections;
  // never shown (the engine's own parameters taken out).
  std::string text_;
  // Names the session's copies of records and its record locks apart from
  // other sessions' behind a pooler.
  std::string holder_;
  bool readOnly_ = false;
  int busyMilliseconds_ = 0;
  std::unordered_map<std::uint64_t, std::string> typeNames_;
  int querySeconds_ = 0;
  // A setting was changed inside a transaction: a rollback undoes it on
  // the server, and restoreSettings sends it again.
  bool settingsInTransaction_ = false;
  void restoreSettings();
};

// The engine's statements mark their parameters "?" or "?n"; the server
// reads "$n". Quoted texts and names are left as they are.
std::string serverParameters(std::string_view sql);

}  // namespace tarnwick::engine
