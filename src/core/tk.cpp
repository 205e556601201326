// The Tk thread and the work queues of tk.hpp.
//
// A queue is a dict kept on its widget: "widget", "tk_thread" (the ident),
// "kind" (its JobKind), "jobs" (a list; the first is the one at work), "gone"
// (the widget was destroyed), "pump" (the `after` callback) and "after" (the
// id of its next turn). A job is a dict of its kind's, to which the queue adds
// "signal" (a lock its waiter blocks on; None: nobody waits) and "error" (what
// it failed with, for the waiter).
#include "tk.hpp"

#include "errors.hpp"
#include "names.hpp"
#include "ops.hpp"

#include <pythread.h>

#include <optional>

namespace hv {
namespace {

constexpr int idle_ms = 20;   // how often an idle pump looks at the queue
constexpr int again_ms = 1;   // the next turn, when a job is half done
constexpr int retry_ms = 5;   // the next turn, when a job was blocked
constexpr auto slice_length = std::chrono::milliseconds(15);

constexpr const char* queue_attribute = "_tessarim_tk_queue";

// A Tcl command of the kit's: notes the thread it runs on in its dict.
void note_thread(const Scope& s) {
    s.closure()["thread"] = py::reinterpret_steal<py::object>(PyLong_FromUnsignedLong(PyThread_get_thread_ident()));
}

const JobKind& kind_of(py::handle queue) { return *static_cast<const JobKind*>(py::capsule(queue["kind"]).get_pointer()); }

void schedule(py::handle queue, int ms) { queue["after"] = queue["widget"].attr("after")(ms, queue["pump"]); }

// The end of a job, done or failed: out of the queue, its waiter woken with
// the failure; with nobody waiting, the failure goes on to the caller.
void end(py::handle queue, py::handle job, const Captured& failure) {
    py::list jobs = queue["jobs"];
    if (py::len(jobs) > 0 && py::handle(jobs[0]).is(job)) jobs.attr("pop")(0);
    py::object signal = job["signal"];
    if (signal.is_none()) {
        if (failure) failure.raise();
        return;
    }
    job["error"] = failure.value();
    signal.attr("release")();
}

// One turn of a job, and its end when it is done or failed.
Turn turn(const Scope& s, py::handle queue, py::handle job, const Slice& slice) {
    Turn result = Turn::done;
    Captured failure;
    try {
        result = kind_of(queue).step(s, job, slice);
    } catch (py::error_already_set& e) {
        failure = Captured(e);
    }
    if (result == Turn::done) end(queue, job, failure);
    return result;
}

// Works off the queue for one slice; when to come back, if at all.
std::optional<int> work_off(const Scope& s, py::handle queue) {
    const Slice slice = Slice::until(Slice::Clock::now() + slice_length);
    py::list jobs = queue["jobs"];
    while (py::len(jobs) > 0) {
        switch (turn(s, queue, jobs[0], slice)) {
            case Turn::blocked:
                return retry_ms;
            case Turn::unfinished:
                return again_ms;
            case Turn::done:
                break;
        }
        if (slice.over()) return again_ms;
    }
    return std::nullopt;
}

// The pump: one turn now, the next one scheduled, also after a failure (which
// then goes on to tkinter's report of callback errors).
HV_CATCHES_FORCED_UNWIND void pump(const Scope& s) {
    py::handle queue = s.closure();
    queue["after"] = py::none();
    if (truth(queue["gone"])) return;
    std::optional<int> next;
    try {
        next = work_off(s, queue);
    }
    HV_LET_FORCED_UNWIND_PASS
    catch (...) {
        schedule(queue, again_ms);
        throw;
    }
    schedule(queue, next.value_or(idle_ms));
}

// <Destroy> of the widget: no more turns; every job lets go of what it holds
// and every waiter is woken (its thread then returns without its job done).
// Every step is tried; the first failure is raised at the end.
void destroyed(const Scope& s, py::handle event) {
    py::handle queue = s.closure();
    py::object widget = queue["widget"];
    py::object which = py::getattr(event, "widget", py::none());
    if (!which.is(widget) && py::str(which).not_equal(py::str(widget))) return;
    queue["gone"] = true;
    py::list jobs = queue["jobs"].attr("copy")();  // the queue is emptied first
    queue["jobs"].attr("clear")();
    Captured failure;
    auto attempt = [&](auto&& step) {
        try {
            step();
        } catch (py::error_already_set& e) {
            if (!failure) failure = Captured(e);
        }
    };
    for (py::handle job : jobs) {
        attempt([&] { kind_of(queue).abandon(job); });
        if (!job["signal"].is_none()) attempt([&] { job["signal"].attr("release")(); });
    }
    py::object after = queue["after"];
    queue["after"] = py::none();
    if (!after.is_none()) attempt([&] { widget.attr("after_cancel")(after); });
    if (failure) failure.raise();
}

}  // namespace

py::object tk_thread(const Scope& s, py::handle widget) {
    if (!py::hasattr(widget, "register") || !py::hasattr(widget, "tk")) return py::none();
    // Called through tkinter, the command runs on the Tk thread whichever
    // thread calls: tkinter hands another thread's call over and waits.
    py::dict noted("thread"_a = py::none());
    py::object name = widget.attr("register")(s.nested("note_thread", {}, note_thread, noted));
    widget.attr("tk").attr("call")(name);
    widget.attr("deletecommand")(name);
    if (noted["thread"].is_none()) raise(PyExc_RuntimeError, "the Tcl interpreter did not run the kit's thread check");
    return noted["thread"];
}

void Breather::count() {
    if (++since_ < 1024) return;
    since_ = 0;
    PyEval_RestoreThread(PyEval_SaveThread());
}

bool on_tk_thread(py::handle queue) {
    return queue["tk_thread"].cast<unsigned long>() == PyThread_get_thread_ident();
}

py::object tk_queue(const Scope& s, py::handle widget, const JobKind& kind) {
    py::object known = py::getattr(widget, queue_attribute, py::none());
    if (!known.is_none()) return known;
    py::object thread = tk_thread(s, widget);
    if (thread.is_none()) throw py::type_error("the widget is no Tk widget");
    known = py::getattr(widget, queue_attribute, py::none());
    if (!known.is_none()) return known;  // another thread made it meanwhile
    py::dict queue("widget"_a = widget, "tk_thread"_a = thread, "jobs"_a = py::list(), "gone"_a = false,
                   "after"_a = py::none(), "kind"_a = py::capsule(static_cast<const void*>(&kind)));
    queue["pump"] = s.nested("pump", {}, pump, queue);
    py::setattr(widget, queue_attribute, queue);
    widget.attr("bind")("<Destroy>", s.nested("destroyed", {"event"}, destroyed, queue), "+");
    schedule(queue, idle_ms);
    return std::move(queue);
}

void tk_run(const Scope& s, py::handle queue, py::handle job) {
    job["signal"] = py::none();
    job["error"] = py::none();
    py::list jobs = queue["jobs"];
    if (on_tk_thread(queue)) {
        if (!truth(queue["gone"])) {
            const bool idle = py::len(jobs) == 0;
            jobs.append(job);
            if (!idle) return;
        }
        turn(s, queue, job, Slice::whole());
        return;
    }
    py::object signal = py::module_::import("threading").attr("Lock")();
    signal.attr("acquire")();
    if (truth(queue["gone"])) return;
    job["signal"] = signal;
    jobs.append(job);
    signal.attr("acquire")();  // released when the job is done or the widget destroyed
    Captured failure(job["error"]);
    if (failure) failure.raise();
}

}  // namespace hv
