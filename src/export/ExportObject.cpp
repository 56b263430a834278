#include <tarnwick/export/ExportObject.h>

#include <tarnwick/automation/AutomationObject.h>
#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/ErrorCatalogue.h>
#include <tarnwick/automation/Locale.h>
#include <tarnwick/automation/String.h>
#include <tarnwick/export/ExportFile.h>
#include <tarnwick/frame/Activation.h>
#include <tarnwick/frame/ClassCatalogue.h>
#include <tarnwick/frame/DataEngine.h>
#include <tarnwick/frame/ErrorStyles.h>
#include <tarnwick/frame/FieldType.h>

#include <optional>

namespace tarnwick::exports {

namespace {

class ExportObject final : public AutomationObject<ExportObject> {
 public:
  static std::u16string_view typeName() { return u"Export"; }
  static std::span<const Member<ExportObject>> members();

  std::u16string format;
  ExportOptions options;
  bool selectedOnly = false;
  std::u16string title;
  std::u16string locale;
};

// A one-character property: "" for the default (0).
char16_t oneCharacter(const std::u16string& text) {
  if (text.size() > 1) raise(Error(errc::InvalidPropertyValue).noted(quotedName(text) + u" is not one character"));
  return text.empty() ? 0 : text[0];
}

// A database named by its file or URI, opened for the export's reads only
// and closed again; or the caller's own Database object, left open.
class OpenedDatabase {
 public:
  explicit OpenedDatabase(const Variant& database) {
    if ((database.vt & ~VT_BYREF) == VT_DISPATCH) {
      db_ = Object(database);
      return;
    }
    db_ = Object(frame::dbEngine().call(u"OpenDatabase", toText(database), Variant(false), Variant(true)));
    owned_ = true;
  }
  OpenedDatabase(const OpenedDatabase&) = delete;
  OpenedDatabase& operator=(const OpenedDatabase&) = delete;
  ~OpenedDatabase() {
    if (owned_) frame::errorNumberOf([&] { db_.call(u"Close"); });
  }
  const Object& get() const { return db_; }

 private:
  Object db_;
  bool owned_ = false;
};

// The call's work under the object's locale, when it names one.
template <typename F>
void underLocale(const ExportObject& self, F&& body) {
  if (self.locale.empty()) return body();
  const std::optional<Locale> locale = Locale::builtIn(self.locale);
  if (!locale) raise(Error(errc::InvalidPropertyValue).noted(u"locale " + quotedName(self.locale)));
  LocaleScope scope(*locale);
  body();
}

// The printer of the Qt host, by name: a clear error where there is none.
Object printer() {
  try {
    return Object(frame::createObject(kPrinterProgId));
  } catch (const Error& e) {
    if (e.number() != errc::CantCreateObject) throw;
    raise(Error(errc::CantCreateObject)
              .noted(u"printing to PDF needs the Qt host (a program that calls tarnwick::qt::installHost)"));
  }
}

std::int32_t printFile(ExportObject& self, const Variant& source, const Variant& file) {
  return toInt32(printer().call(u"PrintFile", source, file, Variant(self.title), Variant(self.selectedOnly),
                 Variant(self.options.formats.isoDates), Variant(self.options.formats.datePattern)));
}

void exportFile(ExportObject& self, Call& call) {
  const std::u16string fileName = call.text(1);
  self.options.format = formatOf(self.format, toUtf8(fileName));
  Variant& sourceArg = call.arg(0);
  const bool named = (sourceArg.vt & ~VT_BYREF) != VT_DISPATCH;
  std::optional<OpenedDatabase> database;
  Object source;
  if (named) {
    if (!call.has(2))
      raise(Error(errc::InvalidProcedureCall).noted(u"a table or statement is exported from a Database"));
    database.emplace(call.arg(2));
    source = Object(database->get().call(u"OpenRecordset", Variant(toText(sourceArg)),
                                         Variant(frame::kOpenForwardOnly)));
  } else {
    source = Object(sourceArg);
  }
  std::int32_t rows = 0;
  underLocale(self, [&] {
    if (self.options.format == Format::Pdf) {
      rows = printFile(self, Variant(static_cast<IDispatch*>(source.get())), Variant(fileName));
      return;
    }
    const std::unique_ptr<frame::TableSource> table = frame::tableSource(source, self.selectedOnly);
    rows = exportTable(*table, toUtf8(fileName), self.options);
  });
  call.setResult(Variant(rows));
}

template <auto Field>
void textProperty(ExportObject& self, Call& call) {
  call.expect(0);
  if (call.isPut()) self.*Field = toText(call.value());
  else call.setResult(Variant(self.*Field));
}

const Member<ExportObject> kMembers[] = {
    {u"ExportFile", 1, kMethod, [](ExportObject& self, Call& call) {
       call.expect(2, 3);
       exportFile(self, call);
     }},
    {u"PrintFile", 2, kMethod, [](ExportObject& self, Call& call) {
       call.expect(2);
       underLocale(self, [&] { call.setResult(Variant(printFile(self, call.arg(0), Variant(call.text(1))))); });
     }},
    {u"Format", 3, kProperty, textProperty<&ExportObject::format>},
    {u"Separator", 4, kProperty, [](ExportObject& self, Call& call) {
       call.expect(0);
       if (call.isPut()) self.options.separator = oneCharacter(toText(call.value()));
       else call.setResult(Variant(std::u16string(self.options.separator ? 1 : 0, self.options.separator)));
     }},
    {u"ByteOrderMark", 5, kProperty, [](ExportObject& self, Call& call) {
       call.expect(0);
       if (call.isPut()) self.options.byteOrderMark = toBool(call.value());
       else call.setResult(Variant(self.options.byteOrderMark));
     }},
    {u"Header", 6, kProperty, [](ExportObject& self, Call& call) {
       call.expect(0);
       if (call.isPut()) self.options.header = toBool(call.value());
       else call.setResult(Variant(self.options.header));
     }},
    {u"IsoDates", 7, kProperty, [](ExportObject& self, Call& call) {
       call.expect(0);
       if (call.isPut()) self.options.formats.isoDates = toBool(call.value());
       else call.setResult(Variant(self.options.formats.isoDates));
     }},
    {u"DateFormat", 8, kProperty, [](ExportObject& self, Call& call) {
       call.expect(0);
       if (call.isPut()) self.options.formats.datePattern = toText(call.value());
       else call.setResult(Variant(self.options.formats.datePattern));
     }},
    {u"DecimalSeparator", 9, kProperty, [](ExportObject& self, Call& call) {
       call.expect(0);
       if (call.isPut()) self.options.formats.decimalSeparator = oneCharacter(toText(call.value()));
       else call.setResult(Variant(std::u16string(self.options.formats.decimalSeparator ? 1 : 0,
                                                  self.options.formats.decimalSeparator)));
     }},
    {u"SelectedOnly", 10, kProperty, [](ExportObject& self, Call& call) {
       call.expect(0);
       if (call.isPut()) self.selectedOnly = toBool(call.value());
       else call.setResult(Variant(self.selectedOnly));
     }},
    {u"PasteForm", 13, kProperty, [](ExportObject& self, Call& call) {
       call.expect(0);
       if (call.isPut()) self.options.formats.pasteForm = toBool(call.value());
       else call.setResult(Variant(self.options.formats.pasteForm));
     }},
    {u"Title", 11, kProperty, textProperty<&ExportObject::title>},
    {u"Locale", 12, kProperty, textProperty<&ExportObject::locale>},
};

[[maybe_unused]] const bool registered = [] {
  frame::registerInProcessClass(kExportClassId, std::u16string(kExportProgId), &frame::createAndQuery<ExportObject>);
  return true;
}();

}  // namespace

std::span<const Member<ExportObject>> ExportObject::members() { return kMembers; }

}  // namespace tarnwick::exports
