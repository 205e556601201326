// Python-level functions whose bodies are C++, and what a body sees.
//
// A body is a plain C++ function that takes a Scope and then one argument per
// parameter of the Python signature it is defined with, in order: py::handle
// for a positional-or-keyword parameter, py::dict for a trailing **kwargs. The
// arguments are bound as CPython binds them for the same signature; the body
// returns a py::object, or nothing for None. How many arguments the body takes
// is checked against the signature when the function is made (so when its
// class is built): a body that does not fit is a TypeError at import.
#pragma once

#include <pybind11/pybind11.h>

#include <cstddef>
#include <initializer_list>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

namespace hv {

namespace py = pybind11;
using namespace pybind11::literals;

// One parameter of a signature. A name written "**name" is the trailing
// var-keyword parameter; a parameter with a default object is optional.
struct Param {
    const char* name;
    py::object default_value;  // null: required

    Param(const char* n) : name(n) {}  // NOLINT(google-explicit-constructor)
    Param(const char* n, py::object d) : name(n), default_value(std::move(d)) {}
};

struct FunctionObject;
class Scope;

// A body, with the one function that calls it with its bound arguments.
class Body {
public:
    template <class R, class... P>
    Body(R (*body)(const Scope&, P...))  // NOLINT(google-explicit-constructor)
        : fn_(reinterpret_cast<void (*)()>(body)),
          invoke_(&invoke<R, P...>),
          arity_(sizeof...(P)),
          takes_kwargs_(takes_kwargs<P...>()) {
        static_assert(((std::is_same_v<P, py::handle> || std::is_same_v<P, py::dict>) && ...),
                      "a body takes py::handle parameters and a py::dict for **kwargs");
    }

    size_t arity() const { return arity_; }
    bool takes_kwargs() const { return takes_kwargs_; }
    py::object operator()(const Scope& s, PyObject* const* slots, PyObject* kwargs) const {
        return invoke_(fn_, s, slots, kwargs);
    }

private:
    using Invoke = py::object (*)(void (*)(), const Scope&, PyObject* const*, PyObject*);
    void (*fn_)();
    Invoke invoke_;
    size_t arity_;
    bool takes_kwargs_;

    template <class... P>
    static constexpr bool takes_kwargs() {
        bool last = false;
        ((last = std::is_same_v<P, py::dict>), ...);
        return last;
    }
    template <class P>
    static P arg(PyObject* const* slots, PyObject* kwargs, size_t i) {
        if constexpr (std::is_same_v<P, py::dict>)
            return py::reinterpret_borrow<py::dict>(kwargs);
        else
            return slots[i];
    }
    template <class R, class... P, size_t... I>
    static py::object call(void (*fn)(), const Scope& s, PyObject* const* slots, PyObject* kwargs,
                           std::index_sequence<I...>) {
        auto body = reinterpret_cast<R (*)(const Scope&, P...)>(fn);
        if constexpr (std::is_void_v<R>) {
            body(s, arg<P>(slots, kwargs, I)...);
            return py::none();
        } else {
            return body(s, arg<P>(slots, kwargs, I)...);
        }
    }
    template <class R, class... P>
    static py::object invoke(void (*fn)(), const Scope& s, PyObject* const* slots, PyObject* kwargs) {
        return call<R, P...>(fn, s, slots, kwargs, std::index_sequence_for<P...>());
    }
};

struct FunctionDecl {
    const char* name;
    std::string qualname;
    std::vector<Param> params;
    Body body;
    py::dict annotations = py::dict();  // empty: none
};

// A Python-level function: binds as a method, carries __name__, __qualname__,
// __module__ (the globals' __name__), __doc__, __defaults__, __annotations__,
// __signature__ and __dict__, and is freed by the cycle collector together
// with what it closed over.
py::object make_function(FunctionDecl decl, py::handle globals, py::object closure = py::none());

// The name `text` as the interpreter keeps the names a program spells out:
// one interned str for the life of the process. obj.attr(hv::name("get"))
// looks the attribute up without making its name anew, for the loops that
// run per cell or per line.
py::handle name(const char* text);

// What a body sees besides its arguments, as the body of a Python function
// sees it: its module's globals and builtins, what it closed over, its name.
class Scope {
public:
    Scope(FunctionObject* fn, PyObject* const* slots) : fn_(fn), slots_(slots) {}

    // A name as the body resolves it, looked up now: the module's globals,
    // then the builtins the function was made with (a module global `print`
    // or `str` set by a caller wins); NameError when neither has it. A
    // builtin is called as the body calls it: s.global("len")(y).
    py::object global(const char* name) const;
    // str(value), str resolved as any other name.
    py::object str(py::handle value) const;
    // `import name` and `from module import attr` in the body: through the
    // builtins' __import__, with the module's globals.
    py::object import(const char* name) const;
    py::object import_from(const char* module, const char* attr) const;

    // What a nested function closed over (None for a method).
    py::handle closure() const;
    // super(), for a method made by ClassBuilder::def_with_class: the class
    // it was defined in (its __class__ cell) and its first argument.
    py::object super() const;
    py::handle globals() const;
    std::string qualname() const;

    // A function defined in this one's body: __qualname__
    // "<this one's>.<locals>.<name>", closing over `closure`.
    py::object nested(const char* name, std::initializer_list<Param> params, Body body,
                      py::object closure) const {
        return make_function({name, qualname() + ".<locals>." + name, params, body}, globals(), std::move(closure));
    }

private:
    FunctionObject* fn_;
    PyObject* const* slots_;
};

}  // namespace hv
