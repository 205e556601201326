// The Python operations of ops.hpp.
#include "ops.hpp"

#include "names.hpp"

#include <optional>
#include <string>

namespace hv {

bool truth(py::handle value) {
    const int t = PyObject_IsTrue(value.ptr());
    if (t < 0) throw py::error_already_set();
    return t != 0;
}

bool contains(py::handle container, py::handle item) {
    const int found = PySequence_Contains(container.ptr(), item.ptr());
    if (found < 0) throw py::error_already_set();
    return found == 1;
}

py::object mod(py::handle a, py::handle b) {
    py::object result = py::reinterpret_steal<py::object>(PyNumber_Remainder(a.ptr(), b.ptr()));
    if (!result) throw py::error_already_set();
    return result;
}

namespace {

void augment(py::handle obj, const char* name, py::handle value, PyObject* (*op)(PyObject*, PyObject*)) {
    py::object current = obj.attr(interned(name));
    py::object result = py::reinterpret_steal<py::object>(op(current.ptr(), value.ptr()));
    if (!result) throw py::error_already_set();
    obj.attr(interned(name)) = result;
}

}  // namespace

void iadd(py::handle obj, const char* name, py::handle value) { augment(obj, name, value, PyNumber_InPlaceAdd); }
void isub(py::handle obj, const char* name, py::handle value) {
    augment(obj, name, value, PyNumber_InPlaceSubtract);
}

py::object get(py::handle mapping, const char* key, py::handle default_value) {
    return mapping.attr(interned("get"))(py::handle(interned(key)), default_value);
}

void unpack_into(py::handle value, py::object* out, size_t n) {
    py::object it = py::reinterpret_steal<py::object>(PyObject_GetIter(value.ptr()));
    if (!it) throw py::error_already_set();
    for (size_t i = 0; i < n; ++i) {
        out[i] = py::reinterpret_steal<py::object>(PyIter_Next(it.ptr()));
        if (out[i]) continue;
        if (PyErr_Occurred()) throw py::error_already_set();
        raise(PyExc_ValueError, "not enough values to unpack (expected " + std::to_string(n) + ", got " +
                                    std::to_string(i) + ")");
    }
    py::object extra = py::reinterpret_steal<py::object>(PyIter_Next(it.ptr()));
    if (extra) raise(PyExc_ValueError, "too many values to unpack (expected " + std::to_string(n) + ")");
    if (PyErr_Occurred()) throw py::error_already_set();
}

void with_call(py::handle manager, void (*call)(void*, py::handle), void* body) {
    // As the interpreter does it: both methods looked up on the type first.
    py::object kind = py::type::of(manager);
    py::object exit = kind.attr(interned("__exit__"));
    py::object target = kind.attr(interned("__enter__"))(manager);
    // The failure is only kept in the handler: __exit__ runs outside it.
    std::optional<py::error_already_set> failure;
    try {
        call(body, target);
    } catch (py::error_already_set& e) {
        failure = e;
    }
    if (!failure) {
        exit(manager, py::none(), py::none(), py::none());
        return;
    }
    py::object trace = failure->trace() ? failure->trace() : py::none();
    if (truth(exit(manager, failure->type(), failure->value(), trace))) return;
    throw *failure;
}

}  // namespace hv
