// Set_Button: command buttons kept by name.
//
// Every button lives in button_data under str(name) as a small dictionary of
// its widgets ("CTkButton", and "CTkImage" for image buttons). Names are
// converted with str on storing and on every lookup, so 5 and "5" are one name.
#include "kit.hpp"

namespace pandrel {
namespace {

const char* const too_large = "the button (its text or image)";

// The command of a button made without one.
void no_command(const Scope& s) { s.global("print")("按鈕沒有定義觸發環境"); }

void init(const Scope&, py::handle self) { self.attr("button_data") = py::dict(); }

void add_button(const Scope& s, py::handle self, py::handle frame, py::handle name, py::handle image_path,
                py::handle size, py::handle text, py::handle row, py::handle column, py::handle padx, py::handle pady,
                py::handle sticky, py::handle corner_radius, py::handle command, py::handle fg_color, py::handle width,
                py::handle font) {
    py::object button_name = py::reinterpret_borrow<py::object>(name);
    if (button_name.equal(py::none())) button_name = s.str(s.global("time").attr("time")());
    // The entry is replaced first; an earlier button of this name stays on screen.
    py::object key = s.str(button_name);
    hv::MappingEntry before(self.attr("button_data"), key);
    self.attr("button_data")[key] = py::dict();
    py::object button_event = py::reinterpret_borrow<py::object>(command);
    if (button_event.equal(py::none())) button_event = s.nested("button_event", {}, no_command, py::none());

    py::object customtkinter = s.global("customtkinter");
    if (image_path.not_equal(py::none())) {
        py::object light = s.global("Image").attr("open")(image_path);
        py::object dark = s.global("Image").attr("open")(image_path);
        self.attr("button_data")[s.str(button_name)]["CTkImage"] =
            customtkinter.attr("CTkImage")("light_image"_a = light, "dark_image"_a = dark, "size"_a = size);
        py::object image = self.attr("button_data")[s.str(button_name)]["CTkImage"];
        py::object made = make_widget(frame, [&] {
            return customtkinter.attr("CTkButton")(frame, "image"_a = image, "text"_a = text,
                                                   "command"_a = button_event, "width"_a = width,
                                                   "fg_color"_a = fg_color, "corner_radius"_a = corner_radius);
        });
        self.attr("button_data")[s.str(button_name)]["CTkButton"] = made;
    } else {
        py::object text_font = py::reinterpret_borrow<py::object>(font);
        if (text_font.equal(py::none())) text_font = bold_font(s, 15);
        py::object made = make_widget(frame, [&] {
            return customtkinter.attr("CTkButton")(frame, "text"_a = text, "command"_a = button_event,
                                                   "width"_a = width, "corner_radius"_a = corner_radius,
                                                   "font"_a = text_font);
        });
        self.attr("button_data")[s.str(button_name)]["CTkButton"] = made;
    }

    py::object button = self.attr("button_data")[s.str(button_name)]["CTkButton"];
    if (padx.equal(py::none()) && pady.equal(py::none()))
        button.attr("grid")("row"_a = row, "column"_a = column, "sticky"_a = sticky);
    else if (padx.not_equal(py::none()) && pady.equal(py::none()))
        button.attr("grid")("row"_a = row, "column"_a = column, "padx"_a = padx, "sticky"_a = sticky);
    else if (padx.equal(py::none()) && pady.not_equal(py::none()))
        button.attr("grid")("row"_a = row, "column"_a = column, "pady"_a = pady, "sticky"_a = sticky);
    else if (padx.not_equal(py::none()) && pady.not_equal(py::none()))
        button.attr("grid")("row"_a = row, "column"_a = column, "padx"_a = padx, "pady"_a = pady, "sticky"_a = sticky);
    // Too large a text, image or padding for the window system, in the button
    // or in the frame it grows: the button goes, its name holds what it held.
    hv::refuse_if_too_large(
        button, too_large,
        [&] {
            button.attr("destroy")();
            before.restore();
        },
        true);
}

py::object cget(const Scope& s, py::handle self, py::handle button_name, py::handle data) {
    return self.attr("button_data")[s.str(button_name)]["CTkButton"].attr("cget")(s.str(data));
}

void configure(const Scope& s, py::handle self, py::handle button_name, py::handle text, py::handle state) {
    if (text.not_equal(py::none())) {
        py::object button = self.attr("button_data")[s.str(button_name)]["CTkButton"];
        py::object shown = button.attr("cget")("text");
        button.attr("configure")("text"_a = s.str(text));
        hv::refuse_if_too_large(button, too_large, [&] { button.attr("configure")("text"_a = shown); });
    } else if (state.not_equal(py::none())) {
        self.attr("button_data")[s.str(button_name)]["CTkButton"].attr("configure")("state"_a = s.str(state));
    }
}

}  // namespace

py::object make_Set_Button(py::handle g, const std::string& outer) {
    const py::object None = py::none();
    hv::ClassBuilder cls(g, outer + ".Set_Button");
    cls.def("__init__", {"self"}, init)
        .def("add_button",
             {"self", "frame", {"button_name", None}, {"image_path", None}, {"size", py::make_tuple(20, 20)},
              {"text", py::str("")}, {"row", py::int_(0)}, {"column", py::int_(0)}, {"padx", None}, {"pady", None},
              {"sticky", py::str("ne")}, {"corner_radius", py::int_(6)}, {"button_event", None},
              {"fg_color", py::str("#2b2b2b")}, {"width", py::int_(20)}, {"font", None}},
             add_button)
        .def("cget", {"self", "button_name", "data"}, cget)
        .def("configure", {"self", "button_name", {"text", None}, {"state", None}}, configure);
    return cls.build();
}

}  // namespace pandrel
