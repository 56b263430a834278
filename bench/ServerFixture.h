#pragma once
// What the benchmarks on a database server share: the server that
// TARNWICK_TEST_PG names (bench/server.sh starts a private one), a schema of
// the benchmark's own on it, dropped after the run, a raw libpq session in
// that schema, and tables the engine creates and libpq fills on the server.
#include "SqliteFixture.h"

#include <tarnwick/automation/Object.h>
#include <tarnwick/automation/String.h>

#include <libpq-fe.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

namespace tarnwick::bench {

// Why a benchmark on the server did not run.
inline constexpr const char* kNoServer = "TARNWICK_TEST_PG names no server (bench/server.sh starts one)";

inline const char* serverUri() {
  const char* uri = std::getenv("TARNWICK_TEST_PG");
  return uri && *uri ? uri : nullptr;
}

// A raw session; a failed connection or command ends the run.
class RawSession {
 public:
  explicit RawSession(const std::string& uri) : conn_(PQconnectdb(uri.c_str())) {
    if (PQstatus(conn_) != CONNECTION_OK) die(nullptr);
    PQsetNoticeProcessor(conn_, [](void*, const char*) {}, nullptr);
  }
  ~RawSession() { PQfinish(conn_); }
  RawSession(const RawSession&) = delete;
  RawSession& operator=(const RawSession&) = delete;
  PGconn* get() const { return conn_; }

  void exec(const std::string& sql) const { ok(PQexec(conn_, sql.c_str())); }
  void prepare(const char* name, const std::string& sql) const {
    ok(PQprepare(conn_, name, sql.c_str(), 0, nullptr));
  }
  // Clears a command's result, ending the run when the command failed.
  void ok(PGresult* result) const {
    const ExecStatusType status = PQresultStatus(result);
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) die(result);
    PQclear(result);
  }

 private:
  [[noreturn]] void die(PGresult* result) const {
    std::fprintf(stderr, "server: %s\n", result ? PQresultErrorMessage(result) : PQerrorMessage(conn_));
    std::abort();
  }
  PGconn* conn_;
};

// A schema of its own on the server for one benchmark program, made on
// first use (a run that only lists the benchmarks makes none) and dropped
// when the program ends; uri() opens sessions whose search path names it,
// for the engine and for libpq alike.
class ServerSchema {
 public:
  explicit ServerSchema(const char* name) : prefix_(name) {}
  // Dropped through the session that made it: a new session cannot start
  // this late, when the program's exit has already taken down what libpq's
  // password exchange uses.
  ~ServerSchema() {
    if (admin_) admin_->exec("DROP SCHEMA IF EXISTS " + name_ + " CASCADE");
  }
  ServerSchema(const ServerSchema&) = delete;
  ServerSchema& operator=(const ServerSchema&) = delete;
  bool available() { return !uri().empty(); }
  const std::string& uri() {
    if (made_) return uri_;
    made_ = true;
    const char* server = serverUri();
    if (!server) return uri_;
    name_ = prefix_ + "_" + std::to_string(::getpid());
    admin_ = std::make_unique<RawSession>(server);
    admin_->exec("DROP SCHEMA IF EXISTS " + name_ + " CASCADE; CREATE SCHEMA " + name_);
    uri_ = std::string(server) + (std::string(server).find('?') == std::string::npos ? "?" : "&") +
           "options=-csearch_path%3D" + name_;
    return uri_;
  }
  std::u16string name() { return fromUtf8(uri()); }
  // The engine's database in the schema: created by the first call, which
  // gives it the engine's own catalogue, and opened by the others.
  Object open() {
    const bool first = !created_;
    created_ = true;
    return Object(engineObject().call(first ? u"CreateDatabase" : u"OpenDatabase", name()));
  }

 private:
  std::string prefix_, name_, uri_;
  std::unique_ptr<RawSession> admin_;
  bool made_ = false;
  bool created_ = false;
};

// The name of the sample table of `rows` records ("t1000"). Built piece by
// piece: GCC 12 at -O3 warns falsely of overlapping copies in "t" + text.
inline std::string sampleTableName(int rows) {
  std::string name = "t";
  name += std::to_string(rows);
  return name;
}

// Fills table `table`, which the engine made with the sample fields (and so
// with its row key; the engine keeps its names' case, so they are quoted), with `rows` records in one server-side statement: the
// values are those of the file benchmarks' sample tables.
inline void fillServerTable(const RawSession& raw, const std::string& table, int rows) {
  raw.exec("INSERT INTO " + table +
           " (\"Id\", \"A\", \"B\", \"C\", \"D\", \"E\") SELECT i, i * 7 % 1000, i * 0.25, 'name' || i,"
           " timestamp '1998-01-01' + (i % 3000) * interval '1 day', i % 2 = 1"
           " FROM generate_series(1, " + std::to_string(rows) + ") AS i; ANALYZE " + table);
}

// Whether `table` already exists in the session's schema.
inline bool serverTableExists(const RawSession& raw, const std::string& table) {
  PGresult* result = PQexec(raw.get(), ("SELECT to_regclass('" + table + "') IS NOT NULL").c_str());
  const bool exists = PQresultStatus(result) == PGRES_TUPLES_OK && PQgetvalue(result, 0, 0)[0] == 't';
  PQclear(result);
  return exists;
}

}  // namespace tarnwick::bench
