#pragma once
// The clipboard, plain text only.
#include <tarnwick/automation/Export.h>

#include <mutex>
#include <string>

namespace tarnwick::host {

class TARNWICK_API Clipboard {
 public:
  virtual ~Clipboard() = default;
  virtual void clear() = 0;
  virtual void setText(std::u16string text) = 0;
  // "" when the clipboard holds no text.
  virtual std::u16string text() const = 0;
  virtual bool hasText() const = 0;
};

// A clipboard kept in memory for the process.
class TARNWICK_API HeadlessClipboard final : public Clipboard {
 public:
  void clear() override {
    std::lock_guard lock(mutex_);
    text_.clear();
    has_ = false;
  }
  void setText(std::u16string text) override {
    std::lock_guard lock(mutex_);
    text_ = std::move(text);
    has_ = true;
  }
  std::u16string text() const override {
    std::lock_guard lock(mutex_);
    return text_;
  }
  bool hasText() const override {
    std::lock_guard lock(mutex_);
    return has_;
  }

 private:
  mutable std::mutex mutex_;
  std::u16string text_;
  bool has_ = false;
};

}  // namespace tarnwick::host
