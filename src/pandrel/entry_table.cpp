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

#include "../core/calls.hpp"

namespace pandrel {
namespace {

py::int_ operator""_i(unsigned long long n) { return py::int_(n); }

// self.entry_name[key][3] == state
bool column_is(py::handle self, py::handle key, const char* state) {
    py::object stored = self.attr("entry_name")[key][3_i];
    return stored.equal(py::str(state));
}

// The top of row i: 30 + 28 * i.
py::object row_y(py::handle i) { return 30_i + 28_i * py::reinterpret_borrow<py::object>(i); }

void init(const Scope&, py::handle self, py::handle frame) {
    self.attr("entry_name") = py::dict();
    self.attr("entry_x_init") = 50;
    self.attr("entry_x") = self.attr("entry_x_init");
    self.attr("frame") = frame;
    self.attr("entry") = py::dict();
    self.attr("N") = 0;
    self.attr("default_value_get") = py::dict();
    self.attr("name_to_random_string") = py::dict();
}

py::object random_string(const Scope& s, py::handle, py::handle length) {
    py::object string = s.global("string");
    py::object population = py::object(string.attr("ascii_letters")) + py::object(string.attr("digits"));
    return py::str("").attr("join")(s.global("random").attr("choices")(population, "k"_a = length));
}

void add_entry_name(const Scope& s, py::handle self, py::handle name, py::handle width, py::handle state,
                    py::handle math_calculate_multiplication) {
    py::object key = self.attr("random_string")();
    py::object name_text = s.str(name);
    hv::MappingEntry mapped_before(self.attr("name_to_random_string"), name_text);
    self.attr("name_to_random_string")[name_text] = key;

    py::list record;
    record.append(self.attr("N"));
    record.append(s.global("float")(width));
    record.append(self.attr("entry_x"));
    record.append(state);
    record.append(math_calculate_multiplication);
    py::object label = make_widget(self.attr("frame"), [&] {
        return s.global("customtkinter").attr("CTkLabel")(self.attr("frame"), "text"_a = s.str(name),
                                                          "font"_a = bold_font(s, 15));
    });
    // A name of thousands of characters would make a header too wide to show.
    hv::refuse_if_too_large(
        label, "the column's name",
        [&] {
            label.attr("destroy")();
            mapped_before.restore();
        },
        true);
    record.append(label);
    self.attr("entry_name")[self.attr("name_to_random_string")[s.str(name)]] = record;

    py::object x = self.attr("entry_x");
    label.attr("place")("x"_a = x + (s.global("float")(width) - 2_i) / 2_i, "y"_a = 18, "anchor"_a = "center");
    hv::iadd(self, "entry_x", s.global("float")(width) - 2_i);
    hv::iadd(self, "N", 1_i);
}

// A column's cells, row by row: `create` makes a cell, `place` stores and
// places the cell of row i. The first cell tries the column's options (a
// half-made one is destroyed when the toolkit refuses one; the others repeat
// them) and shows whether its width fits a canvas (a customtkinter widget
// draws on one, 60 pixels short of X's limit).
template <class Create, class Place>
void build_column(const Scope& s, py::handle self, py::handle n, py::handle width, Create&& create, Place&& place) {
    py::object rows = s.global("range")(s.global("int")(n));
    if (hv::truth(rows)) {
        const std::string past = hv::past_limit(self.attr("frame"), width, "wide", "its cells");
        if (!past.empty()) hv::refuse("a column " + py::str(width).cast<std::string>() + " wide", past);
    }
    bool first = true;
    for (py::handle i : rows) {
        py::object cell = first ? make_widget(self.attr("frame"), create) : create();
        place(i, cell);
        if (first) hv::refuse_if_made_too_large(cell, "the column's cells");
        first = false;
    }
}

void add_table(const Scope& s, py::handle self, py::handle n, py::handle serial_number) {
    py::object height = 14000_i * py::reinterpret_borrow<py::object>(n) / 500_i + 50_i;
    py::object frame = self.attr("frame");
    // Told only when refusing: str(n) is not called for a table that fits.
    auto table = [&] { return "a table of " + py::str(n).cast<std::string>() + " rows"; };
    const std::string past = hv::past_limit(frame, height, "tall", "its parent");
    if (!past.empty()) hv::refuse(table(), past);
    // The height to go back to; a parent that cannot tell it is no Tk
    // widget the window system would be asked to show.
    py::object before = py::none();
    try {
        if (py::hasattr(frame, "winfo_reqheight")) before = frame.attr("cget")("height");
    } catch (py::error_already_set& e) {
        if (!hv::is_exception(e)) throw;
    }
    frame.attr("configure")("height"_a = height);
    hv::refuse_if_too_large(frame, table, [&] { frame.attr("configure")("height"_a = before); });

    for (py::handle k : self.attr("entry_name")) {
        self.attr("entry")[k] = py::list();
        self.attr("default_value_get")[k] = py::list();
        py::object record = self.attr("entry_name")[k];
        if (column_is(self, k, "normal")) {
            build_column(
                s, self, n, record[1_i],
                [&] {
                    return s.global("customtkinter").attr("CTkEntry")(self.attr("frame"), "placeholder_text"_a = "",
                                                                      "width"_a = record[1_i], "height"_a = 30,
                                                                      "corner_radius"_a = 0);
                },
                [&](py::handle i, py::handle cell) {
                    self.attr("entry")[k].attr("append")(cell);
                    self.attr("entry")[k][i].attr("place")("x"_a = record[2_i], "y"_a = row_y(i));
                    self.attr("default_value_get")[k].attr("append")("");
                });
        } else if (column_is(self, k, "disabled")) {
            auto [screen_width, screen_height] = hv::unpack<2>(s.global("pyautogui").attr("size")());
            // (C++17 lambdas name structured bindings only through an init-capture.)
            build_column(
                s, self, n, record[1_i],
                [&] {
                    return s.global("customtkinter").attr("CTkFrame")(
                        self.attr("frame"), record[1_i], "height"_a = 30, "border_width"_a = 2, "corner_radius"_a = 0,
                        "fg_color"_a = "#353638", "border_color"_a = "#53575a");
                },
                [&, &screen_width = screen_width](py::handle i, py::handle cell) {
                    cell.attr("place")("x"_a = py::object(record[2_i]) - 1_i, "y"_a = row_y(i));
                    py::list pair;
                    pair.append(s.global("tkinter").attr("StringVar")());
                    self.attr("entry")[k].attr("append")(pair);
                    self.attr("entry")[k][i][0_i].attr("set")("");
                    py::object label = s.global("tkinter").attr("Label")(
                        cell, "textvariable"_a = self.attr("entry")[k][i][0_i], "bg"_a = "#353638", "fg"_a = "white",
                        "font"_a = bold_font(s, 15));
                    self.attr("entry")[k][i].attr("append")(label);
                    self.attr("entry")[k][i][1_i].attr("place")("x"_a = 100, "y"_a = 18_i * screen_width / 2560_i,
                                                                "anchor"_a = "e");
                    self.attr("default_value_get")[k].attr("append")("");
                });
        }
    }

    if (hv::truth(serial_number)) {
        for (py::handle i : s.global("range")(n)) {
            py::object number = py::reinterpret_borrow<py::object>(i) + 1_i;
            py::object label = s.global("customtkinter").attr("CTkLabel")(self.attr("frame"), "text"_a = s.str(number),
                                                                          "font"_a = bold_font(s, 15));
            py::object x = self.attr("entry_x_init");
            label.attr("place")("x"_a = x - 20_i, "y"_a = row_y(i));
        }
    }
}

void delete_all(const Scope& s, py::handle self) {
    for (py::handle k : self.attr("entry")) {
        if (column_is(self, k, "normal")) {
            for (py::handle i : s.global("range")(s.global("len")(self.attr("entry")[k]))) {
                py::object cell = self.attr("entry")[k][i];
                cell.attr("delete")(0, "last_index"_a = 9999);
                // One delete stops at character 9999; what a longer text
                // leaves behind goes too, so the cell really is empty.
                if (py::object(cell.attr("get")()).not_equal(py::str("")))
                    cell.attr("delete")(0, "last_index"_a = s.global("tkinter").attr("END"));
                self.attr("default_value_get")[k][i] = "";
            }
        }
        if (column_is(self, k, "disabled")) {
            for (py::handle i : s.global("range")(s.global("len")(self.attr("entry")[k]))) {
                self.attr("entry")[k][i][0_i].attr("set")("");
                self.attr("default_value_get")[k][i] = "";
            }
        }
    }
}

// Every cell of the table, as `for i in range(len(self.entry[k]))` reads
// them; a column's two lists are looked up once per column.
py::object get(const Scope&, py::handle self) {
    py::handle get = hv::name("get");
    const py::str empty("");
    py::list a;
    for (py::handle k : self.attr("entry")) {
        py::list column;
        a.append(column);
        py::list cells = self.attr("entry")[k], defaults = self.attr("default_value_get")[k];
        const bool editable = column_is(self, k, "normal");
        if (!editable && !column_is(self, k, "disabled")) continue;
        for (size_t i = 0, n = cells.size(); i < n; ++i) {
            if (!editable) {
                column.append(defaults[i]);
                continue;
            }
            py::object typed = hv::call_method(cells[i], get);
            column.append(typed.equal(empty) ? py::object(defaults[i]) : hv::call_method(cells[i], get));
        }
    }
    return std::move(a);
}

void update(const Scope&, py::handle) {}

// The column key of a name, looked up afresh: name_to_random_string[str(name)].
py::object key_of(const Scope& s, py::handle self, py::handle name) {
    return self.attr("name_to_random_string")[s.str(name)];
}

void set_text(const Scope& s, py::handle self, py::handle name, py::handle y, py::handle text,
              py::handle default_value) {
    if (column_is(self, key_of(s, self, name), "disabled")) {
        py::object slot = self.attr("entry")[key_of(s, self, name)][y];
        py::object shown = slot[0_i].attr("get")();
        slot[0_i].attr("set")(s.str(text));
        // Thousands of characters would make the cell's label too large to
        // show: the cell keeps its text and the call is refused.
        hv::refuse_if_too_large(slot[1_i], "the text", [&] { slot[0_i].attr("set")(shown); });
    } else if (column_is(self, key_of(s, self, name), "normal")) {
        self.attr("entry")[key_of(s, self, name)][y].attr("configure")("placeholder_text"_a = text);
    }
    if (hv::truth(default_value)) self.attr("default_value_get")[key_of(s, self, name)][y] = s.str(text);
}

void set_title_text(const Scope& s, py::handle self, py::handle name, py::handle new_name) {
    py::object key = key_of(s, self, name);
    py::object new_text = s.str(new_name);
    hv::MappingEntry mapped_before(self.attr("name_to_random_string"), new_text);
    self.attr("name_to_random_string")[new_text] = key;
    py::object label = self.attr("entry_name")[key_of(s, self, new_name)][5_i];
    py::object shown = label.attr("cget")("text");
    label.attr("configure")("text"_a = s.str(new_name));
    hv::refuse_if_too_large(label, "the column's name", [&] {  // the header and the names as they were
        label.attr("configure")("text"_a = shown);
        mapped_before.restore();
    });
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
