// Chart_Matplotlib: a matplotlib chart embedded in a parent widget. The
// constructor makes its imports as the finished class will; the chart itself is
// not built yet.
#include "kit.hpp"

namespace pandrel {
namespace {

py::object init(const hv::Args& a) {
    a.import_from("matplotlib.figure", "Figure");
    a.import("numpy");
    a.import_from("matplotlib.backends.backend_tkagg", "FigureCanvasTkAgg");
    return hv::not_built(a);
}

}  // namespace

py::object make_Chart_Matplotlib(py::handle g, const std::string& outer) {
    using hv::not_built;
    const py::object none = py::none();
    hv::ClassBuilder cls(g, outer + ".Chart_Matplotlib");
    cls.def("__init__", {"self", "frame"}, init)
        .def("add", {"self", "x", "y", "**kwargs"}, not_built)
        .def("update", {"self", "x", "y", {"name", none}}, not_built)
        .def("test",
             {"self", {"Lx", none}, {"Ly", none}, {"dpi", py::int_(100)}, {"facecolor", py::str("#2b2b2b")},
              {"line_color", py::str("#3B8ED0")}, {"bottom", py::float_(0.3)}},
             not_built);
    return cls.build();
}

}  // namespace pandrel
