// Set_Table: a column of named settings, one entry field each (not built yet).
#include "kit.hpp"

namespace pandrel {

py::object make_Set_Table(py::handle g, const std::string& outer) {
    using hv::not_built;
    hv::ClassBuilder cls(g, outer + ".Set_Table");
    cls.def("__init__", {"self", "frame"}, not_built)
        .def("add_entry_name",
             {"self", "name", {"state", py::str("normal")}, {"math_calculate_multiplication", py::list()},
              {"text", py::str("")}},
             not_built)
        .def("get", {"self", "name"}, not_built)
        .def("delete_all", {"self"}, not_built)
        .def("set", {"self", "name", "text"}, not_built);
    return cls.build();
}

}  // namespace pandrel
