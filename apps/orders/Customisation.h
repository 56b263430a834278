#pragma once
// The three customisation files of the library ("Captions.ini",
// "IniTips.ini", "ColWidths.ini") for the front end's forms.
//
// The first time a form is used, the library writes the form's own
// captions, tool tips and grid column widths into the files; the front end
// then fills in its replacement captions, as an editor of the files would,
// and switches captions and tool tips on. From then on every use applies
// what the files hold, so a user who edits them sees his texts.
#include "Session.h"

#include <cstdint>
#include <string_view>

namespace orders {

// True when the files already hold the form's customisation switch.
bool hasCustomisation(const Library& library, std::u16string_view formName);

// Writes the form's captions and tool tips, then the front end's
// replacement captions, and switches both kinds on.
void writeCustomisation(const Library& library, const Object& form, std::u16string_view formName);

// Applies the stored captions and tool tips. The routines' results (the
// number of the last member some control lacked, a label's tool tip for
// instance) are no fault of the form and are not looked at.
void applyCustomisation(const Library& library, const Object& form, std::u16string_view formName);

// A grid's column widths: stored (the grid's widths as they are now) and
// applied (the index of the last column set, 0 when none).
void storeColumnWidths(const Library& library, const Object& grid, std::u16string_view formName);
std::int16_t applyColumnWidths(const Library& library, const Object& grid, std::u16string_view formName);

}  // namespace orders
