// The engine's functions on a database file: the dialect's functions that
// the storage lacks, registered on every connection.
#include "SqliteSession.h"

#include "../Functions.h"

#include <tarnwick/automation/DateTime.h>
#include <tarnwick/automation/Error.h>
#include <tarnwick/automation/String.h>

#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <ctime>
#include <string>

namespace tarnwick::engine {

namespace {

// The engine's own functions fail with "tw:<number>[:<detail>]", which the
// connection turns back into that error.
const std::string kLikeSyntaxError = "tw:" + std::to_string(errc::SyntaxError) + ":Like";
const std::string kCriteriaMismatch = "tw:" + std::to_string(errc::CriteriaMismatch);

}  // namespace

namespace {

std::u16string argumentText(sqlite3_value* v) {
  if (sqlite3_value_type(v) == SQLITE_FLOAT) return fromUtf8(storedNumberText(sqlite3_value_double(v)));
  const auto* p = reinterpret_cast<const char*>(sqlite3_value_text(v));
  return p ? fromUtf8(std::string_view(p, static_cast<std::size_t>(sqlite3_value_bytes(v)))) : std::u16string();
}

// X Like P arrives as like(P, X).
void likeFunction(sqlite3_context* context, int argc, sqlite3_value** argv) {
  if (argc != 2) {
    sqlite3_result_error(context, kLikeSyntaxError.c_str(), -1);
    return;
  }
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL) {
    sqlite3_result_null(context);
    return;
  }
  try {
    sqlite3_result_int(context, likeMatches(argumentText(argv[1]), argumentText(argv[0])) ? 1 : 0);
  } catch (...) {
    sqlite3_result_error_nomem(context);
  }
}

std::optional<double> dateArgument(sqlite3_value* v) {
  switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER: case SQLITE_FLOAT: return sqlite3_value_double(v);
    case SQLITE_TEXT: {
      const auto* p = reinterpret_cast<const char*>(sqlite3_value_text(v));
      return parseStoredDate(std::string_view(p, static_cast<std::size_t>(sqlite3_value_bytes(v))));
    }
    default: return std::nullopt;
  }
}

// A stored date, whatever form it is kept in, as the day serial.
void dateFunction(sqlite3_context* context, int, sqlite3_value** argv) {
  try {
    if (const auto d = dateArgument(argv[0])) sqlite3_result_double(context, *d);
    else sqlite3_result_null(context);
  } catch (...) {
    sqlite3_result_error_nomem(context);
  }
}

// DateValue: the date part of a text read under the user's locale.
void dateValueFunction(sqlite3_context* context, int, sqlite3_value** argv) {
  try {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
      sqlite3_result_null(context);
      return;
    }
    std::optional<double> d;
    if (sqlite3_value_type(argv[0]) == SQLITE_TEXT) d = tryParseDate(argumentText(argv[0]));
    else d = sqlite3_value_double(argv[0]);
    if (!d) {
      sqlite3_result_error(context, kCriteriaMismatch.c_str(), -1);
      return;
    }
    sqlite3_result_double(context, std::trunc(*d));
  } catch (...) {
    sqlite3_result_error_nomem(context);
  }
}

double nowSerial() {
  const std::time_t t = std::time(nullptr);
  std::tm local{};
  localtime_r(&t, &local);
  const auto day = makeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday).value_or(0.0);
  return day + makeTime(local.tm_hour, local.tm_min, local.tm_sec).value_or(0.0);
}

// Len: the number of characters of a value's text; a number's text is
// the one the engine shows (12, not 12.0).
void lengthFunction(sqlite3_context* context, int, sqlite3_value** argv) {
  try {
    switch (sqlite3_value_type(argv[0])) {
      case SQLITE_NULL: sqlite3_result_null(context); return;
      case SQLITE_BLOB: sqlite3_result_int(context, sqlite3_value_bytes(argv[0])); return;
      default: sqlite3_result_int64(context, static_cast<sqlite3_int64>(argumentText(argv[0]).size()));
    }
  } catch (...) {
    sqlite3_result_error_nomem(context);
  }
}

void resultText(sqlite3_context* context, std::u16string_view text) {
  const std::string utf8 = toUtf8(text);
  sqlite3_result_text(context, utf8.data(), static_cast<int>(utf8.size()), SQLITE_TRANSIENT);
}

// A value's text, a real number's as the engine shows it (12, not 12.0).
void textOfFunction(sqlite3_context* context, int, sqlite3_value** argv) {
  try {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) sqlite3_result_null(context);
    else resultText(context, argumentText(argv[0]));
  } catch (...) {
    sqlite3_result_error_nomem(context);
  }
}

// UCase, LCase, Trim, LTrim and RTrim of a value's text (a number's as the
// engine shows it), letter case changed beyond ASCII too.
enum class TextChange { Upper, Lower, Trim, LTrim, RTrim };

void textFunction(sqlite3_context* context, int, sqlite3_value** argv) {
  try {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
      sqlite3_result_null(context);
      return;
    }
    std::u16string text = argumentText(argv[0]);
    const auto change = static_cast<TextChange>(reinterpret_cast<std::intptr_t>(sqlite3_user_data(context)));
    switch (change) {
      case TextChange::Upper: for (char16_t& c : text) c = upperCase(c); break;
      case TextChange::Lower: for (char16_t& c : text) c = lowerCase(c); break;
      case TextChange::Trim: case TextChange::LTrim: case TextChange::RTrim: {
        const auto first = change == TextChange::RTrim ? 0 : text.find_first_not_of(u' ');
        const auto last = change == TextChange::LTrim ? text.size() : text.find_last_not_of(u' ') + 1;
        text = first == std::u16string::npos ? std::u16string() : text.substr(first, last - first);
        break;
      }
    }
    resultText(context, text);
  } catch (...) {
    sqlite3_result_error_nomem(context);
  }
}

// Mid(text, start[, length]): the characters from `start` (1 the first)
// that fall within the text.
void midFunction(sqlite3_context* context, int argc, sqlite3_value** argv) {
  try {
    for (int i = 0; i < argc; ++i)
      if (sqlite3_value_type(argv[i]) == SQLITE_NULL) {
        sqlite3_result_null(context);
        return;
      }
    const std::u16string text = argumentText(argv[0]);
    const auto size = static_cast<std::int64_t>(text.size());
    const std::int64_t from = sqlite3_value_int64(argv[1]);
    const std::int64_t to = argc > 2 ? from + std::max<std::int64_t>(sqlite3_value_int64(argv[2]), 0) : size + 1;
    const std::int64_t first = std::clamp<std::int64_t>(from, 1, size + 1);
    const std::int64_t last = std::clamp<std::int64_t>(to, first, size + 1);
    resultText(context, std::u16string_view(text).substr(static_cast<std::size_t>(first - 1),
                                                         static_cast<std::size_t>(last - first)));
  } catch (...) {
    sqlite3_result_error_nomem(context);
  }
}

void todayFunction(sqlite3_context* context, int, sqlite3_value**) { sqlite3_result_double(context, std::trunc(nowSerial())); }
void nowFunction(sqlite3_context* context, int, sqlite3_value**) { sqlite3_result_double(context, nowSerial()); }

}  // namespace

void registerFunctions(sqlite3* db) {
  constexpr int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
  sqlite3_create_function(db, "like", 2, flags, nullptr, likeFunction, nullptr, nullptr);
  sqlite3_create_function(db, "like", 3, flags, nullptr, likeFunction, nullptr, nullptr);
  sqlite3_create_function(db, "tw_date", 1, flags, nullptr, dateFunction, nullptr, nullptr);
  sqlite3_create_function(db, "tw_datevalue", 1, SQLITE_UTF8, nullptr, dateValueFunction, nullptr, nullptr);
  sqlite3_create_function(db, "tw_len", 1, flags, nullptr, lengthFunction, nullptr, nullptr);
  const auto change = [](TextChange c) { return reinterpret_cast<void*>(static_cast<std::intptr_t>(c)); };
  sqlite3_create_function(db, "tw_ucase", 1, flags, change(TextChange::Upper), textFunction, nullptr, nullptr);
  sqlite3_create_function(db, "tw_lcase", 1, flags, change(TextChange::Lower), textFunction, nullptr, nullptr);
  sqlite3_create_function(db, "tw_trim", 1, flags, change(TextChange::Trim), textFunction, nullptr, nullptr);
  sqlite3_create_function(db, "tw_ltrim", 1, flags, change(TextChange::LTrim), textFunction, nullptr, nullptr);
  sqlite3_create_function(db, "tw_rtrim", 1, flags, change(TextChange::RTrim), textFunction, nullptr, nullptr);
  sqlite3_create_function(db, "tw_text", 1, flags, nullptr, textOfFunction, nullptr, nullptr);
  sqlite3_create_function(db, "tw_mid", 2, flags, nullptr, midFunction, nullptr, nullptr);
  sqlite3_create_function(db, "tw_mid", 3, flags, nullptr, midFunction, nullptr, nullptr);
  sqlite3_create_function(db, "tw_today", 0, SQLITE_UTF8, nullptr, todayFunction, nullptr, nullptr);
  sqlite3_create_function(db, "tw_now", 0, SQLITE_UTF8, nullptr, nowFunction, nullptr, nullptr);
}

}  // namespace tarnwick::engine
