// The Python module `tarnwick`: creates the library's classes, the data
// engine and the headless host's objects by programmatic identifier, and
// calls their members by name.
#include "Bridge.h"

#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/Enumerator.h>
#include <tarnwick/automation/String.h>
#include <tarnwick/engine/SampleDatabase.h>
#include <tarnwick/frame/Activation.h>
#include <tarnwick/host/FormDescription.h>
#include <tarnwick/host/MessageBox.h>
#include <tarnwick/host/Progress.h>
#include <tarnwick/host/Services.h>

#include <pybind11/eval.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <span>

namespace tarnwick::python {

namespace {

// The module's Python-level definitions: the error classes and the values
// that have no Python type of their own.
constexpr const char* kPythonPart = R"PY(
class Error(Exception):
    """A failed call: the error's number, description and source, and a note
    of what is at fault (the member, field, control or file), printed after
    the description."""

    def __init__(self, number, description=None, source="", note=""):
        number = int(number)
        if description is None:
            description = error_description(number)
        super().__init__(number, description, source)
        self.number = number
        self.description = description
        self.source = source
        self.note = note

    def __str__(self):
        text = f"{self.number}: {self.description}"
        return f"{text} ({self.note})" if self.note else text


class MemberNotFoundError(Error, AttributeError):
    """Error 438: the object has no member of that name."""


class _Marker:
    __slots__ = ("_name", "_truth")

    def __init__(self, name, truth):
        object.__setattr__(self, "_name", name)
        object.__setattr__(self, "_truth", truth)

    def __repr__(self):
        return "tarnwick." + self._name

    def __bool__(self):
        return self._truth

    def __copy__(self):
        return self

    def __deepcopy__(self, memo):
        return self

    def __reduce__(self):
        return self._name


# Empty is None; these three are values of their own.
Null = _Marker("Null", False)        # no valid data
Nothing = _Marker("Nothing", False)  # an object reference to no object
Missing = _Marker("Missing", False)  # an optional argument left out in the middle of a list


class ErrorValue:
    """An error code held as a value (other than the missing-argument marker)."""

    __slots__ = ("code",)

    def __init__(self, code):
        self.code = int(code)

    def __eq__(self, other):
        return isinstance(other, ErrorValue) and other.code == self.code

    def __hash__(self):
        return hash(self.code)

    def __repr__(self):
        return f"tarnwick.ErrorValue({self.code:#x})"


class Array(list):
    """A list that keeps its array's lower bound; arrays from 0 come back as plain lists."""

    def __init__(self, items=(), lbound=0):
        super().__init__(items)
        self.lbound = int(lbound)

    @property
    def ubound(self):
        return self.lbound + len(self) - 1

    def __repr__(self):
        return f"tarnwick.Array({list.__repr__(self)}, lbound={self.lbound})"


class Ref:
    """An argument passed by reference: the member may change .value."""

    __slots__ = ("value",)

    def __init__(self, value=None):
        self.value = value

    def __repr__(self):
        return f"tarnwick.Ref({self.value!r})"


class ControlArray:
    """Controls addressed by an integer index, as a control array of the host:
    UBound, LBound, Count, indexing, and error 340 for an index with no control."""

    TypeName = "Object"

    def __init__(self, controls=(), lbound=0):
        self._controls = list(controls)
        self._lbound = int(lbound)

    @property
    def LBound(self):
        return self._lbound

    @property
    def UBound(self):
        return self._lbound + len(self._controls) - 1

    @property
    def Count(self):
        return len(self._controls)

    def __len__(self):
        return len(self._controls)

    def __iter__(self):
        return iter(self._controls)

    def __getitem__(self, index):
        position = int(index) - self._lbound
        if not 0 <= position < len(self._controls):
            raise Error(340, error_description(340, str(index)))
        return self._controls[position]

    def __setitem__(self, index, value):
        # As in the host, assigning to an element sets its value (its default member).
        _set_default_member(self[index], value)


import atexit as _atexit
_atexit.register(set_message_box, None)
del _atexit
)PY";

void definePythonPart(py::module_& m) {
  py::exec(kPythonPart, m.attr("__dict__"));
  ModuleState& s = state();
  s.errorType = m.attr("Error");
  s.memberErrorType = m.attr("MemberNotFoundError");
  s.null = m.attr("Null");
  s.nothing = m.attr("Nothing");
  s.missing = m.attr("Missing");
  s.errorValueType = m.attr("ErrorValue");
  s.arrayType = m.attr("Array");
  s.refType = m.attr("Ref");
  s.decimalType = py::module_::import("decimal").attr("Decimal");
  const py::module_ datetime = py::module_::import("datetime");
  s.datetimeType = datetime.attr("datetime");
  s.dateType = datetime.attr("date");
  s.isRoutine = py::module_::import("inspect").attr("isroutine");
}

bool interpreterRunning() noexcept { return Py_IsInitialized() && !_Py_IsFinalizing(); }

// A Python function kept by a service of the host, which may outlive the
// interpreter: then the reference is let go without touching Python.
class PythonFunction {
 public:
  explicit PythonFunction(py::object function) : function_(std::move(function)) {}
  ~PythonFunction() {
    if (!interpreterRunning()) {
      function_.release();
      return;
    }
    py::gil_scoped_acquire gil;
    function_ = py::object();
  }
  PythonFunction(const PythonFunction&) = delete;
  PythonFunction& operator=(const PythonFunction&) = delete;

  // Calls it under the interpreter's lock; a Python exception becomes an Error.
  // `read` turns its answer into the service's, still under the lock.
  template <typename Read, typename... Args>
  auto call(Read&& read, Args&&... args) const {
    py::gil_scoped_acquire gil;
    try {
      return read(function_(std::forward<Args>(args)...));
    } catch (py::error_already_set& e) {
      throw errorFromPython(e);
    }
  }

 private:
  py::object function_;
};

// A message box that asks a Python function: fn(prompt, buttons, title) -> answer.
class PythonMessageBox final : public host::MessageBox {
 public:
  using Base = host::MessageBox;
  explicit PythonMessageBox(py::object function) : function_(std::move(function)) {}
  std::int32_t show(const std::u16string& prompt, std::int32_t buttons, const std::u16string& title) override {
    return function_.call(
        [](const py::object& answer) { return answer.is_none() ? host::mb::OK : toInt32(toVariant(answer)); },
        fromText16(prompt), buttons, fromText16(title));
  }

 private:
  PythonFunction function_;
};

// The progress service in Python: fn(task, done, total) hears each report
// of long work; returning False stops the work (error 18), anything else
// lets it go on.
class PythonProgress final : public host::Progress {
 public:
  using Base = host::Progress;
  explicit PythonProgress(py::object function) : function_(std::move(function)) {}
  bool report(const std::u16string& task, std::int32_t done, std::int32_t total) override {
    return function_.call([](const py::object& go) { return !go.is(py::bool_(false)); }, fromText16(task),
                                done, total);
  }
  void finish(const std::u16string&) override {}

 private:
  PythonFunction function_;
};

// Installs a Python function as a service of the host, or with None puts
// the service back as it was without one.
template <typename Service>
void installFunction(py::handle function, void (*install)(std::shared_ptr<typename Service::Base>)) {
  if (function.is_none()) {
    install(nullptr);
    return;
  }
  if (!PyCallable_Check(function.ptr())) raise(errc::TypeMismatch);
  install(std::make_shared<Service>(py::reinterpret_borrow<py::object>(function)));
}

void refuseNamedArguments(const py::kwargs& kwargs) {
  if (kwargs.size() > 0) raise(errc::NamedArgumentsNotSupported);
}

// Any value that stands for an object: a tarnwick.Object, or a Python object.
Object objectOf(py::handle value) { return Object(toVariant(value)); }

bool isPrivate(py::handle name) {
  return PyUnicode_GET_LENGTH(name.ptr()) > 0 && PyUnicode_READ_CHAR(name.ptr(), 0) == '_';
}

py::object getAttribute(ObjectHandle& self, py::handle name) {
  ObjectHandle::KnownName* known = self.known(name);
  if (known && known->method) return known->method;
  if (!known) {
    const std::u16string member = toText16(name);
    // The library's classes have routines only: every name is a method.
    if (const frame::InterfaceInfo* routines = self.libraryInterface()) {
      const frame::RoutineInfo* routine = routines->find(member);
      if (!routine) raise(Error(errc::MemberNotSupported).noted(u"member " + quotedName(member)));
      known = &self.remember(name, routine->id);
      known->method = py::cast(BoundMember{self.pointer(), routine->id, routine->name});
      return known->method;
    }
    known = &self.remember(name, outsideInterpreter([&] { return self.object().idOf(member); }));
  }
  // A method, or a property that takes indexes, refuses a plain get; it is
  // then handed out to be called or indexed. The refusal is read from
  // Invoke's result rather than thrown and caught, as it comes on every
  // access of a method (rs.MoveNext in a loop).
  DISPPARAMS none;
  Variant result;
  EXCEPINFO info;
  UINT argErr = 0;
  const DISPID id = known->id;
  const HRESULT hr = outsideInterpreter(
      [&] { return self.pointer()->Invoke(id, GUID_NULL, 0, DISPATCH_PROPERTYGET, &none, &result, &info, &argErr); });
  if (succeeded(hr)) return fromVariant(result);
  const std::int32_t number = errorNumberFromResult(hr == DISP_E_EXCEPTION ? info.scode : hr);
  if (number != errc::MemberNotSupported && number != errc::ArgumentNotOptional && number != errc::WrongArgumentCount)
    throwInvokeFailure(hr, info);
  SysFreeString(info.bstrDescription);
  SysFreeString(info.bstrSource);
  SysFreeString(info.bstrHelpFile);
  dropPendingCause();
  known->method = py::cast(BoundMember{self.pointer(), known->id, toText16(name)});
  return known->method;
}

void setAttribute(ObjectHandle& self, py::handle name, py::handle value) {
  if (self.libraryInterface())
    raise(Error(errc::MemberNotSupported).noted(u"member " + quotedName(toText16(name)) + u": a routine, not a property"));
  const Object object = self.object();
  const std::u16string member = toText16(name);
  const DISPID id = outsideInterpreter([&] { return object.idOf(member); });
  const Variant v = toVariant(value);
  if (v.type() == VT_DISPATCH) {
    // An object is assigned as a reference where the member takes one.
    try {
      outsideInterpreter([&] { object.invoke(id, DISPATCH_PROPERTYPUTREF, {}, &v); });
      return;
    } catch (const Error& e) {
      if (e.number() != errc::MemberNotSupported) throw;
      dropPendingCause();
    }
  }
  outsideInterpreter([&] { object.invoke(id, DISPATCH_PROPERTYPUT, {}, &v); });
  dropPendingCause();
}

// Attribute access of tarnwick.Object, as the type's own slots: a member
// name goes straight to the object (no failed ordinary lookup first), and
// names with a leading underscore are Python's own.
template <typename F>
int pythonCall(F&& body) noexcept {
  try {
    body();
    return 0;
  } catch (py::error_already_set& e) {
    e.restore();
  } catch (const Error& e) {
    try {
      setPythonError(e);
    } catch (py::error_already_set& failure) {
      failure.restore();
    }
  } catch (const std::bad_alloc&) {
    PyErr_NoMemory();
  } catch (const std::exception& e) {
    PyErr_SetString(PyExc_RuntimeError, e.what());
  }
  return -1;
}

// The C++ value of an instance of this module's own type T, inside a slot
// of T: the value sits in the instance's first place, so it is read
// without the lookup of T's type information that a cast makes each time.
// An instance made by __new__ alone holds no value and is refused.
template <typename T>
T& slotSelf(PyObject* self) {
  const py::detail::value_and_holder value = reinterpret_cast<py::detail::instance*>(self)->get_value_and_holder();
  if (!value.holder_constructed() || !value.value_ptr<T>()) {
    PyErr_Format(PyExc_TypeError, "this %s was not made by the library", Py_TYPE(self)->tp_name);
    throw py::error_already_set();
  }
  return *value.value_ptr<T>();
}

PyObject* objectGetAttr(PyObject* self, PyObject* name) noexcept {
  if (!PyUnicode_Check(name) || isPrivate(name)) return PyObject_GenericGetAttr(self, name);
  PyObject* result = nullptr;
  pythonCall([&] { result = getAttribute(slotSelf<ObjectHandle>(self), name).release().ptr(); });
  return result;
}

int objectSetAttr(PyObject* self, PyObject* name, PyObject* value) noexcept {
  if (!PyUnicode_Check(name) || isPrivate(name) || !value) {
    PyErr_Format(PyExc_AttributeError, "cannot set or delete '%U' of an automation object", name);
    return -1;
  }
  return pythonCall([&] { setAttribute(slotSelf<ObjectHandle>(self), name, value); });
}

// Calling a tarnwick.Member, as the type's own slot: the arguments go
// straight to the member, without a wrapper that gathers them first.
PyObject* memberCall(PyObject* self, PyObject* args, PyObject* kwargs) noexcept {
  PyObject* result = nullptr;
  pythonCall([&] {
    if (kwargs && PyDict_GET_SIZE(kwargs) > 0) raise(errc::NamedArgumentsNotSupported);
    const BoundMember& member = slotSelf<BoundMember>(self);
    result = invokeMember(member.object, member.id, DISPATCH_METHOD | DISPATCH_PROPERTYGET, args).release().ptr();
  });
  return result;
}

py::tuple indexTuple(py::handle key) {
  if (PyTuple_Check(key.ptr())) return py::reinterpret_borrow<py::tuple>(key);
  return py::make_tuple(key);
}

std::u16string nameArgument(py::handle name) {
  if (!PyUnicode_Check(name.ptr())) raise(errc::TypeMismatch);
  return toText16(name);
}

DISPID idOf(const Object& object, py::handle name) {
  const std::u16string member = nameArgument(name);
  return outsideInterpreter([&] { return object.idOf(member); });
}

// Calls a member, or reads a property, of any object by name.
Variant callByName(py::handle object, py::handle name, py::handle args) {
  const Object o = objectOf(object);
  return invokeExact(o.pointer(), idOf(o, name), DISPATCH_METHOD | DISPATCH_PROPERTYGET, args);
}

}  // namespace

ModuleState& state() {
  static auto* s = new ModuleState();  // its objects stay with the interpreter
  return *s;
}

ObjectHandle::KnownName* ObjectHandle::known(py::handle name) noexcept {
  // Names in code are interned, so the same text is mostly the same object.
  for (KnownName& k : known_)
    if (k.name.ptr() == name.ptr()) return &k;
  for (KnownName& k : known_)
    if (PyUnicode_Compare(k.name.ptr(), name.ptr()) == 0) return &k;
  PyErr_Clear();
  return nullptr;
}

ObjectHandle::KnownName& ObjectHandle::remember(py::handle name, DISPID id) {
  return known_.emplace_back(KnownName{py::reinterpret_borrow<py::object>(name), id, py::object()});
}

const frame::InterfaceInfo* ObjectHandle::libraryInterface() {
  if (!classified_) {
    classified_ = true;
    for (const frame::ClassInfo& c : frame::typeLibrary().classes) {
      if (object_.tryAs<IDispatch>(c.interface.iid)) {
        interface_ = &c.interface;
        break;
      }
    }
  }
  return interface_;
}

py::object wrapObject(ComPtr<IDispatch> object) { return py::cast(ObjectHandle(std::move(object))); }

ObjectHandle::~ObjectHandle() {
  if (!object_) return;
  if (!interpreterRunning()) {
    object_.reset();
    return;
  }
  outsideInterpreter([&] { object_.reset(); });
}

std::recursive_mutex& libraryTurn() {
  static auto* turn = new std::recursive_mutex();  // callbacks may outlive the module's statics
  return *turn;
}

Variant invokeExact(const ComPtr<IDispatch>& object, DISPID id, WORD flags, py::handle args, py::handle putValue) {
  const auto count = static_cast<std::size_t>(py::len(args));
  // The arguments of most calls fit here, with no allocation per call.
  constexpr std::size_t kInline = 8;
  std::array<Variant, kInline> inlineValues, inlineReferenced;
  std::vector<Variant> moreValues, moreReferenced;
  if (count > kInline) {
    moreValues.resize(count);
    moreReferenced.resize(count);
  }
  const std::span<Variant> values(count > kInline ? moreValues.data() : inlineValues.data(), count);
  // Referenced values live here; nothing here moves once a reference points into it.
  const std::span<Variant> referenced(count > kInline ? moreReferenced.data() : inlineReferenced.data(), count);
  const auto refType = reinterpret_cast<PyTypeObject*>(state().refType.ptr());
  bool anyReference = false;
  std::size_t i = 0;
  for (py::handle a : args) {
    if (PyObject_TypeCheck(a.ptr(), refType)) {
      referenced[i] = toVariant(a.attr("value"));
      values[i] = Variant::refTo(&referenced[i]);
      anyReference = true;
    } else {
      values[i] = toVariant(a);
    }
    ++i;
  }
  Variant put;
  if (putValue) put = toVariant(putValue);
  Variant result = outsideInterpreter([&] { return Object(object).invoke(id, flags, values, putValue ? &put : nullptr); });
  dropPendingCause();
  if (anyReference) {
    i = 0;
    for (py::handle a : args) {
      if (PyObject_TypeCheck(a.ptr(), refType)) {
        const bool exact = py::isinstance<ExactValue>(a.attr("value"));
        a.attr("value") = exact ? wrapExact(referenced[i].value()) : fromVariant(referenced[i]);
      }
      ++i;
    }
  }
  return result;
}

py::object invokeMember(const ComPtr<IDispatch>& object, DISPID id, WORD flags, py::handle args, py::handle putValue) {
  return fromVariant(invokeExact(object, id, flags, args, putValue));
}

}  // namespace tarnwick::python

using namespace tarnwick;
using namespace tarnwick::python;

PYBIND11_MODULE(tarnwick, m) {
  m.doc() =
      "Tarnwick from Python: create the library's classes, the data engine and the headless host's objects "
      "by programmatic identifier and call their members by name; any Python object can serve as a host object.";

  py::register_exception_translator([](std::exception_ptr p) {
    try {
      if (p) std::rethrow_exception(p);
    } catch (const Error& e) {
      try {
        setPythonError(e);
      } catch (py::error_already_set& failure) {
        failure.restore();
      }
    }
  });

  py::class_<ObjectHandle>(m, "Object", "An automation object; its members are attributes and methods by name.",
                           py::custom_type_setup([](PyHeapTypeObject* type) {
                             type->ht_type.tp_getattro = &objectGetAttr;
                             type->ht_type.tp_setattro = &objectSetAttr;
                           }))
      .def("__call__",
           [](ObjectHandle& self, py::args args, py::kwargs kwargs) {
             refuseNamedArguments(kwargs);
             return invokeMember(self.pointer(), DISPID_VALUE, DISPATCH_METHOD | DISPATCH_PROPERTYGET, args);
           })
      .def("__getitem__",
           [](ObjectHandle& self, py::handle key) {
             return invokeMember(self.pointer(), DISPID_VALUE, DISPATCH_PROPERTYGET, indexTuple(key));
           })
      .def("__setitem__",
           [](ObjectHandle& self, py::handle key, py::handle value) {
             invokeMember(self.pointer(), DISPID_VALUE, DISPATCH_PROPERTYPUT, indexTuple(key), value);
           })
      .def("__iter__",
           [](ObjectHandle& self) {
             py::list items;
             for (const Variant& v : outsideInterpreter([&] { return enumerate(self.object()); }))
               items.append(fromVariant(v));
             return py::iter(items);
           })
      .def("__eq__",
           [](ObjectHandle& self, py::handle other) {
             if (!py::isinstance<ObjectHandle>(other)) return false;
             const auto a = self.pointer().tryAs<IUnknown>();
             const auto b = other.cast<ObjectHandle&>().pointer().tryAs<IUnknown>();
             return a.get() == b.get();
           })
      .def("__hash__",
           [](ObjectHandle& self) { return std::hash<const void*>()(self.pointer().tryAs<IUnknown>().get()); })
      .def("__repr__", [](ObjectHandle& self) {
        return "<tarnwick.Object " + toUtf8(outsideInterpreter([&] { return self.object().typeName(); })) + ">";
      });

  py::class_<BoundMember>(m, "Member", "A member taken by name: call it, or index it as an indexed property.",
                          py::custom_type_setup([](PyHeapTypeObject* type) { type->ht_type.tp_call = &memberCall; }))
      .def("__getitem__",
           [](BoundMember& self, py::handle key) {
             return invokeMember(self.object, self.id, DISPATCH_PROPERTYGET, indexTuple(key));
           })
      .def("__setitem__",
           [](BoundMember& self, py::handle key, py::handle value) {
             invokeMember(self.object, self.id, DISPATCH_PROPERTYPUT, indexTuple(key), value);
           })
      .def("__repr__", [](BoundMember& self) { return "<tarnwick.Member " + toUtf8(self.name) + ">"; });

  m.def(
      "CreateObject",
      [](py::handle progId) {
        const std::u16string name = nameArgument(progId);
        return wrapObject(outsideInterpreter([&] { return frame::createObject(name); }));
      },
      py::arg("prog_id"),
      "Creates an object by programmatic identifier (\"Tarnwick.OcxWrapper\", \"Tarnwick.Host\", ...) or "
      "\"{class identifier}\"; error 429 when there is no such class.");
  m.def(
      "load_form",
      [](const std::string& description, py::handle folder) {
        std::filesystem::path base;
        if (!folder.is_none()) base = py::str(folder).cast<std::string>();
        return wrapObject(outsideInterpreter([&] { return host::loadFormText(description, base).as<IDispatch>(); }));
      },
      py::arg("description"), py::arg("folder") = py::none(),
      "Loads a form description (text) into the headless host; database names are relative to folder.");
  m.def(
      "create_sample_database",
      [](py::handle path, int rows) {
        const std::string file = py::str(path).cast<std::string>();
        outsideInterpreter([&] { engine::createSampleDatabase(file, rows); });
      },
      py::arg("path"), py::arg("rows"), "Writes the Orders sample database; error 3204 when the file exists.");
  m.def(
      "type_name",
      [](py::handle object) {
        const Object o = objectOf(object);
        return fromText16(outsideInterpreter([&] { return o.typeName(); }));
      },
      py::arg("object"),
      "The class name the object reports.");
  m.def(
      "invoke",
      [](py::handle object, py::handle name, py::args args) { return fromVariant(callByName(object, name, args)); },
      py::arg("object"), py::arg("name"), "Calls a member by name with positional arguments.");
  m.def(
      "raw",
      [](py::handle object, py::handle name, py::args args) { return wrapExact(callByName(object, name, args)); },
      py::arg("object"), py::arg("name"),
      "Calls a member (or reads a property) by name as invoke does, answering with a tarnwick.Variant that keeps "
      "the exact type of the answer.");
  m.def(
      "_set_default_member",
      [](py::handle object, py::handle value) {
        const Variant v = toVariant(value);
        const Object o = objectOf(object);
        outsideInterpreter([&] { o.invoke(DISPID_VALUE, DISPATCH_PROPERTYPUT, {}, &v); });
        dropPendingCause();
      },
      py::arg("object"), py::arg("value"), "Sets an object's value, its default member (as ControlArray does).");
  m.def(
      "get_property",
      [](py::handle object, py::handle name, py::args indexes) {
        const Object o = objectOf(object);
        return invokeMember(o.pointer(), idOf(o, name), DISPATCH_PROPERTYGET, indexes);
      },
      py::arg("object"), py::arg("name"), "Reads a property by name, with indexes where it takes them.");
  m.def(
      "set_property",
      [](py::handle object, py::handle name, py::args indexesAndValue) {
        if (py::len(indexesAndValue) == 0) raise(errc::ArgumentNotOptional);
        const Object o = objectOf(object);
        const std::size_t last = py::len(indexesAndValue) - 1;
        py::tuple indexes(last);
        for (std::size_t i = 0; i < last; ++i) indexes[i] = indexesAndValue[i];
        invokeMember(o.pointer(), idOf(o, name), DISPATCH_PROPERTYPUT, indexes, indexesAndValue[last]);
      },
      py::arg("object"), py::arg("name"), "Writes a property by name: set_property(obj, name, *indexes, value).");
  m.def(
      "error_description",
      [](std::int32_t number, py::handle detail) {
        if (detail.is_none()) return fromText16(standardDescription(number));
        return fromText16(describe(number, toText16(py::str(detail))));
      },
      py::arg("number"), py::arg("detail") = py::none(), "The standard description of an error number.");
  m.def(
      "set_message_box",
      [](py::handle function) { installFunction<PythonMessageBox>(function, &host::setMessageBox); },
      py::arg("function"),
      "Message boxes that routines show call function(prompt, buttons, title) for the answer; None restores "
      "the headless box, which presses the default button.");

  m.def(
      "set_progress",
      [](py::handle function) { installFunction<PythonProgress>(function, &host::setProgress); },
      py::arg("function"),
      "Long work of the routines (filling, copying, pasting, deleting records) calls function(task, done, "
      "total) as it starts and every hundred records; returning False stops it with error 18. None removes it.");

  m.def(
      "export",
      [](py::handle source, py::handle file, py::handle database, py::kwargs options) {
        // Keyword options are the Export object's properties.
        static constexpr std::pair<const char*, const char16_t*> kOptions[] = {
            {"format", u"Format"},         {"separator", u"Separator"},
            {"bom", u"ByteOrderMark"},     {"header", u"Header"},
            {"iso_dates", u"IsoDates"},    {"date_format", u"DateFormat"},
            {"decimal_separator", u"DecimalSeparator"}, {"selected_only", u"SelectedOnly"},
            {"title", u"Title"},           {"locale", u"Locale"},
            {"paste_form", u"PasteForm"}};
        const Object exporter(frame::createObject(u"Tarnwick.Export"));
        for (const auto& [key, value] : options) {
          const std::string name = py::str(key).cast<std::string>();
          const auto* option = std::find_if(std::begin(kOptions), std::end(kOptions),
                                            [&](const auto& o) { return name == o.first; });
          if (option == std::end(kOptions)) raise(Error(errc::InvalidProcedureCall).noted(u"export option " + quotedName(fromUtf8(name))));
          if (!value.is_none()) exporter.put(option->second, toVariant(value));
        }
        const Variant path(toText16(py::str(file)));
        const Variant rows = database.is_none()
                                 ? exporter.call(u"ExportFile", toVariant(source), path)
                                 : exporter.call(u"ExportFile", toVariant(source), path, toVariant(database));
        dropPendingCause();
        return fromVariant(rows);
      },
      py::arg("source"), py::arg("file"), py::arg("database") = py::none(),
      "Writes a record source, data grid or flex grid, or a table or SQL statement of database (a Database or "
      "a file's path or server URI), to file as CSV or XLSX (format, else the file's extension) and answers the "
      "number of rows. Options: separator, bom, header, iso_dates, date_format, decimal_separator, "
      "selected_only, paste_form, title, locale.");

  addConversions(m);
  definePythonPart(m);
}
