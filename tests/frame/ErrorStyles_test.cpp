#include "../automation/ErrorOf.h"
#include "../classes/ClassTesting.h"

#include <tarnwick/frame/ErrorStyles.h>

#include <gtest/gtest.h>

#include <string>

namespace tarnwick::frame {
namespace {

using tarnwick::testing::MessageBoxScope;

TEST(ErrorStyles, ResultIsTheError) {
  EXPECT_EQ(errorNumberOf([] {}), 0);
  EXPECT_EQ(errorNumberOf([] { raise(errc::TypeMismatch); }), errc::TypeMismatch);
  EXPECT_FALSE(errorOf([] {}).has_value());
  const std::optional<Error> error = errorOf([] { raise(errc::ItemNotFound, u"Qty"); });
  ASSERT_TRUE(error.has_value());
  EXPECT_EQ(error->number(), errc::ItemNotFound);
  EXPECT_EQ(error->description(), describe(errc::ItemNotFound, u"Qty"));
  // Only the library's errors are the routine's result; anything else is a fault.
  EXPECT_THROW(errorOf([] { throw std::logic_error("fault"); }), std::logic_error);
}

TEST(ErrorStyles, ContinueOnErrorKeepsTheLastErrorPending) {
  ContinueOnError errors;
  std::string ran;
  EXPECT_TRUE(errors.run([&] { ran += "a"; }));
  EXPECT_EQ(errors.number(), 0);
  EXPECT_FALSE(errors.run([&] {
    ran += "b";
    raise(errc::TypeMismatch);
    ran += "never";
  }));
  EXPECT_FALSE(errors.run([] { raise(errc::Overflow); }));
  // A statement that completes does not clear the pending error.
  EXPECT_TRUE(errors.run([&] { ran += "c"; }));
  EXPECT_EQ(ran, "abc");
  EXPECT_EQ(errors.number(), errc::Overflow);
  ASSERT_TRUE(errors.pending().has_value());
  EXPECT_EQ(errors.pending()->description(), standardDescription(errc::Overflow));
  errors.clear();
  EXPECT_EQ(errors.number(), 0);
  EXPECT_FALSE(errors.pending().has_value());
}

TEST(ErrorStyles, RunThenFinishShowsTheStoppingErrorOnce) {
  MessageBoxScope box;
  // Success: every step runs and nothing is shown.
  std::string ran;
  EXPECT_FALSE(runThenFinish([&] { ran += "ab"; }).has_value());
  EXPECT_EQ(ran, "ab");
  EXPECT_TRUE(box->prompts().empty());
  // The first error ends the steps; its description is shown once, with
  // only an OK button and no title.
  ran.clear();
  const std::optional<Error> failure = runThenFinish([&] {
    ran += "a";
    raise(errc::ItemNotFound, u"Qty");
    ran += "b";
  });
  EXPECT_EQ(ran, "a");
  ASSERT_TRUE(failure.has_value());
  EXPECT_EQ(failure->number(), errc::ItemNotFound);
  const auto prompts = box->prompts();
  ASSERT_EQ(prompts.size(), 1u);
  EXPECT_EQ(prompts[0].prompt, describe(errc::ItemNotFound, u"Qty"));
  EXPECT_EQ(prompts[0].buttons, host::mb::OKOnly);
  EXPECT_EQ(prompts[0].title, u"");
  // finish alone shows nothing for no error.
  box->reset();
  EXPECT_FALSE(finish(std::nullopt));
  EXPECT_TRUE(box->prompts().empty());
}

TEST(ErrorStyles, AnErrorOfTheFinishItself) {
  MessageBoxScope box;
  // A box that refuses its answer fails the way a host's box can.
  const auto failingBox = [&] { box->answer({host::mb::Yes}); };
  failingBox();
  EXPECT_EQ(tarnwick::testing::errorOf([] { runThenFinish([] { raise(errc::Overflow); }); }), errc::InvalidProcedureCall);
  box->reset();
  failingBox();
  std::optional<Error> failure;
  EXPECT_EQ(tarnwick::testing::errorOf([&] {
              failure = runThenFinish([] { raise(errc::Overflow); }, FinishErrors::Ignored);
            }),
            0);
  ASSERT_TRUE(failure.has_value());
  EXPECT_EQ(failure->number(), errc::Overflow);
  // Steps that succeed show nothing, so the box is never asked.
  box->reset();
  failingBox();
  EXPECT_EQ(tarnwick::testing::errorOf([] { runThenFinish([] {}); }), 0);
  EXPECT_TRUE(box->prompts().empty());
}

}  // namespace
}  // namespace tarnwick::frame
