#include "Functions.h"

#include <tarnwick/automation/DateTime.h>
#include <tarnwick/automation/Error.h>
#include <tarnwick/automation/String.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <ctime>
#include <vector>

namespace tarnwick::engine {

std::optional<std::vector<PatternItem>> compileLikePattern(std::u16string_view pattern) {
  std::vector<PatternItem> items;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    const char16_t c = pattern[i];
    if (c == u'*') {
      if (items.empty() || items.back().kind != PatternItem::AnyRun) items.emplace_back(PatternItem::AnyRun);
    } else if (c == u'?') {
      items.emplace_back(PatternItem::AnyOne);
    } else if (c == u'#') {
      items.emplace_back(PatternItem::Digit);
    } else if (c == u'[') {
      const auto close = pattern.find(u']', i + 1);
      if (close == std::u16string_view::npos) return std::nullopt;
      std::u16string_view body = pattern.substr(i + 1, close - i - 1);
      PatternItem item(PatternItem::Set);
      if (!body.empty() && body[0] == u'!') {
        item.negated = true;
        body.remove_prefix(1);
      }
      for (std::size_t k = 0; k < body.size(); ++k) {
        const char16_t low = lowerCase(body[k]);
        char16_t high = low;
        if (k + 2 < body.size() && body[k + 1] == u'-') {
          high = lowerCase(body[k + 2]);
          k += 2;
        }
        item.ranges += low;
        item.ranges += high;
      }
      // "[]" stands for nothing at all; "[!]" would match any character.
      if (item.ranges.empty() && !item.negated) {
        i = close;
        continue;
      }
      items.push_back(std::move(item));
      i = close;
    } else {
      items.emplace_back(PatternItem::Literal, lowerCase(c));
    }
  }
  return items;
}

namespace {

bool matchesOne(const PatternItem& item, char16_t c) {
  switch (item.kind) {
    case PatternItem::Literal: return item.c == c;
    case PatternItem::AnyOne: return true;
    case PatternItem::Digit: return c >= u'0' && c <= u'9';
    case PatternItem::Set: {
      bool in = false;
      for (std::size_t k = 0; k + 1 < item.ranges.size(); k += 2)
        if (c >= item.ranges[k] && c <= item.ranges[k + 1]) in = true;
      return in != item.negated;
    }
    default: return false;
  }
}

}  // namespace

bool likeMatches(std::u16string_view text, std::u16string_view pattern) {
  const auto compiled = compileLikePattern(pattern);
  if (!compiled) return false;
  const std::vector<PatternItem>& items = *compiled;
  std::u16string lowered(text);
  for (char16_t& c : lowered) c = lowerCase(c);
  // Greedy matching with one backtracking point per run: linear in practice.
  std::size_t t = 0, p = 0;
  std::size_t starItem = std::u16string::npos, starText = 0;
  while (t < lowered.size()) {
    if (p < items.size() && items[p].kind == PatternItem::AnyRun) {
      starItem = p++;
      starText = t;
    } else if (p < items.size() && matchesOne(items[p], lowered[t])) {
      ++p;
      ++t;
    } else if (starItem != std::u16string::npos) {
      p = starItem + 1;
      t = ++starText;
    } else {
      return false;
    }
  }
  while (p < items.size() && items[p].kind == PatternItem::AnyRun) ++p;
  return p == items.size();
}

std::string storedNumberText(double value) {
  char buffer[40];
  if (std::fabs(value) < 1e15 && value == std::floor(value)) {
    std::snprintf(buffer, sizeof buffer, "%lld", static_cast<long long>(value));
  } else {
    std::snprintf(buffer, sizeof buffer, "%.15g", value);
  }
  return buffer;
}

std::optional<DATE> parseStoredDate(std::string_view text) {
  int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
  char sep = 0;
  int used = 0;
  const std::string copy(text);
  if (std::sscanf(copy.c_str(), "%4d-%2d-%2d%n", &y, &mo, &d, &used) == 3) {
    const auto day = makeDate(y, mo, d);
    if (!day) return std::nullopt;
    if (static_cast<std::size_t>(used) == copy.size()) return *day;
    if (std::sscanf(copy.c_str() + used, "%c%2d:%2d:%2d", &sep, &h, &mi, &s) >= 3 && (sep == ' ' || sep == 'T')) {
      const auto time = makeTime(h, mi, s);
      if (!time) return std::nullopt;
      return *day >= 0 ? *day + *time : *day - *time;
    }
    return std::nullopt;
  }
  return tryParseDate(fromUtf8(text));
}

}  // namespace tarnwick::engine
