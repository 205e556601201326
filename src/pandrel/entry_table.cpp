// Entry_Table: a grid of entry cells under named column headers, with row
// numbers. The signatures (and the shared default list) are in place; the
// behaviour is not built yet and every method says so.
#include "kit.hpp"

namespace pandrel {

py::object make_Entry_Table(py::handle g, const std::string& outer) {
    using hv::not_built;
    hv::ClassBuilder cls(g, outer + ".Entry_Table");
    cls.def("__init__", {"self", "frame"}, not_built)
        .def("random_string", {"self", {"length", py::int_(20)}}, not_built)
        .def("add_entry_name",
             {"self", "name", "width", {"state", py::str("normal")}, {"math_calculate_multiplication", py::list()}},
             not_built)
        .def("add_table", {"self", "n", {"serial_number", py::bool_(true)}}, not_built)
        .def("delete_all", {"self"}, not_built)
        .def("get", {"self"}, not_built)
        .def("update", {"self"}, not_built)
        .def("set_text", {"self", "name", "y", "text", {"default_value", py::bool_(false)}}, not_built)
        .def("set_title_text", {"self", "name", "new_name"}, not_built);
    return cls.build();
}

}  // namespace pandrel
