#include "Connection.h"

#include <tarnwick/automation/Error.h>

namespace tarnwick::engine {

Connection::Connection(const std::filesystem::path& name, bool create, bool readOnly, int busyMilliseconds)
    : Connection(openSession(name, create, readOnly, busyMilliseconds)) {}

Connection::Connection(std::unique_ptr<Session> session)
    : session_(std::move(session)),
      dialect_(&session_->dialect()),
      readOnly_(session_->readOnly()),
      open_(&session_->openFlag()) {}

Connection::~Connection() { close(); }

void Connection::refuseClosed() { raise(errc::ObjectInvalid); }

void Connection::rollback() {
  session_->rollback();
  ++rollbacks_;
  noteWrite();
}

std::string Connection::temporaryName() { return session_->copyStem() + std::to_string(++temporaries_); }

}  // namespace tarnwick::engine
