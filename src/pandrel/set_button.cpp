// Set_Button: command buttons kept by name.
//
// Every button lives in button_data under str(name) as a small dictionary of
// its widgets ("CTkButton", and "CTkImage" for image buttons). Names are
// converted with str on storing and on every lookup, so 5 and "5" are one name.
#include "kit.hpp"

#include "../core/widgets.hpp"

#include <cmath>

namespace pandrel {
namespace {

bool is_none(py::handle value) { return hv::equals(value, Py_None); }
bool is_not_none(py::handle value) { return hv::not_equals(value, Py_None); }

const char* const kTooLarge = "the button (its text or image)";

// The button stored under str(name): button_data[str(name)]["CTkButton"].
py::object button(const hv::Args& a, py::handle self, py::handle name) {
    py::object entry = hv::getitem(self.attr("button_data"), a.str(name));
    return hv::getitem(entry, py::str("CTkButton"));
}

// A button too large for the window system (a text of thousands of characters,
// a huge image) would end the process when shown; it is refused before it is
// stored or placed, and its name holds again what it held before.
void refuse_if_too_large(py::handle made, const hv::Given& given, hv::MappingEntry& name_before) {
    hv::refuse_if_too_large(made, given, kTooLarge, [&] {
        made.attr("destroy")();
        name_before.restore();
    });
}

// The command of a button made without one.
py::object no_command(const hv::Args& a) {
    a.print({py::str("按鈕沒有定義觸發環境")});
    return py::none();
}

py::object init(const hv::Args& a) {
    a["self"].attr("button_data") = py::dict();
    return py::none();
}

py::object add_button(const hv::Args& a) {
    py::handle self = a["self"];
    py::handle frame = a["frame"];
    py::object button_name = py::reinterpret_borrow<py::object>(a["button_name"]);
    py::handle image_path = a["image_path"];
    py::handle text = a["text"];
    py::handle row = a["row"];
    py::handle column = a["column"];
    py::handle padx = a["padx"];
    py::handle pady = a["pady"];
    py::handle sticky = a["sticky"];
    py::handle corner_radius = a["corner_radius"];
    py::object button_event = py::reinterpret_borrow<py::object>(a["button_event"]);
    py::handle width = a["width"];
    py::object font = py::reinterpret_borrow<py::object>(a["font"]);

    if (is_none(button_name)) button_name = a.str(a.global("time").attr("time")());
    const py::object key = a.str(button_name);
    // The entry is replaced first; an earlier button of this name stays on screen.
    py::object button_data = self.attr("button_data");
    hv::MappingEntry name_before(button_data, key);
    hv::setitem(button_data, key, py::dict());
    const py::object entry = hv::getitem(button_data, key);

    if (is_none(button_event)) {
        hv::FunctionDecl decl{"button_event", a.qualname() + ".<locals>.button_event", {}, no_command};
        button_event = hv::make_function(std::move(decl), a.globals());
    }

    if (is_not_none(image_path)) {
        // One opened image for the light mode and one for the dark mode.
        py::object make_image = a.global("customtkinter").attr("CTkImage");
        py::object light = a.global("Image").attr("open")(image_path);
        py::object dark = a.global("Image").attr("open")(image_path);
        entry["CTkImage"] = make_image("light_image"_a = light, "dark_image"_a = dark, "size"_a = a["size"]);
        py::object make_button = a.global("customtkinter").attr("CTkButton");
        py::object image = entry["CTkImage"];
        py::object made = hv::make_widget(frame, [&] {
            return make_button(frame, "image"_a = image, "text"_a = text, "command"_a = button_event,
                               "width"_a = width, "fg_color"_a = a["fg_color"], "corner_radius"_a = corner_radius);
        });
        // Its width, radius, text (in the theme's font) and image's sides.
        hv::Given given;
        py::object font_of = py::getattr(made, "cget", py::none());
        given.length(width).length(corner_radius).length(corner_radius);
        given.text(text, font_of.is_none() ? 0.0 : hv::font_pixels(font_of("font")));
        py::handle sides = a["size"];
        if (PyTuple_CheckExact(sides.ptr()) && PyTuple_GET_SIZE(sides.ptr()) == 2)
            given.length(PyTuple_GET_ITEM(sides.ptr(), 0)).length(PyTuple_GET_ITEM(sides.ptr(), 1));
        else
            given.length(HUGE_VAL);  // sides the image takes in some other way: measured
        refuse_if_too_large(made, given, name_before);
        entry["CTkButton"] = made;
    } else {
        if (is_none(font)) {
            font = a.global("customtkinter")
                       .attr("CTkFont")("family"_a = "Microsoft JhengHei", "size"_a = 15, "weight"_a = "bold");
        }
        py::object make_button = a.global("customtkinter").attr("CTkButton");
        py::object made = hv::make_widget(frame, [&] {
            return make_button(frame, "text"_a = text, "command"_a = button_event, "width"_a = width,
                               "corner_radius"_a = corner_radius, "font"_a = font);
        });
        hv::Given given;
        given.length(width).length(corner_radius).length(corner_radius).text(text, hv::font_pixels(font));
        refuse_if_too_large(made, given, name_before);
        entry["CTkButton"] = made;
    }

    py::object grid = hv::getitem(entry, py::str("CTkButton")).attr("grid");
    if (is_none(padx) && is_none(pady)) {
        grid("row"_a = row, "column"_a = column, "sticky"_a = sticky);
    } else if (is_not_none(padx) && is_none(pady)) {
        grid("row"_a = row, "column"_a = column, "padx"_a = padx, "sticky"_a = sticky);
    } else if (is_none(padx) && is_not_none(pady)) {
        grid("row"_a = row, "column"_a = column, "pady"_a = pady, "sticky"_a = sticky);
    } else if (is_not_none(padx) && is_not_none(pady)) {
        grid("row"_a = row, "column"_a = column, "padx"_a = padx, "pady"_a = pady, "sticky"_a = sticky);
    }
    return py::none();
}

py::object cget(const hv::Args& a) {
    py::object target = button(a, a["self"], a["button_name"]);
    return target.attr("cget")(a.str(a["data"]));
}

py::object configure(const hv::Args& a) {
    py::handle text = a["text"];
    py::handle state = a["state"];
    if (is_not_none(text)) {
        py::object target = button(a, a["self"], a["button_name"]);
        py::object before = target.attr("cget")("text");
        target.attr("configure")("text"_a = a.str(text));
        hv::refuse_if_too_large(target, kTooLarge, [&] { target.attr("configure")("text"_a = before); });
    } else if (is_not_none(state)) {
        py::object target = button(a, a["self"], a["button_name"]);
        target.attr("configure")("state"_a = a.str(state));
    }
    return py::none();
}

}  // namespace

py::object make_Set_Button(py::handle g, const std::string& outer) {
    const py::object none = py::none();
    hv::ClassBuilder cls(g, outer + ".Set_Button");
    cls.def("__init__", {"self"}, init)
        .def("add_button",
             {"self", "frame", {"button_name", none}, {"image_path", none}, {"size", py::make_tuple(20, 20)},
              {"text", py::str("")}, {"row", py::int_(0)}, {"column", py::int_(0)}, {"padx", none},
              {"pady", none}, {"sticky", py::str("ne")}, {"corner_radius", py::int_(6)}, {"button_event", none},
              {"fg_color", py::str("#2b2b2b")}, {"width", py::int_(20)}, {"font", none}},
             add_button)
        .def("cget", {"self", "button_name", "data"}, cget)
        .def("configure", {"self", "button_name", {"text", none}, {"state", none}}, configure);
    return cls.build();
}

}  // namespace pandrel
