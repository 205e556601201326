// CTkCalendar: a month calendar date picker that is itself a customtkinter frame.
//
// The calendar is a frame holding content_frame, in which a title bar ("<",
// month name, year, ">") sits above the day grid of the shown month. Each
// month change builds a new grid frame placed over the earlier ones (they stay
// in content_frame with their labels). With calendar_button true the ordinary
// days are buttons, kept in data["日曆按鈕"] under keys such as "2025-3-5";
// clicking one stores the date in data["設定日期"] and marks it grey.
//
// The day and title-bar commands are kit functions that close over the
// calendar; they are GC-tracked, so a destroyed calendar whose registry still
// holds its buttons is freed by the cycle collector.
#include "kit.hpp"

namespace pandrel {
namespace {

const char* const buttons = "日曆按鈕";
const char* const picked = "設定日期";

// ctk.CTkFont(family, size[, weight]), by position: a new one for each widget.
py::object font(const Scope& s, int size, bool bold = true) {
    py::object make = s.global("ctk").attr("CTkFont");
    return bold ? make("Arial", size, "bold") : make("Arial", size);
}

void init(const Scope& s, py::handle self, py::handle master, py::handle today_fg_color, py::handle today_text_color,
          py::handle width, py::handle height, py::handle fg_color, py::handle corner_radius, py::handle border_width,
          py::handle border_color, py::handle bg_color, py::handle background_corner_colors,
          py::handle title_bar_fg_color, py::handle title_bar_border_width, py::handle title_bar_border_color,
          py::handle title_bar_corner_radius, py::handle title_bar_text_color, py::handle title_bar_button_fg_color,
          py::handle title_bar_button_hover_color, py::handle title_bar_button_text_color,
          py::handle title_bar_button_border_width, py::handle title_bar_button_border_color,
          py::handle calendar_fg_color, py::handle calendar_border_width, py::handle calendar_border_color,
          py::handle calendar_corner_radius, py::handle calendar_text_color, py::handle calendar_text_fg_color,
          py::handle calendar_label_pad, py::handle calendar_button) {
    self.attr("data") = py::dict();
    self.attr("data")[buttons] = py::dict();
    self.attr("calendar_button") = calendar_button;
    // A base frame that the toolkit refuses half-way is destroyed again.
    make_widget(master, [&] {
        return s.super().attr("__init__")("master"_a = master, "width"_a = width, "height"_a = height,
                                          "fg_color"_a = fg_color, "corner_radius"_a = corner_radius,
                                          "border_width"_a = border_width, "border_color"_a = border_color,
                                          "bg_color"_a = bg_color,
                                          "background_corner_colors"_a = background_corner_colors);
    });
    self.attr("today_text_color") = today_text_color;
    self.attr("today_fg_color") = today_fg_color;
    self.attr("today") = self.attr("current_date")();
    auto [day, month, year] = hv::unpack<3>(self.attr("today")[py::slice()]);
    self.attr("day") = day;
    self.attr("month") = month;
    self.attr("year") = year;
    self.attr("labels_by_date") = py::dict();
    self.attr("month_label") =
        s.global("ctk").attr("StringVar")("value"_a = s.global("calendar").attr("month_name")[self.attr("month")]);
    self.attr("year_label") = s.global("ctk").attr("IntVar")("value"_a = self.attr("year"));
    for (auto [name, value] : {std::pair{"title_bar_fg_color", title_bar_fg_color},
                               {"title_bar_border_width", title_bar_border_width},
                               {"title_bar_border_color", title_bar_border_color},
                               {"title_bar_text_color", title_bar_text_color},
                               {"title_bar_button_fg_color", title_bar_button_fg_color},
                               {"title_bar_button_hover_color", title_bar_button_hover_color},
                               {"title_bar_button_text_color", title_bar_button_text_color},
                               {"title_bar_button_border_width", title_bar_button_border_width},
                               {"title_bar_button_border_color", title_bar_button_border_color},
                               {"title_bar_corner_radius", title_bar_corner_radius},
                               {"calendar_fg_color", calendar_fg_color},
                               {"calendar_border_width", calendar_border_width},
                               {"calendar_border_color", calendar_border_color},
                               {"calendar_corner_radius", calendar_corner_radius},
                               {"calendar_text_fg_color", calendar_text_fg_color},
                               {"calendar_text_color", calendar_text_color},
                               {"calendar_label_pad", calendar_label_pad}})
        self.attr(name) = value;

    self.attr("content_frame") = make_widget(self, [&] {
        return s.global("ctk").attr("CTkFrame")(self, "fg_color"_a = "transparent", "width"_a = width,
                                                "height"_a = height);
    });
    py::object radius = py::reinterpret_borrow<py::object>(corner_radius);
    self.attr("content_frame").attr("pack")("expand"_a = true, "fill"_a = "both", "padx"_a = radius / py::int_(3),
                                            "pady"_a = radius / py::int_(3));
    self.attr("setup_header_frame")();
    self.attr("create_calendar_frame")();
    // Sizes given in any keyword (a width, a border, a radius that pads the
    // content) are judged in the finished calendar.
    hv::refuse_if_made_too_large(self, "the calendar");
}

void previous_month(const Scope& s) { s.closure().attr("change_month")(-1); }
void next_month(const Scope& s) { s.closure().attr("change_month")(1); }

void setup_header_frame(const Scope& s, py::handle self) {
    py::object ctk = s.global("ctk");
    py::object bar = make_widget(self.attr("content_frame"), [&] {
        return ctk.attr("CTkFrame")(self.attr("content_frame"), "fg_color"_a = self.attr("title_bar_fg_color"),
                                    "corner_radius"_a = self.attr("title_bar_corner_radius"),
                                    "border_color"_a = self.attr("title_bar_border_color"),
                                    "border_width"_a = self.attr("title_bar_border_width"));
    });
    auto title_button = [&](const char* text, hv::Body command, const char* side) {
        py::object click = s.nested("<lambda>", {}, command, py::reinterpret_borrow<py::object>(self));
        make_widget(bar, [&] {
            return ctk.attr("CTkButton")(bar, "text"_a = text, "width"_a = 25,
                                         "fg_color"_a = self.attr("title_bar_button_fg_color"),
                                         "hover_color"_a = self.attr("title_bar_button_hover_color"),
                                         "border_color"_a = self.attr("title_bar_button_border_color"),
                                         "border_width"_a = self.attr("title_bar_button_border_width"),
                                         "font"_a = font(s, 11), "command"_a = click);
        }).attr("pack")("side"_a = side, "padx"_a = 10);
    };
    auto title_label = [&](const char* variable) {
        return make_widget(bar, [&] {
            return ctk.attr("CTkLabel")(bar, "textvariable"_a = self.attr(variable), "font"_a = font(s, 16),
                                        "fg_color"_a = "transparent");
        });
    };
    title_button("<", previous_month, "left");
    title_label("month_label").attr("pack")("side"_a = "left", "fill"_a = "x", "expand"_a = true);
    title_label("year_label").attr("pack")("side"_a = "left", "fill"_a = "x");
    title_button(">", next_month, "right");
    bar.attr("place")("relx"_a = 0.5, "rely"_a = 0.02, "anchor"_a = "n", "relheight"_a = 0.18, "relwidth"_a = 0.95);
}

void create_calendar_frame(const Scope& s, py::handle self) {
    py::object frame = make_widget(self.attr("content_frame"), [&] {
        return s.global("ctk").attr("CTkFrame")(self.attr("content_frame"), "fg_color"_a = self.attr("calendar_fg_color"),
                                                "corner_radius"_a = self.attr("calendar_corner_radius"),
                                                "border_width"_a = self.attr("calendar_border_width"),
                                                "border_color"_a = self.attr("calendar_border_color"));
    });
    py::object weeks = s.global("calendar").attr("monthcalendar")(self.attr("year"), self.attr("month"));
    frame.attr("columnconfigure")(py::make_tuple(0, 1, 2, 3, 4, 5, 6), "weight"_a = 1, "uniform"_a = "b");
    frame.attr("rowconfigure")(s.global("tuple")(s.global("range")(s.global("len")(weeks))), "weight"_a = 1,
                               "uniform"_a = "b");
    // The buttons of the previous build go; its labels stay in their frame.
    for (py::handle key : s.global("list")(self.attr("data")[buttons])) {
        self.attr("data")[buttons][key].attr("destroy")();
        self.attr("data")[buttons].attr("__delitem__")(key);
    }
    for (py::handle row : s.global("range")(s.global("len")(weeks))) {
        for (py::handle column : s.global("range")(7)) {
            py::object day = weeks[row][column];
            if (day.not_equal(py::int_(0))) self.attr("setup_label_normal")(frame, day, row, column);
        }
    }
    frame.attr("place")("relx"_a = 0.5, "rely"_a = 0.97, "anchor"_a = "s", "relheight"_a = 0.75, "relwidth"_a = 0.95);
}

void change_month(const Scope& s, py::handle self, py::handle amount) {
    hv::iadd(self, "month", amount);
    py::object month = self.attr("month");
    if (month < py::int_(1)) {
        hv::isub(self, "year", py::int_(1));
        self.attr("month") = 12;
        self.attr("day") = 1;
    } else if (month > py::int_(12)) {
        hv::iadd(self, "year", py::int_(1));
        self.attr("month") = 1;
        self.attr("day") = 1;
    }
    self.attr("month_label").attr("set")(s.global("calendar").attr("month_name")[self.attr("month")]);
    self.attr("year_label").attr("set")(self.attr("year"));
    self.attr("create_calendar_frame")();
}

py::object current_date(const Scope& s, py::handle) {
    py::object date = s.str(s.global("datetime").attr("now")()).attr("split")()[py::int_(0)];
    auto [year, month, day] = hv::unpack<3>(date.attr("split")("-"));
    return py::make_tuple(s.global("int")(day), s.global("int")(month), s.global("int")(year));
}

py::object date_is_today(const Scope& s, py::handle self, py::handle date) {
    if (!py::type::of(date).is(py::type::of(py::tuple())))  // exactly a tuple, not a subclass
        throw py::type_error(s.qualname() + "() argument 'date' must be tuple, not " +
                             py::str(py::type::of(date).attr("__name__")).cast<std::string>());
    for (int i : {2, 1, 0}) {
        py::object given = date[py::int_(i)];
        if (!given.equal(self.attr("today")[py::int_(i)])) return py::bool_(false);
    }
    return py::bool_(true);
}

void set_day(const Scope& s, py::handle self, py::handle yy, py::handle mm, py::handle dd) {
    self.attr("data")[picked] = py::dict();
    self.attr("data")[picked]["年"] = yy;
    self.attr("data")[picked]["月"] = mm;
    self.attr("data")[picked]["日"] = dd;
    s.global("print")(self.attr("data")[picked]);
    for (py::handle key : s.global("list")(self.attr("data")[buttons]))
        self.attr("data")[buttons][key].attr("configure")("fg_color"_a = "#2b2b2b");
    self.attr("data")[buttons][py::str("{}-{}-{}").format(yy, mm, dd)].attr("configure")("fg_color"_a = "#9D9D9D");
}

py::object get_day(const Scope&, py::handle self) { return self.attr("data")[picked]; }

// The day button's command: self.set_day(self.year, self.month, day).
void pick_day(const Scope& s) {
    py::object self = s.closure()[py::int_(0)];
    self.attr("set_day")(self.attr("year"), self.attr("month"), s.closure()[py::int_(1)]);
}

void setup_label_normal(const Scope& s, py::handle self, py::handle frame, py::handle day, py::handle row,
                        py::handle column) {
    py::object ctk = s.global("ctk");
    auto place = [&](py::handle cell) {
        cell.attr("grid")("row"_a = row, "column"_a = column, "sticky"_a = "nsew",
                          "padx"_a = self.attr("calendar_label_pad"), "pady"_a = self.attr("calendar_label_pad"));
    };
    // A day of thousands of characters would make a cell too large to show.
    auto judge = [&](py::handle cell, hv::MappingEntry* registered) {
        hv::refuse_if_too_large(
            cell, "the day",
            [&] {
                cell.attr("destroy")();
                if (registered) registered->restore();
            },
            true);
    };
    if (!self.attr("today_fg_color").is_none() &&
        hv::truth(self.attr("date_is_today")(py::make_tuple(day, self.attr("month"), self.attr("year"))))) {
        py::object cell = make_widget(frame, [&] {
            return ctk.attr("CTkLabel")(frame, "text"_a = s.str(day), "corner_radius"_a = 5,
                                        "fg_color"_a = self.attr("today_fg_color"), "font"_a = font(s, 11, false),
                                        "text_color"_a = self.attr("today_text_color"));
        });
        place(cell);
        judge(cell, nullptr);
    } else if (hv::truth(self.attr("calendar_button"))) {
        py::object click = s.nested("<lambda>", {}, pick_day, py::make_tuple(self, day));
        py::object cell = make_widget(frame, [&] {
            return ctk.attr("CTkButton")(frame, "text"_a = s.str(day), "corner_radius"_a = 5, "command"_a = click,
                                         "fg_color"_a = "#2b2b2b", "font"_a = font(s, 11, false),
                                         "text_color"_a = self.attr("calendar_text_color"));
        });
        py::object key = py::str("{}-{}-{}").format(self.attr("year"), self.attr("month"), day);
        hv::MappingEntry registered(self.attr("data")[buttons], key);
        self.attr("data")[buttons][key] = cell;
        place(self.attr("data")[buttons][key]);
        judge(cell, &registered);
    } else {
        py::object cell = make_widget(frame, [&] {
            return ctk.attr("CTkLabel")(frame, "text"_a = s.str(day), "corner_radius"_a = 5,
                                        "fg_color"_a = self.attr("calendar_text_fg_color"),
                                        "font"_a = font(s, 11, false), "text_color"_a = self.attr("calendar_text_color"));
        });
        place(cell);
        judge(cell, nullptr);
    }
}

}  // namespace

py::object make_CTkCalendar(py::handle g, const std::string& outer) {
    const py::object None = py::none();
    py::object ctk = py::reinterpret_borrow<py::dict>(g)["ctk"];
    hv::ClassBuilder cls(g, outer + ".CTkCalendar", py::make_tuple(ctk.attr("CTkFrame")));
    cls.doc("\n        Calendar widget to display certain month, each day is rendered as Label.\n\n"
            "        If you do not define today_fg_color and today_text_color it will be rendered as other days\n"
            "        ")
        .def_with_class("__init__",
                        {"self", "master", {"today_fg_color", None}, {"today_text_color", None},
                         {"width", py::int_(250)}, {"height", py::int_(250)}, {"fg_color", None},
                         {"corner_radius", py::int_(8)}, {"border_width", None}, {"border_color", None},
                         {"bg_color", py::str("transparent")}, {"background_corner_colors", None},
                         {"title_bar_fg_color", None}, {"title_bar_border_width", None},
                         {"title_bar_border_color", None}, {"title_bar_corner_radius", None},
                         {"title_bar_text_color", None}, {"title_bar_button_fg_color", None},
                         {"title_bar_button_hover_color", None}, {"title_bar_button_text_color", None},
                         {"title_bar_button_border_width", None}, {"title_bar_button_border_color", None},
                         {"calendar_fg_color", None}, {"calendar_border_width", None},
                         {"calendar_border_color", None}, {"calendar_corner_radius", None},
                         {"calendar_text_color", None}, {"calendar_text_fg_color", None},
                         {"calendar_label_pad", py::int_(1)}, {"calendar_button", py::bool_(false)}},
                        init)
        .def("setup_header_frame", {"self"}, setup_header_frame)
        .def("create_calendar_frame", {"self"}, create_calendar_frame)
        .def("change_month", {"self", "amount"}, change_month)
        .def("current_date", {"self"}, current_date, py::dict("return"_a = "tuple[int, int, int]"))
        .def("date_is_today", {"self", "date"}, date_is_today, py::dict("date"_a = "tuple", "return"_a = "bool"))
        .def("set_day", {"self", "yy", "mm", "dd"}, set_day)
        .def("get_day", {"self"}, get_day)
        .def("setup_label_normal", {"self", "frame", "day", "row", "column"}, setup_label_normal);
    return cls.build();
}

}  // namespace pandrel
