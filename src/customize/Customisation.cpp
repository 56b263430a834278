// Per-form customisations kept in three INI files in the settings folder:
// grid column widths, tool tips and captions. A Generate routine writes the
// form's current state; a Get routine applies the file when the kind's
// switch is on. Every step runs in continue-on-error mode: a failing step
// (a member a control lacks, a value it refuses) is skipped, its error
// number becomes the current one, and the routine goes on.
#include "Customisation.h"

#include <tarnwick/automation/Convert.h>
#include <tarnwick/frame/Controls.h>
#include <tarnwick/frame/ErrorStyles.h>
#include <tarnwick/frame/Profile.h>

namespace tarnwick::customize {

namespace {

constexpr std::u16string_view kWidthsFile = u"ColWidths.ini";
constexpr std::u16string_view kTipsFile = u"IniTips.ini";
constexpr std::u16string_view kCaptionsFile = u"Captions.ini";

std::u16string read(std::u16string_view file, std::u16string_view section, std::u16string_view key) {
  return frame::iniRead(section, key, file);
}
// This class's write gives its callers no sign of failure.
void write(std::u16string_view file, std::u16string_view section, std::u16string_view key, std::u16string_view value) {
  frame::iniWrite(section, key, value, file);
}

// Ensures the switch: writes the default when there is none, and answers
// whether the file is to be applied (a switch just written, or one whose
// value is "True" in any letter case).
bool ensureSwitch(std::u16string_view file, std::u16string_view section, std::u16string_view key,
                  std::u16string_view defaultValue) {
  const std::u16string value = read(file, section, key);
  if (value.empty()) write(file, section, key, defaultValue);
  return value.empty() || equalsIgnoreCase(value, u"TRUE");
}

std::u16string decimal(std::int32_t n) { return toText(Variant(n)); }

// A control's index text: its Index when it is an element of a control
// array, "" otherwise (the failed read is passed over).
std::u16string indexText(const Object& control, frame::ContinueOnError& errors) {
  std::u16string text;
  errors.run([&] { text = toText(control.get(u"Index")); });
  return text;
}

std::u16string withoutLeadingBlanks(std::u16string text) {
  const std::size_t first = text.find_first_not_of(u' ');
  return first == std::u16string::npos ? std::u16string() : text.substr(first);
}

enum class GridKind { Flex, Data, None };

GridKind gridKind(const Object& grid) {
  const std::u16string type = grid.typeName();
  if (type == u"MSFlexGrid" || type == u"Grid") return GridKind::Flex;
  if (type == u"DBGrid") return GridKind::Data;
  return GridKind::None;
}

Object column(const Object& grid, std::int32_t i) { return frame::element(Object(grid.get(u"Columns")), i); }

std::u16string gridSection(const Object& grid, const std::u16string& form, frame::ContinueOnError& errors) {
  const std::u16string index = indexText(grid, errors);
  std::u16string name;
  errors.run([&] { name = toText(grid.get(u"Name")); });
  return form + name + index;
}

}  // namespace

void generateIniColumnWidths(Call& call) {
  frame::ContinueOnError errors;
  errors.run([&] {
    const Object grid(call.object(0));
    const std::u16string section = gridSection(grid, call.text(1), errors);
    ensureSwitch(kWidthsFile, section, u"CustomWidht", u"True");
    const GridKind kind = gridKind(grid);
    if (kind == GridKind::Flex) {
      const std::int32_t cols = toInt32(grid.get(u"Cols"));
      for (std::int32_t i = 0; i < cols; ++i)
        errors.run([&] {
          const Variant width = grid.get(u"ColWidth", {Variant(i)});
          if (toDouble(width) > 0) write(kWidthsFile, section, decimal(i), toText(width));
        });
    } else if (kind == GridKind::Data) {
      const std::int32_t count = toInt32(Object(grid.get(u"Columns")).get(u"Count"));
      for (std::int32_t i = 0; i < count; ++i)
        errors.run([&] {
          const Object c = column(grid, i);
          const Variant visible = c.get(u"Visible");
          if (!visible.isNull() && toBool(visible)) write(kWidthsFile, section, decimal(i), toText(c.get(u"Width")));
        });
    }
  });
  call.setResult(std::int16_t{0});
}

void getIniColumnWidths(Call& call) {
  frame::ContinueOnError errors;
  std::int16_t result = 0;
  errors.run([&] {
    const Object grid(call.object(0));
    const std::u16string section = gridSection(grid, call.text(1), errors);
    if (!ensureSwitch(kWidthsFile, section, u"CustomWidht", u"True")) return;
    const GridKind kind = gridKind(grid);
    if (kind == GridKind::None) return;
    const std::int32_t count =
        kind == GridKind::Flex ? toInt32(grid.get(u"Cols")) : toInt32(Object(grid.get(u"Columns")).get(u"Count"));
    for (std::int32_t i = 0; i < count; ++i) {
      const std::u16string stored = read(kWidthsFile, section, decimal(i));
      if (stored.empty()) continue;
      // The stored text's leading number, rounded to 16 bits; a number out
      // of that range leaves the column as it is.
      std::int16_t width = 0;
      if (!errors.run([&] { width = roundToInt16(leadingNumber(stored)); }) || width <= 0) continue;
      errors.run([&] {
        if (kind == GridKind::Flex) grid.put(u"ColWidth", {Variant(i)}, Variant(width));
        else column(grid, i).put(u"Width", Variant(width));
      });
      // The result names the column even when the grid refused the width.
      result = static_cast<std::int16_t>(i);
    }
  });
  call.setResult(result);
}

void generateIniTips(Call& call) {
  frame::ContinueOnError errors;
  errors.run([&] {
    const std::u16string form = call.text(1);
    ensureSwitch(kTipsFile, form, u"CustomTip", u"False");
    for (const Object& control : frame::collectionItems(Object(call.object(0)))) {
      std::u16string caption;
      errors.run([&] { caption = withoutLeadingBlanks(toText(control.get(u"Caption"))); });
      // The index text only matters for a control without a caption; a
      // failed read of it would be cleared at once, so it is read only then.
      const std::u16string index = caption.empty() ? indexText(control, errors) : std::u16string();
      errors.clear();
      Variant tip;
      if (!errors.run([&] { tip = control.get(u"ToolTipText"); })) continue;
      errors.run([&] {
        const std::u16string key = caption.empty() ? toText(control.get(u"Name")) + index : caption;
        write(kTipsFile, form, key, toText(tip));
      });
    }
  });
  call.setResult(static_cast<std::int16_t>(errors.number()));
}

void getIniTips(Call& call) {
  frame::ContinueOnError errors;
  bool applied = false;
  errors.run([&] {
    const std::u16string form = call.text(1);
    if (!ensureSwitch(kTipsFile, form, u"CustomTip", u"False")) return;
    applied = true;
    for (const Object& control : frame::collectionItems(Object(call.object(0)))) {
      std::u16string caption;
      errors.run([&] { caption = toText(control.get(u"Caption")); });
      const std::u16string index = caption.empty() ? indexText(control, errors) : std::u16string();
      errors.clear();
      if (!errors.run([&] { control.get(u"ToolTipText"); })) continue;
      errors.run([&] {
        const std::u16string key = caption.empty() ? toText(control.get(u"Name")) + index : caption;
        const std::u16string tip = read(kTipsFile, form, key);
        if (!tip.empty()) control.put(u"ToolTipText", Variant(tip));
      });
    }
  });
  call.setResult(static_cast<std::int16_t>(applied ? errors.number() : 0));
}

namespace {

// Visits every captioned item of a control: grid headings, tabs, a menu's
// caption (each with its key), or a plain control's caption (key = caption).
struct CaptionItems {
  const Object& control;
  frame::ContinueOnError& errors;
  bool applying;  // reading the file rather than writing it

  template <typename Item, typename Plain>
  void visit(Item&& item, Plain&& plain) {
    const std::u16string type = control.typeName();
    const auto keyOf = [&](std::int32_t i) {
      std::u16string name;
      errors.run([&] { name = toText(control.get(u"Name")); });
      return name + indexText(control, errors) + decimal(i);
    };
    if (type == u"DBGrid") {
      if (applying && !toBool(control.get(u"ColumnHeaders"))) return;
      const std::int16_t count = toInt16(Object(control.get(u"Columns")).get(u"Count"));
      for (std::int16_t i = 0; i < count; ++i) {
        const Object c = column(control, i);
        item(keyOf(i), [&] { return c.get(u"Caption"); }, [&](const Variant& v) { c.put(u"Caption", v); });
      }
    } else if (type == u"MSFlexGrid") {
      if (toDouble(control.get(u"FixedRows")) <= 0) return;
      const std::int16_t cols = toInt16(control.get(u"Cols"));
      for (std::int16_t i = 0; i < cols; ++i) {
        const Variant cell[] = {Variant(std::int32_t{0}), Variant(std::int32_t{i})};
        item(keyOf(i), [&] { return control.get(u"TextMatrix", {cell[0], cell[1]}); },
             [&](const Variant& v) { control.put(u"TextMatrix", {cell[0], cell[1]}, v); });
      }
    } else if (type == u"TabStrip") {
      const Object tabs(control.get(u"Tabs"));
      const std::int16_t count = toInt16(tabs.get(u"Count"));
      for (std::int16_t i = 1; i <= count; ++i) {
        const Object tab = frame::element(tabs, i);
        item(keyOf(i), [&] { return tab.get(u"Caption"); }, [&](const Variant& v) { tab.put(u"Caption", v); });
      }
    } else if (type == u"Menu") {
      std::u16string name;
      errors.run([&] { name = toText(control.get(u"Name")); });
      item(name + indexText(control, errors), [&] { return control.get(u"Caption"); },
           [&](const Variant& v) { control.put(u"Caption", v); });
    } else {
      plain();
    }
  }
};

}  // namespace

void generateIniCaptions(Call& call) {
  frame::ContinueOnError errors;
  errors.run([&] {
    const std::u16string form = call.text(1);
    ensureSwitch(kCaptionsFile, form, u"CustomCaption", u"False");
    for (const Object& control : frame::collectionItems(Object(call.object(0)))) {
      errors.run([&] {
        CaptionItems{control, errors, false}.visit(
            [&](const std::u16string& key, auto get, auto) {
              std::u16string text;
              errors.run([&] { text = toText(get()); });
              errors.run([&] { write(kCaptionsFile, form, key, text); });
            },
            [&] {
              // A captioned control is a key of its own, without its leading
              // blanks, with an empty value for an editor to fill in.
              std::u16string caption;
              errors.run([&] { caption = withoutLeadingBlanks(toText(control.get(u"Caption"))); });
              if (!caption.empty()) errors.run([&] { write(kCaptionsFile, form, caption, u""); });
            });
      });
    }
  });
  call.setResult(static_cast<std::int16_t>(errors.number()));
}

void getIniCaptions(Call& call) {
  frame::ContinueOnError errors;
  bool applied = false;
  errors.run([&] {
    const std::u16string form = call.text(1);
    if (!ensureSwitch(kCaptionsFile, form, u"CustomCaption", u"False")) return;
    applied = true;
    for (const Object& control : frame::collectionItems(Object(call.object(0)))) {
      errors.run([&] {
        CaptionItems{control, errors, true}.visit(
            [&](const std::u16string& key, auto, auto set) {
              const std::u16string text = read(kCaptionsFile, form, key);
              if (!text.empty()) errors.run([&] { set(Variant(text)); });
            },
            [&] {
              std::u16string caption;
              errors.run([&] { caption = toText(control.get(u"Caption")); });
              if (caption.empty()) return;
              const std::u16string text = read(kCaptionsFile, form, caption);
              if (!text.empty()) errors.run([&] { control.put(u"Caption", Variant(text)); });
            });
      });
    }
  });
  call.setResult(static_cast<std::int16_t>(applied ? errors.number() : 0));
}

}  // namespace tarnwick::customize
