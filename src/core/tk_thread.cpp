// The Tk thread (see widgets.hpp): which thread it is.
#include "widgets.hpp"

#include <pythread.h>

namespace hv {
namespace {

// A Tcl command of the kit's: notes the thread it runs on in its dict.
py::object note_thread(const Args& a) {
    set_item(a.state(), "thread", steal(PyLong_FromUnsignedLong(PyThread_get_thread_ident())));
    return py::none();
}

}  // namespace

py::object tk_thread(const Args& a, py::handle widget) {
    if (getattr_or_none(widget, "register").is_none() || getattr_or_none(widget, "tk").is_none()) return py::none();
    // Called through tkinter, the command runs on the Tk thread whichever
    // thread calls: tkinter hands another thread's call over and waits.
    py::dict noted;
    noted["thread"] = py::none();
    py::object command = make_function(
        {"note_thread", a.qualname() + ".<locals>.note_thread", {}, note_thread}, a.globals(), noted);
    py::object name = call_method(widget, "register", {command});
    call(hv::getattr(hv::getattr(widget, "tk"), "call"), {name});
    call_method(widget, "deletecommand", {name});
    py::object thread = noted["thread"];
    if (thread.is_none()) raise(PyExc_RuntimeError, "the Tcl interpreter did not run the kit's thread check");
    return thread;
}

}  // namespace hv
