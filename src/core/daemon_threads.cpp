// Kit calls on other threads at exit (see hv.hpp): which threads are inside a
// kit call, and the stop and wait at exit.
#include "hv.hpp"

#include <pythread.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <unordered_map>
#include <vector>

namespace hv {
namespace {

// This thread's kit-call depth.
thread_local int depth = 0;

// The threads inside a kit call, those of them that wait for another thread,
// and those to stop when they leave it (all touched only with the GIL); how
// many the wait at exit waits for (read without it).
std::vector<unsigned long> inside, waiting, stopping;
std::atomic<int> waited_for{0};

void remove(std::vector<unsigned long>& threads, unsigned long ident) {
    auto it = std::find(threads.begin(), threads.end(), ident);
    if (it != threads.end()) {
        *it = threads.back();
        threads.pop_back();
    }
}

bool has(const std::vector<unsigned long>& threads, unsigned long ident) {
    return std::find(threads.begin(), threads.end(), ident) != threads.end();
}

void stop_and_wait() {
    const unsigned long me = PyThread_get_thread_ident();
    int others = 0;
    // Each finishes its kit call and then stops: SystemExit is raised in it
    // as it returns to its caller, never in the middle of code the kit calls
    // (matplotlib's C++ does not survive an exception raised in the Python
    // code it calls). A thread that waits for another one is left alone, should
    // that one still serve it (an exit handler may pump the Tk thread's events).
    for (unsigned long ident : inside) {
        if (ident == me || has(waiting, ident)) continue;
        stopping.push_back(ident);
        ++others;
    }
    if (others == 0) return;
    // A kit call that runs ends within tens of milliseconds of the GIL going
    // free; one that still has not after a quiet spell waits for something
    // (most often a Tk call handed to this very thread, which pumps no events
    // now) and would not run into finalization anyway.
    const int mine = depth > 0 ? 1 : 0;
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(exit_wait_ms);
    auto quiet_until = Clock::now() + std::chrono::milliseconds(exit_quiet_ms);
    int left = waited_for.load();
    PyThreadState* state = PyEval_SaveThread();
    while (left > mine) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        const auto now = Clock::now();
        const int count = waited_for.load();
        if (count != left) {
            left = count;
            quiet_until = now + std::chrono::milliseconds(exit_quiet_ms);
        }
        if (now >= deadline || now >= quiet_until) break;
    }
    PyEval_RestoreThread(state);
}

}  // namespace

KitCall::KitCall() {
    if (depth++ > 0) return;
    inside.push_back(PyThread_get_thread_ident());
    waited_for.fetch_add(1, std::memory_order_relaxed);
}

KitCall::~KitCall() {
    if (--depth > 0) return;
    const unsigned long me = PyThread_get_thread_ident();
    remove(inside, me);
    if (!stopping.empty() && has(stopping, me)) {
        remove(stopping, me);
        PyThreadState_SetAsyncExc(me, PyExc_SystemExit);
    }
    waited_for.fetch_sub(1, std::memory_order_relaxed);
}

WaitingOnOthers::WaitingOnOthers() : counted_(depth > 0) {
    if (!counted_) return;
    waiting.push_back(PyThread_get_thread_ident());
    waited_for.fetch_sub(1);
}

WaitingOnOthers::~WaitingOnOthers() {
    if (!counted_) return;
    remove(waiting, PyThread_get_thread_ident());
    waited_for.fetch_add(1);
}

void install_exit_wait() {
    static bool installed = false;
    if (installed) return;
    py::module_::import("atexit").attr("register")(py::cpp_function(&stop_and_wait));
    installed = true;
}

PyObject* interned(const char* name) {
    static std::unordered_map<const char*, PyObject*> names;
    auto it = names.find(name);
    if (it != names.end()) return it->second;
    PyObject* s = PyUnicode_InternFromString(name);
    if (s == nullptr) throw py::error_already_set();
    names.emplace(name, s);  // kept for the life of the process
    return s;
}

namespace {

// The vectorcall of stack[1..]: positional arguments, then keyword values;
// stack[0] is free for the callee (PY_VECTORCALL_ARGUMENTS_OFFSET).
py::object vectorcall(PyObject* callable, PyObject* method_name, std::vector<PyObject*>& stack, size_t positional,
                      std::initializer_list<Kw> kwargs) {
    py::object names;
    if (kwargs.size() > 0) {
        names = steal(PyTuple_New(static_cast<Py_ssize_t>(kwargs.size())));
        Py_ssize_t k = 0;
        for (const Kw& kw : kwargs) PyTuple_SET_ITEM(names.ptr(), k++, Py_NewRef(interned(kw.name)));
    }
    const size_t nargsf = positional | PY_VECTORCALL_ARGUMENTS_OFFSET;
    PyObject* result = method_name ? PyObject_VectorcallMethod(method_name, stack.data() + 1, nargsf, names.ptr())
                                   : PyObject_Vectorcall(callable, stack.data() + 1, nargsf, names.ptr());
    return steal(result);
}

}  // namespace

py::object call(py::handle callable, std::initializer_list<py::handle> args, std::initializer_list<Kw> kwargs) {
    std::vector<PyObject*> stack(1);
    for (py::handle arg : args) stack.push_back(arg.ptr());
    for (const Kw& kw : kwargs) stack.push_back(kw.value.ptr());
    return vectorcall(callable.ptr(), nullptr, stack, args.size(), kwargs);
}

py::object call_method(py::handle obj, const char* name, std::initializer_list<py::handle> args,
                       std::initializer_list<Kw> kwargs) {
    std::vector<PyObject*> stack{nullptr, obj.ptr()};
    for (py::handle arg : args) stack.push_back(arg.ptr());
    for (const Kw& kw : kwargs) stack.push_back(kw.value.ptr());
    return vectorcall(nullptr, interned(name), stack, args.size() + 1, kwargs);
}

py::object getattr(py::handle obj, const char* name) { return steal(PyObject_GetAttr(obj.ptr(), interned(name))); }

py::object getattr_or_none(py::handle obj, const char* name) {
    PyObject* found = PyObject_GetAttr(obj.ptr(), interned(name));
    if (found != nullptr) return steal(found);
    if (!PyErr_ExceptionMatches(PyExc_AttributeError)) throw py::error_already_set();
    PyErr_Clear();
    return py::none();
}

void let_others_run() {
    // Dropping the GIL and taking it straight back rarely hands it over: the
    // waiting threads are woken, but the GIL is ours again before they run.
    PyThreadState* state = PyEval_SaveThread();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    PyEval_RestoreThread(state);
}

py::object steal(PyObject* result) {
    if (result == nullptr) throw py::error_already_set();
    return py::reinterpret_steal<py::object>(result);
}

bool truth(py::handle value) {
    const int t = PyObject_IsTrue(value.ptr());
    if (t < 0) throw py::error_already_set();
    return t != 0;
}

}  // namespace hv
