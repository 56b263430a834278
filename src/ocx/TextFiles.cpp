// The text file routines of OcxWrapper: whole files read into a string and
// strings written whole.
#include "TextFiles.h"

#include <tarnwick/automation/Error.h>
#include <tarnwick/frame/HostServices.h>
#include <tarnwick/frame/TextFile.h>

namespace tarnwick::ocx {

void readFromFile(Call& call) {
  const std::u16string name = call.text(0);
  const bool binary = call.int16(1) != 0;
  call.setResult(frame::readFile(name, binary));
}

void openFileForInput(Call& call) { call.setResult(frame::readFile(call.text(0), false)); }

void saveToFile(Call& call) {
  const std::u16string name = call.text(0);
  const std::u16string contents = call.text(1);
  const bool binary = call.int16(2) != 0;
  const std::int16_t result = frame::writeFile(name, contents, binary);
  call.setResult(result);
  // Only this writer tells the user: the error's description, OK only, the
  // exclamation icon, no title of its own.
  if (result != 0) frame::showMessage(standardDescription(result), frame::msgbox::Exclamation);
}

void saveFile(Call& call) { call.setResult(frame::printToFile(call.text(0), call.arg(1))); }

}  // namespace tarnwick::ocx
