#include <tarnwick/engine/DBEngine.h>

#include "DatabaseCore.h"

#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/Error.h>
#include <tarnwick/engine/Database.h>
#include <tarnwick/frame/Activation.h>

#include <algorithm>

namespace tarnwick::engine {

ComPtr<DBEngine> DBEngine::forThisThread() {
  // Made on the thread's first use and kept until the thread ends.
  thread_local ComPtr<DBEngine> engine = makeObject<DBEngine>();
  return engine;
}

ComPtr<Database> DBEngine::openDatabase(const std::filesystem::path& path, bool readOnly) {
  auto core = std::make_shared<DatabaseCore>(path, false, readOnly, busyTimeout_);
  core->connection.setQueryTimeout(queryTimeout_);
  return makeObject<Database>(std::move(core), ComPtr<DBEngine>(this));
}

ComPtr<Database> DBEngine::createDatabase(const std::filesystem::path& path) {
  std::shared_ptr<DatabaseCore> core;
  try {
    core = std::make_shared<DatabaseCore>(path, true, false, busyTimeout_);
    core->connection.setQueryTimeout(queryTimeout_);
    // A new database is an empty one (a server's databases are made by its
    // administrator), which the engine then keeps its catalogue in.
    if (!core->catalogue.tableNames().empty()) raise(errc::DatabaseExists);
    core->catalogue.ensureCatalogue();
  } catch (const Error& e) {
    // A database that could not be made whole is not left behind.
    if (e.number() != errc::DatabaseExists) {
      core.reset();
      discardDatabase(path);
    }
    throw;
  }
  return makeObject<Database>(std::move(core), ComPtr<DBEngine>(this));
}

void DBEngine::attach(Database* database) {
  databases_.push_back(database);
  // A database opened inside a transaction joins it at the current depth.
  for (int i = 0; i < depth_; ++i) database->core()->connection.begin();
}

void DBEngine::detach(Database* database) noexcept { std::erase(databases_, database); }

void DBEngine::beginTrans() {
  for (Database* d : databases_) d->core()->connection.begin();
  ++depth_;
}

void DBEngine::setBusyTimeout(std::int32_t milliseconds) {
  if (milliseconds < 0) raise(errc::InvalidArgument);
  busyTimeout_ = milliseconds;
  for (Database* d : databases_) d->core()->connection.setBusyTimeout(milliseconds);
}

void DBEngine::setQueryTimeout(std::int32_t seconds) {
  if (seconds < 0) raise(errc::InvalidArgument);
  queryTimeout_ = seconds;
}

void DBEngine::commitTrans() {
  if (depth_ == 0) raise(errc::NoTransaction);
  for (Database* d : databases_)
    if (d->core()->connection.transactionDepth() == depth_) d->core()->connection.commit();
  --depth_;
}

void DBEngine::rollback() {
  if (depth_ == 0) raise(errc::NoTransaction);
  for (Database* d : databases_)
    if (d->core()->connection.transactionDepth() == depth_) d->core()->connection.rollback();
  --depth_;
}

namespace {

std::filesystem::path pathOf(Call& call) {
  const std::u16string text = call.text(0);
  if (text.empty()) raise(errc::InvalidArgument);
  return std::filesystem::path(toUtf8(text));
}

const Member<DBEngine> kMembers[] = {
    {u"BeginTrans", 1, kMethod, [](DBEngine& self, Call& call) {
       call.expect(0);
       self.beginTrans();
     }},
    {u"CommitTrans", 2, kMethod, [](DBEngine& self, Call& call) {
       call.expect(0, 1);
       self.commitTrans();
     }},
    {u"Rollback", 3, kMethod, [](DBEngine& self, Call& call) {
       call.expect(0);
       self.rollback();
     }},
    // OpenDatabase(name[, options[, readOnly[, connect]]])
    {u"OpenDatabase", 4, kMethod, [](DBEngine& self, Call& call) {
       call.expect(1, 4);
       const bool readOnly = call.has(2) && call.flag(2);
       auto database = self.openDatabase(pathOf(call), readOnly);
       call.setResult(static_cast<IDispatch*>(database.get()));
     }},
    // CreateDatabase(name[, locale[, options]])
    {u"CreateDatabase", 5, kMethod, [](DBEngine& self, Call& call) {
       call.expect(1, 3);
       auto database = self.createDatabase(pathOf(call));
       call.setResult(static_cast<IDispatch*>(database.get()));
     }},
    {u"Version", 6, kGet, [](DBEngine&, Call& call) {
       call.expect(0);
       call.setResult(std::u16string(u"3.5"));
     }},
    {u"Idle", 7, kMethod, [](DBEngine&, Call& call) { call.expect(0, 1); }},
    {u"BusyTimeout", 8, kProperty, [](DBEngine& self, Call& call) {
       call.expect(0);
       if (call.isPut()) self.setBusyTimeout(toInt32(call.value()));
       else call.setResult(self.busyTimeout());
     }},
    {u"QueryTimeout", 9, kProperty, [](DBEngine& self, Call& call) {
       call.expect(0);
       // A whole number of seconds, as the platform's Integer.
       if (call.isPut()) self.setQueryTimeout(toInt16(call.value()));
       else call.setResult(static_cast<std::int16_t>(self.queryTimeout()));
     }},
};

HRESULT createForThread(const IID& riid, void** object) noexcept {
  if (!object) return E_POINTER;
  *object = nullptr;
  try {
    return DBEngine::forThisThread()->QueryInterface(riid, object);
  } catch (...) {
    return E_OUTOFMEMORY;
  }
}

// Activation by the engine's class identifier hands out the thread's engine.
[[maybe_unused]] const bool registered = [] {
  frame::registerInProcessClass(kDBEngineClassId, u"Tarnwick.DBEngine", createForThread);
  return true;
}();

}  // namespace

std::span<const Member<DBEngine>> DBEngine::members() { return kMembers; }

}  // namespace tarnwick::engine
