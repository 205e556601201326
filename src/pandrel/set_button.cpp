// Set_Button: command buttons kept by name (not built yet).
#include "kit.hpp"

namespace pandrel {

py::object make_Set_Button(py::handle g, const std::string& outer) {
    using hv::not_built;
    const py::object none = py::none();
    hv::ClassBuilder cls(g, outer + ".Set_Button");
    cls.def("__init__", {"self"}, not_built)
        .def("add_button",
             {"self", "frame", {"button_name", none}, {"image_path", none}, {"size", py::make_tuple(20, 20)},
              {"text", py::str("")}, {"row", py::int_(0)}, {"column", py::int_(0)}, {"padx", none},
              {"pady", none}, {"sticky", py::str("ne")}, {"corner_radius", py::int_(6)}, {"button_event", none},
              {"fg_color", py::str("#2b2b2b")}, {"width", py::int_(20)}, {"font", none}},
             not_built)
        .def("cget", {"self", "button_name", "data"}, not_built)
        .def("configure", {"self", "button_name", {"text", none}, {"state", none}}, not_built);
    return cls.build();
}

}  // namespace pandrel
