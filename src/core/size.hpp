// The size rule: no kit call leaves a window that X cannot show.
//
// An X server makes no window or pixmap wider or taller than 32767 pixels,
// and when Tk asks for one anyway (it draws most widgets through a pixmap of
// their size), Xlib's default error handler ends the whole process the
// moment the widget is shown. A change that would do so is refused with
// ValueError, undone first, while it still can be undone: Tk works geometry
// out only when it shows a window.
#pragma once

#include "function.hpp"

#include <string>
#include <type_traits>

namespace hv {

// "" when showing `widget` as it now stands stays within the window system's
// limits, else which window would pass its limit by most: "the Canvas .!a.!b
// would be 400 x 32748 pixels, 41 more than the 32707 it can take". Judged
// by Tk's own requests: the widget and every window in it that grows with
// it, and the masters it grows (see size.cpp). `made`: the widget was just
// made, so nothing in it was measured before. Objects that are not Tk
// widgets pass.
std::string too_large(py::handle widget, bool made = false);

// A length for a window not made yet, before anything is made with it: ""
// when it fits (or is no number: the call that uses it fails on its own),
// else "<window> would be <pixels> pixels <side>, ...". `value` is in the
// units of `widget` (customtkinter's widget scaling applies to one of its
// widgets); a canvas of `width` x `height` real pixels takes 60 less.
std::string past_limit(py::handle widget, py::handle value, const char* side, const std::string& window);
std::string past_canvas_limit(double width, double height, const std::string& window);

// ValueError: "<what> is too large to show: <problem>".
[[noreturn]] void refuse(const std::string& what, const std::string& problem);

// Every guard's step after a change: when `widget` is now too large to
// show, `undo` takes the change back (the widget destroyed, a text or a
// name restored) and the change is refused, told by `what` (a text, or a
// function that makes it: only a refusal needs it).
template <class What, class Undo>
void refuse_if_too_large(py::handle widget, const What& what, Undo&& undo, bool made = false) {
    const std::string problem = too_large(widget, made);
    if (problem.empty()) return;
    undo();
    if constexpr (std::is_invocable_v<const What&>)
        refuse(what(), problem);
    else
        refuse(what, problem);
}

// The same for a widget just made, whose undo destroys it.
template <class What>
void refuse_if_made_too_large(py::handle widget, const What& what) {
    refuse_if_too_large(widget, what, [&] { widget.attr("destroy")(); }, true);
}

}  // namespace hv
