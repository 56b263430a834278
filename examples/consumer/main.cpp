// Uses the installed library through find_package(Tarnwick): converts a few
// texts and checks the answers, so a broken install fails loudly.
#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/Operations.h>

#include <cstdio>

int main() {
  using namespace tarnwick;
  LocaleScope scope(Locale::deDE());
  const bool ok = leadingNumber(u"12abc") == 12.0 && numberToText(7) == u" 7" && isNumericText(u"1.234,5") &&
                  toText(add(Variant(u"ab"), Variant(u"cd"))) == u"abcd";
  std::printf("%s\n", ok ? "consumer: ok" : "consumer: WRONG");
  return ok ? 0 : 1;
}
