#include <tarnwick/automation/Locale.h>
#include <tarnwick/automation/String.h>

#include <langinfo.h>
#include <locale.h>

#include <cstdlib>
#include <string_view>

namespace tarnwick {

Locale Locale::enUS() {
  Locale l;
  l.name = u"en-US";
  l.monthNames = {u"January", u"February", u"March",     u"April",   u"May",      u"June",
                  u"July",    u"August",   u"September", u"October", u"November", u"December"};
  l.abbreviatedMonthNames = {u"Jan", u"Feb", u"Mar", u"Apr", u"May", u"Jun",
                             u"Jul", u"Aug", u"Sep", u"Oct", u"Nov", u"Dec"};
  l.dayNames = {u"Sunday", u"Monday", u"Tuesday", u"Wednesday", u"Thursday", u"Friday", u"Saturday"};
  l.abbreviatedDayNames = {u"Sun", u"Mon", u"Tue", u"Wed", u"Thu", u"Fri", u"Sat"};
  return l;
}

Locale Locale::deDE() {
  Locale l;
  l.name = u"de-DE";
  l.decimalSeparator = u',';
  l.thousandsSeparator = u'.';
  l.currencySymbol = u"\u20AC";
  l.dateOrder = DateOrder::DayMonthYear;
  l.dateSeparator = u'.';
  l.timeSeparator = u':';
  l.monthNames = {u"Januar", u"Februar", u"M\u00E4rz",  u"April",   u"Mai",      u"Juni",
                  u"Juli",   u"August",  u"September", u"Oktober", u"November", u"Dezember"};
  l.abbreviatedMonthNames = {u"Jan", u"Feb", u"Mrz", u"Apr", u"Mai", u"Jun",
                             u"Jul", u"Aug", u"Sep", u"Okt", u"Nov", u"Dez"};
  l.dayNames = {u"Sonntag", u"Montag", u"Dienstag", u"Mittwoch", u"Donnerstag", u"Freitag", u"Samstag"};
  l.abbreviatedDayNames = {u"So", u"Mo", u"Di", u"Mi", u"Do", u"Fr", u"Sa"};
  l.am = u"";
  l.pm = u"";
  l.shortDatePattern = u"dd/mm/yyyy";
  l.longDatePattern = u"dddd, d. mmmm yyyy";
  l.longTimePattern = u"hh:nn:ss";
  l.shortTimePattern = u"hh:nn";
  return l;
}

namespace {

// Turns a C library date or time format ("%d.%m.%Y", "%I:%M:%S %p") into
// the format function's letters, noting the date order and separator.
std::u16string translatePattern(std::string_view posix, Locale& l, bool isDate) {
  std::u16string out;
  int dayAt = -1, monthAt = -1, yearAt = -1, position = 0;
  bool separatorSeen = false;
  for (std::size_t i = 0; i < posix.size(); ++i) {
    if (posix[i] != '%' || i + 1 >= posix.size()) {
      const char c = posix[i];
      if (isDate && !separatorSeen && c != ' ') {
        l.dateSeparator = static_cast<char16_t>(static_cast<unsigned char>(c));
        separatorSeen = true;
        out += u'/';
      } else if (isDate && c == static_cast<char>(l.dateSeparator)) {
        out += u'/';
      } else if (!isDate && c == ':') {
        out += u':';
      } else {
        out += static_cast<char16_t>(static_cast<unsigned char>(c));
      }
      continue;
    }
    switch (posix[++i]) {
      case 'd': out += u"dd"; dayAt = position++; break;
      case 'e': out += u"d"; dayAt = position++; break;
      case 'm': out += u"mm"; monthAt = position++; break;
      case 'b': case 'h': out += u"mmm"; monthAt = position++; break;
      case 'B': out += u"mmmm"; monthAt = position++; break;
      case 'y': out += u"yy"; yearAt = position++; break;
      case 'Y': out += u"yyyy"; yearAt = position++; break;
      case 'H': out += u"hh"; break;
      case 'I': out += u"hh"; break;
      case 'M': out += u"nn"; break;
      case 'S': out += u"ss"; break;
      case 'p': out += u"AMPM"; break;
      case 'T': out += u"hh:nn:ss"; break;
      case 'r': out += u"hh:nn:ss AMPM"; break;
      case 'R': out += u"hh:nn"; break;
      case 'D': out += u"mm/dd/yy"; monthAt = 0; dayAt = 1; yearAt = 2; break;
      case 'F': out += u"yyyy/mm/dd"; yearAt = 0; monthAt = 1; dayAt = 2; break;
      case '%': out += u'%'; break;
      default: break;
    }
  }
  if (isDate) {
    if (yearAt == 0) l.dateOrder = DateOrder::YearMonthDay;
    else if (dayAt >= 0 && monthAt >= 0 && dayAt < monthAt) l.dateOrder = DateOrder::DayMonthYear;
    else l.dateOrder = DateOrder::MonthDayYear;
  }
  return out;
}

const char* environmentLocaleName() {
  for (const char* variable : {"LC_ALL", "LC_TIME", "LC_NUMERIC", "LANG"}) {
    const char* value = std::getenv(variable);
    if (value && *value) return value;
  }
  return nullptr;
}

}  // namespace

std::optional<Locale> Locale::builtIn(std::u16string_view name) {
  if (equalsIgnoreCase(name, u"en-US") || equalsIgnoreCase(name, u"en_US")) return enUS();
  if (equalsIgnoreCase(name, u"de-DE") || equalsIgnoreCase(name, u"de_DE")) return deDE();
  return std::nullopt;
}

Locale Locale::fromEnvironment() {
  const char* named = environmentLocaleName();
  const std::string_view name = named ? named : "";
  if (name.empty() || name == "C" || name == "POSIX" || name.starts_with("C.")) return enUS();
  if (name.starts_with("en_US")) return enUS();
  if (name.starts_with("de_DE")) return deDE();

  // The named locale alone: the C library's "" would let LC_* variables
  // other than the one chosen above have their say.
  locale_t handle = newlocale(LC_ALL_MASK, named, static_cast<locale_t>(nullptr));
  if (!handle) {
    Locale fallback = enUS();
    fallback.origin = LocaleOrigin::Fallback;
    fallback.requested = fromUtf8(name);
    return fallback;
  }
  Locale l = enUS();
  l.origin = LocaleOrigin::System;
  l.requested = fromUtf8(name);
  auto info = [&](nl_item item) { return fromUtf8(nl_langinfo_l(item, handle)); };
  l.name = fromUtf8(name.substr(0, name.find('.')));
  for (auto& c : l.name)
    if (c == u'_') c = u'-';
  if (auto radix = info(RADIXCHAR); radix.size() == 1) l.decimalSeparator = radix[0];
  if (auto thousands = info(THOUSEP); thousands.size() == 1) l.thousandsSeparator = thousands[0];
  else if (l.decimalSeparator == u',') l.thousandsSeparator = u'.';
  if (auto currency = info(CRNCYSTR); currency.size() > 1) l.currencySymbol = currency.substr(1);
  const nl_item months[] = {MON_1, MON_2, MON_3, MON_4, MON_5, MON_6, MON_7, MON_8, MON_9, MON_10, MON_11, MON_12};
  const nl_item shortMonths[] = {ABMON_1, ABMON_2, ABMON_3, ABMON_4,  ABMON_5,  ABMON_6,
                                 ABMON_7, ABMON_8, ABMON_9, ABMON_10, ABMON_11, ABMON_12};
  for (int i = 0; i < 12; ++i) {
    l.monthNames[static_cast<std::size_t>(i)] = info(months[i]);
    l.abbreviatedMonthNames[static_cast<std::size_t>(i)] = info(shortMonths[i]);
  }
  const nl_item days[] = {DAY_1, DAY_2, DAY_3, DAY_4, DAY_5, DAY_6, DAY_7};
  const nl_item shortDays[] = {ABDAY_1, ABDAY_2, ABDAY_3, ABDAY_4, ABDAY_5, ABDAY_6, ABDAY_7};
  for (int i = 0; i < 7; ++i) {
    l.dayNames[static_cast<std::size_t>(i)] = info(days[i]);
    l.abbreviatedDayNames[static_cast<std::size_t>(i)] = info(shortDays[i]);
  }
  l.am = info(AM_STR);
  l.pm = info(PM_STR);
  l.shortDatePattern = translatePattern(nl_langinfo_l(D_FMT, handle), l, true);
  const char* timeFormat = nl_langinfo_l(T_FMT, handle);
  l.longTimePattern = translatePattern(timeFormat, l, false);
  if (l.longTimePattern.find(u"AMPM") != std::u16string::npos && l.am.empty()) l.am = u"AM", l.pm = u"PM";
  freelocale(handle);
  return l;
}

namespace {
thread_local const Locale* threadLocale = nullptr;

Locale& processLocale() {
  static Locale instance = Locale::fromEnvironment();
  return instance;
}
}  // namespace

const Locale& userLocale() {
  if (threadLocale) return *threadLocale;
  return processLocale();
}

void setProcessLocale(Locale locale) { processLocale() = std::move(locale); }

std::u16string describeLocale(const Locale& locale) {
  switch (locale.origin) {
    case LocaleOrigin::Fallback:
      return locale.name + u" (fallback: the locale " + locale.requested + u" is not installed)";
    case LocaleOrigin::System: return locale.name + u" (system locale data)";
    case LocaleOrigin::BuiltIn: break;
  }
  return locale.name + u" (built in)";
}

LocaleScope::LocaleScope(Locale locale) : locale_(std::move(locale)), previous_(threadLocale) {
  threadLocale = &locale_;
}

LocaleScope::~LocaleScope() { threadLocale = previous_; }

}  // namespace tarnwick
