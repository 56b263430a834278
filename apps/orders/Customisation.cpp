#include "Customisation.h"

#include <tarnwick/automation/Convert.h>

#include <string>

namespace orders {

using namespace tarnwick;

namespace {

constexpr std::u16string_view kCaptions = u"Captions.ini";
constexpr std::u16string_view kTips = u"IniTips.ini";

// The front end's own entries of "Captions.ini": a captioned control is
// found by its caption, a grid heading by the grid's name and the column.
struct Replacement {
  std::u16string_view form;
  std::u16string_view key;
  std::u16string_view value;
};
constexpr Replacement kReplacements[] = {
    {u"frmSearch", u"Name", u"Customer name"},
    {u"frmSearch", u"Ordered from", u"Ordered between"},
    {u"frmSearch", u"to", u"and"},
    {u"frmSearch", u"&Search", u"&Find orders"},
    {u"frmView", u"grdOrders0", u"Order no."},
    {u"frmView", u"grdOrders1", u"Customer no."},
    {u"frmView", u"grdOrders2", u"Ordered on"},
    {u"frmView", u"grdOrders3", u"Quantity"},
    {u"frmView", u"grdOrders4", u"Paid"},
    {u"frmView", u"grdOrders5", u"Note"},
    {u"frmView", u"grdLines0", u"Line"},
    {u"frmView", u"grdLines2", u"Quantity"},
    {u"frmView", u"grdLines3", u"Price"},
    {u"frmEdit", u"Ordered on", u"Order date"},
};

void writeIni(const Library& library, std::u16string_view file, std::u16string_view section, std::u16string_view key,
              std::u16string_view value) {
  library.api.call(u"WriteIniValue", std::u16string(section), std::u16string(key), std::u16string(value),
                   std::u16string(file));
}

}  // namespace

bool hasCustomisation(const Library& library, std::u16string_view formName) {
  return !library.api.call(u"GetIniValue", std::u16string(formName), u"CustomCaption", std::u16string(kCaptions))
              .text()
              .empty();
}

void writeCustomisation(const Library& library, const Object& form, std::u16string_view formName) {
  const Variant controls = form.get(u"Controls");
  const std::u16string section(formName);
  library.custom.call(u"GenerateIniCaptions", controls, section);
  library.custom.call(u"GenerateIniTips", controls, section);
  for (const Replacement& r : kReplacements)
    if (r.form == formName) writeIni(library, kCaptions, section, r.key, r.value);
  writeIni(library, kCaptions, section, u"CustomCaption", u"True");
  writeIni(library, kTips, section, u"CustomTip", u"True");
}

void applyCustomisation(const Library& library, const Object& form, std::u16string_view formName) {
  const Variant controls = form.get(u"Controls");
  const std::u16string section(formName);
  library.custom.call(u"GetIniCaptions", controls, section);
  library.custom.call(u"GetIniTips", controls, section);
}

void storeColumnWidths(const Library& library, const Object& grid, std::u16string_view formName) {
  library.custom.call(u"GenerateIniColumnWidths", grid.pointer().get(), std::u16string(formName));
}

std::int16_t applyColumnWidths(const Library& library, const Object& grid, std::u16string_view formName) {
  return toInt16(library.custom.call(u"GetIniColumnWidths_i", grid.pointer().get(), std::u16string(formName)));
}

}  // namespace orders
