// The widget helpers of widgets.hpp.
#include "widgets.hpp"

#include <algorithm>

namespace hv {
namespace {

long request(py::handle widget, const char* which) { return widget.attr(which)().cast<long>(); }

void largest(py::handle widget, long& width, long& height) {
    if (!py::hasattr(widget, "winfo_reqwidth")) return;  // not a Tk widget: nothing the window system shows
    width = std::max(width, request(widget, "winfo_reqwidth"));
    height = std::max(height, request(widget, "winfo_reqheight"));
    for (py::handle child : widget.attr("winfo_children")()) largest(child, width, height);
}

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

}  // namespace

std::string oversize(py::handle widget) {
    long width = 0;
    long height = 0;
    largest(widget, width, height);
    if (width <= max_widget_side && height <= max_widget_side) return std::string();
    return std::to_string(width) + " x " + std::to_string(height) + " pixels";
}

py::object child_names(py::handle parent) {
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

void destroy_new_children(py::handle parent, py::handle before) {
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

}  // namespace hv
