// The shared interpreter plumbing of both extension modules.
//
// Everything the kit and the window need from the interpreter goes through here:
// Python-level functions whose bodies are C++ (`make_function`), classes built by
// calling the metaclass of their bases (`ClassBuilder`), module-global look-ups at
// call time (`Args::global`), and the translation of C++ failures into Python
// exceptions (`guard`). Widget code never touches a raw reference count.
#pragma once

#include <pybind11/pybind11.h>

#if defined(__GLIBCXX__)
#include <cxxabi.h>
#endif

#include <array>
#include <initializer_list>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

namespace hv {

namespace py = pybind11;
using namespace pybind11::literals;

// One parameter of a Python-level signature. A name written "**name" is the
// trailing var-keyword parameter; a parameter with a default object is optional.
struct Param {
    const char* name;
    py::object default_value;  // null: required

    Param(const char* n) : name(n) {}  // NOLINT(google-explicit-constructor)
    Param(const char* n, py::object d) : name(n), default_value(std::move(d)) {}
};

struct FunctionObject;

// The bound arguments of one call, valid for the duration of the body.
class Args {
public:
    Args(FunctionObject* fn, PyObject* const* slots, PyObject* kwargs)
        : fn_(fn), slots_(slots), kwargs_(kwargs) {}

    // The argument bound to the named parameter (its default when omitted).
    py::handle operator[](const char* name) const;
    // The extra keyword arguments collected by a "**name" parameter.
    py::dict kwargs() const;
    // Whatever the function captured when it was made (its closure).
    py::handle state() const;
    // A name as the body of a Python function resolves it, looked up now: the
    // defining module's globals, then the builtins the function was made with
    // (so a module global `print` or `str` set by a caller wins); NameError
    // when neither has it.
    py::object global(const char* name) const;
    py::handle globals() const;
    py::handle builtins() const;

    // Builtins as a body calls them, each name resolved through global():
    // str(value), and name(args...) for any other (a.call("float", width)).
    py::object str(py::handle value) const;
    template <class... A>
    py::object call(const char* name, A&&... args) const {
        return global(name)(std::forward<A>(args)...);
    }
    // print(*values) and print(*values, end=end).
    void print(std::initializer_list<py::handle> values) const;
    void print(std::initializer_list<py::handle> values, py::handle end) const;

    // `import name` and `from module import attr` as the body would run them:
    // through the builtins' __import__, with the module's globals.
    py::object import(const char* name) const;
    py::object import_from(const char* module, const char* attr) const;

    // For a method made by ClassBuilder::def_with_class: the class it was
    // defined in (what __class__ is in a Python method), and super() for its
    // first argument, as zero-argument super() makes it.
    py::object klass() const;
    py::object super() const;
    // The qualified name of the running function, for messages.
    std::string qualname() const;

private:
    FunctionObject* fn_;
    PyObject* const* slots_;
    PyObject* kwargs_;
};

// A body returns the function's result; a null object means None.
using Body = py::object (*)(const Args&);

struct FunctionDecl {
    const char* name;
    std::string qualname;
    std::vector<Param> params;
    Body body;
    py::dict annotations = py::dict();  // empty: none
};

// A Python-level function: binds as a method, carries __name__, __qualname__,
// __module__ (the globals' __name__), __doc__, __defaults__, __annotations__,
// __signature__ and __dict__, binds arguments as CPython does for the same
// signature and is freed by the cycle collector together with what it captured.
py::object make_function(FunctionDecl decl, py::handle globals, py::object state = py::none());

// The body of a method that is not built yet: raises NotImplementedError.
py::object not_built(const Args& a);

// Rebinds what a function made by make_function captured.
void set_state(py::handle function, py::object state);

// Builds a class the way a class statement does: the metaclass is taken from the
// bases, the namespace comes from its __prepare__ and starts with __module__ and
// __qualname__ (then __doc__ when given), followed by the members in the order
// they are added.
class ClassBuilder {
public:
    ClassBuilder(py::handle globals, std::string qualname, py::tuple bases = py::tuple());

    ClassBuilder& doc(const char* text);
    ClassBuilder& def(const char* name, std::initializer_list<Param> params, Body body,
                      py::dict annotations = py::dict());
    // A method whose body reaches its own class through Args::klass() and
    // Args::super(), as a method using zero-argument super() reaches it
    // through __class__: the namespace carries __classcell__.
    ClassBuilder& def_with_class(const char* name, std::initializer_list<Param> params,
                                 Body body, py::dict annotations = py::dict());
    ClassBuilder& attr(const char* name, py::handle value);

    py::object build();

private:
    py::handle globals_;
    std::string qualname_;
    std::string name_;
    py::tuple bases_;
    py::object meta_;
    py::object ns_;
    py::object class_cell_;
};

// Sets the Python exception that matches the C++ exception being handled.
void translate_current_exception();

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

// Runs `fn` and turns any C++ exception into the matching Python exception.
// Returns false when an exception is now set. (The handlers live in one
// function that is no template: gcc does not lift a sanitizer check in one.)
HV_CATCHES_FORCED_UNWIND bool guard_call(void (*call)(void*), void* fn);
template <class Fn>
bool guard(Fn&& fn) {
    return guard_call([](void* f) { (*static_cast<std::remove_reference_t<Fn>*>(f))(); },
                      const_cast<void*>(static_cast<const void*>(&fn)));
}

// One keyword argument of call() and call_method().
struct Kw {
    const char* name;
    py::handle value;
};

// callable(*args, **kwargs), obj.name(*args, **kwargs) and obj.name, by
// vectorcall with interned names (no argument tuple, no bound method).
py::object call(py::handle callable, std::initializer_list<py::handle> args = {},
                std::initializer_list<Kw> kwargs = {});
py::object call_method(py::handle obj, const char* name, std::initializer_list<py::handle> args = {},
                       std::initializer_list<Kw> kwargs = {});
py::object getattr(py::handle obj, const char* name);
// getattr(obj, name, None): only AttributeError means "none".
py::object getattr_or_none(py::handle obj, const char* name);

// dict[key] and dict[key] = value for the kit's own dicts with fixed text
// keys: a borrowed handle, KeyError when the key is missing.
py::handle item(py::handle dict, const char* key);
void set_item(py::handle dict, const char* key, py::handle value);

// Whether `ident` (an int as threading.get_ident() gives it; None: no
// thread) is the running thread.
bool is_current_thread(py::handle ident);

// Releases the GIL for a millisecond, so that the threads waiting for it run.
// CPython hands the GIL over only between bytecodes, so a long C++ loop that
// holds it stalls every other thread, the Tk thread's event loop among them.
void let_others_run();

// Python's truth test.
bool truth(py::handle value);
// A new reference from the C API; throws the set error on NULL.
py::object steal(PyObject* result);
// Python's +, -, * and / (true division) on the objects themselves, so ints
// stay ints and floats floats, as the interpreter mixes them.
inline py::object add(py::handle x, py::handle y) { return steal(PyNumber_Add(x.ptr(), y.ptr())); }
inline py::object sub(py::handle x, py::handle y) { return steal(PyNumber_Subtract(x.ptr(), y.ptr())); }
inline py::object mul(py::handle x, py::handle y) { return steal(PyNumber_Multiply(x.ptr(), y.ptr())); }
inline py::object div(py::handle x, py::handle y) { return steal(PyNumber_TrueDivide(x.ptr(), y.ptr())); }

// The interned string object of a name the code spells out; kept for the life
// of the process. Needs the GIL.
PyObject* interned(const char* name);

// Raises KeyError(key) in the interpreter's own form.
[[noreturn]] void raise_key_error(py::handle key);
// Raises any exception type with a message.
[[noreturn]] void raise(PyObject* type, const std::string& message);

// `import name` / `from module import attr` as an import statement runs it:
// builtins.__import__(name, globals, locals, fromlist, 0), with `globals` the
// importing module's dict. At module level (the exec step of a module) locals
// is the globals dict itself; the builtins are the importer's.
py::object import(py::handle globals, const char* name);
py::object import_from(py::handle globals, const char* module, const char* attr);
// The same with explicit builtins and locals (None inside a function).
py::object import_with(py::handle globals, py::handle builtins, py::handle locals, const char* name,
                       const char* attr);

// Python's truth test of `a == b` and of `a != b` (so "compares equal to None"
// keeps its meaning; the two need not be each other's negation).
bool equals(py::handle a, py::handle b);
bool not_equals(py::handle a, py::handle b);

// a, b, ... = value: exactly n items of an iterable, with the interpreter's
// messages when there are fewer or more.
void unpack_into(py::handle value, py::object* out, size_t n);
template <size_t N>
std::array<py::object, N> unpack(py::handle value) {
    std::array<py::object, N> out;
    unpack_into(value, out.data(), N);
    return out;
}

// str(value), container[key] and container[key] = value, as the interpreter does them.
py::str str(py::handle value);
py::object getitem(py::handle container, py::handle key);
void setitem(py::handle container, py::handle key, py::handle value);


// The exec step of a multi-phase module: runs `body` with the module and its dict.
int exec_module(PyObject* module, void (*body)(py::module_ m, py::dict globals));

// The definition of a multi-phase module (no docstring, no state) whose exec
// step runs Body; the loader names the module as it is imported, so one
// definition serves any name it is loaded under.
template <void (*Body)(py::module_, py::dict)>
PyModuleDef* module_definition(const char* name) {
    static PyModuleDef_Slot slots[] = {
        {Py_mod_exec, reinterpret_cast<void*>(+[](PyObject* module) -> int { return exec_module(module, Body); })},
        {0, nullptr},
    };
    static PyModuleDef definition = {
        PyModuleDef_HEAD_INIT, name, nullptr, 0, nullptr, slots, nullptr, nullptr, nullptr,
    };
    return &definition;
}

}  // namespace hv
