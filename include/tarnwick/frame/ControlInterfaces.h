#pragma once
// The interfaces by which routines tell control kinds apart (an interface
// test, not a comparison of class names): text boxes, combo boxes and
// check boxes answer to these identifiers; no other control does.
#include <tarnwick/automation/Guid.h>

namespace tarnwick::frame {

// {33AD4EE1-6699-11CF-B70C-00AA0060D393}
inline constexpr IID IID_TextBox{0x33AD4EE1, 0x6699, 0x11CF, {0xB7, 0x0C, 0x00, 0xAA, 0x00, 0x60, 0xD3, 0x93}};
// {33AD4F09-6699-11CF-B70C-00AA0060D393}
inline constexpr IID IID_ComboBox{0x33AD4F09, 0x6699, 0x11CF, {0xB7, 0x0C, 0x00, 0xAA, 0x00, 0x60, 0xD3, 0x93}};
// {33AD4EF9-6699-11CF-B70C-00AA0060D393}
inline constexpr IID IID_CheckBox{0x33AD4EF9, 0x6699, 0x11CF, {0xB7, 0x0C, 0x00, 0xAA, 0x00, 0x60, 0xD3, 0x93}};

}  // namespace tarnwick::frame
