// Small routines for the look of client forms, through the host's screen
// and system colour services.
#include "Cosmetics.h"

#include <tarnwick/automation/Convert.h>
#include <tarnwick/frame/HostServices.h>

namespace tarnwick::ocx {

namespace {
// System colour table entries: the background and the text of selected items.
constexpr std::int32_t kHighlight = 13;
constexpr std::int32_t kHighlightText = 14;

void setSysColor(const Object& host, std::int32_t index, std::int32_t colour) {
  host.call(u"SetSysColors", index, colour);
}
}  // namespace

void center(Call& call) {
  const Object form(call.object(0));
  if (toInt32(form.get(u"WindowState")) != 0) return;
  const Object screen(frame::hostServices().get(u"Screen"));
  // In twips, in floating point, without rounding.
  const double left = (toDouble(screen.get(u"Width")) - toDouble(form.get(u"Width"))) / 2;
  const double top = (toDouble(screen.get(u"Height")) - toDouble(form.get(u"Height"))) / 2;
  form.call(u"Move", left, top);
}

void selAllText(Call& call) {
  const Object control(call.object(0));
  control.put(u"SelStart", Variant(std::int32_t{0}));
  control.put(u"SelLength", Variant(static_cast<std::int32_t>(toText(control.get(u"Text")).size())));
}

void setHighlightColorWhite(Call& call) {
  const bool white = call.flag(0);
  const Object host = frame::hostServices();
  setSysColor(host, kHighlight, white ? 0xFFFFFF : 0x800000);
  setSysColor(host, kHighlightText, white ? 0x000000 : 0xFFFFFF);
  call.setResult(white);
}

void doNothing(Call&) {}

}  // namespace tarnwick::ocx
