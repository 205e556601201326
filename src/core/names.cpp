// Interned names and imports by name.
#include "names.hpp"

#include "calls.hpp"
#include "function.hpp"

#include "errors.hpp"

#include <cstring>
#include <string>
#include <unordered_map>

namespace hv {

PyObject* interned(const char* name) {
    // By the address of the spelled-out name; the module supports one
    // interpreter per process, and the strings are immortal constants.
    static std::unordered_map<const char*, PyObject*> names;
    auto it = names.find(name);
    if (it != names.end()) return it->second;
    PyObject* s = PyUnicode_InternFromString(name);
    if (s == nullptr) throw py::error_already_set();
    names.emplace(name, s);
    return s;
}

py::handle name(const char* text) { return interned(text); }

py::object call_method(py::handle obj, py::handle name, std::initializer_list<py::handle> args, py::handle kwnames) {
    // stack[0] is free for the callee (PY_VECTORCALL_ARGUMENTS_OFFSET), then
    // self, then the arguments.
    PyObject* stack[9] = {nullptr, obj.ptr()};
    if (args.size() > 7) throw py::type_error("call_method takes at most 7 arguments");
    size_t n = 1;
    for (py::handle arg : args) stack[1 + n++] = arg.ptr();
    const size_t keywords = kwnames ? static_cast<size_t>(PyTuple_GET_SIZE(kwnames.ptr())) : 0;
    PyObject* result = PyObject_VectorcallMethod(name.ptr(), stack + 1, (n - keywords) | PY_VECTORCALL_ARGUMENTS_OFFSET,
                                                 kwnames.ptr());
    if (result == nullptr) throw py::error_already_set();
    return py::reinterpret_steal<py::object>(result);
}

py::object call_with_keywords(py::handle callable, py::dict keywords, py::dict more) {
    py::dict all = keywords.attr("copy")();
    for (auto [key, value] : more) {
        if (!all.contains(key)) {
            all[key] = value;
            continue;
        }
        // How the interpreter names the callable in the message.
        py::object qualname = py::getattr(callable, "__qualname__", py::none());
        py::object module = py::getattr(callable, "__module__", py::none());
        std::string what = py::str(PyUnicode_Check(qualname.ptr()) ? qualname : py::str(Py_TYPE(callable.ptr())->tp_name));
        if (PyUnicode_Check(module.ptr()) && module.not_equal(py::str("builtins")))
            what = py::str(module).cast<std::string>() + "." + what;
        throw py::type_error(what + "() got multiple values for keyword argument '" + py::str(key).cast<std::string>() + "'");
    }
    return callable(**all);
}

py::object import_with(py::handle globals, py::handle builtins, py::handle locals, const char* name,
                       const char* attr) {
    // IMPORT_NAME: __import__ is looked up in the builtins each time.
    PyObject* import_fn = PyDict_GetItemWithError(builtins.ptr(), interned("__import__"));  // borrowed
    if (import_fn == nullptr) {
        if (!PyErr_Occurred()) PyErr_SetString(PyExc_ImportError, "__import__ not found");
        throw py::error_already_set();
    }
    py::object fromlist = attr ? py::object(py::make_tuple(attr)) : py::object(py::none());
    py::object module = py::handle(import_fn)(py::str(name), globals, locals, fromlist, 0);
    if (attr == nullptr) {
        // `import a.b` binds the top package; callers here import plain names
        // or want the submodule itself, which sys.modules has.
        if (std::strchr(name, '.') == nullptr) return module;
        return py::module_::import("sys").attr("modules")[py::str(name)];
    }
    // IMPORT_FROM: the attribute, else the submodule of that name.
    PyObject* value = PyObject_GetAttrString(module.ptr(), attr);
    if (value != nullptr) return py::reinterpret_steal<py::object>(value);
    if (!PyErr_ExceptionMatches(PyExc_AttributeError)) throw py::error_already_set();
    PyErr_Clear();
    py::object full = py::str(std::string(name) + "." + attr);
    PyObject* sub = PyDict_GetItemWithError(PyImport_GetModuleDict(), full.ptr());
    if (sub != nullptr) return py::reinterpret_borrow<py::object>(sub);
    if (PyErr_Occurred()) throw py::error_already_set();
    raise(PyExc_ImportError, std::string("cannot import name '") + attr + "' from '" + name + "'");
}

}  // namespace hv
