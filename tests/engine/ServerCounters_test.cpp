// Counters on both backends after numbers written by the dialect's INSERT.
#include "EngineTesting.h"

#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/Object.h>

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

class WrittenCounters : public testing::OnBackends {};

TEST_P(WrittenCounters, AnAdditionAfterNumbersWrittenByInsertTakesTheNextFreeNumber) {
  Object db(testing::engineObject().call(u"CreateDatabase", fresh()));
  db.call(u"Execute", u"CREATE TABLE Items (Id COUNTER PRIMARY KEY, Label TEXT(10))");
  db.call(u"Execute", u"INSERT INTO Items (Id, Label) VALUES (1, 'one')");
  db.call(u"Execute", u"INSERT INTO Items (Id, Label) VALUES (2, 'two')");
  const Object rs(db.call(u"OpenRecordset", u"Items", Variant(std::int16_t{2})));
  for (int i = 0; i < 2; ++i) {
    rs.call(u"AddNew");
    rs.put(u"Collect", {Variant(u"Label")}, Variant(u"added"));
    EXPECT_NO_THROW(rs.call(u"Update"));
  }
  EXPECT_EQ(testing::column(Object(db.call(u"OpenRecordset", u"SELECT Id FROM Items ORDER BY Id")), u"Id"), u"1,2,3,4");
  db.call(u"Close");
}

// Whether or not a new record's counter was looked at before Update, the
// record is saved with the number it showed or would have shown, and a
// number once given is not given again.
TEST_P(WrittenCounters, ANewRecordKeepsTheNumberItShowedOrWouldHaveShown) {
  Object db(testing::engineObject().call(u"CreateDatabase", fresh()));
  db.call(u"Execute", u"CREATE TABLE Items (Id COUNTER PRIMARY KEY, Label TEXT(10))");
  const Object rs(db.call(u"OpenRecordset", u"Items", Variant(std::int16_t{2})));
  const auto add = [&](const char16_t* label, bool look) {
    rs.call(u"AddNew");
    const int shown = look ? toInt32(rs.get(u"Collect", {Variant(u"Id")})) : 0;
    rs.put(u"Collect", {Variant(u"Label")}, Variant(label));
    rs.call(u"Update");
    rs.put(u"Bookmark", rs.get(u"LastModified"));
    const int saved = toInt32(rs.get(u"Collect", {Variant(u"Id")}));
    if (look) {
      EXPECT_EQ(saved, shown) << toUtf8(label);
    }
    return saved;
  };
  EXPECT_EQ(add(u"unseen", false), 1);
  EXPECT_EQ(add(u"seen", true), 2);
  rs.call(u"Delete");
  EXPECT_EQ(add(u"after", false), 3);
  rs.call(u"Delete");
  EXPECT_EQ(add(u"seen again", true), 4);
  EXPECT_EQ(add(u"last", false), 5);
  EXPECT_EQ(testing::column(Object(db.call(u"OpenRecordset", u"SELECT Label FROM Items ORDER BY Id")), u"Label"),
            u"unseen,seen again,last");
  db.call(u"Close");
}

INSTANTIATE_TEST_SUITE_P(Backends, WrittenCounters, testing::kBothBackends, testing::backendName);

}  // namespace
}  // namespace tarnwick
