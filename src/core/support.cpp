// Error translation and the small interpreter helpers every module shares.
#include "hv.hpp"

#include <new>

namespace hv {

void translate_current_exception() noexcept {
    try {
        throw;
    } catch (py::error_already_set& e) {
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

py::object import(const char* name) {
    PyObject* module = PyImport_ImportModule(name);
    if (module == nullptr) throw py::error_already_set();
    return py::reinterpret_steal<py::object>(module);
}

py::object import_from(const char* module, const char* attr) {
    py::object fromlist = py::make_tuple(attr);
    PyObject* mod = PyImport_ImportModuleLevel(module, nullptr, nullptr, fromlist.ptr(), 0);
    if (mod == nullptr) throw py::error_already_set();
    py::object m = py::reinterpret_steal<py::object>(mod);
    return m.attr(attr);
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

void print(py::handle value) {
    py::object builtins = py::reinterpret_borrow<py::object>(PyEval_GetBuiltins());
    py::object print_fn = py::reinterpret_borrow<py::dict>(builtins)["print"];
    print_fn(value);
}

int exec_module(PyObject* module, void (*body)(py::module_ m, py::dict globals)) noexcept {
    const bool ok = guard([&] {
        py::module_ m = py::reinterpret_borrow<py::module_>(module);
        body(m, py::reinterpret_borrow<py::dict>(PyModule_GetDict(module)));
    });
    return ok ? 0 : -1;
}

}  // namespace hv
