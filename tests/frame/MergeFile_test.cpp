#include "../automation/ErrorOf.h"

#include <tarnwick/frame/MergeFile.h>

#include <gtest/gtest.h>

namespace tarnwick::frame {
namespace {

using tarnwick::testing::errorOf;

TEST(MergeFile, LinesAndAddressParts) {
  MergeFile file;
  file.add(u"Surname", u"Smith");
  file.add(u"Town", u"Bath");
  EXPECT_EQ(file.text(Variant::missing(), Variant::missing()), u"Surname;Town\r\n\"Smith\";\"Bath\"");
  EXPECT_EQ(file.text(Variant(u"Street;City"), Variant(u"")), u"Surname;Town\r\n\"Smith\";\"Bath\"");
  EXPECT_EQ(file.text(Variant(u"Street;City"), Variant(u"\"High St\";\"Bath\"")),
            u"Surname;Town;Street;City\r\n\"Smith\";\"Bath\";\"High St\";\"Bath\"");
  EXPECT_EQ(errorOf([&] { file.text(Variant::missing(), Variant(u"\"x\"")); }), errc::TypeMismatch);
}

TEST(MergeFile, NothingToWriteAndQuotesInValues) {
  MergeFile empty;
  EXPECT_EQ(empty.text(Variant::missing(), Variant::missing()), std::nullopt);
  EXPECT_EQ(empty.text(Variant(u"A;B"), Variant(u"\"1\";\"2\"")), u"A;B\r\n\"1\";\"2\"");
  MergeFile quoted;
  quoted.add(u"Note", u"He said \"hi\"; left");
  quoted.add(u"Grid", u"a\tb\r\nc");
  EXPECT_EQ(quoted.text(Variant::missing(), Variant::missing()),
            u"Note;Grid\r\n\"He said \"\"hi\"\"; left\";\"a\tb\r\nc\"");
}

}  // namespace
}  // namespace tarnwick::frame
