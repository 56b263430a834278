// The headless implementations of the host's services.
#include <tarnwick/automation/Error.h>
#include <tarnwick/automation/String.h>
#include <tarnwick/frame/Folders.h>
#include <tarnwick/host/MessageLog.h>
#include <tarnwick/host/Services.h>

#include <algorithm>
#include <optional>

namespace tarnwick::host {

// --- message box -----------------------------------------------------------

std::vector<std::int32_t> buttonsOf(std::int32_t code) {
  switch (code & 0xF) {
    case mb::OKOnly: return {mb::OK};
    case mb::OKCancel: return {mb::OK, mb::Cancel};
    case mb::AbortRetryIgnore: return {mb::Abort, mb::Retry, mb::Ignore};
    case mb::YesNoCancel: return {mb::Yes, mb::No, mb::Cancel};
    case mb::YesNo: return {mb::Yes, mb::No};
    case mb::RetryCancel: return {mb::Retry, mb::Cancel};
    default: return {};
  }
}

std::int32_t ScriptedMessageBox::show(const std::u16string& prompt, std::int32_t buttons, const std::u16string& title) {
  const std::vector<std::int32_t> offered = buttonsOf(buttons);
  if (offered.empty()) raise(errc::InvalidProcedureCall);
  std::optional<std::int32_t> scripted;
  {
    std::lock_guard lock(mutex_);
    prompts_.push_back(Prompt{prompt, buttons, title});
    if (!script_.empty()) {
      scripted = script_.front();
      script_.pop_front();
    }
  }
  if (!scripted) return answerUnattended(prompt, buttons, title);
  const std::int32_t answer = *scripted;
  if (std::find(offered.begin(), offered.end(), answer) == offered.end()) {
    std::u16string text = u"The message box has no button for the scripted answer ";
    text += fromUtf8(std::to_string(answer));
    raise(Error(errc::InvalidProcedureCall, std::move(text)));
  }
  messageLog().record(LoggedMessage{prompt, buttons, title, answer, {}, true});
  return answer;
}

void ScriptedMessageBox::answer(std::initializer_list<std::int32_t> answers) {
  std::lock_guard lock(mutex_);
  script_.insert(script_.end(), answers.begin(), answers.end());
}

std::vector<ScriptedMessageBox::Prompt> ScriptedMessageBox::prompts() const {
  std::lock_guard lock(mutex_);
  return prompts_;
}

void ScriptedMessageBox::reset() {
  std::lock_guard lock(mutex_);
  script_.clear();
  prompts_.clear();
}

// --- system metrics and colours --------------------------------------------

std::int32_t HeadlessSystemMetrics::metric(std::int32_t index) const {
  {
    std::lock_guard lock(mutex_);
    if (auto it = overrides_.find(index); it != overrides_.end()) return it->second;
  }
  const auto s = screen();
  switch (index) {
    case 0: return static_cast<std::int32_t>(s->width() / s->twipsPerPixelX());   // screen width
    case 1: return static_cast<std::int32_t>(s->height() / s->twipsPerPixelY());  // screen height
    case 2:                                                                       // vertical scroll bar width
    case 3: return 17;                                                            // horizontal scroll bar height
    case 4: return 23;                                                            // caption
    case 5:
    case 6: return 1;  // borders
    case 7:
    case 8: return 3;  // dialog frames
    case SM_CXEDGE:
    case SM_CYEDGE: return 2;
    default: return 0;
  }
}

void HeadlessSystemMetrics::set(std::int32_t index, std::int32_t value) {
  std::lock_guard lock(mutex_);
  overrides_[index] = value;
}

HeadlessSystemColours::HeadlessSystemColours() noexcept
    : table_{0xC8D0D4, 0x6E6E6E, 0x800000, 0x808080, 0xC8D0D4, 0xFFFFFF, 0x000000, 0x000000, 0x000000, 0xFFFFFF,
             0xC8D0D4, 0xC8D0D4, 0x808080, 0x800000, 0xFFFFFF, 0xC8D0D4, 0x808080, 0x808080, 0x000000, 0xC8D0D4,
             0xFFFFFF, 0x404040, 0xC8D0D4, 0x000000, 0xE1FFFF, 0xB5B5B5, 0x800000, 0xF0CAA6, 0xC0C0C0, 0xC8D0D4,
             0xF0F0F0} {}

std::uint32_t HeadlessSystemColours::colour(std::int32_t index) const {
  if (index < 0 || index >= kCount) return 0;
  std::lock_guard lock(mutex_);
  return table_[static_cast<std::size_t>(index)];
}

bool HeadlessSystemColours::setColour(std::int32_t index, std::uint32_t colour) {
  if (index < 0 || index >= kCount) return false;
  std::lock_guard lock(mutex_);
  table_[static_cast<std::size_t>(index)] = colour & 0xFFFFFFu;  // COLORREF: the high byte is not a colour
  return true;
}

// --- window stack ----------------------------------------------------------

void HeadlessWindowStack::place(Window window, std::size_t at) {
  // Keep the topmost layer first: clamp `at` into the window's own layer.
  std::size_t firstNormal = 0;
  while (firstNormal < windows_.size() && windows_[firstNormal].topmost) ++firstNormal;
  at = window.topmost ? std::min(at, firstNormal) : std::clamp(at, firstNormal, windows_.size());
  windows_.insert(windows_.begin() + static_cast<std::ptrdiff_t>(at), window);
}

void HeadlessWindowStack::addWindow(std::int32_t handle) {
  std::lock_guard lock(mutex_);
  std::erase_if(windows_, [&](const Window& w) { return w.handle == handle; });
  place(Window{handle, false}, 0);
}

void HeadlessWindowStack::removeWindow(std::int32_t handle) {
  std::lock_guard lock(mutex_);
  std::erase_if(windows_, [&](const Window& w) { return w.handle == handle; });
}

bool HeadlessWindowStack::setWindowPos(std::int32_t handle, std::int32_t insertAfter, std::int32_t, std::int32_t,
                                       std::int32_t, std::int32_t, std::uint32_t flags) {
  std::lock_guard lock(mutex_);
  auto it = std::find_if(windows_.begin(), windows_.end(), [&](const Window& w) { return w.handle == handle; });
  if (it == windows_.end()) return false;
  if (flags & SWP_NOZORDER) return true;
  Window window = *it;
  std::size_t at = 0;
  switch (insertAfter) {
    case HWND_TOPMOST: window.topmost = true; break;
    case HWND_NOTOPMOST:
      if (!window.topmost) return true;  // already in the normal layer: stays where it is
      window.topmost = false;
      break;
    case HWND_TOP: break;
    case HWND_BOTTOM:
      window.topmost = false;
      at = windows_.size();
      break;
    default: {
      auto after = std::find_if(windows_.begin(), windows_.end(), [&](const Window& w) { return w.handle == insertAfter; });
      if (after == windows_.end() || after == it) return false;
      window.topmost = after->topmost;
      at = static_cast<std::size_t>(after - windows_.begin()) + (after < it ? 1 : 0);
      break;
    }
  }
  windows_.erase(it);
  place(window, at);
  return true;
}

bool HeadlessWindowStack::isTopmost(std::int32_t handle) const {
  std::lock_guard lock(mutex_);
  for (const Window& w : windows_)
    if (w.handle == handle) return w.topmost;
  return false;
}

std::vector<std::int32_t> HeadlessWindowStack::order() const {
  std::lock_guard lock(mutex_);
  std::vector<std::int32_t> out;
  for (const Window& w : windows_) out.push_back(w.handle);
  return out;
}

// --- folders ---------------------------------------------------------------

std::filesystem::path EnvironmentFolders::systemFolder() const { return frame::defaultFolders().system; }
std::filesystem::path EnvironmentFolders::windowsFolder() const { return frame::defaultFolders().windows; }

}  // namespace tarnwick::host
