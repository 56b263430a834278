#pragma once
// Where each window of the front end was, and how big, when it last
// closed: kept through the library's INI routines in "Windows.ini" in the
// data folder, one section per form (Left, Top, Width, Height in pixels).
#include "Session.h"

#include <string_view>

class QWidget;

namespace orders {

inline constexpr std::u16string_view kPlacesFile = u"Windows.ini";

// Puts the window where it was last. A stored place that is malformed, or
// that would leave the window off every screen, is ignored: the window
// keeps its designed size and the platform places it.
void restorePlace(const Library& library, QWidget& window, std::u16string_view formName);

// Keeps the window's place and size for the next run.
void storePlace(const Library& library, const QWidget& window, std::u16string_view formName);

// Stores the place each time the window is closed or hidden by the
// program (not when it is minimised), for as long as `window` lives.
void keepPlaceOnClose(const Library& library, QWidget& window, std::u16string_view formName);

}  // namespace orders
