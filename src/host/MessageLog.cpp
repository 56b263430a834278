#include <tarnwick/automation/Error.h>
#include <tarnwick/automation/String.h>
#include <tarnwick/host/MessageBox.h>
#include <tarnwick/host/MessageLog.h>

#include <algorithm>

namespace tarnwick::host {

void MessageLog::record(LoggedMessage message) {
  std::lock_guard lock(mutex_);
  if (echo_) {
    // Line breaks inside a prompt would split its line.
    std::string line = toUtf8(message.prompt);
    std::replace_if(line.begin(), line.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    std::fprintf(echo_, "message: %s\n", line.c_str());
    std::fflush(echo_);
  }
  entries_.push_back(std::move(message));
  if (entries_.size() > kKept) entries_.pop_front();
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
  messageLog().record(LoggedMessage{prompt, buttons, title, answer});
  return answer;
}

}  // namespace tarnwick::host
