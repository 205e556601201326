// Modules made from C++: a multi-phase definition whose exec step runs a
// body with the module's dict, and the imports such a body makes.
#pragma once

#include <pybind11/pybind11.h>

namespace hv {

namespace py = pybind11;

// `import name` and `from module import attr` at module level: through the
// builtins' __import__, with the module's dict as globals and locals.
py::object import(py::handle globals, const char* name);
py::object import_from(py::handle globals, const char* module, const char* attr);

// The exec step of a multi-phase module: runs `body` with the module's dict.
int exec_module(PyObject* module, void (*body)(py::dict globals));

// The definition of a multi-phase module (no docstring, no state) whose exec
// step runs Body; the loader names the module as it is imported, so one
// definition serves any name it is loaded under.
template <void (*Body)(py::dict)>
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

// PyMODINIT_FUNC PyInit_<name>() of a module made by Body.
#define HV_MODULE(name, body) \
    PyMODINIT_FUNC PyInit_##name() { return PyModuleDef_Init(hv::module_definition<body>(#name)); }

}  // namespace hv
