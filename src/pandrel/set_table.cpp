// Set_Table: a column of named settings, one entry field each.
//
// Row k has its bold label at (entry_x_init, entry_y) and, when editable, a
// 200x30 entry field 120 pixels to the right; rows are 31 pixels apart. Rows
// are kept by str(name): entry_name holds the row records
// [index, entry_x, state, math_calculate_multiplication, label] and entry the
// fields of the editable rows.
#include "kit.hpp"

#include "../core/widgets.hpp"

namespace pandrel {
namespace {

// self.<name> += step
void advance(py::handle self, const char* name, long step) {
    py::object current = self.attr(name);
    py::int_ by(step);
    PyObject* next = PyNumber_InPlaceAdd(current.ptr(), by.ptr());
    if (next == nullptr) throw py::error_already_set();
    self.attr(name) = py::reinterpret_steal<py::object>(next);
}

// The entry field of the named row (KeyError when the row has none).
py::object field(const hv::Args& a, py::handle name) { return hv::getitem(a["self"].attr("entry"), a.str(name)); }

py::object init(const hv::Args& a) {
    py::handle self = a["self"];
    self.attr("entry_name") = py::dict();
    self.attr("entry_x_init") = py::int_(10);
    self.attr("entry_x") = self.attr("entry_x_init");
    self.attr("entry_y_init") = py::int_(1);
    // The first row starts 10 pixels down: entry_y starts from entry_x_init.
    self.attr("entry_y") = self.attr("entry_x_init");
    self.attr("frame") = a["frame"];
    self.attr("entry") = py::dict();
    self.attr("N") = py::int_(0);
    self.attr("width_unit") = py::int_(200);
    return py::none();
}

py::object add_entry_name(const hv::Args& a) {
    py::handle self = a["self"];
    py::handle name = a["name"];
    py::handle state = a["state"];

    py::object customtkinter = a.global("customtkinter");
    py::object make_label = customtkinter.attr("CTkLabel");
    py::object frame = self.attr("frame");
    py::object label_text = a.str(name);
    py::object font =
        a.global("customtkinter").attr("CTkFont")("family"_a = "Microsoft JhengHei", "size"_a = 15, "weight"_a = "bold");
    py::object label =
        hv::make_widget(frame, [&] { return make_label(frame, "text"_a = label_text, "font"_a = font); });
    // A name of thousands of characters would make a label too large for the
    // window system, which ends the process when it is shown: refuse it first.
    hv::refuse_if_too_large(label, hv::Given().text(label_text, 15), "the setting's name",
                            [&] { label.attr("destroy")(); });

    py::list record;
    record.append(self.attr("N"));
    record.append(self.attr("entry_x"));
    record.append(state);
    record.append(a["math_calculate_multiplication"]);
    record.append(label);
    hv::setitem(self.attr("entry_name"), a.str(name), record);

    label.attr("place")("x"_a = self.attr("entry_x_init"), "y"_a = self.attr("entry_y"));

    if (hv::equals(state, py::str("normal"))) {  // element 2 of the record
        py::object make_entry = a.global("customtkinter").attr("CTkEntry");
        py::object parent = self.attr("frame");
        py::object width = self.attr("width_unit");
        py::object entry = hv::make_widget(parent, [&] {
            return make_entry(parent, "placeholder_text"_a = a["text"], "width"_a = width, "height"_a = 30);
        });
        hv::setitem(self.attr("entry"), a.str(name), entry);
        py::object x = hv::add(self.attr("entry_x_init"), py::int_(120));
        entry.attr("place")("x"_a = x, "y"_a = self.attr("entry_y"));
    }

    advance(self, "entry_y", 31);
    advance(self, "N", 1);
    return py::none();
}

py::object get(const hv::Args& a) { return field(a, a["name"]).attr("get")(); }

py::object set(const hv::Args& a) {
    py::handle name = a["name"];
    // The new text is made before the old one is deleted, so a value that
    // cannot be turned into text leaves the field as it was.
    py::object text = a.str(a["text"]);
    py::object end = a.global("tkinter").attr("END");
    field(a, name).attr("delete")("0", end);
    field(a, name).attr("insert")(0, text);
    return py::none();
}

py::object delete_all(const hv::Args& a) {
    py::object entries = a["self"].attr("entry");
    PyObject* it = PyObject_GetIter(entries.ptr());
    if (it == nullptr) throw py::error_already_set();
    py::object keys = py::reinterpret_steal<py::object>(it);
    while (PyObject* next = PyIter_Next(keys.ptr())) {
        py::object key = py::reinterpret_steal<py::object>(next);
        py::object end = a.global("tkinter").attr("END");
        hv::getitem(entries, key).attr("delete")("0", end);
    }
    if (PyErr_Occurred()) throw py::error_already_set();
    return py::none();
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
