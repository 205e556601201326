// The module GUI: its imports and kit bindings in order, the report settings
// class Parameters, the function GUI, and the main-program check.
#include "gui.hpp"

#include <string>

namespace gui {

bool is_main(py::handle name) { return name.equal(py::str("__main__")); }

py::object local(const Scope& s, const char* name) {
    if (!s.closure().contains(name))
        hv::raise_name_error(std::string("cannot access free variable '") + name +
                             "' where it is not associated with a value in enclosing scope");
    return s.closure()[name];
}

py::object wrapped(const Scope& s, const char* name, hv::Body body, py::object closure) {
    return s.global("try_except_log")(s.nested(name, {}, body, std::move(closure)));
}

namespace {

// Parameters.__init__: the report settings, in the order code listing them sees.
void parameters_init(const Scope&, py::handle self) {
    py::dict parameters;
    parameters["顯示免用統一發票章"] = false;
    parameters["顯示負責人章"] = false;
    parameters["顯示日期"] = true;
    parameters[kRatio] = 1;
    parameters[kChineseFont] = "標楷體";
    parameters[kEnglishFont] = "Calibri";
    parameters[kPdfFlag] = true;
    self.attr("parameters") = parameters;
}

void body(py::dict g) {
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
    g["Parameters"] = hv::ClassBuilder(g, "Parameters").def("__init__", {"self"}, parameters_init).build();
    g["GUI"] = hv::make_function({"GUI", "GUI", {"Queue_All_variable", "Event_All_variable"}, gui_body}, g);
    // Executed as the main program: open the window with placeholder channels.
    if (is_main(g["__name__"])) g["GUI"](py::str("X"), py::str("X"));
}

}  // namespace
}  // namespace gui

HV_MODULE(GUI, gui::body)

// The interpreter's loader looks for PyInit_<last part of the module's name>, so
// a host that loads this file as its main program (under the name "__main__")
// finds the same module here; its exec step then opens the window.
HV_MODULE(__main__, gui::body)
