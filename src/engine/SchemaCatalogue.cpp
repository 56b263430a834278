#include "SchemaCatalogue.h"

#include <tarnwick/automation/String.h>

#include <algorithm>
#include <tarnwick/automation/Error.h>

namespace tarnwick::engine {

int TableInfo::fieldIndex(std::u16string_view field) const noexcept {
  for (std::size_t i = 0; i < fields.size(); ++i)
    if (equalsIgnoreCase(fields[i].name, field)) return static_cast<int>(i);
  return -1;
}

const IndexInfo* TableInfo::index(std::u16string_view wanted) const noexcept {
  for (const IndexInfo& i : indexes)
    if (equalsIgnoreCase(i.name, wanted)) return &i;
  return nullptr;
}

void applyRecordedField(FieldInfo& f, std::int64_t type, std::int64_t size, bool required, bool allowZeroLength,
                        std::int64_t attributes) {
  f.type = static_cast<FieldType>(type);
  f.size = static_cast<std::int32_t>(size);
  f.required = required || f.required;
  f.allowZeroLength = allowZeroLength;
  f.autoIncrement = (attributes & kAutoIncrField) != 0;
}

void bindRecordedField(Statement& s, std::string_view table, const FieldInfo& f) {
  s.bind(1, table);
  s.bind(2, std::string_view(toUtf8(f.name)));
  s.bind(3, static_cast<std::int64_t>(f.type));
  s.bind(4, static_cast<std::int64_t>(f.size));
  s.bind(5, static_cast<std::int64_t>(f.required ? 1 : 0));
  s.bind(6, static_cast<std::int64_t>(f.allowZeroLength ? 1 : 0));
  s.bind(7, static_cast<std::int64_t>(f.autoIncrement ? kAutoIncrField : 0));
}

SchemaCatalogue::SchemaCatalogue(Session& session) : session_(session), store_(session.catalogueStore()) {}

SchemaCatalogue::~SchemaCatalogue() = default;

const Dialect& SchemaCatalogue::dialect() const noexcept { return session_.dialect(); }

void SchemaCatalogue::invalidate() noexcept { cache_.clear(); }

void SchemaCatalogue::ensureCatalogue() { store_->ensureCatalogue(); }

std::vector<std::u16string> SchemaCatalogue::tableNames() { return store_->tableNames(); }

std::shared_ptr<const TableInfo> SchemaCatalogue::table(std::u16string_view name) {
  const std::int64_t current = store_->schemaVersion();
  if (current != schemaVersion_) {
    cache_.clear();
    schemaVersion_ = current;
  }
  for (const auto& t : cache_)
    if (equalsIgnoreCase(t->name, name)) return t;
  auto loaded = load(name);
  if (loaded) cache_.push_back(loaded);
  return loaded;
}

std::shared_ptr<TableInfo> SchemaCatalogue::load(std::u16string_view name) {
  std::optional<StoredTable> stored = store_->describe(name);
  if (!stored) return nullptr;
  TableInfo& info = *stored->info;
  // The engine's own record of its fields, over what the storage says.
  if (store_->hasCatalogue()) {
    Statement& rules = session_.cached(
        "SELECT field_name, type, size, required, allow_zero_length, attributes FROM tarnwick_fields "
        "WHERE table_name = ?1");
    rules.bind(1, std::string_view(stored->name));
    while (rules.step()) {
      const int at = info.fieldIndex(fromUtf8(rules.text(0)));
      if (at < 0) continue;
      FieldInfo& f = info.fields[static_cast<std::size_t>(at)];
      if (stored->requiredByKey[static_cast<std::size_t>(at)]) f.required = false;
      applyRecordedField(f, rules.int64(1), rules.int64(2), rules.int64(3) != 0, rules.int64(4) != 0, rules.int64(5));
    }
  }
  return std::move(stored->info);
}

void SchemaCatalogue::record(std::u16string_view table, const std::vector<FieldInfo>& fields) {
  ensureCatalogue();
  const std::string tableName = toUtf8(table);
  for (const FieldInfo& f : fields) {
    Statement& insert = session_.cached(
        "INSERT INTO tarnwick_fields VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7) ON CONFLICT (table_name, field_name) "
        "DO UPDATE SET type = excluded.type, size = excluded.size, required = excluded.required, "
        "allow_zero_length = excluded.allow_zero_length, attributes = excluded.attributes");
    bindRecordedField(insert, tableName, f);
    insert.step();
  }
  invalidate();
}

void SchemaCatalogue::forget(std::u16string_view table) {
  invalidate();
  if (!store_->hasCatalogue()) return;
  // Names compare without regard to the letter case of ASCII letters.
  Statement& remove = session_.cached("DELETE FROM tarnwick_fields WHERE lower(table_name) = lower(?1)");
  remove.bind(1, std::string_view(toUtf8(table)));
  remove.step();
}

void SchemaCatalogue::setRule(std::u16string_view table, const FieldInfo& field) { record(table, {field}); }

}  // namespace tarnwick::engine
