#include <tarnwick/frame/TableSource.h>

#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/String.h>
#include <tarnwick/frame/Controls.h>
#include <tarnwick/frame/FieldType.h>
#include <tarnwick/frame/RecordReader.h>

#include <tarnwick/automation/DateTime.h>
#include <tarnwick/automation/Locale.h>

#include <algorithm>
#include <cmath>
#include <optional>

namespace tarnwick::frame {

TableSource::~TableSource() = default;

namespace {

CellKind kindOf(FieldType type) {
  switch (type) {
    case FieldType::Boolean: return CellKind::YesNo;
    case FieldType::Byte: case FieldType::Integer: case FieldType::Long: case FieldType::Currency:
    case FieldType::Single: case FieldType::Double: case FieldType::BigInt: case FieldType::Numeric:
    case FieldType::Decimal: case FieldType::Float: return CellKind::Number;
    case FieldType::Date: return CellKind::Date;
    default: return CellKind::Text;
  }
}

bool isBinary(FieldType type) { return type == FieldType::Binary || type == FieldType::LongBinary; }

// A field read by its position in the record source's Fields.
struct ReadField {
  Object field;
  DISPID valueId;
  std::int32_t position;
};

// Records of a record source, all of them from the first, or those of a
// list of bookmarks; cells are fields.
class RecordRows final : public TableSource {
 public:
  RecordRows(const Object& records, std::optional<std::vector<Variant>> bookmarks)
      : records_(records),
        bookmarks_(std::move(bookmarks)),
        reader_(records_, bookmarks_ ? RecordReader::Uses::Bookmarks : RecordReader::Uses::Walk) {
    if (bookmarks_) total_ = static_cast<std::int32_t>(bookmarks_->size());
  }

  // A column for field `field` at `position`, shown as `column` says.
  void addColumn(Object field, std::int32_t position, SourceColumn column) {
    const DISPID valueId = field.idOf(u"Value");
    fields_.push_back({std::move(field), valueId, position});
    columns_.push_back(std::move(column));
  }
  // A column with no field behind it: its cells are Null.
  void addEmptyColumn(SourceColumn column) {
    fields_.push_back({Object(), 0, -1});
    columns_.push_back(std::move(column));
  }

  bool next() override {
    if (bookmarks_) {
      if (row_ >= bookmarks_->size()) return false;
      reader_.setBookmark((*bookmarks_)[row_++]);
      return true;
    }
    if (row_++ == 0) {
      // An empty record source has no first record to move to.
      if (toBool(records_.get(u"EOF")) && toBool(records_.get(u"BOF"))) return false;
      records_.call(u"MoveFirst");
    } else {
      reader_.moveNext();
    }
    return !toBool(reader_.eof());
  }

  const Variant& cell(std::size_t column) override {
    const ReadField& f = fields_[column];
    if (f.position < 0) return null_;
    return reader_.value(f.field, f.valueId, f.position);
  }

 private:
  Object records_;
  std::optional<std::vector<Variant>> bookmarks_;
  RecordReader reader_;
  std::vector<ReadField> fields_;
  std::size_t row_ = 0;
  Variant null_ = Variant::null();
};

// The fields of a record source by name, each with its position.
std::vector<std::pair<std::u16string, std::pair<Object, std::int32_t>>> fieldsOf(const Object& records) {
  std::vector<std::pair<std::u16string, std::pair<Object, std::int32_t>>> list;
  std::int32_t position = 0;
  for (Object& field : collectionItems(Object(records.get(u"Fields")))) {
    std::u16string name = toText(field.get(u"Name"));
    list.push_back({std::move(name), {std::move(field), position++}});
  }
  return list;
}

FieldType typeOf(const Object& field) { return static_cast<FieldType>(toInt16(field.get(u"Type"))); }

// A flex grid's cells through TextMatrix, the rows below its fixed rows.
class FlexRows final : public TableSource {
 public:
  explicit FlexRows(const Object& grid) : grid_(grid) {
    const std::int32_t rows = toInt32(grid.get(u"Rows"));
    const std::int32_t cols = toInt32(grid.get(u"Cols"));
    const std::int32_t fixed = toInt32(grid.get(u"FixedRows"));
    for (std::int32_t c = 0; c < cols; ++c) {
      const std::int32_t width = toInt32(grid.get(u"ColWidth", {Variant(c)}));
      if (width <= 1) continue;  // a hidden column
      SourceColumn column;
      if (fixed > 0) column.caption = toText(grid.get(u"TextMatrix", {Variant(fixed - 1), Variant(c)}));
      column.width = width;
      columns_.push_back(std::move(column));
      cols_.push_back(c);
    }
    for (std::int32_t r = fixed; r < rows; ++r)
      if (toInt32(grid.get(u"RowHeight", {Variant(r)})) > 1) rows_.push_back(r);
    total_ = static_cast<std::int32_t>(rows_.size());
  }

  bool next() override { return row_++ < rows_.size(); }

  const Variant& cell(std::size_t column) override {
    text_ = grid_.get(u"TextMatrix", {Variant(rows_[row_ - 1]), Variant(cols_[column])});
    return text_;
  }

 private:
  Object grid_;
  std::vector<std::int32_t> cols_;
  std::vector<std::int32_t> rows_;
  std::size_t row_ = 0;
  Variant text_;
};

}  // namespace

void appendCellText(std::u16string& out, const Variant& value, const CellFormats& formats) {
  const VARTYPE vt = value.vt & ~VT_BYREF;
  if (vt == VT_EMPTY || vt == VT_NULL || (value.vt & VT_ARRAY)) return;
  if (formats.pasteForm && vt != VT_BSTR && vt != VT_DATE) return appendNumberText(out, value);
  if (vt == VT_DATE && (formats.pasteForm || formats.isoDates || !formats.datePattern.empty())) {
    const DATE serial = toDate(value);
    const bool hasTime = serial != std::trunc(serial);
    if (formats.isoDates || formats.pasteForm) out += formatDate(serial, hasTime ? u"yyyy-mm-dd hh:nn:ss" : u"yyyy-mm-dd");
    else out += formatDate(serial, formats.datePattern);
    return;
  }
  const std::size_t start = out.size();
  appendText(out, value);
  if (formats.decimalSeparator != 0 && vt != VT_BSTR && vt != VT_DATE && vt != VT_BOOL) {
    const char16_t own = userLocale().decimalSeparator;
    for (std::size_t i = start; i < out.size(); ++i)
      if (out[i] == own) out[i] = formats.decimalSeparator;
  }
}

std::unique_ptr<TableSource> recordsetSource(const Object& records) {
  auto rows = std::make_unique<RecordRows>(records, std::nullopt);
  for (auto& [name, field] : fieldsOf(records)) {
    const FieldType type = typeOf(field.first);
    if (isBinary(type)) continue;
    rows->addColumn(std::move(field.first), field.second, SourceColumn{name, kindOf(type), 0});
  }
  return rows;
}

std::unique_ptr<TableSource> dataGridSource(const Object& grid, bool selectedOnly) {
  const Object records(Object(grid.get(u"DataSource")).get(u"Recordset"));
  std::optional<std::vector<Variant>> bookmarks;
  if (selectedOnly) {
    const Object marks(grid.get(u"SelBookmarks"));
    const std::int32_t count = toInt32(marks.get(u"Count"));
    bookmarks.emplace();
    for (std::int32_t i = 0; i < count; ++i) {
      Variant index[] = {Variant(i)};
      bookmarks->push_back(marks.invoke(DISPID_VALUE, DISPATCH_PROPERTYGET | DISPATCH_METHOD, index, nullptr));
    }
  }
  auto rows = std::make_unique<RecordRows>(records, std::move(bookmarks));
  auto fields = fieldsOf(records);
  for (Object& column : collectionItems(Object(grid.get(u"Columns")))) {
    if (!toBool(column.get(u"Visible"))) continue;
    const std::u16string dataField = toText(column.get(u"DataField"));
    std::u16string caption = toText(column.get(u"Caption"));
    if (caption.empty()) caption = dataField;
    const std::int32_t width = toInt32(column.get(u"Width"));
    auto found = std::find_if(fields.begin(), fields.end(), [&](const auto& f) {
      return !dataField.empty() && equalsIgnoreCase(f.first, dataField);
    });
    if (found == fields.end() || isBinary(typeOf(found->second.first))) {
      rows->addEmptyColumn(SourceColumn{std::move(caption), CellKind::Text, width});
      continue;
    }
    const CellKind kind = kindOf(typeOf(found->second.first));
    rows->addColumn(found->second.first, found->second.second, SourceColumn{std::move(caption), kind, width});
  }
  return rows;
}

std::unique_ptr<TableSource> flexGridSource(const Object& grid, bool) { return std::make_unique<FlexRows>(grid); }

std::unique_ptr<TableSource> tableSource(const Object& source, bool selectedOnly) {
  const std::u16string type = source.typeName();
  if (type == u"DBGrid") return dataGridSource(source, selectedOnly);
  if (type == u"MSFlexGrid") return flexGridSource(source, selectedOnly);
  return recordsetSource(source);
}

}  // namespace tarnwick::frame
