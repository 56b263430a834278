// Python objects as automation objects. A routine that reads `Tag` or writes
// `Text` of a control given as a Python object reads and writes the Python
// attribute of that name; members are found without regard to letter case.
#include "Bridge.h"

#include <tarnwick/automation/AutomationObject.h>
#include <tarnwick/automation/Enumerator.h>
#include <tarnwick/automation/UnknownBase.h>
#include <tarnwick/frame/ControlInterfaces.h>
#include <tarnwick/host/ControlKind.h>

#include <unordered_map>
#include <vector>

namespace tarnwick::python {

namespace {

// Answers only to the module's own wrappers, so that a Python object that
// travels through the library comes back as itself.
// {5F0C2B4E-8E21-4C39-A7D4-2E61B9C3F0A7}
constexpr IID IID_PythonObject{0x5F0C2B4E, 0x8E21, 0x4C39, {0xA7, 0xD4, 0x2E, 0x61, 0xB9, 0xC3, 0xF0, 0xA7}};

// Members a Python sequence offers without defining them: its length as
// `Count`, and its items through `Item`, as collections of the host do.
constexpr DISPID kCountId = 0x40000001;
constexpr DISPID kItemId = 0x40000002;
constexpr DISPID kFirstNameId = 1;

class PythonObject;

// The member a control of the host's kind reads and writes as its value.
std::u16string_view defaultMemberName(host::ControlKind kind) noexcept {
  using K = host::ControlKind;
  switch (kind) {
    case K::TextBox: case K::ComboBox: case K::ListBox: case K::DBCombo:
    case K::MSFlexGrid: case K::Grid: case K::DBGrid: return u"Text";
    case K::CheckBox: case K::CommandButton: return u"Value";
    case K::TabStrip: return u"Tabs";
    case K::Label: case K::Frame: case K::Menu: case K::Panel: case K::Data: return u"Caption";
  }
  return u"Caption";
}

// One wrapper per live Python object. Never destroyed: wrappers that a
// static object of the library still holds may be released after the
// module's statics are gone.
std::unordered_map<PyObject*, PythonObject*>& wrappers() {
  static auto* map = new std::unordered_map<PyObject*, PythonObject*>();
  return *map;
}

bool interpreterRunning() noexcept { return Py_IsInitialized() && !_Py_IsFinalizing(); }

class PythonObject final : public UnknownBase<PythonObject, IDispatch> {
 public:
  explicit PythonObject(py::object target) : target_(std::move(target)) {}

  py::handle target() const noexcept { return target_; }

  bool answersTo(const IID& asked) const noexcept {
    if (asked == IID_PythonObject) return true;
    // The interface test of the intrinsic controls: a Python object whose
    // type name is that of a text box, combo box or check box is one.
    const char16_t* kind = asked == frame::IID_TextBox    ? u"TextBox"
                           : asked == frame::IID_ComboBox ? u"ComboBox"
                           : asked == frame::IID_CheckBox ? u"CheckBox"
                                                        : nullptr;
    if (!kind || !interpreterRunning()) return false;
    py::gil_scoped_acquire gil;
    try {
      return typeName() == kind;
    } catch (py::error_already_set& e) {
      e.discard_as_unraisable("tarnwick: reading TypeName");
      return false;
    } catch (...) {
      return false;
    }
  }

  HRESULT GetTypeInfoCount(UINT* count) noexcept override {
    if (!count) return E_POINTER;
    *count = 1;
    return S_OK;
  }
  HRESULT GetTypeInfo(UINT index, LCID, ITypeInfo** info) noexcept override {
    if (!info) return E_POINTER;
    *info = nullptr;
    if (index != 0) return DISP_E_BADINDEX;
    py::gil_scoped_acquire gil;
    std::u16string name;
    try {
      name = typeName();
    } catch (py::error_already_set& e) {
      e.discard_as_unraisable("tarnwick: reading TypeName");
      name = u"Object";
    } catch (...) {
      return E_OUTOFMEMORY;
    }
    *info = tarnwick::impl::newNamedTypeInfo(name);
    return *info ? S_OK : E_OUTOFMEMORY;
  }

  HRESULT GetIDsOfNames(const IID&, const char16_t* const* names, UINT count, LCID, DISPID* ids) noexcept override {
    if (!names || !ids || count == 0) return E_INVALIDARG;
    for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
    if (!names[0]) return DISP_E_UNKNOWNNAME;
    // Named parameters are not supported: Python methods take positional arguments.
    if (count > 1) return DISP_E_UNKNOWNNAME;
    py::gil_scoped_acquire gil;
    try {
      ids[0] = idOf(names[0]);
    } catch (py::error_already_set& e) {
      e.discard_as_unraisable("tarnwick: looking up a member");
      return DISP_E_UNKNOWNNAME;
    } catch (...) {
      return E_OUTOFMEMORY;
    }
    return ids[0] == DISPID_UNKNOWN ? DISP_E_UNKNOWNNAME : S_OK;
  }

  HRESULT Invoke(DISPID id, const IID&, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* info,
                 UINT*) noexcept override {
    if (const HRESULT hr = impl::checkInvoke(kMethod | kProperty | kPutRef, flags, params); failed(hr)) return hr;
    if (!interpreterRunning()) return E_UNEXPECTED;
    py::gil_scoped_acquire gil;
    try {
      try {
        Variant answer = invoke(id, flags, *params);
        if (result) {
          VariantClear(result);
          *result = answer.detach();
        }
        return S_OK;
      } catch (py::error_already_set& e) {
        Error error = errorFromPython(e);
        noteWhere(error, id);
        throw error;
      }
    } catch (...) {
      std::u16string source;
      try {
        source = typeName();
      } catch (...) {
        PyErr_Clear();
      }
      return tarnwick::impl::reportException(info, source);
    }
  }

 private:
  friend class UnknownBase<PythonObject, IDispatch>;
  ~PythonObject() {
    // The reference is given back only while the interpreter runs; after
    // it has ended there is nothing left to give it back to.
    if (!interpreterRunning()) {
      target_.release();
      return;
    }
    py::gil_scoped_acquire gil;
    auto& map = wrappers();
    if (auto it = map.find(target_.ptr()); it != map.end() && it->second == this) map.erase(it);
    target_ = py::object();
  }

  // An error raised inside a member says which member of which object:
  // "member 'Text' of TextBox 'txtQty'", before what Python said.
  void noteWhere(Error& error, DISPID id) const {
    std::u16string where;
    if (id >= kFirstNameId && static_cast<std::size_t>(id - kFirstNameId) < names_.size())
      where = u"member " + quotedName(names_[static_cast<std::size_t>(id - kFirstNameId)]) + u" of ";
    else if (id == DISPID_VALUE)
      where = u"default member of ";
    try {
      where += typeName();
      if (PyObject_HasAttrString(target_.ptr(), "Name")) {
        py::object name = target_.attr("Name");
        if (PyUnicode_Check(name.ptr())) where += u" " + quotedName(toText16(name));
      }
    } catch (py::error_already_set& e) {
      e.discard_as_unraisable("tarnwick: naming the object at fault");
    }
    // A note is kept once set: the error is made again with the whole note.
    Error noted(error.number(), error.description(), error.source());
    noted.noted(error.note().empty() ? where : where + u": " + error.note());
    error = std::move(noted);
  }

  std::u16string typeName() const {
    const py::handle t = target_;
    if (PyObject_HasAttrString(t.ptr(), "TypeName")) {
      py::object name = t.attr("TypeName");
      if (PyUnicode_Check(name.ptr())) return toText16(name);
      if (py::isinstance<py::function>(name) || PyMethod_Check(name.ptr())) {
        py::object called = name();
        if (PyUnicode_Check(called.ptr())) return toText16(called);
      }
    }
    return toText16(py::str(py::type::handle_of(t).attr("__name__")));
  }

  // The Python attribute that a member name stands for: the name itself,
  // else the one attribute whose name differs only in letter case.
  py::object attributeName(const char16_t* name) const {
    py::str wanted = fromText16(name);
    if (PyObject_HasAttr(target_.ptr(), wanted.ptr())) return wanted;
    const std::u16string_view asked(name);
    py::list names = py::reinterpret_steal<py::list>(PyObject_Dir(target_.ptr()));
    if (!names) throw py::error_already_set();
    for (py::handle candidate : names) {
      if (!PyUnicode_Check(candidate.ptr())) continue;
      if (equalsIgnoreCase(toText16(candidate), asked)) return py::reinterpret_borrow<py::object>(candidate);
    }
    return py::object();
  }

  // The attribute that the default member stands for without an index: the
  // one its class names in _default_member_, else the member that a host
  // control of its type name has as its value (Text of a text box, Caption
  // of a label, Value of a check box), else Value.
  py::object defaultAttribute() const {
    std::u16string name(u"Value");
    if (PyObject_HasAttrString(target_.ptr(), "_default_member_"))
      name = toText16(py::str(target_.attr("_default_member_")));
    else if (const auto kind = host::kindOfTypeName(typeName()))
      name = defaultMemberName(*kind);
    py::object attribute = attributeName(name.c_str());
    if (!attribute) raise(Error(errc::MemberNotSupported).noted(u"member " + quotedName(name)));
    return attribute;
  }

  DISPID idOf(const char16_t* name) {
    const std::u16string_view asked(name);
    for (std::size_t i = 0; i < names_.size(); ++i)
      if (equalsIgnoreCase(names_[i], asked)) return kFirstNameId + static_cast<DISPID>(i);
    py::object attribute = attributeName(name);
    if (!attribute) {
      const bool sized = PyObject_HasAttrString(target_.ptr(), "__len__");
      if (sized && equalsIgnoreCase(asked, u"Count")) return kCountId;
      if (PyObject_HasAttrString(target_.ptr(), "__getitem__") && equalsIgnoreCase(asked, u"Item")) return kItemId;
      return DISPID_UNKNOWN;
    }
    names_.emplace_back(asked);
    attributes_.push_back(std::move(attribute));
    return kFirstNameId + static_cast<DISPID>(names_.size() - 1);
  }

  static py::tuple arguments(const DISPPARAMS& params, std::size_t count) {
    // Invoke passes the arguments last first; a trailing run of missing
    // arguments is left out, so that the Python defaults apply.
    while (count > 0) {
      const VARIANT& last = params.rgvarg[params.cArgs - count];
      if (last.vt != VT_ERROR || last.scode != DISP_E_PARAMNOTFOUND_SCODE) break;
      --count;
    }
    py::tuple args(count);
    for (std::size_t i = 0; i < count; ++i) args[i] = fromVariant(params.rgvarg[params.cArgs - 1 - i]);
    return args;
  }

  static py::object key(const py::tuple& indices) {
    return indices.size() == 1 ? py::object(indices[0]) : py::object(indices);
  }

  bool isRoutine(py::handle value) const { return state().isRoutine(value).cast<bool>(); }

  Variant invoke(DISPID id, WORD flags, const DISPPARAMS& params) {
    const bool isPut = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
    const std::size_t positional = params.cArgs - (isPut ? 1 : 0);
    py::tuple args = arguments(params, positional);
    const py::handle self = target_;

    if (id == DISPID_NEWENUM) {
      std::vector<Variant> items;
      for (py::handle item : py::iter(self)) items.push_back(toVariant(item));
      return makeEnumerator(std::move(items));
    }

    if (isPut) {
      // The value being assigned stands first in Invoke's list.
      py::object value = fromVariant(params.rgvarg[0]);
      if (id == DISPID_VALUE && args.empty()) {
        py::setattr(self, defaultAttribute(), value);
        return Variant();
      }
      if (id == DISPID_VALUE || id == kItemId) {
        if (args.empty()) raise(errc::MemberNotSupported);
        self[key(args)] = value;
        return Variant();
      }
      const py::object& name = attributeOf(id);
      if (args.empty()) {
        py::setattr(self, name, value);
      } else {
        py::object property = self.attr(name);
        if (!PyObject_HasAttrString(property.ptr(), "__setitem__")) raise(errc::WrongArgumentCount);
        property[key(args)] = value;
      }
      return Variant();
    }

    if (id == DISPID_VALUE) {
      // The default member: calling the object, else indexing it, else its value attribute.
      if (PyCallable_Check(self.ptr())) return toVariant(self(*args));
      if (!args.empty()) return toVariant(self[key(args)]);
      py::object member = self.attr(defaultAttribute());
      return toVariant(isRoutine(member) ? member() : member);
    }
    if (id == kCountId) return toVariant(py::int_(py::len(self)));
    if (id == kItemId) {
      if (args.empty()) raise(errc::ArgumentNotOptional);
      return toVariant(self[key(args)]);
    }

    py::object member = self.attr(attributeOf(id));
    // A method runs whether it is called or read as a property, as a
    // method without arguments does on the platform; any other attribute is
    // a property, indexed when it takes arguments.
    if (isRoutine(member)) return toVariant(member(*args));
    if (args.empty()) return toVariant(member);
    if (PyObject_HasAttrString(member.ptr(), "__getitem__")) return toVariant(member[key(args)]);
    if (PyCallable_Check(member.ptr())) return toVariant(member(*args));
    raise(errc::WrongArgumentCount);
  }

  const py::object& attributeOf(DISPID id) const {
    const auto index = static_cast<std::size_t>(id - kFirstNameId);
    if (id < kFirstNameId || index >= attributes_.size()) raise(errc::MemberNotSupported);
    return attributes_[index];
  }

  py::object target_;
  std::vector<std::u16string> names_;   // dispatch id kFirstNameId + i
  std::vector<py::object> attributes_;  // the Python attribute name of each
};

}  // namespace

ComPtr<IDispatch> wrapPython(py::handle object) {
  auto& map = wrappers();
  if (auto it = map.find(object.ptr()); it != map.end()) return ComPtr<IDispatch>(it->second);
  auto* wrapper = new PythonObject(py::reinterpret_borrow<py::object>(object));
  map.emplace(object.ptr(), wrapper);
  return ComPtr<IDispatch>::attach(wrapper);
}

py::handle unwrapPython(IDispatch* object) noexcept {
  if (!object) return py::handle();
  void* found = nullptr;
  if (failed(object->QueryInterface(IID_PythonObject, &found)) || !found) return py::handle();
  auto* wrapper = static_cast<PythonObject*>(static_cast<IDispatch*>(found));
  const py::handle target = wrapper->target();
  wrapper->Release();  // the Python object keeps the wrapper's target alive for the caller
  return target;
}

}  // namespace tarnwick::python
