// The dialect translator, every statement kind, conditions and sort texts:
// any text is translated or refused with one of the engine's errors, never
// read past its end. A condition is written wholly by the translator, so
// what it writes must compile in the storage whatever the text (typed text
// cannot change its shape). Statements pass the words the dialect shares
// with the storage through unchanged and leave their order to the storage's
// parser, so there a refusal of the storage is the answer, and only
// compiling the translation is asked; the same holds for a subquery inside
// a condition, which is a statement of its own.
#include "FuzzInput.h"
#include "../../src/engine/Connection.h"
#include "../../src/engine/SchemaCatalogue.h"
#include "../../src/engine/SqlDialect.h"
#include "../../src/engine/SqlLexer.h"

#include <tarnwick/engine/DBEngine.h>
#include <tarnwick/engine/SampleDatabase.h>

#include <memory>

using namespace tarnwick;
using namespace tarnwick::engine;

namespace {

struct Storage {
  Storage() {
    const std::filesystem::path file = fuzz::scratchFolder() / "orders.db";
    createSampleDatabase(file, 5);
    connection = std::make_unique<Connection>(file, false, true, DBEngine::kDefaultBusyTimeout);
    catalogue = std::make_unique<SchemaCatalogue>(connection->session());
  }
  std::unique_ptr<Connection> connection;
  std::unique_ptr<SchemaCatalogue> catalogue;
};

bool holdsSubquery(std::u16string_view condition) {
  for (const Token& t : lex(condition).tokens)
    if (isWord(t, u"SELECT")) return true;
  return false;
}

Storage& storage() {
  static Storage s;
  return s;
}

// The storage compiles what the translator wrote; when `strict`, its
// refusals may only be about names and types, never about the text's shape.
void compiles(const std::string& sql, std::u16string_view from, bool strict) {
  try {
    storage().connection->prepare(sql);
  } catch (const Error& e) {
    if (!strict) return;
    const std::u16string& d = e.description();
    for (const char16_t* shape : {u"syntax error", u"unrecognized token", u"incomplete input"})
      fuzz::check(d.find(shape) == std::u16string::npos, "the translation does not compile",
                  std::u16string(from) + u" -> " + fromUtf8(sql) + u" : " + d);
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  storage();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::Input input(data, size);
  const std::uint8_t choice = input.byte();
  const std::u16string text = input.textRest();
  try {
    switch (choice % 4) {
      case 0: {
        const TranslatedStatement st = translateStatement(text, *storage().catalogue);
        compiles(st.sql, text, false);
        break;
      }
      case 1: {
        const auto orders = storage().catalogue->table(u"Orders");
        const std::string condition =
            translateCondition(text, tableResolver(*orders), nullptr, storage().connection->dialect());
        compiles("SELECT 1 FROM " + orders->quoted + " WHERE " + condition, text, !holdsSubquery(text));
        break;
      }
      case 2: (void)parseSort(text); break;
      case 3: {
        const std::u16string deletion = shownRecordsDeletion(text);
        const TranslatedStatement st = translateStatement(deletion, *storage().catalogue);
        compiles(st.sql, deletion, false);
        break;
      }
    }
  } catch (const Error&) {
    // The engine's refusal of a text it cannot read: what it should do.
  }
  return 0;
}
