// What widget code needs to stay clear of the window system's and the
// toolkit's failure modes.
#pragma once

#include "hv.hpp"

#include <string>
#include <type_traits>

namespace hv {

// The window system's limits. An X server makes no window or pixmap wider or
// taller than 32767 pixels, and when Tk asks for one anyway, Xlib's default
// error handler ends the whole process (BadAlloc) the moment the widget is
// shown. Tk draws every canvas through a pixmap of its drawing area plus
// canvas_margin pixels on each side, so a canvas gives out 60 pixels sooner;
// so does every customtkinter widget, each of which draws on a canvas of its
// own size.
constexpr long max_window_side = 32767;
constexpr long canvas_margin = 30;

// A window that a size would make too large to show: which one, the size it
// would get in real pixels (after customtkinter's widget scaling), and the
// most it can have. Empty when everything fits.
struct Oversize {
    std::string window;  // "the Canvas .!ctkframe.!canvas", or a name a caller gave
    double width = 0;
    double height = 0;
    long limit = 0;
    std::string side;  // for a single side: "40000 pixels wide"

    explicit operator bool() const { return !window.empty(); }
    // "<window> would be <width> x <height> pixels (or <side>), <n> more than
    // the <limit> it can take"
    std::string describe() const;
};

// Whether showing `widget` as it stands now would ask the window system for a
// window past its limit, counting every window the widget makes or grows:
//  - the widget and every window inside it, each at the size its geometry
//    manager gives it (a frame that propagates takes its content's size, a
//    window gridded or packed to stretch, or placed relative to its master,
//    takes its share of the master);
//  - the windows around it that grow with it: the master it is gridded or
//    packed into when that propagates, with the windows that stretch with that
//    master, and so on up to (not including) the toplevel; for a window inside
//    a canvas (the inner frame of a CTkScrollableFrame), the canvas and the
//    windows around it. A master placed with a width or a height (outright or
//    relative to its own master) gets that side from the placer whatever its
//    content asks for, and grows nothing further out: a page placed over the
//    window stays the window's size, and only what is inside it is judged at
//    the sizes it really gets.
// Sizes are the ones Tk asks for when nothing around a window holds it smaller,
// computed now: Tk works geometry out only when it shows the widget, and so it
// is too late to undo then. Objects that are not Tk widgets pass.
Oversize oversize(py::handle widget);

// The same for a canvas of `width` x `height` real pixels that is about to be
// made and gridded into `parent` at (row, column), stretched to its cell:
// the canvas at the size its cell gives it, and the windows it grows.
Oversize oversize_gridded_canvas(py::handle parent, double width, double height, py::handle row, long column);

// A window side of `value` in `widget`'s units (customtkinter's widget scaling
// applies when `widget` is a customtkinter widget) that no window can have, as
// "<window> would be <value> pixels <side>": for refusing a size before
// anything is made or changed with it. Empty when the value fits or is no
// number (the call that uses it fails on its own then).
Oversize oversize_side(py::handle widget, py::handle value, const char* side, const std::string& window);

// Raises ValueError: "<what> is too large to show: <too_large.describe()>".
[[noreturn]] void refuse_size(const std::string& what, const Oversize& too_large);

// What a widget was made or changed with, for a cheap bound on its size that
// needs no measuring: the lengths it was given in its units (sizes, paddings,
// radii, an image's sides, added up) and its text in a font of known pixel
// size. A length that is no plain number, a text that is no str or a font of
// unknown size leaves nothing bounded: the widget is measured then.
class Given {
public:
    Given& length(py::handle value);
    Given& length(double value);
    Given& text(py::handle text, double font_pixels);

    // The most pixels either side of the widget (and of any window inside it)
    // can have at customtkinter's widget scaling `scaling`; infinite when
    // nothing is bounded.
    double bound(double scaling) const;

private:
    bool known_ = true;
    double lengths_ = 0;
    double text_ = 0;  // the text's extent, in pixels of its font
};

// The size (in pixels) of a font as a widget option: a customtkinter or
// tkinter font, or a (family, size, ...) tuple; 0 when it cannot be told.
double font_pixels(py::handle font);

// Whether `widget`, made or changed with `given`, needs measuring: false when
// the bound from what it was given stays below every window's limit and no
// master grows with it (it is not yet gridded or packed, or only placed).
bool needs_measuring(py::handle widget, const Given& given);

// Every guard's last step: when the change just made leaves `widget` too large
// to show, `undo` takes the change back (the widget destroyed, a text or a
// name restored) and the change is refused with ValueError, described by
// `what` (a text, or a function that makes it: only a refusal needs it).
template <class What, class Undo>
void refuse_if_too_large(py::handle widget, const What& what, Undo&& undo) {
    const Oversize problem = oversize(widget);
    if (!problem) return;
    undo();
    if constexpr (std::is_invocable_v<const What&>)
        refuse_size(what(), problem);
    else
        refuse_size(what, problem);
}

// The same, measuring only when what the widget was given does not already
// show that it fits (most widgets: a day of a month, a short name).
template <class What, class Undo>
void refuse_if_too_large(py::handle widget, const Given& given, const What& what, Undo&& undo) {
    if (needs_measuring(widget, given)) refuse_if_too_large(widget, what, std::forward<Undo>(undo));
}

// mapping[key] as it is now (or its absence), put back by restore(): a size
// refused after a name was (re)mapped leaves the mapping as it found it.
class MappingEntry {
public:
    MappingEntry(py::handle mapping, py::handle key);
    void restore();

private:
    py::object mapping_, key_, value_;  // value_ null: the key was not there
};

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
py::object make_widget_call(py::handle parent, py::object (*call)(void*), void* make);
template <class Make>
py::object make_widget(py::handle parent, Make&& make) {
    return make_widget_call(
        parent, [](void* m) -> py::object { return (*static_cast<std::remove_reference_t<Make>*>(m))(); },
        const_cast<void*>(static_cast<const void*>(&make)));
}

// ---- The Tk thread ---------------------------------------------------------
//
// Tcl runs on the thread that made its interpreter: the Tk thread. tkinter
// hands a Tk call made on any other thread over to it and waits for it (and
// gives up with RuntimeError "main thread is not in main loop" when no main
// loop runs there within a second).

// The ident of the Tk thread of `widget` (as threading.get_ident() gives it),
// or None when `widget` is no Tk widget: a Tcl command of the kit's, called
// once, notes the thread it runs on. `a` (the running kit function's) gives
// the command its module.
py::object tk_thread(const Args& a, py::handle widget);

}  // namespace hv
