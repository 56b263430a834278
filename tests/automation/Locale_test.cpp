#include <tarnwick/automation/DateTime.h>
#include <tarnwick/automation/Locale.h>
#include <tarnwick/automation/Number.h>

#include <gtest/gtest.h>

#include <locale.h>

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

// A locale that is surely not installed falls back to en-US, and says so;
// one the system has (fr_FR, when `locale -a` lists it) brings its own
// separators, date order and month names, which conversions then follow.
TEST(Locale, SystemLocalesAreReadAndAFallbackIsVisible) {
  {
    EnvironmentScope lcAll("LC_ALL", "xx_YY.UTF-8");
    const Locale fallback = Locale::fromEnvironment();
    EXPECT_EQ(fallback.name, u"en-US");
    EXPECT_EQ(fallback.origin, LocaleOrigin::Fallback);
    EXPECT_EQ(fallback.requested, u"xx_YY.UTF-8");
    EXPECT_EQ(describeLocale(fallback), u"en-US (fallback: the locale xx_YY.UTF-8 is not installed)");
  }
  EXPECT_EQ(describeLocale(Locale::deDE()), u"de-DE (built in)");
  {
    EnvironmentScope lcAll("LC_ALL", "C.UTF-8");
    EXPECT_EQ(Locale::fromEnvironment().origin, LocaleOrigin::BuiltIn);
  }

  locale_t installed = newlocale(LC_ALL_MASK, "fr_FR.UTF-8", static_cast<locale_t>(nullptr));
  if (!installed) GTEST_SKIP() << "fr_FR.UTF-8 is not installed (scripts/deps.sh generates it)";
  freelocale(installed);
  EnvironmentScope lcAll("LC_ALL", "fr_FR.UTF-8");
  const Locale fr = Locale::fromEnvironment();
  EXPECT_EQ(fr.name, u"fr-FR");
  EXPECT_EQ(fr.origin, LocaleOrigin::System);
  EXPECT_EQ(describeLocale(fr), u"fr-FR (system locale data)");
  EXPECT_EQ(fr.decimalSeparator, u',');
  EXPECT_EQ(fr.dateOrder, DateOrder::DayMonthYear);
  EXPECT_EQ(fr.monthNames[1], u"f\u00E9vrier");
  LocaleScope scope(fr);
  EXPECT_EQ(parseNumber(u"1,5"), 1.5);
  const DATE date = parseDate(u"3/2/2020");
  EXPECT_EQ(splitDate(date).month, 2);
  EXPECT_EQ(formatDate(date, u"d mmmm yyyy"), u"3 f\u00E9vrier 2020");
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
