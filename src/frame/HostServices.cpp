#include <tarnwick/automation/Convert.h>
#include <tarnwick/frame/Activation.h>
#include <tarnwick/frame/HostServices.h>

namespace tarnwick::frame {

Object hostServices() { return Object(createObject(kHostProgId)); }

std::int16_t showMessage(std::u16string_view prompt, std::int16_t buttons, std::u16string_view note) {
  if (note.empty()) return toInt16(hostServices().call(u"MsgBox", prompt, buttons));
  return toInt16(hostServices().call(u"MsgBox", prompt, buttons, Variant(), note));
}

void logNote(std::u16string_view text) { hostServices().call(u"LogNote", text); }

void logMessage(std::u16string_view text) noexcept {
  // A log that cannot be told (no host, or one without a log) loses the
  // message, never the work that wanted to say it.
  try {
    logNote(text);
  } catch (...) {
  }
}

}  // namespace tarnwick::frame
