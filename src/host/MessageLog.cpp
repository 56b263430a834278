#include <tarnwick/automation/Error.h>
#include <tarnwick/automation/String.h>
#include <tarnwick/host/MessageBox.h>
#include <tarnwick/host/MessageLog.h>

#include <algorithm>

namespace tarnwick::host {

namespace {

// One line of the echo: line breaks inside a text would split it.
void echoLine(std::FILE* stream, const char* label, const std::u16string& text) {
  std::string line = toUtf8(text);
  std::replace_if(line.begin(), line.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
  std::fprintf(stream, "%s: %s\n", label, line.c_str());
  std::fflush(stream);
}

}  // namespace

void MessageLog::record(LoggedMessage message) {
  std::lock_guard lock(mutex_);
  if (echo_) {
    echoLine(echo_, message.shown ? "message" : "note", message.prompt);
    if (!message.note.empty()) echoLine(echo_, "  at fault", message.note);
  }
  entries_.push_back(std::move(message));
  if (entries_.size() > kKept) entries_.pop_front();
}

void MessageLog::noteLatest(const std::u16string& prompt, const std::u16string& note) {
  {
    std::lock_guard lock(mutex_);
    if (!entries_.empty() && entries_.back().shown && entries_.back().prompt == prompt && entries_.back().note.empty()) {
      entries_.back().note = note;
      if (echo_) echoLine(echo_, "  at fault", note);
      return;
    }
  }
  record(LoggedMessage{prompt, 0, {}, 0, note, true});
}

bool MessageLog::noteOnce(const std::u16string& text) {
  {
    std::lock_guard lock(mutex_);
    for (const LoggedMessage& m : entries_)
      if (!m.shown && m.prompt == text) return false;
  }
  record(LoggedMessage{text, 0, {}, 0, {}, false});
  return true;
}

std::vector<LoggedMessage> MessageLog::entries() const {
  std::lock_guard lock(mutex_);
  return {entries_.begin(), entries_.end()};
}

std::u16string MessageLog::lastPrompt() const {
  std::lock_guard lock(mutex_);
  return entries_.empty() ? std::u16string() : entries_.back().prompt;
}

void MessageLog::clear() {
  std::lock_guard lock(mutex_);
  entries_.clear();
}

void MessageLog::echoTo(std::FILE* stream) {
  std::lock_guard lock(mutex_);
  echo_ = stream;
}

MessageLog& messageLog() {
  static MessageLog log;
  return log;
}

std::int32_t defaultAnswer(std::int32_t buttons) {
  const std::vector<std::int32_t> offered = buttonsOf(buttons);
  if (offered.empty()) raise(errc::InvalidProcedureCall);
  const std::size_t preferred = (buttons & mb::DefaultButton3) ? 2 : (buttons & mb::DefaultButton2) ? 1 : 0;
  return offered[std::min(preferred, offered.size() - 1)];
}

std::int32_t answerUnattended(const std::u16string& prompt, std::int32_t buttons, const std::u16string& title) {
  const std::int32_t answer = defaultAnswer(buttons);
  messageLog().record(LoggedMessage{prompt, buttons, title, answer, {}, true});
  return answer;
}

}  // namespace tarnwick::host
