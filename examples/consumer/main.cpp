// Uses the installed library through find_package(Tarnwick): converts a few
// texts, drives a control of a headless form by name and calls one of the
// library's classes by name (no registration needed), checking the answers,
// so a broken install fails loudly.
#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/Object.h>
#include <tarnwick/automation/Operations.h>
#include <tarnwick/automation/String.h>
#include <tarnwick/frame/Activation.h>
#include <tarnwick/host/Form.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

int main() {
  using namespace tarnwick;
  LocaleScope scope(Locale::deDE());
  bool ok = leadingNumber(u"12abc") == 12.0 && numberToText(7) == u" 7" && isNumericText(u"1.234,5") &&
            toText(add(Variant(u"ab"), Variant(u"cd"))) == u"abcd";

  ComPtr<host::Form> form = host::Form::create(u"frmConsumer");
  host::Control& name = form->add(host::ControlKind::TextBox, u"txtName");
  Object(static_cast<IDispatch*>(&name)).put(u"Text", Variant(u"Ada"));
  ok = ok && name.text() == u"Ada";

  for (const char16_t* name : {u"DataAccessWrapper", u"OcxWrapper", u"Customize", u"APIWrapper"})
    ok = ok && Object(frame::createObject(u"Tarnwick." + std::u16string(name))).typeName() == name;
  const Object api(frame::createObject(u"Tarnwick.APIWrapper"));
  const auto ini =
      std::filesystem::temp_directory_path() / ("tarnwick-consumer-" + std::to_string(::getpid()) + ".ini");
  const std::u16string file = fromUtf8(ini.string());
  ok = ok && toInt32(api.call(u"WriteIniValue", u"Main", u"Key", u"value", file)) != 0 &&
       api.call(u"GetIniValue", u"Main", u"Key", file).text() == u"value";
  std::filesystem::remove(ini);

  std::printf("%s\n", ok ? "consumer: ok" : "consumer: WRONG");
  return ok ? 0 : 1;
}
