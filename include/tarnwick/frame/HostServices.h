#pragma once
// The host's services as the library's routines reach them: by name,
// through the automation object that the host registers under the
// programmatic identifier "Tarnwick.Host" for this process. Its members:
//
//   Screen -> TwipsPerPixelX, TwipsPerPixelY, Width, Height (twips)
//   Clipboard -> Clear, SetText(text), GetText, GetFormat(format)
//   MsgBox(prompt[, buttons[, title]]) -> answer     the modal message box
//   GetSystemMetrics(index)                          e.g. 45, the edge width
//   GetSysColor(index), SetSysColors(index, colour)  the system colour table
//   SetWindowPos(hWnd, insertAfter, x, y, cx, cy, flags), IsTopmost(hWnd)
//   SystemDirectory, WindowsDirectory
//   Progress -> Report(task, done, total), Finish(task)  optional: Nothing
//                                                     when the host has none
//   LogMessage(text)                                 a message that asks for
//                                                    no answer, to the log
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
TARNWICK_API std::int16_t showMessage(std::u16string_view prompt, std::int16_t buttons);

// Tells the host's message log something that needs no answer (a warning
// of the library's own, such as an unencrypted connection); nothing
// happens where no host is registered.
TARNWICK_API void logMessage(std::u16string_view text) noexcept;

}  // namespace tarnwick::frame
