// Errors both ways: a Python exception raised inside a Python object that a
// routine drives becomes the platform's error, and a failed call raises
// tarnwick.Error with the error's number and description.
#include "Bridge.h"

#include <cstring>

namespace tarnwick::python {

namespace {

// The Python exception behind the last error that a Python object raised,
// kept to become the cause of the exception that the failed call raises:
// one per thread, as each thread's calls fail on their own.
struct PendingCause {
  py::object exception;
  std::int32_t number = 0;
  // A thread may end without the interpreter's lock (or after the
  // interpreter): a cause no failure used is then left as it is.
  ~PendingCause() { exception.release(); }
};
PendingCause& pending() {
  thread_local PendingCause cause;
  return cause;
}

struct Mapping {
  PyObject* type;
  std::int32_t number;
};

// Most specific first: the first class the exception is an instance of wins.
std::int32_t numberOf(py::handle exception) {
  const Mapping mappings[] = {
      {PyExc_AttributeError, errc::MemberNotSupported},
      {PyExc_IndexError, errc::SubscriptOutOfRange},
      {PyExc_KeyError, errc::SubscriptOutOfRange},
      {PyExc_ZeroDivisionError, errc::DivisionByZero},
      {PyExc_OverflowError, errc::Overflow},
      {PyExc_RecursionError, 28},  // Out of stack space
      {PyExc_MemoryError, errc::OutOfMemory},
      {PyExc_FileNotFoundError, errc::FileNotFound},
      {PyExc_FileExistsError, errc::FileAlreadyExists},
      {PyExc_PermissionError, errc::PermissionDenied},
      {PyExc_IsADirectoryError, errc::PathFileAccessError},
      {PyExc_OSError, errc::PathFileAccessError},
      {PyExc_NotImplementedError, errc::ActionNotSupported},
      {PyExc_ValueError, errc::InvalidProcedureCall},
  };
  for (const Mapping& m : mappings)
    if (PyObject_IsInstance(exception.ptr(), m.type) == 1) return m.number;
  if (PyObject_IsInstance(exception.ptr(), PyExc_TypeError) == 1) {
    // A Python function called with the wrong number of arguments says so
    // in its message; other type errors are type mismatches.
    const std::string text = py::str(exception);
    return text.find("positional argument") != std::string::npos ? errc::WrongArgumentCount : errc::TypeMismatch;
  }
  return errc::AutomationError;
}

}  // namespace

Error errorFromPython(py::error_already_set& raised) {
  py::object exception = raised.value();
  const ModuleState& s = state();
  Error error(errc::AutomationError);
  if (py::isinstance(exception, s.errorType)) {
    error = Error(exception.attr("number").cast<std::int32_t>(), toText16(py::str(exception.attr("description"))),
                  toText16(py::str(exception.attr("source"))));
    if (py::hasattr(exception, "note")) error.noted(toText16(py::str(exception.attr("note"))));
  } else {
    const std::int32_t number = numberOf(exception);
    if (number == errc::AutomationError) {
      // No runtime error fits: the Python text says what went wrong.
      std::u16string text = toText16(py::str(py::type::handle_of(exception).attr("__name__")));
      const std::u16string message = toText16(py::str(exception));
      if (!message.empty()) {
        text += u": ";
        text += message;
      }
      error = Error(number, std::move(text));
    } else {
      // The Python text says what was at fault (a missing attribute's name, a key).
      error = Error(number);
      const std::u16string message = toText16(py::str(exception));
      if (!message.empty()) error.noted(toText16(py::str(py::type::handle_of(exception).attr("__name__"))) + u": " + message);
    }
  }
  pending().exception = std::move(exception);
  pending().number = error.number();
  return error;
}

void dropPendingCause() noexcept {
  if (pending().exception) pending().exception = py::object();
}

void setPythonError(const Error& error) {
  const ModuleState& s = state();
  PendingCause& cause = pending();
  py::object original = std::move(cause.exception);
  cause.exception = py::object();
  // An interruption or exit that arrived inside a Python object goes on as
  // itself, not as an automation error.
  if (original && PyObject_IsInstance(original.ptr(), PyExc_Exception) != 1) {
    PyErr_SetObject(reinterpret_cast<PyObject*>(Py_TYPE(original.ptr())), original.ptr());
    return;
  }
  const py::object& type = error.number() == errc::MemberNotSupported ? s.memberErrorType : s.errorType;
  py::object exception =
      type(error.number(), fromText16(error.description()), fromText16(error.source()), fromText16(error.note()));
  if (original && cause.number == error.number()) PyException_SetCause(exception.ptr(), original.release().ptr());
  PyErr_SetObject(type.ptr(), exception.ptr());
}

}  // namespace tarnwick::python
