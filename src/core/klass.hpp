// Classes built from C++ exactly as a class statement builds them.
#pragma once

#include "function.hpp"

#include <initializer_list>
#include <string>

namespace hv {

// The metaclass is taken from the bases, the namespace comes from its
// __prepare__ and starts with __module__ and __qualname__ (then __doc__ when
// given), followed by the members in the order they are added.
class ClassBuilder {
public:
    ClassBuilder(py::handle globals, std::string qualname, py::tuple bases = py::tuple());

    ClassBuilder& doc(const char* text);
    ClassBuilder& def(const char* name, std::initializer_list<Param> params, Body body,
                      py::dict annotations = py::dict());
    // A method whose body reaches its own class through Scope::super(), as a
    // method using zero-argument super() reaches it through __class__: the
    // namespace carries __classcell__.
    ClassBuilder& def_with_class(const char* name, std::initializer_list<Param> params, Body body);
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

}  // namespace hv
