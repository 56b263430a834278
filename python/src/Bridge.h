#pragma once
// The Python module's own parts, shared between its sources: values both
// ways, automation objects seen from Python, Python objects seen as
// automation objects, and errors both ways.
//
// Every function here runs with the interpreter's lock held. Calls into the
// library let go of it (outsideInterpreter), so that the program's other
// Python threads run while a call waits for a busy file, a server or a long
// statement; a routine that calls back into a Python object takes the lock
// again there, on the caller's thread, as the platform's apartment rule asks.
#include <tarnwick/automation/ComPtr.h>
#include <tarnwick/automation/Error.h>
#include <tarnwick/automation/Object.h>
#include <tarnwick/automation/Variant.h>
#include <tarnwick/frame/TypeLibrary.h>

#include <pybind11/pybind11.h>

#include <deque>
#include <mutex>
#include <string>
#include <string_view>

namespace tarnwick::python {

namespace py = pybind11;

// ---- calls into the library ----

// The library's objects are not made for two threads at once: its calls
// from all Python threads take turns (a Python object's callback may call
// the library again on the same thread).
std::recursive_mutex& libraryTurn();

// Runs `body`, a call into the library, without the interpreter's lock.
// `body` touches no Python object: it converts before and after, under the
// lock. The library's callbacks into Python objects take the lock again.
template <typename Body>
decltype(auto) outsideInterpreter(Body&& body) {
  const py::gil_scoped_release unlocked;
  const std::lock_guard turn(libraryTurn());
  return body();
}

// Python objects the module defines at import and the standard types it converts.
struct ModuleState {
  py::object errorType;           // tarnwick.Error
  py::object memberErrorType;     // tarnwick.MemberNotFoundError (error 438, also an AttributeError)
  py::object null;                // tarnwick.Null
  py::object nothing;             // tarnwick.Nothing
  py::object missing;             // tarnwick.Missing
  py::object errorValueType;      // tarnwick.ErrorValue
  py::object arrayType;           // tarnwick.Array
  py::object refType;             // tarnwick.Ref
  py::object decimalType;         // decimal.Decimal
  py::object datetimeType;        // datetime.datetime
  py::object dateType;            // datetime.date
  py::object isRoutine;           // inspect.isroutine
};
// Filled at import; its objects are never released (they live as long as the module).
ModuleState& state();

// ---- values ----

// A Python value as an automation value: None is Empty, tarnwick.Null is
// Null, bool, int (32-bit when it fits, else 64-bit; beyond that Error 6),
// float, str, decimal.Decimal as currency (four decimals, Error 6 beyond
// its range), datetime.datetime and datetime.date as dates, lists, tuples
// and tarnwick.Array as arrays of values, tarnwick.Object as its object,
// and any other Python object as an automation object over it.
Variant toVariant(py::handle value);
// A Python decimal.Decimal with every digit (rounded half to even past 28
// decimals); Error 6 for NaN, infinities and values beyond the range.
DECIMAL decimalFromPython(py::handle value);
// An automation value as a Python value (references followed).
py::object fromVariant(const VARIANT& value);

// tarnwick.Variant: an automation value kept with its exact type, for
// values Python has no type of its own for (16-bit integers, singles,
// bytes, ...) and for reading the type a member answers with.
struct ExactValue {
  Variant value;
};
py::object wrapExact(Variant value);

std::u16string toText16(py::handle text);  // str -> UTF-16, lone surrogates kept
py::str fromText16(std::u16string_view text);

// ---- automation objects seen from Python ----

// tarnwick.Object: an automation object whose members are Python
// attributes and methods.
class ObjectHandle {
 public:
  explicit ObjectHandle(ComPtr<IDispatch> object) : object_(std::move(object)) {}
  ObjectHandle(ObjectHandle&&) noexcept = default;
  ObjectHandle& operator=(ObjectHandle&&) = delete;
  ObjectHandle(const ObjectHandle&) = default;
  ObjectHandle& operator=(const ObjectHandle&) = delete;
  // The object is let go in the library's turn: the last reference may end
  // it, which is library work like any call.
  ~ObjectHandle();
  const ComPtr<IDispatch>& pointer() const noexcept { return object_; }
  Object object() const { return Object(object_); }
  // The routines of the library class the object is, or null for any other object.
  const frame::InterfaceInfo* libraryInterface();

  // A name this object answered to: its dispatch identifier, and for a
  // method (a member that refuses a plain get) the tarnwick.Member handed
  // out for it. Names are looked up once per object, as an object's
  // identifiers do not change while it lives.
  struct KnownName {
    py::object name;
    DISPID id;
    py::object method;
  };
  KnownName* known(py::handle name) noexcept;
  KnownName& remember(py::handle name, DISPID id);

 private:
  ComPtr<IDispatch> object_;
  const frame::InterfaceInfo* interface_ = nullptr;
  bool classified_ = false;
  std::deque<KnownName> known_;  // a deque: a name remembered keeps its place
};

// A member of an object, taken by name: calling it calls the member,
// indexing it reads or writes an indexed property.
struct BoundMember {
  ComPtr<IDispatch> object;
  DISPID id;
  std::u16string name;
};

// Calls a member with Python arguments; tarnwick.Ref arguments pass a
// reference that the member may write through, and see the new value (as a
// tarnwick.Variant where they held one).
Variant invokeExact(const ComPtr<IDispatch>& object, DISPID id, WORD flags, py::handle args,
                    py::handle putValue = py::handle());
py::object invokeMember(const ComPtr<IDispatch>& object, DISPID id, WORD flags, py::handle args,
                        py::handle putValue = py::handle());

py::object wrapObject(ComPtr<IDispatch> object);

// ---- Python objects seen as automation objects ----

// The automation object over a Python object (the same one while it lives).
ComPtr<IDispatch> wrapPython(py::handle object);
// The Python object behind an automation object made by wrapPython, or a null handle.
py::handle unwrapPython(IDispatch* object) noexcept;

// ---- errors ----

// The automation error for the Python exception in flight (which is taken
// and kept, to become the cause of the Python exception that the failed
// call raises in the end).
Error errorFromPython(py::error_already_set& exception);
// Raises the Python exception for an automation error.
void setPythonError(const Error& error);
// Forgets an exception kept by errorFromPython that no failure used.
void dropPendingCause() noexcept;

// ---- module parts ----

// The value conversions as module functions, and tarnwick.Variant.
void addConversions(py::module_& module);

}  // namespace tarnwick::python
