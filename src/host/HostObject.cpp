#include "HostInternal.h"

#include <tarnwick/automation/Convert.h>
#include <tarnwick/frame/Activation.h>
#include <tarnwick/host/FormDescription.h>
#include <tarnwick/host/HostObject.h>
#include <tarnwick/host/MessageLog.h>
#include <tarnwick/host/Services.h>

namespace tarnwick::host {

namespace {

class ScreenObject final : public AutomationObject<ScreenObject> {
 public:
  static std::u16string_view typeName() { return u"Screen"; }
  static std::span<const Member<ScreenObject>> members();
};

const Member<ScreenObject> kScreenMembers[] = {
    {u"TwipsPerPixelX", 1, kGet, [](ScreenObject&, Call& c) { c.expect(0); c.setResult(Variant(static_cast<float>(screen()->twipsPerPixelX()))); }},
    {u"TwipsPerPixelY", 2, kGet, [](ScreenObject&, Call& c) { c.expect(0); c.setResult(Variant(static_cast<float>(screen()->twipsPerPixelY()))); }},
    {u"Width", 3, kGet, [](ScreenObject&, Call& c) { c.expect(0); c.setResult(Variant(static_cast<float>(screen()->width()))); }},
    {u"Height", 4, kGet, [](ScreenObject&, Call& c) { c.expect(0); c.setResult(Variant(static_cast<float>(screen()->height()))); }},
};
std::span<const Member<ScreenObject>> ScreenObject::members() { return kScreenMembers; }

class ClipboardObject final : public AutomationObject<ClipboardObject> {
 public:
  static std::u16string_view typeName() { return u"Clipboard"; }
  static std::span<const Member<ClipboardObject>> members();
};

// Plain text is format 1; the clipboard holds no other.
constexpr std::int16_t kTextFormat = 1;
void checkFormat(Call& c, std::size_t i) {
  if (c.has(i) && c.int16(i) != kTextFormat) raise(errc::InvalidProcedureCall);
}

const Member<ClipboardObject> kClipboardMembers[] = {
    {u"Clear", 1, kMethod, [](ClipboardObject&, Call& c) { c.expect(0); clipboard()->clear(); }},
    {u"SetText", 2, kMethod,
     [](ClipboardObject&, Call& c) {
       c.expect(1, 2);
       checkFormat(c, 1);
       clipboard()->setText(c.text(0));
     }},
    {u"GetText", 3, kMethod,
     [](ClipboardObject&, Call& c) {
       c.expect(0, 1);
       checkFormat(c, 0);
       c.setResult(Variant(clipboard()->text()));
     }},
    {u"GetFormat", 4, kMethod,
     [](ClipboardObject&, Call& c) {
       c.expect(1);
       c.setResult(Variant(c.int16(0) == kTextFormat && clipboard()->hasText()));
     }},
};
std::span<const Member<ClipboardObject>> ClipboardObject::members() { return kClipboardMembers; }

// The host's progress service as the routines reach it. It holds the
// service it was made with, so a work's reports all go to one service.
class ProgressObject final : public AutomationObject<ProgressObject> {
 public:
  static std::u16string_view typeName() { return u"Progress"; }
  static std::span<const Member<ProgressObject>> members();
  std::shared_ptr<Progress> service;
};

const Member<ProgressObject> kProgressMembers[] = {
    {u"Report", 1, kMethod,
     [](ProgressObject& p, Call& c) {
       c.expect(3);
       c.setResult(Variant(p.service->report(c.text(0), c.int32(1), c.int32(2))));
     }},
    {u"Finish", 2, kMethod,
     [](ProgressObject& p, Call& c) {
       c.expect(1);
       p.service->finish(c.text(0));
     }},
};
std::span<const Member<ProgressObject>> ProgressObject::members() { return kProgressMembers; }

std::u16string folderText(const std::filesystem::path& p) { return fromUtf8(p.string()); }

const Member<HostObject> kHostMembers[] = {
    {u"Screen", 1, kGet,
     [](HostObject&, Call& c) {
       c.expect(0);
       c.setResult(Variant(static_cast<IDispatch*>(makeObject<ScreenObject>().get())));
     }},
    {u"Clipboard", 2, kGet,
     [](HostObject&, Call& c) {
       c.expect(0);
       c.setResult(Variant(static_cast<IDispatch*>(makeObject<ClipboardObject>().get())));
     }},
    {u"MsgBox", 3, kMethod,
     [](HostObject&, Call& c) {
       c.expect(1, 3);
       const std::u16string prompt = c.text(0);
       const std::int32_t buttons = c.has(1) ? c.int32(1) : 0;
       const std::u16string title = c.has(2) ? c.text(2) : std::u16string();
       c.setResult(Variant(static_cast<std::int16_t>(messageBox()->show(prompt, buttons, title))));
     }},
    {u"GetSystemMetrics", 4, kMethod,
     [](HostObject&, Call& c) {
       c.expect(1);
       c.setResult(Variant(systemMetrics()->metric(c.int32(0))));
     }},
    {u"GetSysColor", 5, kMethod,
     [](HostObject&, Call& c) {
       c.expect(1);
       c.setResult(Variant(static_cast<std::int32_t>(systemColours()->colour(c.int32(0)))));
     }},
    {u"SetSysColors", 6, kMethod,
     [](HostObject&, Call& c) {
       c.expect(2);
       const std::int32_t index = c.int32(0);
       const std::int32_t colour = c.int32(1);
       c.setResult(Variant(systemColours()->setColour(index, static_cast<std::uint32_t>(colour))));
     }},
    {u"SetWindowPos", 7, kMethod,
     [](HostObject&, Call& c) {
       c.expect(7);
       std::int32_t v[7];
       for (std::size_t i = 0; i < 7; ++i) v[i] = c.int32(i);
       c.setResult(Variant(
           windowStack()->setWindowPos(v[0], v[1], v[2], v[3], v[4], v[5], static_cast<std::uint32_t>(v[6]))));
     }},
    {u"IsTopmost", 8, kMethod,
     [](HostObject&, Call& c) {
       c.expect(1);
       c.setResult(Variant(windowStack()->isTopmost(c.int32(0))));
     }},
    {u"SystemDirectory", 9, kGet,
     [](HostObject&, Call& c) {
       c.expect(0);
       c.setResult(Variant(folderText(folders()->systemFolder())));
     }},
    {u"WindowsDirectory", 10, kGet,
     [](HostObject&, Call& c) {
       c.expect(0);
       c.setResult(Variant(folderText(folders()->windowsFolder())));
     }},
    {u"Progress", 12, kGet,
     [](HostObject&, Call& c) {
       c.expect(0);
       // Nothing when the host has no progress service.
       ComPtr<ProgressObject> object;
       if (std::shared_ptr<Progress> service = progress()) {
         object = makeObject<ProgressObject>();
         object->service = std::move(service);
       }
       c.setResult(Variant(static_cast<IDispatch*>(object.get())));
     }},
    // A message that asks for no answer: logged as an information box that
    // nobody answered (answer 0).
    {u"LogMessage", 13, kMethod,
     [](HostObject&, Call& c) {
       c.expect(1);
       messageLog().record(LoggedMessage{c.text(0), mb::Information, u"", 0});
     }},
    {u"LoadForm", 11, kMethod,
     [](HostObject&, Call& c) {
       c.expect(1);
       ComPtr<Form> form = loadForm(toUtf8(c.text(0)));
       c.setResult(Variant(static_cast<IDispatch*>(form.get())));
     }},
};

const bool registered = [] {
  frame::registerInProcessClass(kHostClassId, std::u16string(kHostProgId), &frame::createAndQuery<HostObject>);
  return true;
}();

}  // namespace

std::span<const Member<HostObject>> HostObject::members() { return kHostMembers; }

}  // namespace tarnwick::host
