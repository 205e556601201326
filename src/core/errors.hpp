// Errors and unwinding: how C++ failures become Python exceptions, and how a
// thread that the interpreter ends at exit passes through kit frames.
#pragma once

#include <pybind11/pybind11.h>

#if defined(__GLIBCXX__)
#include <cxxabi.h>
#endif

#include <string>
#include <type_traits>

namespace hv {

namespace py = pybind11;

// How CPython ends a daemon thread that asks for the GIL back once the
// interpreter is shutting down: pthread_exit, which unwinds the thread's stack
// with abi::__forced_unwind. A catch-all that keeps it aborts the process
// ("FATAL: exception not rethrown"), and so does a noexcept frame it meets, so
// every catch-all starts with this clause, and no function between a call into
// the interpreter and the thread's start is noexcept. (Once the interpreter
// finalizes, the thread parks at its innermost kit frame before any handler of
// the kit runs: exit_trap.cpp.)
//
// The unwind carries no C++ object, and UndefinedBehaviorSanitizer takes the
// handler's reference for one bound to null: a function with such a handler is
// marked HV_CATCHES_FORCED_UNWIND, which lifts that one check there.
#if defined(__GLIBCXX__)
#define HV_LET_FORCED_UNWIND_PASS \
    catch (abi::__forced_unwind&) { throw; }
#define HV_CATCHES_FORCED_UNWIND __attribute__((no_sanitize("null")))
#else
#define HV_LET_FORCED_UNWIND_PASS
#define HV_CATCHES_FORCED_UNWIND
#endif

// Sets the Python exception that matches the C++ exception being handled.
void translate_current_exception();

// Runs `fn` and turns any C++ exception into the matching Python exception.
// Returns false when an exception is now set. (The handlers live in one
// function that is no template: gcc does not lift a sanitizer check in one.)
HV_CATCHES_FORCED_UNWIND bool guard_call(void (*call)(void*), void* fn);
template <class Fn>
bool guard(Fn&& fn) {
    return guard_call([](void* f) { (*static_cast<std::remove_reference_t<Fn>*>(f))(); },
                      const_cast<void*>(static_cast<const void*>(&fn)));
}

// raise type(message), for any exception class.
[[noreturn]] void raise(py::handle type, const std::string& message);
[[noreturn]] void raise(PyObject* type, const std::string& message);

// NameError(message), the interpreter's own (pybind11 spells no NameError).
[[noreturn]] void raise_name_error(const std::string& message);

// Whether a caught error is an Exception (not KeyboardInterrupt, SystemExit, ...).
bool is_exception(const py::error_already_set& e);

// A failure kept to be raised again later or on another thread (the one that
// waits for the work): the exception object, with its traceback. Held in a
// dict, it is that object; empty, it is None.
class Captured {
public:
    Captured() = default;
    explicit Captured(const py::error_already_set& e) : value_(e.value()) {}
    explicit Captured(py::handle value) : value_(py::reinterpret_borrow<py::object>(value)) {}

    explicit operator bool() const { return value_ && !value_.is_none(); }
    py::object value() const { return value_ ? value_ : py::none(); }
    // raise value, as the interpreter re-raises a caught exception.
    [[noreturn]] void raise() const;

private:
    py::object value_;
};

}  // namespace hv
