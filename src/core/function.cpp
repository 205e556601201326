// The function type behind every Python-level function of both modules.
//
// Modelled on CPython's own function object: GC-tracked, a method descriptor
// (so `obj.method(...)` needs no bound-method object), vectorcall, and the usual
// dunder attributes. Argument binding follows the rules and the wording of
// CPython 3.11 for a signature made of positional-or-keyword parameters with
// trailing defaults and an optional **kwargs.
#include "function.hpp"

#include "errors.hpp"
#include "names.hpp"

#include <structmember.h>

#include <cstring>
#include <memory>

namespace hv {

struct FunctionInfo {
    explicit FunctionInfo(Body b) : body(b) {}
    std::vector<std::string> names;  // positional-or-keyword parameters
    std::string varkw;               // empty: no **kwargs
    Body body;
};

struct FunctionObject {
    PyObject_HEAD
    vectorcallfunc vectorcall;
    FunctionInfo* info;
    PyObject* name;
    PyObject* qualname;
    PyObject* module;
    PyObject* doc;
    PyObject* defaults;     // tuple or NULL
    PyObject* annotations;  // dict or NULL
    PyObject* globals;
    PyObject* builtins;  // dict
    PyObject* closure;
    PyObject* dict;
    PyObject* weakrefs;
};

namespace {

PyTypeObject* function_type = nullptr;

int fn_traverse(PyObject* self, visitproc visit, void* arg) {
    auto* f = reinterpret_cast<FunctionObject*>(self);
    Py_VISIT(Py_TYPE(self));
    Py_VISIT(f->name);
    Py_VISIT(f->qualname);
    Py_VISIT(f->module);
    Py_VISIT(f->doc);
    Py_VISIT(f->defaults);
    Py_VISIT(f->annotations);
    Py_VISIT(f->globals);
    Py_VISIT(f->builtins);
    Py_VISIT(f->closure);
    Py_VISIT(f->dict);
    return 0;
}

int fn_clear(PyObject* self) {
    auto* f = reinterpret_cast<FunctionObject*>(self);
    Py_CLEAR(f->name);
    Py_CLEAR(f->qualname);
    Py_CLEAR(f->module);
    Py_CLEAR(f->doc);
    Py_CLEAR(f->defaults);
    Py_CLEAR(f->annotations);
    Py_CLEAR(f->globals);
    Py_CLEAR(f->builtins);
    Py_CLEAR(f->closure);
    Py_CLEAR(f->dict);
    return 0;
}

void fn_dealloc(PyObject* self) {
    auto* f = reinterpret_cast<FunctionObject*>(self);
    PyTypeObject* tp = Py_TYPE(self);
    PyObject_GC_UnTrack(self);
    if (f->weakrefs) PyObject_ClearWeakRefs(self);
    fn_clear(self);
    delete f->info;
    f->info = nullptr;
    tp->tp_free(self);
    Py_DECREF(tp);
}

PyObject* fn_repr(PyObject* self) {
    auto* f = reinterpret_cast<FunctionObject*>(self);
    return PyUnicode_FromFormat("<function %U at %p>", f->qualname, self);
}

PyObject* fn_descr_get(PyObject* self, PyObject* obj, PyObject*) {
    if (obj == nullptr || obj == Py_None) return Py_NewRef(self);
    return PyMethod_New(self, obj);
}

// "'a'", "'a' and 'b'", "'a', 'b' and 'c'": CPython's list of missing names.
std::string quoted_list(const std::vector<std::string>& names) {
    std::string out;
    for (size_t i = 0; i < names.size(); ++i) {
        if (i > 0) out += (i + 1 == names.size()) ? (names.size() > 2 ? ", and " : " and ") : ", ";
        out += "'" + names[i] + "'";
    }
    return out;
}

std::string qualname_of(FunctionObject* f) {
    Py_ssize_t size = 0;
    const char* text = PyUnicode_Check(f->qualname) ? PyUnicode_AsUTF8AndSize(f->qualname, &size) : nullptr;
    if (text == nullptr) {
        PyErr_Clear();
        return "function";
    }
    return std::string(text, static_cast<size_t>(size));
}

PyObject* type_error(FunctionObject* f, const std::string& tail) {
    PyErr_SetString(PyExc_TypeError, (qualname_of(f) + "()" + tail).c_str());
    return nullptr;
}

PyObject* too_many_positional(FunctionObject* f, Py_ssize_t given, Py_ssize_t ndefaults) {
    const auto n = static_cast<Py_ssize_t>(f->info->names.size());
    std::string takes;
    if (ndefaults > 0)
        takes = "from " + std::to_string(n - ndefaults) + " to " + std::to_string(n);
    else
        takes = std::to_string(n);
    const bool plural = !(ndefaults == 0 && n == 1);
    return type_error(f, " takes " + takes + " positional argument" + (plural ? "s" : "") + " but " +
                             std::to_string(given) + (given == 1 ? " was" : " were") + " given");
}

// Binds the call to the slots and runs the body; every exit path leaves either a
// result or a set exception.
PyObject* fn_vectorcall(PyObject* callable, PyObject* const* args, size_t nargsf, PyObject* kwnames) {
    auto* f = reinterpret_cast<FunctionObject*>(callable);
    const FunctionInfo& info = *f->info;
    const auto n = static_cast<Py_ssize_t>(info.names.size());
    const Py_ssize_t nargs = PyVectorcall_NARGS(nargsf);

    // __defaults__ is read at call time, as for a Python function.
    py::object defaults = py::reinterpret_borrow<py::object>(f->defaults);
    const Py_ssize_t ndefaults = defaults ? PyTuple_GET_SIZE(defaults.ptr()) : 0;

    if (nargs > n) return too_many_positional(f, nargs, ndefaults);

    PyObject* small[16];
    std::vector<PyObject*> large;
    PyObject** slots = small;
    if (n > 16) {
        large.resize(static_cast<size_t>(n));
        slots = large.data();
    }
    for (Py_ssize_t i = 0; i < n; ++i) slots[i] = i < nargs ? args[i] : nullptr;

    py::object kwargs;
    if (!info.varkw.empty()) {
        kwargs = py::reinterpret_steal<py::object>(PyDict_New());
        if (!kwargs) return nullptr;
    }

    const Py_ssize_t nkw = kwnames ? PyTuple_GET_SIZE(kwnames) : 0;
    for (Py_ssize_t k = 0; k < nkw; ++k) {
        PyObject* key = PyTuple_GET_ITEM(kwnames, k);
        PyObject* value = args[nargs + k];
        Py_ssize_t size = 0;
        const char* text = PyUnicode_AsUTF8AndSize(key, &size);
        if (text == nullptr) return nullptr;
        Py_ssize_t found = -1;
        for (Py_ssize_t i = 0; i < n; ++i) {
            const std::string& name = info.names[static_cast<size_t>(i)];
            if (static_cast<Py_ssize_t>(name.size()) == size && std::memcmp(name.data(), text, name.size()) == 0) {
                found = i;
                break;
            }
        }
        if (found < 0) {
            if (!kwargs) return type_error(f, " got an unexpected keyword argument '" + std::string(text, size) + "'");
            if (PyDict_SetItem(kwargs.ptr(), key, value) < 0) return nullptr;
            continue;
        }
        if (slots[found] != nullptr)
            return type_error(f, " got multiple values for argument '" + std::string(text, size) + "'");
        slots[found] = value;
    }

    const Py_ssize_t first_default = n - ndefaults;
    std::vector<std::string> missing;
    for (Py_ssize_t i = 0; i < n; ++i) {
        if (slots[i] != nullptr) continue;
        if (i >= first_default)
            slots[i] = PyTuple_GET_ITEM(defaults.ptr(), i - first_default);
        else
            missing.push_back(info.names[static_cast<size_t>(i)]);
    }
    if (!missing.empty()) {
        return type_error(f, " missing " + std::to_string(missing.size()) + " required positional argument" +
                                 (missing.size() == 1 ? "" : "s") + ": " + quoted_list(missing));
    }

    // Keep the function alive while its body runs, even if the body drops the
    // last other reference (a handler that destroys its own window).
    py::object keep = py::reinterpret_borrow<py::object>(callable);
    PyObject* result = nullptr;
    guard([&] {
        py::object r = info.body(Scope(f, slots), slots, kwargs.ptr());
        result = r ? r.release().ptr() : Py_NewRef(Py_None);
    });
    return result;
}

PyObject* get_name(PyObject* self, void*) { return Py_NewRef(reinterpret_cast<FunctionObject*>(self)->name); }
PyObject* get_qualname(PyObject* self, void*) {
    return Py_NewRef(reinterpret_cast<FunctionObject*>(self)->qualname);
}

int set_str_field(PyObject** field, PyObject* value, const char* what) {
    if (value == nullptr || !PyUnicode_Check(value)) {
        PyErr_Format(PyExc_TypeError, "%s must be set to a string object", what);
        return -1;
    }
    Py_XSETREF(*field, Py_NewRef(value));
    return 0;
}

int set_name(PyObject* self, PyObject* value, void*) {
    return set_str_field(&reinterpret_cast<FunctionObject*>(self)->name, value, "__name__");
}
int set_qualname(PyObject* self, PyObject* value, void*) {
    return set_str_field(&reinterpret_cast<FunctionObject*>(self)->qualname, value, "__qualname__");
}

PyObject* get_defaults(PyObject* self, void*) {
    auto* f = reinterpret_cast<FunctionObject*>(self);
    return Py_NewRef(f->defaults ? f->defaults : Py_None);
}

int set_defaults(PyObject* self, PyObject* value, void*) {
    auto* f = reinterpret_cast<FunctionObject*>(self);
    if (value == Py_None) value = nullptr;
    if (value != nullptr && !PyTuple_Check(value)) {
        PyErr_SetString(PyExc_TypeError, "__defaults__ must be set to a tuple object");
        return -1;
    }
    if (value != nullptr && PyTuple_GET_SIZE(value) > static_cast<Py_ssize_t>(f->info->names.size())) {
        PyErr_SetString(PyExc_ValueError, "__defaults__ has more entries than the function has parameters");
        return -1;
    }
    Py_XSETREF(f->defaults, Py_XNewRef(value));
    return 0;
}

PyObject* get_kwdefaults(PyObject*, void*) { Py_RETURN_NONE; }

PyObject* get_annotations(PyObject* self, void*) {
    auto* f = reinterpret_cast<FunctionObject*>(self);
    if (f->annotations == nullptr) {
        f->annotations = PyDict_New();
        if (f->annotations == nullptr) return nullptr;
    }
    return Py_NewRef(f->annotations);
}

int set_annotations(PyObject* self, PyObject* value, void*) {
    auto* f = reinterpret_cast<FunctionObject*>(self);
    if (value == Py_None) value = nullptr;
    if (value != nullptr && !PyDict_Check(value)) {
        PyErr_SetString(PyExc_TypeError, "__annotations__ must be set to a dict object");
        return -1;
    }
    Py_XSETREF(f->annotations, Py_XNewRef(value));
    return 0;
}

PyObject* get_globals(PyObject* self, void*) { return Py_NewRef(reinterpret_cast<FunctionObject*>(self)->globals); }

// inspect.signature() asks for __signature__ before anything else; it is built
// from the current __defaults__ and __annotations__ each time.
PyObject* get_signature(PyObject* self, void*) {
    auto* f = reinterpret_cast<FunctionObject*>(self);
    PyObject* result = nullptr;
    guard([&] {
        py::module_ inspect = py::module_::import("inspect");
        py::object Parameter = inspect.attr("Parameter");
        py::object Signature = inspect.attr("Signature");
        py::object empty = Parameter.attr("empty");
        py::dict ann = f->annotations ? py::reinterpret_borrow<py::dict>(f->annotations) : py::dict();
        const auto n = static_cast<Py_ssize_t>(f->info->names.size());
        const Py_ssize_t ndefaults = f->defaults ? PyTuple_GET_SIZE(f->defaults) : 0;
        py::list params;
        for (Py_ssize_t i = 0; i < n; ++i) {
            py::str name(f->info->names[static_cast<size_t>(i)]);
            py::object def = i >= n - ndefaults ? py::reinterpret_borrow<py::object>(
                                                      PyTuple_GET_ITEM(f->defaults, i - (n - ndefaults)))
                                                : empty;
            py::object annotation = ann.contains(name) ? py::object(ann[name]) : empty;
            params.append(Parameter(name, Parameter.attr("POSITIONAL_OR_KEYWORD"), "default"_a = def,
                                    "annotation"_a = annotation));
        }
        if (!f->info->varkw.empty()) {
            py::str name(f->info->varkw);
            py::object annotation = ann.contains(name) ? py::object(ann[name]) : empty;
            params.append(Parameter(name, Parameter.attr("VAR_KEYWORD"), "annotation"_a = annotation));
        }
        py::str ret("return");
        py::object return_annotation = ann.contains(ret) ? py::object(ann[ret]) : empty;
        result = Signature(params, "return_annotation"_a = return_annotation).release().ptr();
    });
    return result;
}

// Functions copy and pickle as the interpreter's own do: by reference. A string
// from __reduce__ tells copy to return the object itself and pickle to store
// it as the global __module__.__qualname__, looked up again on load (and to
// refuse a qualified name that holds <locals>, with pickle's own error).
PyObject* fn_reduce(PyObject* self, PyObject*) {
    return Py_NewRef(reinterpret_cast<FunctionObject*>(self)->qualname);
}

PyMethodDef fn_methods[] = {
    {"__reduce__", fn_reduce, METH_NOARGS, nullptr},
    {nullptr, nullptr, 0, nullptr},
};

PyObject* get_builtins(PyObject* self, void*) {
    return Py_NewRef(reinterpret_cast<FunctionObject*>(self)->builtins);
}

PyGetSetDef fn_getset[] = {
    {"__name__", get_name, set_name, nullptr, nullptr},
    {"__qualname__", get_qualname, set_qualname, nullptr, nullptr},
    {"__defaults__", get_defaults, set_defaults, nullptr, nullptr},
    {"__kwdefaults__", get_kwdefaults, nullptr, nullptr, nullptr},
    {"__annotations__", get_annotations, set_annotations, nullptr, nullptr},
    {"__globals__", get_globals, nullptr, nullptr, nullptr},
    {"__builtins__", get_builtins, nullptr, nullptr, nullptr},
    {"__signature__", get_signature, nullptr, nullptr, nullptr},
    {"__dict__", PyObject_GenericGetDict, PyObject_GenericSetDict, nullptr, nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyMemberDef fn_members[] = {
    {"__module__", T_OBJECT, offsetof(FunctionObject, module), 0, nullptr},
    {"__doc__", T_OBJECT, offsetof(FunctionObject, doc), 0, nullptr},
    {"__vectorcalloffset__", T_PYSSIZET, offsetof(FunctionObject, vectorcall), READONLY, nullptr},
    {"__dictoffset__", T_PYSSIZET, offsetof(FunctionObject, dict), READONLY, nullptr},
    {"__weaklistoffset__", T_PYSSIZET, offsetof(FunctionObject, weakrefs), READONLY, nullptr},
    {nullptr, 0, 0, 0, nullptr},
};

PyTypeObject* get_function_type() {
    if (function_type != nullptr) return function_type;
    static PyType_Slot slots[] = {
        {Py_tp_dealloc, reinterpret_cast<void*>(fn_dealloc)},
        {Py_tp_traverse, reinterpret_cast<void*>(fn_traverse)},
        {Py_tp_clear, reinterpret_cast<void*>(fn_clear)},
        {Py_tp_repr, reinterpret_cast<void*>(fn_repr)},
        {Py_tp_call, reinterpret_cast<void*>(PyVectorcall_Call)},
        {Py_tp_descr_get, reinterpret_cast<void*>(fn_descr_get)},
        {Py_tp_getset, fn_getset},
        {Py_tp_methods, fn_methods},
        {Py_tp_members, fn_members},
        {0, nullptr},
    };
    static PyType_Spec type_shape = {
        "halvorine_native.function",
        sizeof(FunctionObject),
        0,
        Py_TPFLAGS_DEFAULT | Py_TPFLAGS_HAVE_GC | Py_TPFLAGS_HAVE_VECTORCALL | Py_TPFLAGS_METHOD_DESCRIPTOR |
            Py_TPFLAGS_DISALLOW_INSTANTIATION,
        slots,
    };
    PyObject* type = PyType_FromSpec(&type_shape);
    if (type == nullptr) throw py::error_already_set();
    function_type = reinterpret_cast<PyTypeObject*>(type);  // kept for the life of the process
    return function_type;
}

}  // namespace

py::object Scope::global(const char* name) const {
    PyObject* key = interned(name);
    PyObject* value = PyDict_GetItemWithError(fn_->globals, key);  // borrowed
    if (value == nullptr && !PyErr_Occurred()) value = PyDict_GetItemWithError(fn_->builtins, key);
    if (value == nullptr) {
        if (PyErr_Occurred()) throw py::error_already_set();
        PyErr_Format(PyExc_NameError, "name '%s' is not defined", name);
        throw py::error_already_set();
    }
    return py::reinterpret_borrow<py::object>(value);
}

py::object Scope::str(py::handle value) const {
    py::object fn = global("str");
    if (fn.ptr() == reinterpret_cast<PyObject*>(&PyUnicode_Type)) return py::str(value);
    return fn(value);
}

py::object Scope::import(const char* name) const {
    return import_with(fn_->globals, fn_->builtins, py::none(), name, nullptr);
}

py::object Scope::import_from(const char* module, const char* attr) const {
    return import_with(fn_->globals, fn_->builtins, py::none(), module, attr);
}

py::handle Scope::closure() const { return fn_->closure; }

py::handle Scope::globals() const { return fn_->globals; }

std::string Scope::qualname() const { return qualname_of(fn_); }

py::object Scope::super() const {
    if (fn_->closure == nullptr || !PyCell_Check(fn_->closure)) throw py::type_error("this method has no __class__ cell");
    PyObject* cls = PyCell_GET(fn_->closure);
    if (cls == nullptr) raise(PyExc_RuntimeError, "super(): empty __class__ cell");
    if (fn_->info->names.empty()) raise(PyExc_RuntimeError, "super(): no arguments");
    return py::reinterpret_borrow<py::object>(reinterpret_cast<PyObject*>(&PySuper_Type))(
        py::handle(cls), py::handle(slots_[0]));
}

py::object make_function(FunctionDecl decl, py::handle globals, py::object closure) {
    PyTypeObject* type = get_function_type();
    auto info = std::make_unique<FunctionInfo>(decl.body);
    std::vector<PyObject*> defaults;
    for (const Param& p : decl.params) {
        if (std::strncmp(p.name, "**", 2) == 0) {
            info->varkw = p.name + 2;
            continue;
        }
        if (!info->varkw.empty()) throw py::value_error("**kwargs must be the last parameter");
        if (p.default_value) {
            defaults.push_back(p.default_value.ptr());
        } else if (!defaults.empty()) {
            throw py::value_error(std::string("parameter without default follows default: ") + p.name);
        }
        info->names.emplace_back(p.name);
    }
    const size_t params = info->names.size() + (info->varkw.empty() ? 0 : 1);
    if (decl.body.arity() != params || decl.body.takes_kwargs() != !info->varkw.empty())
        throw py::type_error(decl.qualname + "(): the C++ body takes " + std::to_string(decl.body.arity()) +
                             " arguments, the signature has " + std::to_string(params) + " parameters" +
                             (info->varkw.empty() ? "" : ", the last **" + info->varkw));

    py::tuple defaults_tuple(defaults.size());
    for (size_t i = 0; i < defaults.size(); ++i) defaults_tuple[i] = py::reinterpret_borrow<py::object>(defaults[i]);
    py::object module = py::reinterpret_borrow<py::dict>(globals).contains("__name__")
                            ? py::object(py::reinterpret_borrow<py::dict>(globals)["__name__"])
                            : py::object(py::none());

    // As for a Python function: the globals' __builtins__ when they have one,
    // else the builtins of the code that makes the function.
    py::object builtins;
    {
        PyObject* b = PyDict_GetItemWithError(globals.ptr(), interned("__builtins__"));
        if (b == nullptr && PyErr_Occurred()) throw py::error_already_set();
        if (b != nullptr && PyModule_Check(b)) b = PyModule_GetDict(b);
        if (b == nullptr || !PyDict_Check(b)) b = PyEval_GetBuiltins();
        if (b == nullptr) throw py::error_already_set();
        builtins = py::reinterpret_borrow<py::object>(b);
    }

    py::str name(decl.name);
    py::str qualname(decl.qualname);
    // Everything that can fail is made before the object exists.
    auto* f = PyObject_GC_New(FunctionObject, type);
    if (f == nullptr) throw py::error_already_set();
    f->vectorcall = fn_vectorcall;
    f->info = info.release();
    f->name = name.release().ptr();
    f->qualname = qualname.release().ptr();
    f->module = module.release().ptr();
    f->doc = Py_NewRef(Py_None);
    f->defaults = defaults.empty() ? nullptr : defaults_tuple.release().ptr();
    f->annotations = decl.annotations.empty() ? nullptr : decl.annotations.release().ptr();
    f->globals = Py_NewRef(globals.ptr());
    f->builtins = builtins.release().ptr();
    f->closure = closure.release().ptr();
    f->dict = nullptr;
    f->weakrefs = nullptr;
    PyObject_GC_Track(reinterpret_cast<PyObject*>(f));
    return py::reinterpret_steal<py::object>(reinterpret_cast<PyObject*>(f));
}

}  // namespace hv
