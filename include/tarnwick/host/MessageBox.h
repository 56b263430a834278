#pragma once
// The message box: shows a prompt with a button-and-icon code and an
// optional title, and returns the button pressed, with the platform's codes.
#include <tarnwick/automation/Export.h>

#include <cstdint>
#include <deque>
#include <initializer_list>
#include <mutex>
#include <string>
#include <vector>

namespace tarnwick::host {

// Button-and-icon codes (added together) and the answers.
namespace mb {
inline constexpr std::int32_t OKOnly = 0, OKCancel = 1, AbortRetryIgnore = 2, YesNoCancel = 3, YesNo = 4,
                              RetryCancel = 5;
inline constexpr std::int32_t Critical = 16, Question = 32, Exclamation = 48, Information = 64;
inline constexpr std::int32_t DefaultButton2 = 256, DefaultButton3 = 512;
inline constexpr std::int32_t OK = 1, Cancel = 2, Abort = 3, Retry = 4, Ignore = 5, Yes = 6, No = 7;
}  // namespace mb

class TARNWICK_API MessageBox {
 public:
  virtual ~MessageBox() = default;
  virtual std::int32_t show(const std::u16string& prompt, std::int32_t buttons, const std::u16string& title) = 0;
};

// The buttons a code offers, in their order on the box; empty for a code
// with no valid button set.
TARNWICK_API std::vector<std::int32_t> buttonsOf(std::int32_t code);

// A message box that shows nothing: it records every prompt and answers
// from a script. With the script used up it presses the default button
// (the first, or the second or third that the code asks for). Its prompts
// go to the message log as well (MessageLog.h). A scripted
// answer that the box does not offer is refused with error 5, so a wrong
// script fails loudly instead of steering a routine down a path no user could.
class TARNWICK_API ScriptedMessageBox final : public MessageBox {
 public:
  struct Prompt {
    std::u16string prompt;
    std::int32_t buttons;
    std::u16string title;
  };
  std::int32_t show(const std::u16string& prompt, std::int32_t buttons, const std::u16string& title) override;

  // Appends answers to the script.
  void answer(std::initializer_list<std::int32_t> answers);
  std::vector<Prompt> prompts() const;
  // Forgets the prompts and the unused answers.
  void reset();

 private:
  mutable std::mutex mutex_;
  std::deque<std::int32_t> script_;
  std::vector<Prompt> prompts_;
};

}  // namespace tarnwick::host
