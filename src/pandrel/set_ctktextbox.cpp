// Set_CTkTextbox: a log text box with colour markup (not built yet).
#include "kit.hpp"

namespace pandrel {

py::object make_Set_CTkTextbox(py::handle g, const std::string& outer) {
    using hv::not_built;
    hv::ClassBuilder cls(g, outer + ".Set_CTkTextbox");
    cls.def("__init__", {"self", "frame", "**kwargs"}, not_built)
        .def("add_text", {"self", "text", "**kwargs"}, not_built)
        .def("delete_all", {"self", "**kwargs"}, not_built);
    return cls.build();
}

}  // namespace pandrel
