#pragma once
// The host's services as the library's routines reach them: by name,
// through the automation object that the host registers under the
// programmatic identifier "Tarnwick.Host" for this process. Its members:
//
//   Screen -> TwipsPerPixelX, TwipsPerPixelY, Width, Height (twips)
//   Clipboard -> Clear, SetText(text), GetText, GetFormat(format)
//   MsgBox(prompt[, buttons[, title[, note]]]) -> answer   the modal message box;
//                                                     the note goes only to the log
//   LogNote(text)                                    a remark for the log alone, once
//   GetSystemMetrics(index)                          e.g. 45, the edge width
//   GetSysColor(index), SetSysColors(index, colour)  the system colour table
//   SetWindowPos(hWnd, insertAfter, x, y, cx, cy, flags), IsTopmost(hWnd)
//   SystemDirectory, WindowsDirectory
//   Progress -> Report(task, done, total), Finish(task)  optional: Nothing
//                                                     when the host has none
//
// Message boxes take the platform's button-and-icon codes and answer with
// its codes (OK 1, Cancel 2, Yes 6, No 7).
#include <tarnwick/automation/Export.h>
#include <tarnwick/automation/Object.h>

#include <cstdint>
#include <string_view>

namespace tarnwick::frame {

inline constexpr std::u16string_view kHostProgId = u"Tarnwick.Host";

namespace msgbox {
inline constexpr std::int16_t OkOnly = 0;
inline constexpr std::int16_t YesNo = 4;
inline constexpr std::int16_t Critical = 16;
inline constexpr std::int16_t Question = 32;
inline constexpr std::int16_t Exclamation = 48;
inline constexpr std::int16_t Information = 64;
inline constexpr std::int16_t AnswerOk = 1;
inline constexpr std::int16_t AnswerCancel = 2;
inline constexpr std::int16_t AnswerYes = 6;
inline constexpr std::int16_t AnswerNo = 7;
}  // namespace msgbox

// The host's services object; Error 429 when no host is registered.
TARNWICK_API Object hostServices();

// Shows a message box through the host and returns the answer.
// `note`, what is at fault, goes to the message log beside the box.
TARNWICK_API std::int16_t showMessage(std::u16string_view prompt, std::int16_t buttons, std::u16string_view note = {});
// A remark for the message log alone, recorded once per process.
TARNWICK_API void logNote(std::u16string_view text);

// The same for a warning of the library's own (an unencrypted
// connection): nothing happens where no host is registered, or where the
// log cannot be told.
TARNWICK_API void logMessage(std::u16string_view text) noexcept;

}  // namespace tarnwick::frame
