// Calls by vectorcall with interned names, attribute look-ups and the other
// small plumbing of hv.hpp.
#include "hv.hpp"

#include <pythread.h>

#include <chrono>
#include <thread>
#include <unordered_map>
#include <vector>

namespace hv {

PyObject* interned(const char* name) {
    static std::unordered_map<const char*, PyObject*> names;
    auto it = names.find(name);
    if (it != names.end()) return it->second;
    PyObject* s = PyUnicode_InternFromString(name);
    if (s == nullptr) throw py::error_already_set();
    names.emplace(name, s);  // kept for the life of the process
    return s;
}

namespace {

// The vectorcall of stack[1..]: positional arguments, then keyword values;
// stack[0] is free for the callee (PY_VECTORCALL_ARGUMENTS_OFFSET).
py::object vectorcall(PyObject* callable, PyObject* method_name, std::vector<PyObject*>& stack, size_t positional,
                      std::initializer_list<Kw> kwargs) {
    py::object names;
    if (kwargs.size() > 0) {
        names = steal(PyTuple_New(static_cast<Py_ssize_t>(kwargs.size())));
        Py_ssize_t k = 0;
        for (const Kw& kw : kwargs) PyTuple_SET_ITEM(names.ptr(), k++, Py_NewRef(interned(kw.name)));
    }
    const size_t nargsf = positional | PY_VECTORCALL_ARGUMENTS_OFFSET;
    PyObject* result = method_name ? PyObject_VectorcallMethod(method_name, stack.data() + 1, nargsf, names.ptr())
                                   : PyObject_Vectorcall(callable, stack.data() + 1, nargsf, names.ptr());
    return steal(result);
}

}  // namespace

py::object call(py::handle callable, std::initializer_list<py::handle> args, std::initializer_list<Kw> kwargs) {
    std::vector<PyObject*> stack(1);
    for (py::handle arg : args) stack.push_back(arg.ptr());
    for (const Kw& kw : kwargs) stack.push_back(kw.value.ptr());
    return vectorcall(callable.ptr(), nullptr, stack, args.size(), kwargs);
}

py::object call_method(py::handle obj, const char* name, std::initializer_list<py::handle> args,
                       std::initializer_list<Kw> kwargs) {
    std::vector<PyObject*> stack{nullptr, obj.ptr()};
    for (py::handle arg : args) stack.push_back(arg.ptr());
    for (const Kw& kw : kwargs) stack.push_back(kw.value.ptr());
    return vectorcall(nullptr, interned(name), stack, args.size() + 1, kwargs);
}

py::object getattr(py::handle obj, const char* name) { return steal(PyObject_GetAttr(obj.ptr(), interned(name))); }

py::object getattr_or_none(py::handle obj, const char* name) {
    PyObject* found = PyObject_GetAttr(obj.ptr(), interned(name));
    if (found != nullptr) return steal(found);
    if (!PyErr_ExceptionMatches(PyExc_AttributeError)) throw py::error_already_set();
    PyErr_Clear();
    return py::none();
}

py::handle item(py::handle dict, const char* key) {
    PyObject* value = PyDict_GetItemWithError(dict.ptr(), interned(key));  // borrowed
    if (value == nullptr) {
        if (!PyErr_Occurred()) PyErr_SetObject(PyExc_KeyError, interned(key));
        throw py::error_already_set();
    }
    return value;
}

void set_item(py::handle dict, const char* key, py::handle value) {
    if (PyDict_SetItem(dict.ptr(), interned(key), value.ptr()) < 0) throw py::error_already_set();
}

bool is_current_thread(py::handle ident) {
    if (ident.is_none()) return false;
    const unsigned long thread = PyLong_AsUnsignedLong(ident.ptr());
    if (thread == static_cast<unsigned long>(-1) && PyErr_Occurred()) throw py::error_already_set();
    return thread == PyThread_get_thread_ident();
}

void let_others_run() {
    // Dropping the GIL and taking it straight back rarely hands it over: the
    // waiting threads are woken, but the GIL is ours again before they run.
    PyThreadState* state = PyEval_SaveThread();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    PyEval_RestoreThread(state);
}

py::object steal(PyObject* result) {
    if (result == nullptr) throw py::error_already_set();
    return py::reinterpret_steal<py::object>(result);
}

bool truth(py::handle value) {
    const int t = PyObject_IsTrue(value.ptr());
    if (t < 0) throw py::error_already_set();
    return t != 0;
}

}  // namespace hv
