#include <tarnwick/frame/Folders.h>
#include <tarnwick/frame/Start.h>
#include <tarnwick/host/Services.h>

#include <mutex>

namespace tarnwick::host {

namespace {

struct Installed {
  std::shared_ptr<Screen> screen = std::make_shared<HeadlessScreen>();
  std::shared_ptr<Clipboard> clipboard = std::make_shared<HeadlessClipboard>();
  std::shared_ptr<MessageBox> messageBox = std::make_shared<ScriptedMessageBox>();
  std::shared_ptr<SystemMetrics> metrics = std::make_shared<HeadlessSystemMetrics>();
  std::shared_ptr<SystemColours> colours = std::make_shared<HeadlessSystemColours>();
  std::shared_ptr<WindowStack> windows = std::make_shared<HeadlessWindowStack>();
  std::shared_ptr<Folders> folders = std::make_shared<EnvironmentFolders>();
  std::shared_ptr<FormFactory> forms = std::make_shared<HeadlessFormFactory>();
  std::shared_ptr<Progress> progress;
};

std::mutex& lock() {
  static std::mutex m;
  return m;
}
Installed& installed() {
  static Installed services;
  return services;
}

template <typename T>
std::shared_ptr<T> read(std::shared_ptr<T> Installed::*slot) {
  std::lock_guard guard(lock());
  return installed().*slot;
}

template <typename T, typename Headless>
void write(std::shared_ptr<T> Installed::*slot, std::shared_ptr<T> service) {
  if (!service) service = std::make_shared<Headless>();
  std::lock_guard guard(lock());
  (installed().*slot).swap(service);
  // The old service is released outside the lock, after the swap.
}

// The library's start procedure and folders read the host's services.
const bool hooked = [] {
  frame::setScreenFactorSource([] {
    const auto s = screen();
    return frame::ScreenFactors{s->twipsPerPixelX(), s->twipsPerPixelY()};
  });
  frame::setFolderSource([] {
    const auto f = folders();
    return frame::Folders{f->systemFolder(), f->windowsFolder()};
  });
  return true;
}();

}  // namespace

std::shared_ptr<Screen> screen() { return read(&Installed::screen); }
std::shared_ptr<Clipboard> clipboard() { return read(&Installed::clipboard); }
std::shared_ptr<MessageBox> messageBox() { return read(&Installed::messageBox); }
std::shared_ptr<SystemMetrics> systemMetrics() { return read(&Installed::metrics); }
std::shared_ptr<SystemColours> systemColours() { return read(&Installed::colours); }
std::shared_ptr<WindowStack> windowStack() { return read(&Installed::windows); }
std::shared_ptr<Folders> folders() { return read(&Installed::folders); }
std::shared_ptr<FormFactory> formFactory() { return read(&Installed::forms); }

void setScreen(std::shared_ptr<Screen> s) { write<Screen, HeadlessScreen>(&Installed::screen, std::move(s)); }
void setClipboard(std::shared_ptr<Clipboard> s) {
  write<Clipboard, HeadlessClipboard>(&Installed::clipboard, std::move(s));
}
void setMessageBox(std::shared_ptr<MessageBox> s) {
  write<MessageBox, ScriptedMessageBox>(&Installed::messageBox, std::move(s));
}
void setSystemMetrics(std::shared_ptr<SystemMetrics> s) {
  write<SystemMetrics, HeadlessSystemMetrics>(&Installed::metrics, std::move(s));
}
void setSystemColours(std::shared_ptr<SystemColours> s) {
  write<SystemColours, HeadlessSystemColours>(&Installed::colours, std::move(s));
}
void setWindowStack(std::shared_ptr<WindowStack> s) {
  write<WindowStack, HeadlessWindowStack>(&Installed::windows, std::move(s));
}
void setFolders(std::shared_ptr<Folders> s) { write<Folders, EnvironmentFolders>(&Installed::folders, std::move(s)); }
void setFormFactory(std::shared_ptr<FormFactory> s) {
  write<FormFactory, HeadlessFormFactory>(&Installed::forms, std::move(s));
}

std::shared_ptr<Progress> progress() { return read(&Installed::progress); }
void setProgress(std::shared_ptr<Progress> s) {
  std::lock_guard guard(lock());
  installed().progress.swap(s);
}

std::shared_ptr<ScriptedMessageBox> scriptedMessageBox() {
  return std::dynamic_pointer_cast<ScriptedMessageBox>(messageBox());
}

void resetServices() {
  setScreen(nullptr);
  setClipboard(nullptr);
  setMessageBox(nullptr);
  setSystemMetrics(nullptr);
  setSystemColours(nullptr);
  setFolders(nullptr);
  setProgress(nullptr);
  // The form factory stays: it is the host itself, not one of its services.
  // The window stack keeps the windows that exist; only their stacking is reset.
  const auto stack = windowStack();
  for (std::int32_t handle : stack->order()) stack->setWindowPos(handle, HWND_NOTOPMOST, 0, 0, 0, 0, 3);
}

}  // namespace tarnwick::host
