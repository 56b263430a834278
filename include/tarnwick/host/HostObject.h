#pragma once
// The host's services as one automation object, class "Tarnwick.Host": the
// way routines and scripts reach the screen, clipboard, message box,
// system metrics and colours, window stacking and folders by name.
//
//   Object host(frame::createObject(u"Tarnwick.Host"));
//   host.call(u"MsgBox", u"Delete the rows?", 36);   // 6 Yes, 7 No
//   Object(host.get(u"Screen")).get(u"TwipsPerPixelX");
//
// Members: Screen (TwipsPerPixelX, TwipsPerPixelY, Width, Height),
// Clipboard (Clear, SetText, GetText, GetFormat), MsgBox(prompt[, buttons[,
// title]]), GetSystemMetrics(index), GetSysColor(index),
// SetSysColors(index, colour), SetWindowPos(hWnd, insertAfter, x, y, cx,
// cy, flags), IsTopmost(hWnd), SystemDirectory, WindowsDirectory,
// LoadForm(path), Progress (Report(task, done, total) -> continue?,
// Finish(task); Nothing when the host has no progress service).
#include <tarnwick/automation/AutomationObject.h>

namespace tarnwick::host {

// {7A3C51E0-2B6D-4F0A-9C1E-5D8B2A4F6E10}
inline constexpr CLSID kHostClassId{0x7A3C51E0, 0x2B6D, 0x4F0A, {0x9C, 0x1E, 0x5D, 0x8B, 0x2A, 0x4F, 0x6E, 0x10}};
inline constexpr std::u16string_view kHostProgId = u"Tarnwick.Host";

class HostObject final : public AutomationObject<HostObject> {
 public:
  static std::u16string_view typeName() { return u"Host"; }
  static std::span<const Member<HostObject>> members();
};

}  // namespace tarnwick::host
