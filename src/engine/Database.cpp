#include <tarnwick/engine/Database.h>

#include "Cursor.h"
#include "DatabaseCore.h"
#include "SqlDialect.h"

#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/Error.h>
#include <tarnwick/engine/Collection.h>
#include <tarnwick/engine/DBEngine.h>
#include <tarnwick/engine/Recordset.h>
#include <tarnwick/engine/TableDef.h>

namespace tarnwick::engine {

Database::Database(std::shared_ptr<DatabaseCore> core, ComPtr<DBEngine> engine)
    : core_(std::move(core)), engine_(std::move(engine)) {
  if (engine_) engine_->attach(this);
}

// A database object let go while recordsets still read it stays open for
// them (it leaves the workspace); Close closes it for them too.
Database::~Database() {
  if (core_.use_count() == 1) {
    close();
  } else if (!closed_ && engine_) {
    engine_->detach(this);
  }
}

void Database::close() noexcept {
  if (closed_) return;
  closed_ = true;
  if (engine_) engine_->detach(this);
  // Changes of transactions still open are not kept.
  core_->connection.close();
  core_->locks.clear();
}

std::int32_t Database::queryTimeout() const {
  core_->connection.checkOpen();
  return core_->connection.queryTimeout();
}

void Database::setQueryTimeout(std::int32_t seconds) {
  core_->connection.checkOpen();
  if (seconds < 0) raise(errc::InvalidArgument);
  core_->connection.setQueryTimeout(seconds);
}

namespace {

// A table's name alone, bracketed or not, with nothing after it.
bool looksLikeName(std::u16string_view text) {
  if (!text.empty() && text.front() == u'[' && text.back() == u']') return true;
  for (char16_t c : text)
    if (c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'*' || c == u',' || c == u'=' || c == u'(') return false;
  return !text.empty();
}

}  // namespace

void Database::execute(std::u16string_view sql) {
  core_->connection.checkOpen();
  const TranslatedStatement statement = translateStatement(sql, core_->catalogue);
  if (statement.kind == TranslatedStatement::Kind::Select) raise(errc::SelectNotAction);
  if (core_->connection.readOnly()) raise(errc::ReadOnly);
  Connection& c = core_->connection;
  // A statement runs whole or not at all; so does a table with its types.
  // It has a level of transaction of its own (a savepoint inside one): a
  // server undoes a refused statement only with the level around it.
  c.begin();
  try {
    std::unique_ptr<Statement> run;
    try {
      run = c.prepare(statement.sql);
    } catch (const Error& e) {
      if (e.number() == errc::InvalidArgument) raise(errc::SyntaxError, sql);
      throw;
    }
    run->step();
    core_->recordsAffected = c.changes();
    if (statement.kind == TranslatedStatement::Kind::CreateTable) core_->catalogue.record(statement.table, statement.fields);
    if (statement.kind == TranslatedStatement::Kind::DropTable) core_->catalogue.forget(statement.table);
    c.commit();
  } catch (...) {
    try {
      c.rollback();
    } catch (...) {
    }
    core_->catalogue.invalidate();
    throw;
  }
  if (statement.kind != TranslatedStatement::Kind::Action) core_->catalogue.invalidate();
  c.noteWrite();
}

void Database::deleteShownRecords(std::u16string_view recordSource) {
  core_->connection.checkOpen();
  execute(shownRecordsDeletion(recordSource));
}

ComPtr<Recordset> Database::openRecordset(std::u16string_view source, std::int16_t type) {
  core_->connection.checkOpen();
  if (type != 0 && type != kOpenTable && type != kOpenDynaset && type != kOpenSnapshot && type != kOpenForwardOnly)
    raise(errc::InvalidArgument);
  Source made;
  std::u16string name(source);
  if (looksLikeName(source)) {
    if (name.front() == u'[') name = name.substr(1, name.size() - 2);
    auto table = core_->catalogue.table(name);
    if (!table) raise(errc::TableNotFound, name);
    if (type == 0) type = kOpenTable;
    // A server's table without the engine's row key (made by another
    // program) is read through a copy, read-only.
    if (!table->rowKey) {
      std::string sql = "SELECT ";
      for (std::size_t i = 0; i < table->fields.size(); ++i) sql += (i ? ", " : "") + table->fields[i].column;
      return makeObject<Recordset>(std::make_shared<Cursor>(materialise(core_, sql + " FROM " + table->quoted,
                                                                        table->name, kOpenSnapshot)));
    }
    made.db = core_;
    made.table = table;
    made.name = table->name;
    made.type = type;
    if (type == kOpenSnapshot) {
      Cursor whole(made);
      return makeObject<Recordset>(std::make_shared<Cursor>(whole.derive({}, {}, kOpenSnapshot)));
    }
  } else {
    if (type == kOpenTable) raise(errc::InvalidOperation);
    if (type == 0) type = kOpenDynaset;
    const TranslatedStatement statement = translateStatement(source, core_->catalogue);
    if (statement.kind != TranslatedStatement::Kind::Select) raise(errc::InvalidOperation);
    if (statement.singleTable && type != kOpenSnapshot) {
      made.db = core_;
      made.table = core_->catalogue.table(statement.table);
      made.name = name;
      made.type = type;
      Cursor whole(made);
      made = whole.derive(statement.where, statement.orderBy, type);
    } else {
      // Several tables, a field list or a snapshot: the records are copied.
      try {
        made = materialise(core_, statement.sql, name, type, statement.dateColumns);
      } catch (const Error& e) {
        if (e.number() == errc::InvalidArgument) raise(errc::SyntaxError, source);
        throw;
      }
    }
  }
  return makeObject<Recordset>(std::make_shared<Cursor>(std::move(made)));
}

namespace {

Database& open(Database& self) {
  self.core()->connection.checkOpen();
  return self;
}

const Member<Database> kMembers[] = {
    {u"Name", 1, kGet, [](Database& self, Call& call) {
       call.expect(0);
       call.setResult(self.core()->name);
     }},
    {u"Execute", 2, kMethod, [](Database& self, Call& call) {
       call.expect(1, 2);
       open(self).execute(call.text(0));
     }},
    {u"OpenRecordset", 3, kMethod, [](Database& self, Call& call) {
       call.expect(1, 4);
       const std::int16_t type = call.has(1) ? call.int16(1) : std::int16_t{0};
       auto recordset = open(self).openRecordset(call.text(0), type);
       call.setResult(static_cast<IDispatch*>(recordset.get()));
     }},
    {u"TableDefs", 4, kGet | kMethod, [](Database& self, Call& call) {
       call.expect(0, 1);
       open(self);
       auto tables = makeObject<Collection>(u"TableDefs");
       for (const std::u16string& name : self.core()->catalogue.tableNames())
         tables->add(name, makeObject<TableDef>(self.core(), name).as<IDispatch>());
       if (call.count() == 1) call.setResult(tables->item(call.arg(0)));
       else call.setResult(static_cast<IDispatch*>(tables.get()));
     }},
    {u"Close", 5, kMethod, [](Database& self, Call& call) {
       call.expect(0);
       open(self).close();
     }},
    {u"RecordsAffected", 6, kGet, [](Database& self, Call& call) {
       call.expect(0);
       call.setResult(static_cast<std::int32_t>(self.core()->recordsAffected));
     }},
    {u"Updatable", 7, kGet, [](Database& self, Call& call) {
       call.expect(0);
       call.setResult(!open(self).core()->connection.readOnly());
     }},
    // This engine's own: DeleteShownRecords(recordSource) deletes exactly the
    // records a recordset opened on the record source shows, as one action
    // statement (RecordsAffected counts them); 3251 for a record source whose
    // records no single statement names.
    {u"DeleteShownRecords", 8, kMethod, [](Database& self, Call& call) {
       call.expect(1);
       open(self).deleteShownRecords(call.text(0));
     }},
    {u"QueryTimeout", 9, kProperty, [](Database& self, Call& call) {
       call.expect(0);
       // A whole number of seconds, as the platform's Integer.
       if (call.isPut()) self.setQueryTimeout(toInt16(call.value()));
       else call.setResult(static_cast<std::int16_t>(self.queryTimeout()));
     }},
};

}  // namespace

std::span<const Member<Database>> Database::members() { return kMembers; }

}  // namespace tarnwick::engine
