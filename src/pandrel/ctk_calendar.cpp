// CTkCalendar: a month calendar date picker that is itself a customtkinter frame.
// The class, its base, docstring, signatures and annotations are in place; the
// calendar's behaviour is not built yet and its methods say so.
#include "kit.hpp"

namespace pandrel {

py::object make_CTkCalendar(py::handle g, const std::string& outer) {
    using hv::not_built;
    const py::object none = py::none();
    py::object ctk = py::reinterpret_borrow<py::dict>(g)["ctk"];
    hv::ClassBuilder cls(g, outer + ".CTkCalendar", py::make_tuple(ctk.attr("CTkFrame")));
    cls.doc("\n        Calendar widget to display certain month, each day is rendered as Label.\n\n"
            "        If you do not define today_fg_color and today_text_color it will be rendered as other days\n"
            "        ")
        .def_with_class("__init__",
                        {"self", "master", {"today_fg_color", none}, {"today_text_color", none},
                         {"width", py::int_(250)}, {"height", py::int_(250)}, {"fg_color", none},
                         {"corner_radius", py::int_(8)}, {"border_width", none}, {"border_color", none},
                         {"bg_color", py::str("transparent")}, {"background_corner_colors", none},
                         {"title_bar_fg_color", none}, {"title_bar_border_width", none},
                         {"title_bar_border_color", none}, {"title_bar_corner_radius", none},
                         {"title_bar_text_color", none}, {"title_bar_button_fg_color", none},
                         {"title_bar_button_hover_color", none}, {"title_bar_button_text_color", none},
                         {"title_bar_button_border_width", none}, {"title_bar_button_border_color", none},
                         {"calendar_fg_color", none}, {"calendar_border_width", none},
                         {"calendar_border_color", none}, {"calendar_corner_radius", none},
                         {"calendar_text_color", none}, {"calendar_text_fg_color", none},
                         {"calendar_label_pad", py::int_(1)}, {"calendar_button", py::bool_(false)}},
                        not_built)
        .def("setup_header_frame", {"self"}, not_built)
        .def("create_calendar_frame", {"self"}, not_built)
        .def("change_month", {"self", "amount"}, not_built)
        .def("current_date", {"self"}, not_built, py::dict("return"_a = "tuple[int, int, int]"))
        .def("date_is_today", {"self", "date"}, not_built, py::dict("date"_a = "tuple", "return"_a = "bool"))
        .def("set_day", {"self", "yy", "mm", "dd"}, not_built)
        .def("get_day", {"self"}, not_built)
        .def("setup_label_normal", {"self", "frame", "day", "row", "column"}, not_built);
    return cls.build();
}

}  // namespace pandrel
