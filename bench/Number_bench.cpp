// Reading numbers from texts: the leading-number value and the numeric test
// against the C library's strtod on the same texts in UTF-8, so that the
// cost of the automation rules shows as a ratio.
#include <tarnwick/automation/Locale.h>
#include <tarnwick/automation/Number.h>
#include <tarnwick/automation/String.h>

#include <benchmark/benchmark.h>

#include <charconv>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr std::size_t kTexts = 1'000'000;

// A fixed mix of the texts that forms and INI files hold: integers,
// decimals, exponents, hexadecimal, leading junk, empty texts and texts with
// blanks. None overflows, so leadingNumber never throws here.
const std::vector<std::u16string>& mixedTexts() {
  static const std::vector<std::u16string> texts = [] {
    std::mt19937 random(20240601);
    auto number = [&](std::uint32_t below) { return std::to_string(random() % below); };
    auto hex = [&](std::uint32_t below) {
      char digits[16];
      const auto end = std::to_chars(digits, digits + sizeof digits, random() % below, 16).ptr;
      return std::string(digits, end);
    };
    std::vector<std::u16string> out;
    out.reserve(kTexts);
    for (std::size_t i = 0; i < kTexts; ++i) {
      // Built by appending: GCC 12 warns falsely (-Wrestrict) on "literal" + string.
      std::string text;
      switch (i % 8) {
        case 0: text += number(100000); break;
        case 1: text += '-'; text += number(10000); text += '.'; text += number(1000); break;
        case 2:
          text += number(10); text += '.'; text += number(100000);
          text += random() % 2 ? "E-" : "E+"; text += number(30);
          break;
        case 3: text += "&H"; text += hex(0xFFFFF); break;
        case 4: text += "abc"; text += number(1000); break;
        case 5: break;
        case 6: text += "  "; text += number(1000); text += ' '; text += number(1000); text += "  "; break;
        default: text += number(1000); text += ','; text += number(1000); text += ".25"; break;
      }
      out.push_back(tarnwick::fromUtf8(text));
    }
    return out;
  }();
  return texts;
}

const std::vector<std::string>& mixedTextsUtf8() {
  static const std::vector<std::string> texts = [] {
    std::vector<std::string> out;
    out.reserve(kTexts);
    for (const auto& text : mixedTexts()) out.push_back(tarnwick::toUtf8(text));
    return out;
  }();
  return texts;
}

void BM_LeadingNumber(benchmark::State& state) {
  const auto& texts = mixedTexts();
  for (auto _ : state) {
    double sum = 0;
    for (const auto& text : texts) sum += tarnwick::leadingNumber(text);
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(texts.size()));
}
BENCHMARK(BM_LeadingNumber)->Unit(benchmark::kMillisecond);

void BM_IsNumericText(benchmark::State& state) {
  const auto& texts = mixedTexts();
  const tarnwick::Locale english = tarnwick::Locale::enUS();
  for (auto _ : state) {
    std::size_t count = 0;
    for (const auto& text : texts) count += tarnwick::isNumericText(text, english) ? 1u : 0u;
    benchmark::DoNotOptimize(count);
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(texts.size()));
}
BENCHMARK(BM_IsNumericText)->Unit(benchmark::kMillisecond);

// Baselines: the C library's reader and std::from_chars on the UTF-8 texts.
void BM_StrtodBaseline(benchmark::State& state) {
  const auto& texts = mixedTextsUtf8();
  for (auto _ : state) {
    double sum = 0;
    for (const auto& text : texts) sum += std::strtod(text.c_str(), nullptr);
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(texts.size()));
}
BENCHMARK(BM_StrtodBaseline)->Unit(benchmark::kMillisecond);

void BM_FromCharsBaseline(benchmark::State& state) {
  const auto& texts = mixedTextsUtf8();
  for (auto _ : state) {
    double sum = 0;
    for (const auto& text : texts) {
      double value = 0;
      std::from_chars(text.data(), text.data() + text.size(), value);
      sum += value;
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(texts.size()));
}
BENCHMARK(BM_FromCharsBaseline)->Unit(benchmark::kMillisecond);

}  // namespace
