#include <tarnwick/automation/Convert.h>
#include <tarnwick/frame/Activation.h>
#include <tarnwick/frame/HostServices.h>

namespace tarnwick::frame {

Object hostServices() { return Object(createObject(kHostProgId)); }

std::int16_t showMessage(std::u16string_view prompt, std::int16_t buttons) {
  return toInt16(hostServices().call(u"MsgBox", prompt, buttons));
}

}  // namespace tarnwick::frame
