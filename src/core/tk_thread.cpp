// The Tk thread (see widgets.hpp): which thread it is, and work run on it.
//
// Each Tcl interpreter gets one Tcl command of the kit, registered on its root
// widget the first time the kit needs it. Called with no argument, it notes
// the thread it runs on; called with the key of a job, it also runs that job.
// A thread other than the Tk thread calls it through tkinter, which hands the
// call over to the Tk thread and waits, with the GIL released, until it has
// run; the job itself stays on the waiting thread's stack meanwhile, and only
// its key passes through Tcl.
#include "widgets.hpp"

#include <pythread.h>

#include <cstdint>
#include <string>

namespace hv {
namespace {

// The runner of an interpreter, a dict kept on its root widget: "thread" the
// Tk thread's ident (None until the command first ran), "command" the name of
// the Tcl command, "jobs" the jobs handed over and not yet run, by key.
constexpr const char* runner_attribute = "_tessarim_tk_runner";

struct Job {
    py::object (*call)(void*);
    void* work;
    py::object result;
    py::object error;  // what the work raised
};

// The job's work, with every failure kept for the thread that waits for it:
// nothing may go on to tkinter, which would report it as a failed callback.
void run_job(Job& job) {
    if (guard([&] { job.result = job.call(job.work); })) return;
    PyObject *type, *value, *trace;
    PyErr_Fetch(&type, &value, &trace);
    PyErr_NormalizeException(&type, &value, &trace);
    py::object kind = py::reinterpret_steal<py::object>(type), traceback = py::reinterpret_steal<py::object>(trace);
    job.error = py::reinterpret_steal<py::object>(value);
    if (job.error && traceback) PyException_SetTraceback(job.error.ptr(), traceback.ptr());
}

// The Tcl command: notes its thread; with a key, runs that job.
py::object tk_runner(const Args& a) {
    py::handle runner = a.state();
    set_item(runner, "thread", steal(PyLong_FromUnsignedLong(PyThread_get_thread_ident())));
    py::handle key = a["key"];
    if (key.is_none()) return py::none();
    py::handle jobs = item(runner, "jobs");
    PyObject* found = PyDict_GetItemWithError(jobs.ptr(), key.ptr());  // borrowed
    if (found == nullptr) {
        if (PyErr_Occurred()) throw py::error_already_set();
        return py::none();  // no job (any more): nothing to run
    }
    auto* job = static_cast<Job*>(PyCapsule_GetPointer(found, nullptr));
    if (job == nullptr) throw py::error_already_set();
    if (PyDict_DelItem(jobs.ptr(), key.ptr()) < 0) throw py::error_already_set();
    run_job(*job);
    return py::none();
}

// The root widget of `widget`, or None when it is no Tk widget.
py::object root_of(py::handle widget) {
    py::object root = getattr_or_none(widget, "_root");
    return root.is_none() ? root : call(root);
}

// The runner of the interpreter of `root`, made and registered on first use.
py::object runner_of(const Args& a, py::handle root) {
    py::object runner = getattr_or_none(root, runner_attribute);
    if (!runner.is_none()) return runner;
    py::dict made;
    made["thread"] = py::none();
    made["jobs"] = py::dict();
    py::object command = make_function(
        {"tk_runner", a.qualname() + ".<locals>.tk_runner", {{"key", py::none()}}, tk_runner}, a.globals(), made);
    made["command"] = call_method(root, "register", {command});
    // Another thread may have made one meanwhile (register lets the GIL go):
    // the first one stays.
    runner = getattr_or_none(root, runner_attribute);
    if (!runner.is_none()) return runner;
    if (PyObject_SetAttr(root.ptr(), interned(runner_attribute), made.ptr()) < 0) throw py::error_already_set();
    return std::move(made);
}

// root.tk.call(command) or root.tk.call(command, key).
void call_runner(py::handle root, py::handle runner, py::handle key = {}) {
    py::object call_tk = hv::getattr(hv::getattr(root, "tk"), "call");
    if (key)
        call(call_tk, {item(runner, "command"), key});
    else
        call(call_tk, {item(runner, "command")});
}

// A job's entry in the runner's jobs, under a key made of its address: taken
// out by the command that runs it, or else by this entry's end, on every way
// out of the frame the job lives in.
class Entry {
public:
    Entry(py::handle runner, Job& job)
        : jobs_(py::reinterpret_borrow<py::object>(item(runner, "jobs"))),
          key_(py::str(std::to_string(reinterpret_cast<std::uintptr_t>(&job)))) {
        py::object capsule = steal(PyCapsule_New(&job, nullptr, nullptr));
        if (PyDict_SetItem(jobs_.ptr(), key_.ptr(), capsule.ptr()) < 0) throw py::error_already_set();
    }
    ~Entry() {
        PyObject *type, *value, *trace;
        PyErr_Fetch(&type, &value, &trace);
        if (PyDict_Contains(jobs_.ptr(), key_.ptr()) == 1) PyDict_DelItem(jobs_.ptr(), key_.ptr());
        PyErr_Clear();
        PyErr_Restore(type, value, trace);
    }
    Entry(const Entry&) = delete;
    Entry& operator=(const Entry&) = delete;

    py::handle key() const { return key_; }
    bool taken() const {
        const int left = PyDict_Contains(jobs_.ptr(), key_.ptr());
        if (left < 0) throw py::error_already_set();
        return left == 0;
    }

private:
    py::object jobs_, key_;
};

}  // namespace

py::object tk_thread(const Args& a, py::handle widget) {
    py::object root = root_of(widget);
    if (root.is_none()) return root;
    py::object runner = runner_of(a, root);
    if (item(runner, "thread").is_none()) call_runner(root, runner);
    py::object thread = py::reinterpret_borrow<py::object>(item(runner, "thread"));
    if (thread.is_none()) raise(PyExc_RuntimeError, "the Tcl interpreter did not run the kit's thread check");
    return thread;
}

py::object on_tk_thread_call(const Args& a, py::handle widget, py::object (*work_call)(void*), void* work) {
    py::object root = root_of(widget);
    if (root.is_none()) return work_call(work);
    py::object runner = runner_of(a, root);
    if (is_current_thread(item(runner, "thread"))) return work_call(work);

    // Handed over; on the Tk thread itself too while it is not known yet
    // (the command then runs the job at once). A call that fails was not
    // handed over: no main loop runs there, or the interpreter is gone.
    Job job{work_call, work, {}, {}};
    Entry entry(runner, job);
    call_runner(root, runner, entry.key());
    if (!entry.taken()) raise(PyExc_RuntimeError, "the Tk thread did not run the kit's work");
    if (job.error) {
        PyErr_SetObject(reinterpret_cast<PyObject*>(Py_TYPE(job.error.ptr())), job.error.ptr());
        throw py::error_already_set();
    }
    return job.result ? job.result : py::none();
}

}  // namespace hv
