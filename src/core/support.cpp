// Error translation and the small interpreter helpers every module shares.
#include "hv.hpp"

#include <cstring>
#include <new>

namespace hv {

HV_CATCHES_FORCED_UNWIND bool guard_call(void (*call)(void*), void* fn) {
    try {
        call(fn);
        return true;
    }
    HV_LET_FORCED_UNWIND_PASS
    catch (...) {
        translate_current_exception();
        return false;
    }
}

HV_CATCHES_FORCED_UNWIND void translate_current_exception() {
    try {
        throw;
    }
    HV_LET_FORCED_UNWIND_PASS
    catch (py::error_already_set& e) {
        e.restore();
    } catch (py::builtin_exception& e) {
        e.set_error();
    } catch (std::bad_alloc&) {
        PyErr_NoMemory();
    } catch (std::exception& e) {
        PyErr_SetString(PyExc_SystemError, e.what());
    } catch (...) {
        PyErr_SetString(PyExc_SystemError, "unknown C++ exception");
    }
    if (!PyErr_Occurred()) PyErr_SetString(PyExc_SystemError, "error without an exception");
}

void raise_key_error(py::handle key) {
    PyErr_SetObject(PyExc_KeyError, key.ptr());
    throw py::error_already_set();
}

void raise(PyObject* type, const std::string& message) {
    PyErr_SetString(type, message.c_str());
    throw py::error_already_set();
}

py::object import_with(py::handle globals, py::handle builtins, py::handle locals, const char* name,
                       const char* attr) {
    // IMPORT_NAME: __import__ is looked up in the builtins each time.
    PyObject* import_fn = PyDict_GetItemString(builtins.ptr(), "__import__");  // borrowed
    if (import_fn == nullptr) {
        if (!PyErr_Occurred()) PyErr_SetString(PyExc_ImportError, "__import__ not found");
        throw py::error_already_set();
    }
    py::object fn = py::reinterpret_borrow<py::object>(import_fn);
    py::object fromlist = attr ? py::object(py::make_tuple(attr)) : py::object(py::none());
    py::object module = fn(py::str(name), globals, locals, fromlist, 0);
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
    PyErr_Format(PyExc_ImportError, "cannot import name '%s' from '%s'", attr, name);
    throw py::error_already_set();
}

py::object import(py::handle globals, const char* name) {
    return import_with(globals, PyEval_GetBuiltins(), globals, name, nullptr);
}

py::object import_from(py::handle globals, const char* module, const char* attr) {
    return import_with(globals, PyEval_GetBuiltins(), globals, module, attr);
}

void unpack_into(py::handle value, py::object* out, size_t n) {
    PyObject* iter = PyObject_GetIter(value.ptr());
    if (iter == nullptr) throw py::error_already_set();
    py::object it = py::reinterpret_steal<py::object>(iter);
    for (size_t i = 0; i < n; ++i) {
        PyObject* next = PyIter_Next(it.ptr());
        if (next == nullptr) {
            if (PyErr_Occurred()) throw py::error_already_set();
            raise(PyExc_ValueError, "not enough values to unpack (expected " + std::to_string(n) + ", got " +
                                        std::to_string(i) + ")");
        }
        out[i] = py::reinterpret_steal<py::object>(next);
    }
    PyObject* extra = PyIter_Next(it.ptr());
    if (extra != nullptr) {
        Py_DECREF(extra);
        raise(PyExc_ValueError, "too many values to unpack (expected " + std::to_string(n) + ")");
    }
    if (PyErr_Occurred()) throw py::error_already_set();
}

bool equals(py::handle a, py::handle b) {
    const int r = PyObject_RichCompareBool(a.ptr(), b.ptr(), Py_EQ);
    if (r < 0) throw py::error_already_set();
    return r == 1;
}

bool not_equals(py::handle a, py::handle b) {
    const int r = PyObject_RichCompareBool(a.ptr(), b.ptr(), Py_NE);
    if (r < 0) throw py::error_already_set();
    return r == 1;
}

py::str str(py::handle value) {
    PyObject* text = PyObject_Str(value.ptr());
    if (text == nullptr) throw py::error_already_set();
    return py::reinterpret_steal<py::str>(text);
}

py::object getitem(py::handle container, py::handle key) {
    PyObject* value = PyObject_GetItem(container.ptr(), key.ptr());
    if (value == nullptr) throw py::error_already_set();
    return py::reinterpret_steal<py::object>(value);
}

void setitem(py::handle container, py::handle key, py::handle value) {
    if (PyObject_SetItem(container.ptr(), key.ptr(), value.ptr()) < 0) throw py::error_already_set();
}

int exec_module(PyObject* module, void (*body)(py::module_ m, py::dict globals)) {
    const bool ok = guard([&] {
        py::module_ m = py::reinterpret_borrow<py::module_>(module);
        body(m, py::reinterpret_borrow<py::dict>(PyModule_GetDict(module)));
    });
    return ok ? 0 : -1;
}

}  // namespace hv
