// CTkCalendar: a month calendar date picker that is itself a customtkinter frame.
//
// The calendar is a frame holding content_frame, in which a title bar ("<",
// month name, year, ">") sits above the day grid of the shown month. Each
// month change builds a new grid frame placed over the earlier ones (they stay
// in content_frame with their labels). With calendar_button true the ordinary
// days are buttons, kept in data["日曆按鈕"] under keys such as "2025-3-5";
// clicking one stores the date in data["設定日期"] and marks it grey.
//
// The day and title-bar commands are native functions that capture the
// calendar; they are GC-tracked, so a destroyed calendar whose registry still
// holds its buttons is freed by the cycle collector.
#include "kit.hpp"

#include "../core/widgets.hpp"

#include <array>

namespace pandrel {
namespace {

constexpr const char* kButtons = "日曆按鈕";
constexpr const char* kPicked = "設定日期";
constexpr const char* kPlain = "#2b2b2b";
constexpr const char* kMarked = "#9D9D9D";

py::object registry(py::handle self) { return hv::getitem(self.attr("data"), py::str(kButtons)); }

// f"{year}-{month}-{day}": each part through format(part, "").
py::object date_key(py::handle year, py::handle month, py::handle day) {
    py::str empty("");
    py::str dash("-");
    py::list parts;
    for (py::handle part : {year, month, day}) {
        if (parts.size() > 0) parts.append(dash);
        parts.append(PyUnicode_CheckExact(part.ptr()) ? py::reinterpret_borrow<py::object>(part)
                                                      : hv::steal(PyObject_Format(part.ptr(), empty.ptr())));
    }
    return hv::steal(PyUnicode_Join(empty.ptr(), parts.ptr()));
}


// self.<name> += amount
void add_to(py::handle self, const char* name, py::handle amount) {
    py::object current = self.attr(name);
    self.attr(name) = hv::steal(PyNumber_InPlaceAdd(current.ptr(), amount.ptr()));
}

bool compare(py::handle a, py::handle b, int op) {
    const int result = PyObject_RichCompareBool(a.ptr(), b.ptr(), op);
    if (result < 0) throw py::error_already_set();
    return result == 1;
}

// A day cell with a text of thousands of characters would be too large for the
// window system, which ends the process when the grid is shown: refused first.
// The grid frame is placed at a fixed share of the calendar, so it does not
// grow with its days; the cell and what is inside it are what can outgrow X.
// A day's cell is given its text in an 11-pixel font and a corner radius of
// 5: a short text is all the measuring there is.
void refuse_if_too_large(py::handle cell, py::handle text) {
    hv::refuse_if_too_large(cell, hv::Given().length(2 * 5).text(text, 11), "the day",
                            [&] { cell.attr("destroy")(); });
}

py::object init(const hv::Args& a) {
    py::handle self = a["self"];
    self.attr("data") = py::dict();
    hv::setitem(self.attr("data"), py::str(kButtons), py::dict());
    self.attr("calendar_button") = a["calendar_button"];

    // A base frame that the toolkit refuses half-way is destroyed again.
    py::handle master = a["master"];
    py::object base_init = a.super().attr("__init__");
    hv::make_widget(master, [&] {
        return base_init("master"_a = master, "width"_a = a["width"], "height"_a = a["height"],
                         "fg_color"_a = a["fg_color"], "corner_radius"_a = a["corner_radius"],
                         "border_width"_a = a["border_width"], "border_color"_a = a["border_color"],
                         "bg_color"_a = a["bg_color"], "background_corner_colors"_a = a["background_corner_colors"]);
    });

    self.attr("today_text_color") = a["today_text_color"];
    self.attr("today_fg_color") = a["today_fg_color"];
    self.attr("today") = self.attr("current_date")();
    py::object today = self.attr("today");
    py::object everything = hv::steal(PySlice_New(nullptr, nullptr, nullptr));
    auto [day, month, year] = hv::unpack<3>(hv::steal(PyObject_GetItem(today.ptr(), everything.ptr())));
    self.attr("day") = day;
    self.attr("month") = month;
    self.attr("year") = year;
    self.attr("labels_by_date") = py::dict();

    py::object string_var = a.global("ctk").attr("StringVar");
    py::object month_name = hv::getitem(a.global("calendar").attr("month_name"), self.attr("month"));
    self.attr("month_label") = string_var("value"_a = month_name);
    py::object int_var = a.global("ctk").attr("IntVar");
    self.attr("year_label") = int_var("value"_a = self.attr("year"));

    for (const char* name : {"title_bar_fg_color", "title_bar_border_width", "title_bar_border_color",
                             "title_bar_text_color", "title_bar_button_fg_color", "title_bar_button_hover_color",
                             "title_bar_button_text_color", "title_bar_button_border_width",
                             "title_bar_button_border_color", "title_bar_corner_radius", "calendar_fg_color",
                             "calendar_border_width", "calendar_border_color", "calendar_corner_radius",
                             "calendar_text_fg_color", "calendar_text_color", "calendar_label_pad"})
        self.attr(name) = a[name];

    py::object make_frame = a.global("ctk").attr("CTkFrame");
    self.attr("content_frame") = hv::make_widget(self, [&] {
        return make_frame(self, "fg_color"_a = "transparent", "width"_a = a["width"], "height"_a = a["height"]);
    });
    py::int_ three(3);
    py::object padx = hv::div(a["corner_radius"], three);
    py::object pady = hv::div(a["corner_radius"], three);
    self.attr("content_frame").attr("pack")("expand"_a = true, "fill"_a = "both", "padx"_a = padx, "pady"_a = pady);

    self.attr("setup_header_frame")();
    self.attr("create_calendar_frame")();
    return py::none();
}

py::object previous_month(const hv::Args& a) {
    a.state().attr("change_month")(-1);
    return py::none();
}

py::object next_month(const hv::Args& a) {
    a.state().attr("change_month")(1);
    return py::none();
}

// One of the two title-bar buttons, packed.
void title_button(const hv::Args& a, py::handle bar, const char* text, hv::Body command, const char* side) {
    py::handle self = a["self"];
    py::object make_button = a.global("ctk").attr("CTkButton");
    py::object font = a.global("ctk").attr("CTkFont")("Arial", 11, "bold");
    py::object click = hv::make_function({"<lambda>", a.qualname() + ".<locals>.<lambda>", {}, command}, a.globals(),
                                         py::reinterpret_borrow<py::object>(self));
    py::object button = hv::make_widget(bar, [&] {
        return make_button(bar, "text"_a = text, "width"_a = 25, "fg_color"_a = self.attr("title_bar_button_fg_color"),
                           "hover_color"_a = self.attr("title_bar_button_hover_color"),
                           "border_color"_a = self.attr("title_bar_button_border_color"),
                           "border_width"_a = self.attr("title_bar_button_border_width"), "font"_a = font,
                           "command"_a = click);
    });
    button.attr("pack")("side"_a = side, "padx"_a = 10);
}

void title_label(const hv::Args& a, py::handle bar, const char* variable, bool expand) {
    py::handle self = a["self"];
    py::object make_label = a.global("ctk").attr("CTkLabel");
    py::object font = a.global("ctk").attr("CTkFont")("Arial", 16, "bold");
    py::object label = hv::make_widget(bar, [&] {
        return make_label(bar, "textvariable"_a = self.attr(variable), "font"_a = font, "fg_color"_a = "transparent");
    });
    if (expand)
        label.attr("pack")("side"_a = "left", "fill"_a = "x", "expand"_a = true);
    else
        label.attr("pack")("side"_a = "left", "fill"_a = "x");
}

py::object setup_header_frame(const hv::Args& a) {
    py::handle self = a["self"];
    py::object make_frame = a.global("ctk").attr("CTkFrame");
    py::object content = self.attr("content_frame");
    py::object bar = hv::make_widget(content, [&] {
        return make_frame(content, "fg_color"_a = self.attr("title_bar_fg_color"),
                          "corner_radius"_a = self.attr("title_bar_corner_radius"),
                          "border_color"_a = self.attr("title_bar_border_color"),
                          "border_width"_a = self.attr("title_bar_border_width"));
    });
    title_button(a, bar, "<", previous_month, "left");
    title_label(a, bar, "month_label", true);
    title_label(a, bar, "year_label", false);
    title_button(a, bar, ">", next_month, "right");
    bar.attr("place")("relx"_a = 0.5, "rely"_a = 0.02, "anchor"_a = "n", "relheight"_a = 0.18, "relwidth"_a = 0.95);
    return py::none();
}

py::object create_calendar_frame(const hv::Args& a) {
    py::handle self = a["self"];
    py::object make_frame = a.global("ctk").attr("CTkFrame");
    py::object content = self.attr("content_frame");
    py::object frame = hv::make_widget(content, [&] {
        return make_frame(content, "fg_color"_a = self.attr("calendar_fg_color"),
                          "corner_radius"_a = self.attr("calendar_corner_radius"),
                          "border_width"_a = self.attr("calendar_border_width"),
                          "border_color"_a = self.attr("calendar_border_color"));
    });
    py::object weeks = a.global("calendar").attr("monthcalendar")(self.attr("year"), self.attr("month"));
    frame.attr("columnconfigure")(py::make_tuple(0, 1, 2, 3, 4, 5, 6), "weight"_a = 1, "uniform"_a = "b");
    py::object rows = a.call("tuple", a.call("range", a.call("len", weeks)));
    frame.attr("rowconfigure")(rows, "weight"_a = 1, "uniform"_a = "b");

    // The buttons of the previous build go; its labels stay in their frame.
    py::list keys(registry(self));
    for (py::handle key : keys) {
        hv::getitem(registry(self), key).attr("destroy")();
        if (PyObject_DelItem(registry(self).ptr(), key.ptr()) < 0) throw py::error_already_set();
    }

    py::object count = a.call("len", weeks);
    const Py_ssize_t n = PyNumber_AsSsize_t(count.ptr(), PyExc_OverflowError);
    if (n == -1 && PyErr_Occurred()) throw py::error_already_set();
    py::int_ zero(0);
    for (Py_ssize_t row = 0; row < n; ++row) {
        for (Py_ssize_t column = 0; column < 7; ++column) {
            py::int_ r(row), c(column);
            py::object day = hv::getitem(hv::getitem(weeks, r), c);
            if (!hv::not_equals(day, zero)) continue;
            self.attr("setup_label_normal")(frame, day, r, c);
        }
    }
    frame.attr("place")("relx"_a = 0.5, "rely"_a = 0.97, "anchor"_a = "s", "relheight"_a = 0.75, "relwidth"_a = 0.95);
    return py::none();
}

py::object change_month(const hv::Args& a) {
    py::handle self = a["self"];
    add_to(self, "month", a["amount"]);
    py::int_ one(1);
    if (compare(self.attr("month"), one, Py_LT)) {
        py::int_ minus_one(-1);
        add_to(self, "year", minus_one);
        self.attr("month") = py::int_(12);
        self.attr("day") = one;
    } else if (compare(self.attr("month"), py::int_(12), Py_GT)) {
        add_to(self, "year", one);
        self.attr("month") = one;
        self.attr("day") = one;
    }
    py::object set_month = self.attr("month_label").attr("set");
    set_month(hv::getitem(a.global("calendar").attr("month_name"), self.attr("month")));
    py::object set_year = self.attr("year_label").attr("set");
    set_year(self.attr("year"));
    self.attr("create_calendar_frame")();
    return py::none();
}

py::object current_date(const hv::Args& a) {
    py::object now = a.global("datetime").attr("now")();
    py::object text = a.str(now);
    py::object date = hv::getitem(text.attr("split")(), py::int_(0));
    auto [year, month, day] = hv::unpack<3>(date.attr("split")("-"));
    py::object d = a.call("int", day);
    py::object m = a.call("int", month);
    py::object y = a.call("int", year);
    return py::make_tuple(d, m, y);
}

py::object date_is_today(const hv::Args& a) {
    py::handle date = a["date"];
    if (!PyTuple_CheckExact(date.ptr()))
        hv::raise(PyExc_TypeError, a.qualname() + "() argument 'date' must be tuple, not " +
                                       Py_TYPE(date.ptr())->tp_name);
    for (long i : {2L, 1L, 0L}) {
        py::int_ at(i);
        py::object given = hv::getitem(date, at);
        if (!hv::equals(given, hv::getitem(a["self"].attr("today"), at))) return py::bool_(false);
    }
    return py::bool_(true);
}

py::object set_day(const hv::Args& a) {
    py::handle self = a["self"];
    py::str picked(kPicked);
    hv::setitem(self.attr("data"), picked, py::dict());
    hv::setitem(hv::getitem(self.attr("data"), picked), py::str("年"), a["yy"]);
    hv::setitem(hv::getitem(self.attr("data"), picked), py::str("月"), a["mm"]);
    hv::setitem(hv::getitem(self.attr("data"), picked), py::str("日"), a["dd"]);
    a.print({hv::getitem(self.attr("data"), picked)});

    py::list keys(registry(self));
    for (py::handle key : keys) hv::getitem(registry(self), key).attr("configure")("fg_color"_a = kPlain);
    py::object key = date_key(a["yy"], a["mm"], a["dd"]);
    hv::getitem(registry(self), key).attr("configure")("fg_color"_a = kMarked);
    return py::none();
}

py::object get_day(const hv::Args& a) { return hv::getitem(a["self"].attr("data"), py::str(kPicked)); }

// The day button's command: self.set_day(self.year, self.month, day).
py::object pick_day(const hv::Args& a) {
    py::handle self = PyTuple_GET_ITEM(a.state().ptr(), 0);
    py::handle day = PyTuple_GET_ITEM(a.state().ptr(), 1);
    py::object set = self.attr("set_day");
    set(self.attr("year"), self.attr("month"), day);
    return py::none();
}

py::object setup_label_normal(const hv::Args& a) {
    py::handle self = a["self"];
    py::handle frame = a["frame"];
    py::handle day = a["day"];
    auto place = [&](py::handle cell) {
        cell.attr("grid")("row"_a = a["row"], "column"_a = a["column"], "sticky"_a = "nsew",
                          "padx"_a = self.attr("calendar_label_pad"), "pady"_a = self.attr("calendar_label_pad"));
    };

    bool today = false;
    if (!self.attr("today_fg_color").is_none()) {
        py::object answer = self.attr("date_is_today")(py::make_tuple(day, self.attr("month"), self.attr("year")));
        const int truth = PyObject_IsTrue(answer.ptr());
        if (truth < 0) throw py::error_already_set();
        today = truth == 1;
    }
    if (today) {
        py::object make_label = a.global("ctk").attr("CTkLabel");
        py::object text = a.str(day);
        py::object font = a.global("ctk").attr("CTkFont")("Arial", 11);
        py::object cell = hv::make_widget(frame, [&] {
            return make_label(frame, "text"_a = text, "corner_radius"_a = 5, "fg_color"_a = self.attr("today_fg_color"),
                              "font"_a = font, "text_color"_a = self.attr("today_text_color"));
        });
        refuse_if_too_large(cell, text);
        place(cell);
        return py::none();
    }
    const int clickable = PyObject_IsTrue(self.attr("calendar_button").ptr());
    if (clickable < 0) throw py::error_already_set();
    if (clickable == 1) {
        py::object make_button = a.global("ctk").attr("CTkButton");
        py::object text = a.str(day);
        py::object click =
            hv::make_function({"<lambda>", a.qualname() + ".<locals>.<lambda>", {}, pick_day}, a.globals(),
                              py::make_tuple(self, day));
        py::object font = a.global("ctk").attr("CTkFont")("Arial", 11);
        py::object cell = hv::make_widget(frame, [&] {
            return make_button(frame, "text"_a = text, "corner_radius"_a = 5, "command"_a = click,
                               "fg_color"_a = kPlain, "font"_a = font,
                               "text_color"_a = self.attr("calendar_text_color"));
        });
        refuse_if_too_large(cell, text);
        py::object key = date_key(self.attr("year"), self.attr("month"), day);
        hv::setitem(registry(self), key, cell);
        place(hv::getitem(registry(self), key));
        return py::none();
    }

    py::object make_label = a.global("ctk").attr("CTkLabel");
    py::object text = a.str(day);
    py::object font = a.global("ctk").attr("CTkFont")("Arial", 11);
    py::object cell = hv::make_widget(frame, [&] {
        return make_label(frame, "text"_a = text, "corner_radius"_a = 5,
                          "fg_color"_a = self.attr("calendar_text_fg_color"), "font"_a = font,
                          "text_color"_a = self.attr("calendar_text_color"));
    });
    refuse_if_too_large(cell, text);
    place(cell);
    return py::none();
}

}  // namespace

py::object make_CTkCalendar(py::handle g, const std::string& outer) {
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
