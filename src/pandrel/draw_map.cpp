// Draw_Map: a map view that draws GPX tracks. The constructor makes its imports
// as the finished class will; the map itself is not built yet.
#include "kit.hpp"

namespace pandrel {
namespace {

py::object init(const hv::Args& a) {
    a.import("tkintermapview");
    a.import("pyautogui");
    a.import("gpxpy");
    a.import("threading");
    a.import("math");
    return hv::not_built(a);
}

}  // namespace

py::object make_Draw_Map(py::handle g, const std::string& outer) {
    using hv::not_built;
    hv::ClassBuilder cls(g, outer + ".Draw_Map");
    cls.def("__init__", {"self", "frame"}, init)
        .def("draw_gpx", {"self", "data_path", "**kwargs"}, not_built)
        .def("_draw_gpx", {"self", "data_path", "adapt_sizes", "**kwargs"}, not_built)
        .def("delete_all_path", {"self"}, not_built);
    return cls.build();
}

}  // namespace pandrel
