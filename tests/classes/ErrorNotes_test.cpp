// An error says what is at fault (the member, the field, the control) in
// its note, while its number and description stay the platform's: the note
// crosses the binary interfaces with the error, from the object that failed
// through a routine to the caller.
#include "../engine/EngineTesting.h"
#include "ClassTesting.h"

#include <tarnwick/automation/Convert.h>
#include <tarnwick/dataaccess/DataAccessWrapper.h>
#include <tarnwick/host/MessageLog.h>

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
  EXPECT_EQ(member->note(), u"member 'Txet' of TextBox 'txtQty'");
  EXPECT_EQ(member->message(), u"Object doesn't support this property or method (member 'Txet' of TextBox 'txtQty')");

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

// A database of orders, and a message box that answers by itself.
struct Noted : ::testing::Test {
  LocaleScope locale{Locale::enUS()};
  MessageBoxScope box;
  TempDir dir;
  const Object db = testing::makeOrdersDatabase(dir / "orders.db");
  const Object dataAccess = instanceOf<dataaccess::DataAccessWrapper>();
};

TEST_F(Noted, TheUnknownNameTheRefusedValueAndTheMissingArgument) {

  // A name that is no field: the platform's count, then the name, in a
  // statement, a condition and a sort.
  const auto select = failure([&] { db.call(u"OpenRecordset", u"Select * From Orders Where Orders.[Client] = 'x'"); });
  ASSERT_TRUE(select);
  EXPECT_EQ(select->message(), u"Too few parameters. Expected 1. (unknown name 'Orders.Client')");
  const Object orders(db.call(u"OpenRecordset", u"Select * From Orders", 2));
  const auto find = failure([&] { orders.call(u"FindFirst", u"Qyt > 5"); });
  ASSERT_TRUE(find);
  EXPECT_EQ(find->number(), errc::TooFewParameters);
  EXPECT_EQ(find->note(), u"unknown name 'Qyt'");
  const auto sort = failure([&] { orders.put(u"Sort", u"Qyt DESC"); });
  ASSERT_TRUE(sort);
  EXPECT_EQ(sort->note(), u"unknown name 'Qyt'");

  // A value its field refuses: the field and the value, cut short when long.
  orders.call(u"Edit");
  const auto text = failure([&] { orders.put(u"Collect", {Variant(u"Qty")}, Variant(u"abc")); });
  ASSERT_TRUE(text);
  EXPECT_EQ(text->message(), u"Data type conversion error. (field 'Qty', value 'abc')");
  const auto date = failure([&] { orders.put(u"Collect", {Variant(u"OrderDate")}, Variant(u"31/31/99")); });
  ASSERT_TRUE(date);
  EXPECT_EQ(date->note(), u"field 'OrderDate', value '31/31/99'");
  const auto tooLong = failure([&] { orders.put(u"Collect", {Variant(u"Note")}, Variant(std::u16string(60, u'x'))); });
  ASSERT_TRUE(tooLong);
  EXPECT_EQ(tooLong->number(), errc::FieldTooSmall);
  EXPECT_EQ(tooLong->note(), u"field 'Note', value '" + std::u16string(40, u'x') + u"...'");
  orders.call(u"CancelUpdate");

  // A routine's argument left out: its place and name.
  const auto missing = failure([&] { dataAccess.call(u"FindRecord_b", true); });
  ASSERT_TRUE(missing);
  EXPECT_EQ(missing->message(), u"Argument not optional (argument 2, rsRecordset, of FindRecord_b)");
  EXPECT_TRUE(box->prompts().empty());
}

TEST_F(Noted, WhatABoxCannotShowGoesToTheMessageLog) {
  const Object form = formFrom(R"FORM(form frmOrder {
  TextBox txtQty {
    Tag = "Orders([Qyt])"
    Text = "5"
  }
})FORM");
  host::messageLog().clear();

  // The box shows the platform's text; the log keeps what was at fault.
  const Object orders(db.call(u"OpenRecordset", u"Orders"));
  orders.call(u"Edit");
  dataAccess.call(u"SaveRecordFromControls", form.get(), orders.get());
  ASSERT_EQ(box->prompts().size(), 1u);
  EXPECT_EQ(box->prompts()[0].prompt, u"Item not found in this collection.");
  auto entries = host::messageLog().entries();
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].prompt, u"Item not found in this collection.");
  EXPECT_NE(entries[0].note.find(u"'Qyt'"), std::u16string::npos) << toUtf8(entries[0].note);
  orders.call(u"CancelUpdate");

  // A form saved into a recordset on a SELECT: every control is passed
  // over, as specified, and the log says why, once per form and source.
  const Object found(db.call(u"OpenRecordset", u"Select * From Orders Where OrderId = 3"));
  for (int i = 0; i < 2; ++i) {
    found.call(u"Edit");
    dataAccess.call(u"SaveRecordFromControls", form.get(), found.get());
  }
  entries = host::messageLog().entries();
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_FALSE(entries[1].shown);
  EXPECT_NE(entries[1].prompt.find(u"form 'frmOrder': no control's Tag names the record source "
                                   u"'Select * From Orders Where OrderId = 3'"),
            std::u16string::npos)
      << toUtf8(entries[1].prompt);
  EXPECT_EQ(box->prompts().size(), 1u);
}

}  // namespace
}  // namespace tarnwick
