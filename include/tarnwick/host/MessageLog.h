#pragma once
// The message log: every message box that no person answered (the headless
// box, a box on a platform with no screen anyone sees) records its prompt
// and the answer it gave here, so a run without a person never waits on a
// box and still leaves a trace. Tests and scripted tours read it; the tools
// have it echoed to standard error as it grows.
#include <tarnwick/automation/Export.h>

#include <cstdint>
#include <cstdio>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

namespace tarnwick::host {

struct LoggedMessage {
  std::u16string prompt;
  std::int32_t buttons = 0;
  std::u16string title;
  std::int32_t answer = 0;
  // What is at fault, when the box showed an error whose note the platform's
  // text leaves out ("field 'Qyt'").
  std::u16string note;
  // False for a note that only the log holds: no box was shown.
  bool shown = true;
};

class TARNWICK_API MessageLog {
 public:
  // Keeps the newest messages only, so a long unattended run stays small.
  static constexpr std::size_t kKept = 1000;

  void record(LoggedMessage message);
  // Adds `note` to the newest entry when it is the box of `prompt`; else
  // (a box service that keeps no log) records the prompt with its note.
  void noteLatest(const std::u16string& prompt, const std::u16string& note);
  // Records a note that no box shows, unless the log holds it already:
  // a remark made once per process. True when it was recorded.
  bool noteOnce(const std::u16string& text);
  std::vector<LoggedMessage> entries() const;
  // The newest prompt, empty when none is logged.
  std::u16string lastPrompt() const;
  void clear();
  // Writes each message logged from now on as one line to `stream`
  // ("message: <prompt>"); nullptr stops the echo.
  void echoTo(std::FILE* stream);

 private:
  mutable std::mutex mutex_;
  std::deque<LoggedMessage> entries_;
  std::FILE* echo_ = nullptr;
};

// The process's one log.
TARNWICK_API MessageLog& messageLog();

// The button a box with code `buttons` presses by default: the first, or
// the second or third that the code asks for. Error 5 for a code with no
// valid button set.
TARNWICK_API std::int32_t defaultAnswer(std::int32_t buttons);

// Answers a box that nobody sees: its default button, logged.
TARNWICK_API std::int32_t answerUnattended(const std::u16string& prompt, std::int32_t buttons,
                                           const std::u16string& title);

}  // namespace tarnwick::host
