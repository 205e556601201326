// The widget helpers of widgets.hpp.
#include "widgets.hpp"

#include "errors.hpp"

namespace hv {
namespace {

// The children dictionary tkinter keeps on every widget (name -> widget).
py::object children_of(py::handle parent) {
    py::object children = py::getattr(parent, "children", py::none());
    return PyDict_Check(children.ptr()) ? children : py::object(py::none());
}

void destroy_child(py::handle child) {
    try {
        child.attr("destroy")();
        return;
    } catch (py::error_already_set&) {
    }
    py::tuple mro = py::type::handle_of(child).attr("__mro__");
    for (size_t i = 1; i < mro.size(); ++i) {
        py::object cls = mro[i];
        if (!cls.attr("__dict__").contains("destroy")) continue;
        try {
            cls.attr("destroy")(child);
            return;
        } catch (py::error_already_set&) {
        }
    }
}

// The names of the Tk children of `parent` now, or None when it has none to
// name (not a Tk widget). Never raises.
HV_CATCHES_FORCED_UNWIND py::object child_names(py::handle parent) {
    try {
        py::object children = children_of(parent);
        if (children.is_none()) return children;
        PyObject* names = PyFrozenSet_New(children.ptr());
        if (names == nullptr) throw py::error_already_set();
        return py::reinterpret_steal<py::object>(names);
    }
    HV_LET_FORCED_UNWIND_PASS
    catch (...) {
        PyErr_Clear();
        return py::none();
    }
}

// Destroys every Tk child of `parent` whose name is not in `before`: with its
// own destroy() when that works, else with the nearest base class's. Never
// raises; what cannot be destroyed stays.
HV_CATCHES_FORCED_UNWIND void destroy_new_children(py::handle parent, py::handle before) {
    try {
        if (before.is_none()) return;
        py::object children = children_of(parent);
        if (children.is_none()) return;
        py::list names(py::reinterpret_borrow<py::dict>(children).attr("keys")());
        for (py::handle name : names) {
            const int known = PySet_Contains(before.ptr(), name.ptr());
            if (known != 0) {  // there before (or not comparable): not ours
                PyErr_Clear();
                continue;
            }
            PyObject* child = PyDict_GetItemWithError(children.ptr(), name.ptr());  // borrowed
            if (child == nullptr) {
                PyErr_Clear();
                continue;
            }
            destroy_child(py::reinterpret_borrow<py::object>(child));
        }
    }
    HV_LET_FORCED_UNWIND_PASS
    catch (...) {
        PyErr_Clear();
    }
}

}  // namespace

MappingEntry::MappingEntry(py::handle mapping, py::handle key)
    : mapping_(py::reinterpret_borrow<py::object>(mapping)), key_(py::reinterpret_borrow<py::object>(key)) {
    const int present = PySequence_Contains(mapping.ptr(), key.ptr());
    if (present < 0) throw py::error_already_set();
    if (present == 1) value_ = mapping[key];
}

void MappingEntry::restore() {
    if (value_) {
        mapping_[key_] = value_;
        return;
    }
    const int present = PySequence_Contains(mapping_.ptr(), key_.ptr());
    if (present < 0 || (present == 1 && PyObject_DelItem(mapping_.ptr(), key_.ptr()) < 0)) throw py::error_already_set();
}

HV_CATCHES_FORCED_UNWIND py::object make_widget_call(py::handle parent, py::object (*call)(void*), void* make) {
    py::object before = child_names(parent);
    try {
        return call(make);
    }
    HV_LET_FORCED_UNWIND_PASS
    catch (...) {
        destroy_new_children(parent, before);
        throw;
    }
}

}  // namespace hv
