// Placing a list form's grid and the controls around it, and an in-place
// combo box over a data grid's current cell. Positions and sizes are twips
// in the coordinates of the controls' container.
#include "GridSizing.h"
#include "Int16Math.h"

#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/String.h>
#include <tarnwick/frame/Controls.h>
#include <tarnwick/frame/ErrorStyles.h>
#include <tarnwick/frame/Start.h>

namespace tarnwick::ocx {

namespace {

// The gap between the grid and its companions, and between neighbours in a row.
constexpr std::int16_t kGap = 24;

double number(const Object& control, std::u16string_view member) { return toDouble(control.get(member)); }

std::u16string upper(std::u16string text) {
  for (char16_t& c : text) c = upperCase(c);
  return text;
}

// The distance from the grid's right edge to the left edge of the control
// that comes `placed` places along a row: (placed + 1) steps of the
// control's own width and the gap, each step a whole number of twips.
Int16 rowOffset(const Object& control, Int16 placed) {
  Int16 offset;
  const double step = number(control, u"Width") + kGap;
  for (Int16 k; k <= placed; ++k) offset = Int16(roundToInt16(offset.value() + step));
  return offset;
}

void placeGrid(const Object& grid, const std::vector<Variant>& placements) {
  const Object form(grid.get(u"Parent"));
  grid.put(u"Top", Variant(std::int16_t{300}));
  grid.put(u"Left", Variant(std::int16_t{12}));
  grid.put(u"Height", Variant(number(form, u"Height") - number(grid, u"Top") - 720));
  grid.put(u"Width", Variant(number(form, u"Width") - 120));

  Int16 bottomRight;
  Int16 topRight;
  for (std::size_t i = 0; i < placements.size(); i += 2) {
    const Object control(placements[i]);
    if (i + 1 >= placements.size()) raise(errc::SubscriptOutOfRange);  // the last control has no word
    const std::u16string word = upper(toText(placements[i + 1]));
    if (word == u"HEADING") {
      control.put(u"Width", grid.get(u"Width"));
      control.put(u"Top", Variant(number(grid, u"Top") - number(control, u"Height")));
      control.put(u"Left", grid.get(u"Left"));
    } else if (word == u"BOTTOMRIGHT") {
      control.put(u"Top", Variant(number(grid, u"Top") + number(grid, u"Height") + kGap));
      const Int16 offset = rowOffset(control, bottomRight);
      control.put(u"Left", Variant(number(grid, u"Left") + number(grid, u"Width") - offset.value()));
      ++bottomRight;
    } else if (word == u"TOPRIGHT") {
      control.put(u"Top", Variant(number(grid, u"Top") - number(control, u"Height")));
      const Int16 offset = rowOffset(control, topRight);
      control.put(u"Left", Variant(number(grid, u"Left") + number(grid, u"Width") - offset.value()));
      control.call(u"ZOrder", std::int16_t{0});
      ++topRight;
    }
  }
}

void placeCombo(const Object& grid, const Object& combo, const Variant& adjustArgument) {
  const frame::ScreenFactors& factors = frame::screenFactors();
  combo.put(u"Visible", Variant(true));
  const Object column = frame::element(Object(grid.get(u"Columns")), toInt32(grid.get(u"Col")));
  // One pixel wider than the column, so the combo covers its grid lines.
  combo.put(u"Width", Variant(number(column, u"Width") + factors.twipsPerPixelX));
  combo.put(u"Left", Variant(number(grid, u"Left") + number(column, u"Left")));
  const Int16 headroom = 14_i16 * Int16(factors.twipsPerPixelY);
  const double adjust = adjustArgument.isMissing() ? 0.0 : toDouble(adjustArgument);
  const double top =
      number(grid, u"Top") + number(grid, u"RowHeight") * number(grid, u"Row") + headroom.value() + adjust;
  combo.put(u"Top", Variant(top));
  combo.call(u"ZOrder", std::int16_t{0});
  combo.call(u"SetFocus");
}

}  // namespace

void sizeGridForm(Call& call) {
  const std::int32_t number = frame::errorNumberOf([&] {
    const Object grid(call.object(0));
    placeGrid(grid, frame::arrayElements(call.arg(1)));
  });
  call.setResult(static_cast<std::int16_t>(number));
}

void comboInGridRowColChange(Call& call) {
  const std::int32_t number = frame::errorNumberOf([&] {
    const Object grid(call.object(0));
    const Object combo(call.object(1));
    placeCombo(grid, combo, call.has(2) ? call.arg(2) : Variant::missing());
  });
  call.setResult(static_cast<std::int16_t>(number));
}

}  // namespace tarnwick::ocx
