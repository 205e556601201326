// The Python operations a body needs that pybind11 does not spell itself.
// Everything else is pybind11's own: x + y, x / y, obj[k], obj.attr("a"),
// calls, x.equal(y) and x.not_equal(y) for == and !=, x < y, iteration.
#pragma once

#include "errors.hpp"

#include <array>
#include <cstddef>
#include <type_traits>

namespace hv {

namespace py = pybind11;

// `if value:`, Python's truth test.
bool truth(py::handle value);

// `item in container`, as the interpreter tests it (__contains__, or else
// iteration); pybind11's contains() only calls __contains__.
bool contains(py::handle container, py::handle item);

// a % b (pybind11 spells the other arithmetic operators).
py::object mod(py::handle a, py::handle b);

// obj.name += value and obj.name -= value: the attribute read once, the
// in-place operator, the result stored back.
void iadd(py::handle obj, const char* name, py::handle value);
void isub(py::handle obj, const char* name, py::handle value);

// mapping.get(key, default), the default made before the call, as Python makes it.
py::object get(py::handle mapping, const char* key, py::handle default_value);

// a, b, ... = value: exactly n items of an iterable, with the interpreter's
// messages when there are fewer or more.
void unpack_into(py::handle value, py::object* out, size_t n);
template <size_t N>
std::array<py::object, N> unpack(py::handle value) {
    std::array<py::object, N> out;
    unpack_into(value, out.data(), N);
    return out;
}

// with manager as target: body(target). __exit__ gets what the body raised
// and, when it answers true, the error is dropped (with returns as usual).
void with_call(py::handle manager, void (*call)(void*, py::handle), void* body);
template <class Body>
void with(py::handle manager, Body&& body) {
    with_call(manager, [](void* b, py::handle target) { (*static_cast<std::remove_reference_t<Body>*>(b))(target); },
              const_cast<void*>(static_cast<const void*>(&body)));
}

}  // namespace hv
