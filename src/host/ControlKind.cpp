#include <tarnwick/host/ControlKind.h>

#include <array>

namespace tarnwick::host {

namespace {
constexpr std::array<std::u16string_view, kControlKindCount> kTypeNames = {
    u"TextBox", u"ComboBox", u"CheckBox", u"Label",   u"CommandButton", u"Frame",  u"ListBox", u"DBCombo",
    u"Menu",    u"TabStrip", u"Panel",    u"MSFlexGrid", u"Grid",        u"DBGrid", u"Data",
};
}  // namespace

std::u16string_view typeNameOf(ControlKind kind) noexcept {
  const auto i = static_cast<std::size_t>(kind);
  return i < kTypeNames.size() ? kTypeNames[i] : std::u16string_view(u"Control");
}

std::optional<ControlKind> kindOfTypeName(std::u16string_view name) noexcept {
  for (std::size_t i = 0; i < kTypeNames.size(); ++i)
    if (kTypeNames[i] == name) return static_cast<ControlKind>(i);
  return std::nullopt;
}

}  // namespace tarnwick::host
