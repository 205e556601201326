// The classes nested in Pandrel, one maker per file; each is given the module's
// globals and the qualified name prefix of the outer class.
#pragma once

#include "../core/hv.hpp"

namespace pandrel {

namespace py = hv::py;
using namespace pybind11::literals;

py::object make_CTkCalendar(py::handle globals, const std::string& outer);
py::object make_Chart_Matplotlib(py::handle globals, const std::string& outer);
py::object make_Entry_Table(py::handle globals, const std::string& outer);
py::object make_Set_Table(py::handle globals, const std::string& outer);
py::object make_Set_Button(py::handle globals, const std::string& outer);
py::object make_Draw_Map(py::handle globals, const std::string& outer);
py::object make_Set_CTkTextbox(py::handle globals, const std::string& outer);

// Pandrel.__init__ and Pandrel.many_days.
py::object pandrel_init(const hv::Args& a);
py::object many_days(const hv::Args& a);

}  // namespace pandrel
