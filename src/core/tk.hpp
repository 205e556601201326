// The Tk thread, and work done on it.
//
// Tcl runs on the thread that made its interpreter (the Tk thread), and only
// there may Tk be driven. tkinter hands a Tk call made on any other thread
// over to it and waits (giving up with RuntimeError "main thread is not in
// main loop" when no main loop runs there within a second); but for a call of
// more than 64 Tcl words CPython then frees the call's arguments without the
// GIL, which crashes CPython 3.12 and 3.13. So kit code that runs on another
// thread makes only short Tk calls, through tkinter, as the same Python code
// would (the chart); work that needs long calls (a map's paths) goes to the Tk
// thread here, where an `after` callback of its widget does it in slices: the
// event loop keeps running, and the Tk thread never waits for anything.
#pragma once

#include "function.hpp"

#include <chrono>
#include <optional>

namespace hv {

// The ident of the Tk thread of `widget` (as threading.get_ident() gives
// it), or None when `widget` is no Tk widget: a Tcl command of the kit's,
// called once through tkinter, notes the thread it runs on.
py::object tk_thread(const Scope& s, py::handle widget);

// A long C++ loop on another thread holds the GIL throughout (CPython hands
// it over only between bytecodes), and so stalls the Tk thread's event loop:
// count() offers the GIL every 1024 items. Offered, it goes over only when a
// thread has asked for it, and then this thread waits until that one has it:
// a pause costs what the other thread runs, and next to nothing when nobody
// waits.
class Breather {
public:
    void count();

private:
    int since_ = 0;
};

// How much of a job one turn may do: all of it, or until a deadline.
class Slice {
public:
    using Clock = std::chrono::steady_clock;
    static Slice whole() { return Slice(); }
    static Slice until(Clock::time_point deadline) { return Slice(deadline); }
    bool over() const { return deadline_ && Clock::now() >= *deadline_; }

private:
    Slice() = default;
    explicit Slice(Clock::time_point deadline) : deadline_(deadline) {}
    std::optional<Clock::time_point> deadline_;
};

// What one turn of a job came to: done (or failed, by raising), blocked (it
// could not start yet: the next turn tries again) or unfinished (it goes on
// in the next turn).
enum class Turn { done, blocked, unfinished };

// The jobs of one widget's queue, each a dict of its own: `step` does one turn
// of a job, `abandon` lets go of what a started job holds when the widget is
// destroyed (it never runs again then).
struct JobKind {
    Turn (*step)(const Scope& s, py::handle job, const Slice& slice);
    void (*abandon)(py::handle job);
};

// The work queue of `widget`, made on first use (on any thread: it learns the
// Tk thread then) and kept on the widget: jobs are done one after the other,
// in order, for as long as the widget lives.
py::object tk_queue(const Scope& s, py::handle widget, const JobKind& kind);

// Whether the running thread is the queue's Tk thread.
bool on_tk_thread(py::handle queue);

// Does `job` on the Tk thread. On the Tk thread itself: at once and whole
// when nothing is queued before it (and then what it raises goes on to the
// caller), else queued. From another thread: queued, and the caller waits
// until the job is done and gets what it raised, or until the widget is
// destroyed. On a destroyed widget the job is tried once at once (a blocked
// one is dropped: nothing would come back to it).
void tk_run(const Scope& s, py::handle queue, py::handle job);

}  // namespace hv
