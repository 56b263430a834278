// The tarnwick command-line tool. For now it reports the library's version
// and shows the value conversions at work under two sets of conventions.
#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/Error.h>
#include <tarnwick/automation/Operations.h>
#include <tarnwick/automation/Version.h>

#include <cstdio>
#include <string>
#include <string_view>

namespace {

using namespace tarnwick;

void line(std::string_view label, const std::u16string& value) {
  std::printf("  %-44.*s %s\n", static_cast<int>(label.size()), label.data(), toUtf8(value).c_str());
}

void demo(const Locale& locale) {
  LocaleScope scope(locale);
  std::printf("%s\n", toUtf8(locale.name).c_str());
  line("leading-number value of \"12abc\"", numberToText(leadingNumber(u"12abc")));
  line("leading-number value of \"1.5\"", numberToText(leadingNumber(u"1.5")));
  line("numeric test of \"1.234,5\"", isNumericText(u"1.234,5") ? u"True" : u"False");
  line("date test of \"31.12.1999\"", isDateText(u"31.12.1999") ? u"True" : u"False");
  line("\"12/31/1999 13:05\" as dd.mm.yyyy hh:nn AM/PM", format(Variant(u"12/31/1999 13:05"), u"dd.mm.yyyy hh:nn AM/PM"));
  line("2.5 rounded to an integer", numberToText(roundToInt16(2.5)));
  line("\"3\" + 4", toText(add(Variant(u"3"), Variant(std::int16_t{4}))));
  line("\"3\" + \"4\"", toText(add(Variant(u"3"), Variant(u"4"))));
  line("1.5 as text", toText(Variant(1.5)));
}

}  // namespace

int main(int argc, char** argv) {
  const std::string_view command = argc > 1 ? argv[1] : "";
  if (command == "version") {
    std::printf("%s\n", libraryVersion());
    return 0;
  }
  if (!command.empty() && command != "demo") {
    std::fprintf(stderr, "usage: tarnwick [version|demo]\n");
    return 2;
  }
  try {
    std::printf("Tarnwick %s\n", libraryVersion());
    demo(Locale::enUS());
    demo(Locale::deDE());
  } catch (const Error& e) {
    std::fprintf(stderr, "%d %s\n", e.number(), toUtf8(e.description()).c_str());
    return 1;
  }
  return 0;
}
