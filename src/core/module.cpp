// Module bodies: their imports and their exec step.
#include "module.hpp"

#include "errors.hpp"
#include "names.hpp"

namespace hv {

// At module level (the exec step of a module) locals is the globals dict
// itself; the builtins are the importer's.
py::object import(py::handle globals, const char* name) {
    return import_with(globals, PyEval_GetBuiltins(), globals, name, nullptr);
}

py::object import_from(py::handle globals, const char* module, const char* attr) {
    return import_with(globals, PyEval_GetBuiltins(), globals, module, attr);
}

int exec_module(PyObject* module, void (*body)(py::dict globals)) {
    const bool ok = guard([&] { body(py::reinterpret_borrow<py::dict>(PyModule_GetDict(module))); });
    return ok ? 0 : -1;
}

}  // namespace hv
