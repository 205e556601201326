// Names the code spells out, as the interpreter keeps them, and imports by
// name. For the core's own units.
#pragma once

#include <pybind11/pybind11.h>

namespace hv {

namespace py = pybind11;

// The interned string object of a name the code spells out, kept for the
// life of the process. Needs the GIL.
PyObject* interned(const char* name);

// `import name` / `from module import attr` as an import statement runs it:
// builtins.__import__(name, globals, locals, fromlist, 0).
py::object import_with(py::handle globals, py::handle builtins, py::handle locals, const char* name,
                       const char* attr);

}  // namespace hv
