// An error says what is at fault (the member, the field, the control) in
// its note, while its number and description stay the platform's: the note
// crosses the binary interfaces with the error, from the object that failed
// through a routine to the caller.
#include "../engine/EngineTesting.h"
#include "ClassTesting.h"

#include <tarnwick/automation/Convert.h>
#include <tarnwick/dataaccess/DataAccessWrapper.h>

#include <gtest/gtest.h>

#include <functional>
#include <optional>

namespace tarnwick {
namespace {

using testing::formFrom;
using testing::instanceOf;
using testing::MessageBoxScope;
using testing::TempDir;

std::optional<Error> failure(const std::function<void()>& body) {
  try {
    body();
  } catch (const Error& e) {
    return e;
  }
  return std::nullopt;
}

TEST(ErrorNotes, NameTheMemberFieldAndControlAfterThePlatformsText) {
  LocaleScope locale{Locale::enUS()};
  MessageBoxScope box;
  TempDir dir;
  const Object db = testing::makeOrdersDatabase(dir / "orders.db");
  const Object form = formFrom(R"FORM(form frmOrder {
  TextBox txtQty {
    Tag = "Orders([Qty])"
  }
  ComboBox cboCustomer {
    Tag = "Orders([Customer])"
    Style = 2
    AddItem "Jones"
  }
})FORM");

  // A member the object does not have.
  const auto member = failure([&] { Object(form.get(u"txtQty")).get(u"Txet"); });
  ASSERT_TRUE(member);
  EXPECT_EQ(member->number(), errc::MemberNotSupported);
  EXPECT_EQ(member->description(), standardDescription(errc::MemberNotSupported));
  EXPECT_EQ(member->note(), u"member 'Txet'");
  EXPECT_EQ(member->message(), u"Object doesn't support this property or method (member 'Txet')");

  // A field the recordset does not have, by name and by position, read
  // directly or through the Fields collection.
  const Object orders(db.call(u"OpenRecordset", u"Orders"));
  const auto field = failure([&] { orders.call(u"Collect", u"Qyt"); });
  ASSERT_TRUE(field);
  EXPECT_EQ(field->number(), errc::ItemNotFound);
  EXPECT_EQ(field->description(), u"Item not found in this collection.");
  EXPECT_EQ(field->note(), u"field 'Qyt'");
  const auto position = failure([&] { orders.call(u"Collect", Variant(99)); });
  ASSERT_TRUE(position);
  EXPECT_EQ(position->note(), u"field index 99 of 8 fields");
  const auto item = failure([&] { orders.call(u"Fields", u"Qyt"); });
  ASSERT_TRUE(item);
  EXPECT_EQ(item->description(), u"Item not found in this collection.");
  EXPECT_EQ(item->note(), u"item 'Qyt' of Fields");
  const auto itemAt = failure([&] { orders.call(u"Fields", Variant(8)); });
  ASSERT_TRUE(itemAt);
  EXPECT_EQ(itemAt->note(), u"item 8 of Fields, which holds 8");

  // A routine that fails on one control names it; the first control was
  // filled before it.
  const Object dataAccess = instanceOf<dataaccess::DataAccessWrapper>();
  const auto control = failure([&] { dataAccess.call(u"ReadFromRecordToControls", form.get(), orders.get()); });
  ASSERT_TRUE(control);
  EXPECT_EQ(control->number(), errc::PropertyReadOnly);
  EXPECT_EQ(control->description(), u"'Text' property is read-only");
  EXPECT_EQ(control->note(), u"control 'cboCustomer'");
  EXPECT_EQ(Object(form.get(u"txtQty")).get(u"Text").text(), u"5");
}

}  // namespace
}  // namespace tarnwick
