// The module GUI: its imports and kit bindings in order, the report settings
// class Parameters, the function GUI, and the main-program check.
#include "gui.hpp"

namespace gui {

bool is_exception(const py::error_already_set& e) { return e.matches(PyExc_Exception); }

bool running_as_main(const hv::Args& a) { return hv::equals(a.global("__name__"), py::str("__main__")); }

py::object local(const hv::Args& a, const char* name) {
    py::dict closure = py::reinterpret_borrow<py::dict>(a.state());
    if (!closure.contains(name))
        hv::raise(PyExc_NameError, std::string("cannot access free variable '") + name +
                                       "' where it is not associated with a value in enclosing scope");
    return closure[name];
}

py::object nested(const hv::Args& a, const char* name, hv::Body body, py::object closure) {
    return hv::make_function({name, std::string("GUI.<locals>.") + name, {}, body}, a.globals(), std::move(closure));
}

py::object nested_wrapped(const hv::Args& a, const char* name, hv::Body body, py::object closure) {
    py::object handler = nested(a, name, body, std::move(closure));
    return a.global("try_except_log")(handler);
}

namespace {

// Parameters.__init__: the report settings, in the order code listing them sees.
py::object parameters_init(const hv::Args& a) {
    py::dict parameters;
    parameters["顯示免用統一發票章"] = py::bool_(false);
    parameters["顯示負責人章"] = py::bool_(false);
    parameters["顯示日期"] = py::bool_(true);
    parameters[kRatio] = py::int_(1);
    parameters[kChineseFont] = py::str("標楷體");
    parameters[kEnglishFont] = py::str("Calibri");
    parameters[kPdfFlag] = py::bool_(true);
    a["self"].attr("parameters") = parameters;
    return py::none();
}

void body(py::module_, py::dict g) {
    g["os"] = hv::import(g, "os");
    g["tkinter"] = hv::import(g, "tkinter");
    g["customtkinter"] = hv::import(g, "customtkinter");
    g["time"] = hv::import(g, "time");
    g["webbrowser"] = hv::import(g, "webbrowser");
    g["shutil"] = hv::import(g, "shutil");
    g["Image"] = hv::import_from(g, "PIL", "Image");
    g["subprocess"] = hv::import(g, "subprocess");
    g["Halvorine"] = hv::import(g, "Halvorine通用模組");
    g["pandrel"] = g["Halvorine"].attr("Pandrel")();
    g["Entry_Table"] = g["pandrel"].attr("Entry_Table");
    g["Set_Table"] = g["pandrel"].attr("Set_Table");
    g["Set_Button"] = g["pandrel"].attr("Set_Button");
    g["CTkCalendar"] = g["pandrel"].attr("CTkCalendar");
    g["Set_CTkTextbox"] = g["pandrel"].attr("Set_CTkTextbox");
    g["try_except"] = g["Halvorine"].attr("Merrowfold")();
    g["try_except_log"] = g["try_except"].attr("try_except_log");
    g["Parameters"] = make_Parameters(g);
    g["GUI"] = make_GUI(g);
    // Executed as the main program: open the window with placeholder channels.
    if (hv::equals(g["__name__"], py::str("__main__"))) g["GUI"](py::str("X"), py::str("X"));
}

}  // namespace

py::object make_Parameters(py::handle globals) {
    hv::ClassBuilder cls(globals, "Parameters");
    cls.def("__init__", {"self"}, parameters_init);
    return cls.build();
}

}  // namespace gui

PyMODINIT_FUNC PyInit_GUI() { return PyModuleDef_Init(hv::module_definition<gui::body>("GUI")); }

// The interpreter's loader looks for PyInit_<last part of the module's name>, so
// a host that loads this file as its main program (under the name "__main__")
// finds the same module here; its exec step then opens the window.
PyMODINIT_FUNC PyInit___main__() { return PyModuleDef_Init(hv::module_definition<gui::body>("GUI")); }
