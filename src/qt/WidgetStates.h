#pragma once
// Private to the Qt host: the states of the widget classes that stand for
// the host's controls, one class per file. Each maps the properties its
// widget shows; the rules stay with the host's members.
#include "WidgetState.h"

#include <tarnwick/automation/Convert.h>

#include <cmath>
#include <cstdint>
#include <memory>

namespace tarnwick::qt::impl {

inline std::int32_t intOf(const Variant& v) { return v.isEmpty() || v.isNull() ? 0 : toInt32(v); }
inline bool flagOf(const Variant& v) { return !v.isEmpty() && !v.isNull() && toBool(v); }
inline int pixels(double twips, bool horizontal) {
  return static_cast<int>(std::lround(twipsToPixels(twips, horizontal)));
}

// The state of each kind of control on its widget.
std::unique_ptr<WidgetState> newCaptionState(QObject* object, bool designed);  // labels, buttons, frames, panels
std::unique_ptr<WidgetState> newTextState(QObject* object, bool designed);
std::unique_ptr<WidgetState> newComboState(QObject* object, bool designed);  // combo boxes and lookup combos
std::unique_ptr<WidgetState> newCheckState(QObject* object, bool designed);
std::unique_ptr<WidgetState> newListState(QObject* object, bool designed);
std::unique_ptr<WidgetState> newTabState(QObject* object, bool designed);
std::unique_ptr<WidgetState> newMenuState(QObject* object, bool designed);
std::unique_ptr<WidgetState> newFlexState(QObject* object, bool designed);
std::unique_ptr<WidgetState> newGridState(QObject* object, bool designed);
std::unique_ptr<WidgetState> newDataState(QObject* object, bool designed);

}  // namespace tarnwick::qt::impl
