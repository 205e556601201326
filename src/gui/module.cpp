// The module GUI: the Tessarim window (not built yet).
#include "../core/hv.hpp"

namespace gui {
namespace {

namespace py = hv::py;

void body(py::module_, py::dict g) {
    g["GUI"] = hv::make_function({"GUI", "GUI", {"Queue_All_variable", "Event_All_variable"}, hv::not_built}, g);
}

int exec(PyObject* module) { return hv::exec_module(module, body); }

PyModuleDef_Slot slots[] = {
    {Py_mod_exec, reinterpret_cast<void*>(exec)},
    {0, nullptr},
};

PyModuleDef definition = {
    PyModuleDef_HEAD_INIT, "GUI", nullptr, 0, nullptr, slots, nullptr, nullptr, nullptr,
};

}  // namespace
}  // namespace gui

PyMODINIT_FUNC PyInit_GUI() { return PyModuleDef_Init(&gui::definition); }
