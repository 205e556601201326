// Entry_Table: a grid of entry cells under named column headers, with row
// numbers on the left.
//
// Columns are kept under a random 20-character key; name_to_random_string maps
// str(name) to it. entry_name holds the column records
// [index, float(width), x, state, math_calculate_multiplication, header label],
// entry the cells of each column (a CTkEntry for "normal" columns, a
// [StringVar, tkinter.Label] pair for "disabled" ones) and default_value_get
// the value get() reports for a cell that shows nothing typed.
//
// Everything is placed at fixed pixels: headers centred at y 18, row i at
// y 30 + 28 i with cells 30 high, columns overlapping by 2 pixels.
#include "kit.hpp"

#include "../core/widgets.hpp"

namespace pandrel {
namespace {


// for item in iterable: fn(item)
template <class Fn>
void for_each(py::handle iterable, Fn&& fn) {
    py::object it = hv::steal(PyObject_GetIter(iterable.ptr()));
    while (PyObject* next = PyIter_Next(it.ptr())) fn(py::reinterpret_steal<py::object>(next));
    if (PyErr_Occurred()) throw py::error_already_set();
}

// The bold font every text of the table uses, a new one for each widget.
constexpr int kFontPixels = 15;
py::object table_font(const hv::Args& a) {
    return a.global("customtkinter")
        .attr("CTkFont")("family"_a = "Microsoft JhengHei", "size"_a = kFontPixels, "weight"_a = "bold");
}

// The column key of a name: name_to_random_string[str(name)].
py::object key_of(const hv::Args& a, py::handle self, py::handle name) {
    return hv::getitem(self.attr("name_to_random_string"), a.str(name));
}

// record[3] of a column key.
py::object state_of(py::handle self, py::handle key) {
    return hv::getitem(hv::getitem(self.attr("entry_name"), key), py::int_(3));
}

bool is_state(py::handle state, const char* which) { return hv::equals(state, py::str(which)); }

// A widget that asks for more than the window system can take ends the whole
// process when Tk shows it; each change is measured and refused (undone first)
// while it can still be undone.
py::object init(const hv::Args& a) {
    py::handle self = a["self"];
    self.attr("entry_name") = py::dict();
    self.attr("entry_x_init") = py::int_(50);
    self.attr("entry_x") = self.attr("entry_x_init");
    self.attr("frame") = a["frame"];
    self.attr("entry") = py::dict();
    self.attr("N") = py::int_(0);
    self.attr("default_value_get") = py::dict();
    self.attr("name_to_random_string") = py::dict();
    return py::none();
}

// ''.join(random.choices(string.ascii_letters + string.digits, k=length))
py::object random_string(const hv::Args& a) {
    py::object join = py::str("").attr("join");
    py::object choices = a.global("random").attr("choices");
    py::object string = a.global("string");
    py::object population = hv::add(string.attr("ascii_letters"), string.attr("digits"));
    return join(choices(population, "k"_a = a["length"]));
}

py::object add_entry_name(const hv::Args& a) {
    py::handle self = a["self"];
    py::handle name = a["name"];
    py::handle width = a["width"];

    // name_to_random_string[str(name)] = self.random_string(): the right side
    // first, as Python evaluates it (the draw happens even when str(name) fails).
    py::object key = self.attr("random_string")();
    py::object names = self.attr("name_to_random_string");
    py::object name_text = a.str(name);
    hv::MappingEntry mapped_before(names, name_text);
    hv::setitem(names, name_text, key);

    py::list record;
    record.append(self.attr("N"));
    record.append(a.call("float", width));
    record.append(self.attr("entry_x"));
    record.append(a["state"]);
    record.append(a["math_calculate_multiplication"]);
    py::object make_label = a.global("customtkinter").attr("CTkLabel");
    py::object frame = self.attr("frame");
    py::object text = a.str(name);
    py::object font = table_font(a);
    py::object label = hv::make_widget(frame, [&] { return make_label(frame, "text"_a = text, "font"_a = font); });
    // A name of thousands of characters would make a header too wide to show:
    // refused, with the name mapped as it was.
    hv::refuse_if_too_large(label, hv::Given().text(text, kFontPixels), "the column's name", [&] {
        label.attr("destroy")();
        mapped_before.restore();
    });
    record.append(label);
    hv::setitem(self.attr("entry_name"), key_of(a, self, name), record);

    py::object placed = hv::getitem(hv::getitem(self.attr("entry_name"), key_of(a, self, name)), py::int_(5));
    py::object half = hv::div(hv::sub(a.call("float", width), py::int_(2)), py::int_(2));
    placed.attr("place")("x"_a = hv::add(self.attr("entry_x"), half), "y"_a = 18, "anchor"_a = "center");

    py::object step = hv::sub(a.call("float", width), py::int_(2));
    self.attr("entry_x") = hv::steal(PyNumber_InPlaceAdd(self.attr("entry_x").ptr(), step.ptr()));
    py::int_ one(1);
    self.attr("N") = hv::steal(PyNumber_InPlaceAdd(self.attr("N").ptr(), one.ptr()));
    return py::none();
}

// One cell of a column. The first tries the column's options (and is undone
// when the toolkit refuses one, or when it is too large to show); the others
// repeat them.
template <class Make>
py::object column_cell(py::handle frame, bool& first, py::handle width, const Make& make) {
    if (!first) return make();
    py::object cell = hv::make_widget(frame, make);
    // The column's width, 30 high, a border of 2 on each side.
    const hv::Given given = hv::Given().length(width).length(30 + 2 * 2);
    hv::refuse_if_too_large(cell, given, "the column's cells", [&] { cell.attr("destroy")(); });
    first = false;
    return cell;
}

// The cells of one "normal" column: one CTkEntry per row.
void build_editable(const hv::Args& a, py::handle frame, py::handle record, py::handle cells, py::handle defaults,
                    py::handle rows) {
    py::object width = hv::getitem(record, py::int_(1));
    py::object x = hv::getitem(record, py::int_(2));
    py::object make_entry = a.global("customtkinter").attr("CTkEntry");
    bool first = true;
    for_each(rows, [&](py::object i) {
        auto make = [&] {
            return make_entry(frame, "placeholder_text"_a = "", "width"_a = width, "height"_a = 30,
                              "corner_radius"_a = 0);
        };
        py::object cell = column_cell(frame, first, width, make);
        py::list(py::reinterpret_borrow<py::object>(cells)).append(cell);
        hv::getitem(cells, i).attr("place")("x"_a = x, "y"_a = hv::add(py::int_(30), hv::mul(py::int_(28), i)));
        py::list(py::reinterpret_borrow<py::object>(defaults)).append(py::str(""));
    });
}

// (width, height) = pyautogui.size(): the first of exactly two values.
py::object screen_width(const hv::Args& a) { return hv::unpack<2>(a.global("pyautogui").attr("size")())[0]; }

// The cells of one "disabled" column: a dark frame holding a label on a StringVar.
void build_display_only(const hv::Args& a, py::handle frame, py::handle record, py::handle cells,
                        py::handle defaults, py::handle rows) {
    py::object screen = screen_width(a);
    py::object width = hv::getitem(record, py::int_(1));
    py::object make_frame = a.global("customtkinter").attr("CTkFrame");
    bool first = true;
    for_each(rows, [&](py::object i) {
        auto make = [&] {
            return make_frame(frame, width, "height"_a = 30, "border_width"_a = 2, "corner_radius"_a = 0,
                              "fg_color"_a = "#353638", "border_color"_a = "#53575a");
        };
        py::object cell = column_cell(frame, first, width, make);
        cell.attr("place")("x"_a = hv::sub(hv::getitem(record, py::int_(2)), py::int_(1)),
                           "y"_a = hv::add(py::int_(30), hv::mul(py::int_(28), i)));
        py::list pair;
        pair.append(a.global("tkinter").attr("StringVar")());
        py::list(py::reinterpret_borrow<py::object>(cells)).append(pair);
        py::object slot = hv::getitem(cells, i);
        hv::getitem(slot, py::int_(0)).attr("set")("");
        py::object make_label = a.global("tkinter").attr("Label");
        py::object variable = hv::getitem(slot, py::int_(0));
        py::object font = table_font(a);
        py::list(slot).append(hv::make_widget(cell, [&] {
            return make_label(cell, "textvariable"_a = variable, "bg"_a = "#353638", "fg"_a = "white",
                              "font"_a = font);
        }));
        py::object y = hv::div(hv::mul(py::int_(18), screen), py::int_(2560));
        hv::getitem(slot, py::int_(1)).attr("place")("x"_a = 100, "y"_a = y, "anchor"_a = "e");
        py::list(py::reinterpret_borrow<py::object>(defaults)).append(py::str(""));
    });
}

py::object add_table(const hv::Args& a) {
    py::handle self = a["self"];
    py::handle n = a["n"];

    py::object height = hv::add(hv::div(hv::mul(py::int_(14000), n), py::int_(500)), py::int_(50));
    py::object frame = self.attr("frame");
    // Told only when refusing: str(n) is not called for a table that fits.
    auto table = [&] { return "a table of " + hv::str(n).cast<std::string>() + " rows"; };
    // A parent taller than any window can be is refused before anything
    // changes; the windows it would grow are measured once it has its height.
    if (const hv::Oversize past = hv::oversize_side(frame, height, "tall", "its parent"))
        hv::refuse_size(table(), past);
    // The height to go back to; a parent that cannot tell it is not a Tk
    // widget the window system would be asked to show.
    py::object before;
    try {
        if (py::hasattr(frame, "winfo_reqheight")) before = frame.attr("cget")("height");
    } catch (py::error_already_set&) {
    }
    frame.attr("configure")("height"_a = height);
    hv::refuse_if_too_large(frame, table, [&] {
        if (before) frame.attr("configure")("height"_a = before);
    });

    for_each(self.attr("entry_name"), [&](py::object k) {
        hv::setitem(self.attr("entry"), k, py::list());
        hv::setitem(self.attr("default_value_get"), k, py::list());
        py::object record = hv::getitem(self.attr("entry_name"), k);
        py::object state = hv::getitem(record, py::int_(3));
        const bool editable = is_state(state, "normal");
        if (!editable && !is_state(state, "disabled")) return;  // a column without cells
        py::object rows = a.call("range", a.call("int", n));
        // A column wider than any window can be is refused before its first cell.
        py::object width = hv::getitem(record, py::int_(1));
        if (hv::truth(rows))
            if (const hv::Oversize past = hv::oversize_side(self.attr("frame"), width, "wide", "its cells"))
                hv::refuse_size("a column " + hv::str(width).cast<std::string>() + " wide", past);
        py::object cells = hv::getitem(self.attr("entry"), k);
        py::object defaults = hv::getitem(self.attr("default_value_get"), k);
        if (editable)
            build_editable(a, self.attr("frame"), record, cells, defaults, rows);
        else
            build_display_only(a, self.attr("frame"), record, cells, defaults, rows);
    });

    if (hv::truth(a["serial_number"])) {
        py::object make_label = a.global("customtkinter").attr("CTkLabel");
        for_each(a.call("range", n), [&](py::object i) {
            py::object parent = self.attr("frame");
            py::object text = a.str(hv::add(i, py::int_(1)));
            py::object font = table_font(a);
            py::object label = make_label(parent, "text"_a = text, "font"_a = font);
            label.attr("place")("x"_a = hv::sub(self.attr("entry_x_init"), py::int_(20)),
                                "y"_a = hv::add(py::int_(30), hv::mul(py::int_(28), i)));
        });
    }
    return py::none();
}

py::object delete_all(const hv::Args& a) {
    py::handle self = a["self"];
    for_each(self.attr("entry"), [&](py::object k) {
        if (is_state(state_of(self, k), "normal")) {
            for_each(a.call("range", a.call("len", hv::getitem(self.attr("entry"), k))), [&](py::object i) {
                py::object cell = hv::getitem(hv::getitem(self.attr("entry"), k), i);
                cell.attr("delete")(0, "last_index"_a = 9999);
                // One delete stops at character 9999; what a longer text
                // leaves behind goes too, so the cell really is empty.
                if (hv::not_equals(cell.attr("get")(), py::str("")))
                    cell.attr("delete")(0, "last_index"_a = a.global("tkinter").attr("END"));
                hv::setitem(hv::getitem(self.attr("default_value_get"), k), i, py::str(""));
            });
        }
        if (is_state(state_of(self, k), "disabled")) {
            for_each(a.call("range", a.call("len", hv::getitem(self.attr("entry"), k))), [&](py::object i) {
                hv::getitem(hv::getitem(hv::getitem(self.attr("entry"), k), i), py::int_(0)).attr("set")("");
                hv::setitem(hv::getitem(self.attr("default_value_get"), k), i, py::str(""));
            });
        }
    });
    return py::none();
}

// cell.get(), called as the interpreter calls a method (no argument tuple):
// get() reads every cell of the table, so the call itself should cost nothing.
py::object call_get(py::handle cell, py::handle name) {
    return hv::steal(PyObject_CallMethodNoArgs(cell.ptr(), name.ptr()));
}

py::object get(const hv::Args& a) {
    py::handle self = a["self"];
    py::list result;
    const py::str empty("");
    const py::str get_name("get");
    for_each(self.attr("entry"), [&](py::object k) {
        py::list column;
        result.append(column);
        py::object cells = hv::getitem(self.attr("entry"), k);
        py::object defaults = hv::getitem(self.attr("default_value_get"), k);
        py::object state = state_of(self, k);
        if (is_state(state, "normal")) {
            for_each(a.call("range", a.call("len", cells)), [&](py::object i) {
                py::object cell = hv::getitem(cells, i);
                if (hv::equals(call_get(cell, get_name), empty))
                    column.append(hv::getitem(defaults, i));
                else
                    column.append(call_get(cell, get_name));
            });
        } else if (is_state(state, "disabled")) {
            for_each(a.call("range", a.call("len", cells)),
                     [&](py::object i) { column.append(hv::getitem(defaults, i)); });
        }
    });
    return std::move(result);
}

py::object update(const hv::Args&) { return py::none(); }

py::object set_text(const hv::Args& a) {
    py::handle self = a["self"];
    py::handle name = a["name"];
    py::handle y = a["y"];
    py::handle text = a["text"];
    if (is_state(state_of(self, key_of(a, self, name)), "disabled")) {
        py::object slot = hv::getitem(hv::getitem(self.attr("entry"), key_of(a, self, name)), y);
        py::object variable = hv::getitem(slot, py::int_(0));
        py::object shown = a.str(text);
        py::object before = variable.attr("get")();
        variable.attr("set")(shown);
        // Thousands of characters would make the cell's label too large to
        // show: the cell keeps its text and the call is refused.
        hv::refuse_if_too_large(hv::getitem(slot, py::int_(1)), hv::Given().text(shown, kFontPixels), "the text",
                                [&] { variable.attr("set")(before); });
    } else if (is_state(state_of(self, key_of(a, self, name)), "normal")) {
        hv::getitem(hv::getitem(self.attr("entry"), key_of(a, self, name)), y)
            .attr("configure")("placeholder_text"_a = text);
    }
    if (hv::truth(a["default_value"]))
        hv::setitem(hv::getitem(self.attr("default_value_get"), key_of(a, self, name)), y, a.str(text));
    return py::none();
}

py::object set_title_text(const hv::Args& a) {
    py::handle self = a["self"];
    py::handle new_name = a["new_name"];
    py::object key = key_of(a, self, a["name"]);
    py::object names = self.attr("name_to_random_string");
    py::object new_text = a.str(new_name);
    hv::MappingEntry mapped_before(names, new_text);
    hv::setitem(names, new_text, key);
    py::object label = hv::getitem(hv::getitem(self.attr("entry_name"), key_of(a, self, new_name)), py::int_(5));
    py::object text = a.str(new_name);
    py::object before = label.attr("cget")("text");
    label.attr("configure")("text"_a = text);
    hv::refuse_if_too_large(label, hv::Given().text(text, kFontPixels), "the column's name", [&] {  // the header and the names as they were
        label.attr("configure")("text"_a = before);
        mapped_before.restore();
    });
    return py::none();
}

}  // namespace

py::object make_Entry_Table(py::handle g, const std::string& outer) {
    hv::ClassBuilder cls(g, outer + ".Entry_Table");
    cls.def("__init__", {"self", "frame"}, init)
        .def("random_string", {"self", {"length", py::int_(20)}}, random_string)
        .def("add_entry_name",
             {"self", "name", "width", {"state", py::str("normal")}, {"math_calculate_multiplication", py::list()}},
             add_entry_name)
        .def("add_table", {"self", "n", {"serial_number", py::bool_(true)}}, add_table)
        .def("delete_all", {"self"}, delete_all)
        .def("get", {"self"}, get)
        .def("update", {"self"}, update)
        .def("set_text", {"self", "name", "y", "text", {"default_value", py::bool_(false)}}, set_text)
        .def("set_title_text", {"self", "name", "new_name"}, set_title_text);
    return cls.build();
}

}  // namespace pandrel
