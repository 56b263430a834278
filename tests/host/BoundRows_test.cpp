// The bookmarks a data grid keeps of its records: the engine's eight-byte
// bookmarks are kept without an array each, and any other form as it came,
// from the first such bookmark on; either way they read back equal and are
// found again.
#include <tarnwick/automation/AutomationObject.h>
#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/SafeArray.h>
#include <tarnwick/host/BoundRows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace tarnwick::host {
namespace {

// A client's recordset of `count` records whose bookmarks are eight-byte
// arrays up to record `firstText` and texts from there on.
class MixedMarks final : public AutomationObject<MixedMarks> {
 public:
  MixedMarks(int count, int firstText) : count_(count), firstText_(firstText) {}
  static std::u16string_view typeName() { return u"Recordset"; }
  static std::span<const Member<MixedMarks>> members();

  static Variant markOf(int record, int firstText) {
    if (record >= firstText) return Variant(u"record " + fromUtf8(std::to_string(record)));
    SafeArray bytes(VT_UI1, 0, 8);
    const std::uint64_t value = 0x0102030400000000u + static_cast<std::uint64_t>(record);
    std::memcpy(bytes.get()->pvData, &value, 8);
    return std::move(bytes).toVariant();
  }
  int at_ = 0;
  int count_;
  int firstText_;
};

const Member<MixedMarks> kMixedMarksMembers[] = {
    {u"EOF", 1, kGet, [](MixedMarks& self, Call& call) { call.setResult(self.at_ >= self.count_); }},
    {u"BOF", 2, kGet, [](MixedMarks& self, Call& call) { call.setResult(self.count_ == 0); }},
    {u"MoveFirst", 3, kMethod, [](MixedMarks& self, Call&) { self.at_ = 0; }},
    {u"MoveNext", 4, kMethod, [](MixedMarks& self, Call&) { ++self.at_; }},
    {u"Bookmark", 5, kProperty,
     [](MixedMarks& self, Call& call) {
       if (!call.isPut()) return call.setResult(MixedMarks::markOf(self.at_, self.firstText_));
       for (int r = 0; r < self.count_; ++r)
         if (sameBookmark(MixedMarks::markOf(r, self.firstText_), call.value())) self.at_ = r;
     }},
};
std::span<const Member<MixedMarks>> MixedMarks::members() { return kMixedMarksMembers; }

TEST(BoundRows, KeepsBookmarksOfEveryFormAndFindsThemAgain) {
  for (const int firstText : {1000, 0, 300}) {
    SCOPED_TRACE(firstText);
    const ComPtr<MixedMarks> records = makeObject<MixedMarks>(600, firstText);
    const Object rs(records.as<IDispatch>());
    BoundRows rows;
    ASSERT_EQ(rows.fetchMore(rs, 280), 280u);
    // Reading more keeps the recordset where it was.
    records->at_ = 5;
    rows.fetchAll(rs);
    EXPECT_EQ(records->at_, 5);
    ASSERT_EQ(rows.fetched(), 600u);
    EXPECT_TRUE(rows.complete());
    for (const int r : {0, 299, 300, 599}) {
      EXPECT_TRUE(sameBookmark(rows.at(static_cast<std::size_t>(r)), MixedMarks::markOf(r, firstText))) << r;
      EXPECT_EQ(rows.find(rs, MixedMarks::markOf(r, firstText)), static_cast<std::size_t>(r));
    }
    EXPECT_EQ(rows.find(rs, Variant(u"record 600")), std::nullopt);
    EXPECT_EQ(rows.find(rs, MixedMarks::markOf(700, 1000)), std::nullopt);
    rows.reset();
    EXPECT_EQ(rows.fetched(), 0u);
    // Reaching a row reads one batch, not every record.
    EXPECT_TRUE(rows.reach(rs, 10));
    EXPECT_LT(rows.fetched(), 600u);
    EXPECT_TRUE(sameBookmark(rows.at(10), MixedMarks::markOf(10, firstText)));
  }
}

}  // namespace
}  // namespace tarnwick::host
