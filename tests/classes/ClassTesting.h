#pragma once
// Helpers of the four classes' tests: a class instance reached by name, a
// form loaded from a description, and the host's message box recording
// what a routine shows.
#include <tarnwick/automation/Object.h>
#include <tarnwick/automation/String.h>
#include <tarnwick/frame/ClassCatalogue.h>
#include <tarnwick/host/FormDescription.h>
#include <tarnwick/host/MessageBox.h>
#include <tarnwick/host/Services.h>

#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string_view>

namespace tarnwick::testing {

// A fresh folder for one test, removed afterwards.
class ScratchDir {
 public:
  ScratchDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tarnwick-class-XXXXXX").string();
    path_ = ::mkdtemp(pattern.data());
  }
  ~ScratchDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const char* name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

inline std::u16string pathText(const std::filesystem::path& p) { return fromUtf8(p.string()); }

// A new instance of one of the library's classes, as a client gets it.
template <typename T>
Object instanceOf() {
  ComPtr<IDispatch> object;
  check(frame::createAndQuery<T>(IID_IDispatch, object.putVoid()));
  return Object(object);
}

inline Object formFrom(std::string_view description, const std::filesystem::path& folder = {}) {
  return Object(host::loadFormText(description, folder).template as<IDispatch>());
}

// Installs a scripted message box for the test's life.
class MessageBoxScope {
 public:
  MessageBoxScope() : box_(std::make_shared<host::ScriptedMessageBox>()), previous_(host::messageBox()) {
    host::setMessageBox(box_);
  }
  ~MessageBoxScope() { host::setMessageBox(previous_); }
  host::ScriptedMessageBox& operator*() { return *box_; }
  host::ScriptedMessageBox* operator->() { return box_.get(); }

 private:
  std::shared_ptr<host::ScriptedMessageBox> box_;
  std::shared_ptr<host::MessageBox> previous_;
};

}  // namespace tarnwick::testing
