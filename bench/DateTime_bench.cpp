// Dates: the date test over a mix of texts, and formatting dates with a
// pattern against the C library's gmtime_r + strftime on the same dates, so
// that the cost of the pattern rules shows as a ratio.
#include <tarnwick/automation/DateTime.h>
#include <tarnwick/automation/Locale.h>
#include <tarnwick/automation/String.h>

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstddef>
#include <ctime>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr std::size_t kItems = 1'000'000;

const tarnwick::Locale& usLocale() {
  static const tarnwick::Locale locale = tarnwick::Locale::enUS();
  return locale;
}

// A fixed mix of what users type into date fields: dates in several forms,
// dates with times, times alone, plain numbers, junk and empty texts.
const std::vector<std::u16string>& mixedTexts() {
  static const std::vector<std::u16string> texts = [] {
    static const char* const kMonths[] = {"Jan", "February", "Mar", "April", "May", "Jun",
                                          "July", "Aug", "September", "Oct", "Nov", "December"};
    std::mt19937 random(20240602);
    auto number = [&](unsigned from, unsigned to) { return std::to_string(from + random() % (to - from + 1)); };
    std::vector<std::u16string> out;
    out.reserve(kItems);
    for (std::size_t i = 0; i < kItems; ++i) {
      std::string text;
      switch (i % 10) {
        case 0: text += number(1, 12); text += '/'; text += number(1, 28); text += '/'; text += number(1900, 2099); break;
        case 1: text += number(1900, 2099); text += '-'; text += number(1, 12); text += '-'; text += number(1, 28); break;
        case 2:
          text += kMonths[random() % 12]; text += ' '; text += number(1, 28); text += ", "; text += number(1900, 2099);
          break;
        case 3:
          text += number(1, 28); text += ' '; text += kMonths[random() % 12]; text += ' '; text += number(0, 99);
          text += ' '; text += number(0, 23); text += ':'; text += number(10, 59);
          break;
        case 4: text += number(1, 12); text += ':'; text += number(10, 59); text += random() % 2 ? " AM" : " PM"; break;
        case 5: text += number(0, 100000); break;
        case 6: text += number(0, 999); text += '.'; text += number(0, 99); text += '.'; text += number(0, 99999); break;
        case 7: text += "abc"; text += number(0, 1000); break;
        case 8: break;
        default:
          text += "  "; text += number(1, 12); text += '/'; text += number(1, 31); text += '/'; text += number(0, 99);
          text += ' '; text += number(0, 23); text += ':'; text += number(10, 59); text += ':'; text += number(10, 59);
          text += "  ";
          break;
      }
      out.push_back(tarnwick::fromUtf8(text));
    }
    return out;
  }();
  return texts;
}

// Dates with times between 1950 and 2050, whole seconds.
const std::vector<tarnwick::DATE>& serials() {
  static const std::vector<tarnwick::DATE> dates = [] {
    std::mt19937 random(20240603);
    const double first = *tarnwick::makeDate(1950, 1, 1);
    const double last = *tarnwick::makeDate(2050, 12, 31);
    std::vector<tarnwick::DATE> out;
    out.reserve(kItems);
    for (std::size_t i = 0; i < kItems; ++i) {
      const double day = first + static_cast<double>(random() % static_cast<unsigned>(last - first));
      out.push_back(day + static_cast<double>(random() % 86400) / 86400);
    }
    return out;
  }();
  return dates;
}

// The same dates as seconds since 1970 for the C library.
const std::vector<std::time_t>& unixTimes() {
  static const std::vector<std::time_t> times = [] {
    constexpr double kUnixEpoch = 25569;  // 1 January 1970 as a serial
    std::vector<std::time_t> out;
    out.reserve(kItems);
    for (tarnwick::DATE serial : serials())
      out.push_back(static_cast<std::time_t>(std::llround((serial - kUnixEpoch) * 86400)));
    return out;
  }();
  return times;
}

void BM_IsDateText(benchmark::State& state) {
  const auto& texts = mixedTexts();
  const auto& locale = usLocale();
  for (auto _ : state) {
    std::size_t dates = 0;
    for (const auto& text : texts) dates += tarnwick::isDateText(text, locale) ? 1u : 0u;
    benchmark::DoNotOptimize(dates);
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(kItems));
}
BENCHMARK(BM_IsDateText)->Unit(benchmark::kMillisecond);

void formatAll(benchmark::State& state, std::u16string_view pattern) {
  const auto& dates = serials();
  const auto& locale = usLocale();
  for (auto _ : state) {
    std::size_t length = 0;
    for (tarnwick::DATE serial : dates) length += tarnwick::formatDate(serial, pattern, locale).size();
    benchmark::DoNotOptimize(length);
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(kItems));
}

void BM_FormatDate_Numeric(benchmark::State& state) { formatAll(state, u"dd.mm.yyyy hh:nn:ss"); }
BENCHMARK(BM_FormatDate_Numeric)->Unit(benchmark::kMillisecond);

void BM_FormatDate_MonthName(benchmark::State& state) { formatAll(state, u"mmmm d, yyyy"); }
BENCHMARK(BM_FormatDate_MonthName)->Unit(benchmark::kMillisecond);

// The baseline: the C library splits the same instants (gmtime_r, as
// formatDate splits its serial) and formats them with the equivalent of
// "dd.mm.yyyy hh:nn:ss".
void BM_Strftime_Baseline(benchmark::State& state) {
  const auto& times = unixTimes();
  for (auto _ : state) {
    std::size_t length = 0;
    char buffer[64];
    for (std::time_t t : times) {
      std::tm parts{};
      gmtime_r(&t, &parts);
      length += std::strftime(buffer, sizeof buffer, "%d.%m.%Y %H:%M:%S", &parts);
    }
    benchmark::DoNotOptimize(length);
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(kItems));
}
BENCHMARK(BM_Strftime_Baseline)->Unit(benchmark::kMillisecond);

}  // namespace
