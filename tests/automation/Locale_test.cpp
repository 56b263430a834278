#include <tarnwick/automation/Locale.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <thread>

namespace tarnwick {
namespace {

// Sets an environment variable for the test's duration.
class EnvironmentScope {
 public:
  EnvironmentScope(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) previous_ = old, hadValue_ = true;
    ::setenv(name, value, 1);
  }
  ~EnvironmentScope() {
    if (hadValue_) ::setenv(name_, previous_.c_str(), 1);
    else ::unsetenv(name_);
  }

 private:
  const char* name_;
  std::string previous_;
  bool hadValue_ = false;
};

TEST(Locale, PresetsCarryTheirConventions) {
  const Locale en = Locale::enUS();
  EXPECT_EQ(en.decimalSeparator, u'.');
  EXPECT_EQ(en.thousandsSeparator, u',');
  EXPECT_EQ(en.dateOrder, DateOrder::MonthDayYear);
  EXPECT_EQ(en.monthNames[11], u"December");
  EXPECT_EQ(en.dayNames[0], u"Sunday");
  const Locale de = Locale::deDE();
  EXPECT_EQ(de.decimalSeparator, u',');
  EXPECT_EQ(de.thousandsSeparator, u'.');
  EXPECT_EQ(de.dateOrder, DateOrder::DayMonthYear);
  EXPECT_EQ(de.dateSeparator, u'.');
  EXPECT_EQ(de.monthNames[2], u"M\u00E4rz");
}

TEST(Locale, ComesFromTheEnvironment) {
  EnvironmentScope lcAll("LC_ALL", "de_DE.UTF-8");
  EXPECT_EQ(Locale::fromEnvironment().name, u"de-DE");
  EnvironmentScope lcAll2("LC_ALL", "C");
  EXPECT_EQ(Locale::fromEnvironment().name, u"en-US");
  // A locale that is not installed falls back to en-US conventions.
  EnvironmentScope lcAll3("LC_ALL", "xx_YY.UTF-8");
  EXPECT_EQ(Locale::fromEnvironment().decimalSeparator, u'.');
}

TEST(Locale, ScopesAreNestedAndPerThread) {
  const std::u16string before = userLocale().name;
  {
    LocaleScope outer(Locale::deDE());
    EXPECT_EQ(userLocale().name, u"de-DE");
    {
      LocaleScope inner(Locale::enUS());
      EXPECT_EQ(userLocale().name, u"en-US");
    }
    EXPECT_EQ(userLocale().name, u"de-DE");
    std::u16string seenByOtherThread;
    std::thread([&] { seenByOtherThread = userLocale().name; }).join();
    EXPECT_EQ(seenByOtherThread, before);
  }
  EXPECT_EQ(userLocale().name, before);
}

}  // namespace
}  // namespace tarnwick
