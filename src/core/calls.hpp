// obj.name(*args) as the interpreter calls a method: by vectorcall on the
// name, without making a bound method. pybind11's obj.attr(name)(args) makes
// one for every call; the loops that call a method per cell or per line of
// text (a table of thousands of cells) use this instead.
#pragma once

#include <pybind11/pybind11.h>

#include <initializer_list>

namespace hv {

namespace py = pybind11;

// The last len(kwnames) of `args` are passed by the keywords of the tuple
// `kwnames` (a tuple made once, of names from hv::name).
py::object call_method(py::handle obj, py::handle name, std::initializer_list<py::handle> args = {},
                       py::handle kwnames = py::handle());

// callable(**keywords, **more), as a call that spells out `keywords` and
// passes `more` on: a keyword given twice is the interpreter's TypeError
// ("<module>.<qualname>() got multiple values for keyword argument 'x'").
py::object call_with_keywords(py::handle callable, py::dict keywords, py::dict more);

}  // namespace hv
