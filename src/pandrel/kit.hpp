// The classes nested in Pandrel, one maker per file; each is given the module's
// globals and the qualified name prefix of the outer class.
#pragma once

#include "../core/hv.hpp"
#include "../core/size.hpp"
#include "../core/widgets.hpp"

#include <string>

namespace pandrel {

namespace py = hv::py;
using namespace pybind11::literals;
using hv::make_widget;
using hv::Scope;

py::object make_CTkCalendar(py::handle globals, const std::string& outer);
py::object make_Chart_Matplotlib(py::handle globals, const std::string& outer);
py::object make_Entry_Table(py::handle globals, const std::string& outer);
py::object make_Set_Table(py::handle globals, const std::string& outer);
py::object make_Set_Button(py::handle globals, const std::string& outer);
py::object make_Draw_Map(py::handle globals, const std::string& outer);
py::object make_Set_CTkTextbox(py::handle globals, const std::string& outer);

// Pandrel.__init__ and Pandrel.many_days.
void pandrel_init(const Scope& s, py::handle self);
py::object many_days(const Scope& s, py::handle self, py::handle year, py::handle month);

// The bold font of the kit's labels and buttons, with the module's customtkinter.
inline py::object bold_font(const Scope& s, int size) { return hv::bold_font(s.global("customtkinter"), size); }

}  // namespace pandrel
