// Set_Table: a column of named settings, one entry field each.
//
// Row k has its bold label at (entry_x_init, entry_y) and, when editable, a
// 200x30 entry field 120 pixels to the right; rows are 31 pixels apart. Rows
// are kept by str(name): entry_name holds the row records
// [index, entry_x, state, math_calculate_multiplication, label] and entry the
// fields of the editable rows.
#include "kit.hpp"

namespace pandrel {
namespace {

void init(const Scope&, py::handle self, py::handle frame) {
    self.attr("entry_name") = py::dict();
    self.attr("entry_x_init") = 10;
    self.attr("entry_x") = self.attr("entry_x_init");
    self.attr("entry_y_init") = 1;
    // The first row starts 10 pixels down: entry_y starts from entry_x_init.
    self.attr("entry_y") = self.attr("entry_x_init");
    self.attr("frame") = frame;
    self.attr("entry") = py::dict();
    self.attr("N") = 0;
    self.attr("width_unit") = 200;
}

void add_entry_name(const Scope& s, py::handle self, py::handle name, py::handle state,
                    py::handle math_calculate_multiplication, py::handle text) {
    py::object label = make_widget(self.attr("frame"), [&] {
        return s.global("customtkinter").attr("CTkLabel")(self.attr("frame"), "text"_a = s.str(name),
                                                          "font"_a = bold_font(s, 15));
    });
    // A name of thousands of characters would make a label too wide to show.
    hv::refuse_if_made_too_large(label, "the setting's name");
    py::list record;
    for (py::handle item : {py::handle(self.attr("N")), py::handle(self.attr("entry_x")), state,
                            math_calculate_multiplication, py::handle(label)})
        record.append(item);
    self.attr("entry_name")[s.str(name)] = record;
    label.attr("place")("x"_a = self.attr("entry_x_init"), "y"_a = self.attr("entry_y"));

    py::object stored_state = self.attr("entry_name")[s.str(name)][py::int_(2)];
    if (stored_state.equal(py::str("normal"))) {
        py::object entry = make_widget(self.attr("frame"), [&] {
            return s.global("customtkinter").attr("CTkEntry")(self.attr("frame"), "placeholder_text"_a = text,
                                                              "width"_a = self.attr("width_unit"), "height"_a = 30);
        });
        self.attr("entry")[s.str(name)] = entry;
        py::object x = self.attr("entry_x_init");
        entry.attr("place")("x"_a = x + py::int_(120), "y"_a = self.attr("entry_y"));
    }
    hv::iadd(self, "entry_y", py::int_(31));
    hv::iadd(self, "N", py::int_(1));
}

py::object get(const Scope& s, py::handle self, py::handle name) {
    return self.attr("entry")[s.str(name)].attr("get")();
}

void set(const Scope& s, py::handle self, py::handle name, py::handle text) {
    py::object field = self.attr("entry")[s.str(name)];
    // A value that cannot be turned into text leaves the field as it was.
    py::object kept = field.attr("get")();
    field.attr("delete")("0", s.global("tkinter").attr("END"));
    try {
        self.attr("entry")[s.str(name)].attr("insert")(0, s.str(text));
    } catch (py::error_already_set&) {
        field.attr("insert")(0, kept);
        throw;
    }
}

void delete_all(const Scope& s, py::handle self) {
    for (py::handle k : self.attr("entry")) self.attr("entry")[k].attr("delete")("0", s.global("tkinter").attr("END"));
}

}  // namespace

py::object make_Set_Table(py::handle g, const std::string& outer) {
    hv::ClassBuilder cls(g, outer + ".Set_Table");
    cls.def("__init__", {"self", "frame"}, init)
        .def("add_entry_name",
             {"self", "name", {"state", py::str("normal")}, {"math_calculate_multiplication", py::list()},
              {"text", py::str("")}},
             add_entry_name)
        .def("get", {"self", "name"}, get)
        .def("delete_all", {"self"}, delete_all)
        .def("set", {"self", "name", "text"}, set);
    return cls.build();
}

}  // namespace pandrel
