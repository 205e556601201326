// What widget code needs to stay clear of the window system's and the
// toolkit's failure modes.
#pragma once

#include "hv.hpp"

#include <string>

namespace hv {

// The largest width or height, in pixels, that one widget may ask for. X servers
// refuse windows and pixmaps wider or taller than 32767 pixels, and Xlib's
// default error handler then ends the whole process when Tk shows the widget;
// half of that leaves the widget's parents room for their own padding.
constexpr long max_widget_side = 16384;

// Empty when `widget` and every window inside it ask for at most
// max_widget_side pixels each way; otherwise the largest request, as
// "<width> x <height> pixels". Tk computes the requests as soon as a widget is
// made or reconfigured and asks the X server for the windows only when it shows
// them, so a widget checked right away can still be undone or destroyed.
// Objects without winfo_reqwidth are not Tk widgets and pass.
std::string oversize(py::handle widget);

// The names of the Tk children of `parent` now, or None when it has none to
// name (not a Tk widget). Never raises.
py::object child_names(py::handle parent);

// Destroys every Tk child of `parent` whose name is not in `before`: with its
// own destroy() when that works, else with the nearest base class's. Never
// raises; what cannot be destroyed stays.
void destroy_new_children(py::handle parent, py::handle before);

// Calls `make`, which creates a widget in `parent`, and returns the widget.
// A customtkinter widget whose constructor fails (an option value it refuses)
// has often made its Tk frame already; such a half-built child cannot take its
// own destroy() and would make its parent's destroy() fail later. When `make`
// fails, every child that appeared in `parent` meanwhile is destroyed before
// the failure goes on to the caller.
template <class Make>
py::object make_widget(py::handle parent, Make&& make) {
    py::object before = child_names(parent);
    try {
        return make();
    }
    HV_LET_FORCED_UNWIND_PASS
    catch (...) {
        destroy_new_children(parent, before);
        throw;
    }
}

}  // namespace hv
