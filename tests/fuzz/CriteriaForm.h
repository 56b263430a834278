#pragma once
// A search form on the headless host and the Orders sample database, for
// the two criteria routines: controls whose tags and typed values come from
// the fuzzer's input, the routine called by name as a client calls it, and
// the condition it returns run against the real database.
#include "FuzzInput.h"

#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/Object.h>
#include <tarnwick/dataaccess/DataAccessWrapper.h>
#include <tarnwick/engine/DBEngine.h>
#include <tarnwick/engine/Database.h>
#include <tarnwick/engine/SampleDatabase.h>
#include <tarnwick/frame/ClassCatalogue.h>
#include <tarnwick/host/FormDescription.h>
#include <tarnwick/host/MessageBox.h>
#include <tarnwick/host/Services.h>

#include <array>
#include <memory>

namespace tarnwick::fuzz {

// Counts what routines show, without keeping it.
class QuietMessageBox final : public host::MessageBox {
 public:
  std::int32_t show(const std::u16string&, std::int32_t, const std::u16string&) override {
    ++shown;
    return host::mb::OK;
  }
  std::size_t shown = 0;
};

// Well-formed tags over the sample database's fields, each of the kind its
// field holds, picked by a line "#<digit>"; any other line is a tag as written.
inline constexpr int kDateTag = 4;
inline constexpr int kNoTag = 9;
inline constexpr std::array<const char16_t*, 10> kSearchTags = {
    u"S=Orders([Note])",          u"S=Customers([City])",       u"S=Customers([Name])",
    u"S=Orders([Qty])!Number;",   u"S=Orders([OrderDate])!Date;", u"S=Orders([OrderId])!Number;",
    u"S=Orders([Paid])!Number;",  u"S=OrderLines([Price])!Number;", u"S=OrderLines([Product])",
    u""};

class CriteriaForm {
 public:
  CriteriaForm() {
    const std::filesystem::path file = scratchFolder() / "orders.db";
    engine::createSampleDatabase(file, 12);
    database = Object(engine::DBEngine::forThisThread()->openDatabase(file, true).as<IDispatch>());
    form = Object(host::loadFormText(R"(form frmSearch {
  TextBox txtFind[0] {
  }
  TextBox txtFind[1] {
  }
  TextBox txtFind[2] {
  }
  TextBox txtFind[3] {
  }
  TextBox txtFind[4] {
  }
  TextBox txtFind[5] {
  }
  CheckBox chkFind[0] {
  }
  ComboBox cboFind[0] {
  }
})").as<IDispatch>());
    ComPtr<IDispatch> instance;
    check(frame::createAndQuery<dataaccess::DataAccessWrapper>(IID_IDispatch, instance.putVoid()) == S_OK,
          "no DataAccessWrapper");
    dataAccess = Object(instance);
    host::setMessageBox(box);
  }

  // Sets control `index` of `array` from two lines of input: its tag, then
  // what the user typed. The tag's place in kSearchTags, -1 for another tag.
  int fill(Input& input, std::u16string_view array, std::int32_t index) {
    const Object control(Object(form.get(array)).get(u"Item", {Variant(index)}));
    const std::string_view tagLine = input.line();
    int known = -1;
    std::u16string tag;
    if (tagLine.size() == 2 && tagLine[0] == '#' && tagLine[1] >= '0' && tagLine[1] <= '9') {
      known = tagLine[1] - '0';
      tag = kSearchTags[static_cast<std::size_t>(known)];
    } else {
      tag = fromUtf8(tagLine);
    }
    control.put(u"Tag", Variant(tag));
    const std::u16string typed = input.textLine();
    // Every pair of "<", ">" and "=" counts as the operator the user typed,
    // "==" and "><" too, and goes into the condition as typed: such a
    // condition is the user's to get wrong, so it proves nothing here.
    const auto isOperator = [&](std::size_t i) { return i < typed.size() && std::u16string_view(u"<>=").find(typed[i]) != std::u16string_view::npos; };
    if (isOperator(0) && isOperator(1) && typed.substr(0, 2) != u"<>" && typed.substr(0, 2) != u"<=" &&
        typed.substr(0, 2) != u">=")
      known = -1;
    try {
      if (array == u"chkFind") {
        control.put(u"Value", Variant(static_cast<std::int16_t>(typed.empty() ? 0 : typed[0] % 3)));
      } else {
        control.put(u"Text", Variant(typed));
      }
    } catch (const Error&) {
      // A text the control refuses stays out, as it would for a user.
    }
    return known;
  }

  // Runs a statement the routine returned; the engine may find no such
  // records, but it must be able to read the statement.
  void runs(const std::u16string& statement) {
    try {
      const Object records(database.call(u"OpenRecordset", statement));
      while (!toBool(records.get(u"EOF"))) records.call(u"MoveNext");
    } catch (const Error& e) {
      fail("the condition does not run", statement + u" : " + e.description());
    }
  }

  Object database;
  Object form;
  Object dataAccess;
  std::shared_ptr<QuietMessageBox> box = std::make_shared<QuietMessageBox>();
};

inline CriteriaForm& criteriaForm() {
  static CriteriaForm f;
  return f;
}

}  // namespace tarnwick::fuzz
