// The module Halvorine通用模組.Pandrel: its imports, in order, then the class
// Pandrel that holds every widget class of the kit.
#include "kit.hpp"

namespace pandrel {
namespace {

void body(py::dict g) {
    g["os"] = hv::import(g, "os");
    g["tkinter"] = hv::import(g, "tkinter");
    g["customtkinter"] = hv::import(g, "customtkinter");
    g["pyautogui"] = hv::import(g, "pyautogui");
    g["Image"] = hv::import_from(g, "PIL", "Image");
    g["time"] = hv::import(g, "time");
    g["partial"] = hv::import_from(g, "functools", "partial");
    g["json"] = hv::import(g, "json");
    g["webbrowser"] = hv::import(g, "webbrowser");
    g["ctk"] = hv::import(g, "customtkinter");
    g["calendar"] = hv::import(g, "calendar");
    g["datetime"] = hv::import_from(g, "datetime", "datetime");
    g["tk"] = hv::import(g, "tkinter");
    g["random"] = hv::import(g, "random");
    g["string"] = hv::import(g, "string");

    const std::string outer = "Pandrel";
    hv::ClassBuilder cls(g, outer);
    cls.def("__init__", {"self"}, pandrel_init)
        .attr("CTkCalendar", make_CTkCalendar(g, outer))
        .attr("Chart_Matplotlib", make_Chart_Matplotlib(g, outer))
        .attr("Entry_Table", make_Entry_Table(g, outer))
        .attr("Set_Table", make_Set_Table(g, outer))
        .attr("Set_Button", make_Set_Button(g, outer))
        .def("many_days", {"self", "year", "month"}, many_days)
        .attr("Draw_Map", make_Draw_Map(g, outer))
        .attr("Set_CTkTextbox", make_Set_CTkTextbox(g, outer));
    g["Pandrel"] = cls.build();
}

}  // namespace
}  // namespace pandrel

HV_MODULE(Pandrel, pandrel::body)
