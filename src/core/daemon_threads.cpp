// Kit calls on daemon threads at exit (see hv.hpp): the count of threads inside
// a kit call, the wait at exit, parking, and the calls that leave nothing but
// `owned` references in C++ frames.
#include "hv.hpp"

#include <pythread.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <unordered_map>
#include <vector>

namespace hv {
namespace {

// Each thread's kit-call depth, and the depth of the call that is marked
// exit-safe (-1: none). A thread is inside a kit call when it runs one that
// is not exit-safe.
thread_local int depth = 0;
thread_local int safe_at = -1;

std::atomic<int> threads_inside{0};
std::atomic<bool> exiting{false};
std::atomic<unsigned long> exiting_thread{0};

bool inside() { return depth > 0 && depth != safe_at; }

// Brings the count in line with this thread's state after a change.
void recount(bool was_inside) {
    const bool now = inside();
    if (now != was_inside) threads_inside.fetch_add(now ? 1 : -1);
}

// What CPython 3.14 does with a daemon thread at exit: it never runs again.
[[noreturn]] void park() {
    const bool was_inside = inside();
    depth = 0;
    safe_at = -1;
    recount(was_inside);
    PyEval_SaveThread();
    for (;;) std::this_thread::sleep_for(std::chrono::hours(24));
}

void wait_for_kit_calls() {
    exiting_thread.store(PyThread_get_thread_ident());
    exiting.store(true);
    const int mine = inside() ? 1 : 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(exit_wait_ms);
    PyThreadState* state = PyEval_SaveThread();
    while (threads_inside.load() > mine && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    PyEval_RestoreThread(state);
}

}  // namespace

KitCall::KitCall() {
    if (exiting.load() && PyThread_get_thread_ident() != exiting_thread.load()) park();
    const bool was_inside = inside();
    ++depth;
    recount(was_inside);
}

KitCall::~KitCall() {
    const bool was_inside = inside();
    --depth;
    recount(was_inside);
}

ExitSafeCall::ExitSafeCall() : outer_(safe_at) {
    const bool was_inside = inside();
    safe_at = depth;
    recount(was_inside);
}

ExitSafeCall::~ExitSafeCall() {
    const bool was_inside = inside();
    safe_at = outer_;
    recount(was_inside);
}

void install_exit_wait() {
    static bool installed = false;
    if (installed) return;
    py::module_::import("atexit").attr("register")(py::cpp_function(&wait_for_kit_calls));
    installed = true;
}

owned::owned(py::object o) : py::object(std::move(o)), taker_(_PyThreadState_UncheckedGet()) {}

owned& owned::operator=(owned&& other) noexcept {
    py::object::operator=(std::move(other));
    taker_ = other.taker_;
    return *this;
}

owned::~owned() {
    // Unwound at exit: this thread has no GIL, and the thread state that
    // holds it (3.11) or this thread's own (3.12 on, none) is not the taker's.
    if (_PyThreadState_UncheckedGet() != taker_) release();
}

owned owned::steal(PyObject* p) {
    if (p == nullptr) throw py::error_already_set();
    return owned(py::reinterpret_steal<py::object>(p));
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
owned vectorcall(PyObject* callable, PyObject* method_name, std::vector<PyObject*>& stack, size_t positional,
                 std::initializer_list<Kw> kwargs) {
    owned names;
    if (kwargs.size() > 0) {
        names = owned::steal(PyTuple_New(static_cast<Py_ssize_t>(kwargs.size())));
        Py_ssize_t k = 0;
        for (const Kw& kw : kwargs) PyTuple_SET_ITEM(names.ptr(), k++, Py_NewRef(interned(kw.name)));
    }
    const size_t nargsf = positional | PY_VECTORCALL_ARGUMENTS_OFFSET;
    PyObject* result = method_name ? PyObject_VectorcallMethod(method_name, stack.data() + 1, nargsf, names.ptr())
                                   : PyObject_Vectorcall(callable, stack.data() + 1, nargsf, names.ptr());
    return owned::steal(result);
}

}  // namespace

owned call(py::handle callable, std::initializer_list<py::handle> args, std::initializer_list<Kw> kwargs) {
    std::vector<PyObject*> stack(1);
    for (py::handle arg : args) stack.push_back(arg.ptr());
    for (const Kw& kw : kwargs) stack.push_back(kw.value.ptr());
    return vectorcall(callable.ptr(), nullptr, stack, args.size(), kwargs);
}

owned call_method(py::handle obj, const char* name, std::initializer_list<py::handle> args,
                  std::initializer_list<Kw> kwargs) {
    std::vector<PyObject*> stack{nullptr, obj.ptr()};
    for (py::handle arg : args) stack.push_back(arg.ptr());
    for (const Kw& kw : kwargs) stack.push_back(kw.value.ptr());
    return vectorcall(nullptr, interned(name), stack, args.size() + 1, kwargs);
}

owned getattr(py::handle obj, const char* name) { return owned::steal(PyObject_GetAttr(obj.ptr(), interned(name))); }

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
