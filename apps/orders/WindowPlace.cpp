#include "WindowPlace.h"

#include <tarnwick/automation/Error.h>
#include <tarnwick/automation/String.h>

#include <QEvent>
#include <QGuiApplication>
#include <QRect>
#include <QScreen>
#include <QWidget>

#include <array>
#include <charconv>
#include <optional>
#include <string>

namespace orders {

using namespace tarnwick;

namespace {

constexpr std::array<std::u16string_view, 4> kKeys = {u"Left", u"Top", u"Width", u"Height"};
// At least this much of a window must lie on some screen for the user to
// grab it and pull it back.
constexpr int kMinVisible = 40;

std::optional<int> wholeNumber(const std::u16string& text) {
  const std::string digits = toUtf8(text);
  int value = 0;
  const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (ec != std::errc() || end != digits.data() + digits.size() || digits.empty()) return std::nullopt;
  return value;
}

bool reachable(const QRect& place) {
  for (const QScreen* screen : QGuiApplication::screens()) {
    const QRect seen = screen->availableGeometry().intersected(place);
    if (seen.width() >= kMinVisible && seen.height() >= kMinVisible) return true;
  }
  return false;
}

class PlaceKeeper final : public QObject {
 public:
  PlaceKeeper(const Library& library, QWidget& window, std::u16string_view formName)
      : QObject(&window), library_(library), formName_(formName) {
    window.installEventFilter(this);
  }
  bool eventFilter(QObject* watched, QEvent* event) override {
    // A spontaneous hide is the window system's (minimising): the place stays.
    if (watched == parent() && event->type() == QEvent::Hide && !event->spontaneous()) {
      try {
        storePlace(library_, *static_cast<QWidget*>(watched), formName_);
      } catch (const Error&) {
        // A settings file that cannot be written costs the next run its
        // window places, nothing more; the close goes on.
      }
    }
    return false;
  }

 private:
  const Library& library_;
  std::u16string formName_;
};

}  // namespace

void restorePlace(const Library& library, QWidget& window, std::u16string_view formName) {
  std::array<int, kKeys.size()> values{};
  for (std::size_t i = 0; i < kKeys.size(); ++i) {
    const std::optional<int> value = wholeNumber(std::u16string(
        library.api.call(u"GetIniValue", std::u16string(formName), std::u16string(kKeys[i]), std::u16string(kPlacesFile))
            .text()));
    if (!value) return;
    values[i] = *value;
  }
  const QRect place(values[0], values[1], values[2], values[3]);
  if (place.width() <= 0 || place.height() <= 0 || !reachable(place)) return;
  window.move(place.topLeft());
  window.resize(place.size());
}

void storePlace(const Library& library, const QWidget& window, std::u16string_view formName) {
  // The frame's corner and the inside's size: what move and resize take back.
  const std::array<int, kKeys.size()> values = {window.x(), window.y(), window.width(), window.height()};
  for (std::size_t i = 0; i < kKeys.size(); ++i)
    library.api.call(u"WriteIniValue", std::u16string(formName), std::u16string(kKeys[i]),
                     fromUtf8(std::to_string(values[i])), std::u16string(kPlacesFile));
}

void keepPlaceOnClose(const Library& library, QWidget& window, std::u16string_view formName) {
  new PlaceKeeper(library, window, formName);
}

}  // namespace orders
