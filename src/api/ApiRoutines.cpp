// The routines of APIWrapper: INI values and the two standard folders.
#include "ApiRoutines.h"

#include <tarnwick/automation/String.h>
#include <tarnwick/automation/Convert.h>
#include <tarnwick/frame/Folders.h>
#include <tarnwick/frame/HostServices.h>
#include <tarnwick/frame/Profile.h>

namespace tarnwick::api {

namespace {
frame::OptionalText optional(const std::optional<std::u16string>& text) {
  return text ? frame::OptionalText(*text) : std::nullopt;
}

// A folder's path ending in exactly one "/", the platform's separator here;
// "" when there is no folder. A path of any length is returned whole.
std::u16string folderText(const std::filesystem::path& folder) {
  std::u16string text = fromUtf8(folder.string());
  if (!text.empty() && text.back() != u'/') text += u'/';
  return text;
}
}  // namespace

void getIniValue(Call& call) {
  const auto section = call.nullableText(0);
  const auto key = call.nullableText(1);
  const std::u16string file = call.text(2);
  call.setResult(frame::iniRead(optional(section), optional(key), file));
}

void writeIniValue(Call& call) {
  const auto section = call.nullableText(0);
  const auto key = call.nullableText(1);
  const auto value = call.nullableText(2);
  const std::u16string file = call.text(3);
  call.setResult(frame::iniWrite(optional(section), optional(key), optional(value), file));
}

void getSystemDir(Call& call) { call.setResult(folderText(frame::folders().system)); }
void getWindowsDir(Call& call) { call.setResult(folderText(frame::folders().windows)); }

void stayOnTop(Call& call) {
  const Object form(call.object(0));
  const std::int32_t window = toInt32(form.get(u"hWnd"));
  const bool onTop = call.flag(1);
  // Topmost (-1) or not topmost (-2); flags 3 (no size, no move) keep the
  // window's place and size. A refusal (an unknown window) is not reported.
  frame::hostServices().call(u"SetWindowPos", window, std::int32_t{onTop ? -1 : -2}, 0, 0, 0, 0, 3);
}

// Part of the interface that activates nothing: an empty result.
void appActivateClass(Call& call) { call.setResult(Variant()); }

}  // namespace tarnwick::api
