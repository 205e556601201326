// Set_CTkTextbox: a log text box with colour markup.
//
// A line handed to add_text may carry coloured segments
//     <$$$顏色[red]$$$>text</$$$顏色$$$>
// whose colour name becomes the Tk tag of the segment, and the marker
// <$$$最前方顯示$$$>, which puts the line at the top of the box instead of the
// bottom. The segments are what the instance's re finds with the expression
// below; "." matches no line break, so plain text before a line break that no
// segment follows on its line is not shown.
#include "kit.hpp"

#include "../core/calls.hpp"
#include "../core/segments.hpp"

namespace pandrel {
namespace {

const char* const top_marker = "<$$$最前方顯示$$$>";
const char* const closing_marker = "</$$$顏色$$$>";
const hv::Segments segments{"(.*?)<\\$\\$\\$顏色\\[(.*?)\\]\\$\\$\\$>(.*?)</\\$\\$\\$顏色\\$\\$\\$>", "<$$$顏色[", "]$$$>",
                            closing_marker};

void init(const Scope& s, py::handle self, py::handle frame, py::dict kwargs) {
    self.attr("re") = s.import("re");
    self.attr("frame") = frame;
    py::object master = self.attr("frame");
    // A caller keyword that repeats one of these four is a TypeError before
    // any widget is made.
    self.attr("textbox") = make_widget(master, [&] {
        return hv::call_with_keywords(s.global("customtkinter").attr("CTkTextbox"),
                                      py::dict("master"_a = master, "width"_a = 700, "height"_a = 300,
                                               "corner_radius"_a = 0),
                                      kwargs);
    });
    py::object box = self.attr("textbox");
    box.attr("grid")("row"_a = 0, "column"_a = 0, "sticky"_a = "nsew");
    hv::refuse_if_made_too_large(box, "the log box");
}

// Runs for every log line the worker sends: the texts it spells out are the
// interpreter's interned names, made once, and its method calls make no
// bound methods.
void add_text(const Scope& s, py::handle self, py::handle given, py::dict kwargs) {
    using hv::call_method;
    using hv::name;
    py::object default_color = call_method(kwargs, name("get"), {name("color"), name("white")});
    py::object text = py::reinterpret_borrow<py::object>(given);
    const bool insert = hv::contains(text, name(top_marker));
    if (insert) text = call_method(text, name("replace"), {name(top_marker), name("")});
    py::object pattern = call_method(self.attr(name("re")), name("compile"), {name(segments.expression)});
    py::object matches = hv::findall(pattern, text, segments);

    py::object box = self.attr(name("textbox"));
    auto put = [&](py::handle index, py::handle piece, py::handle tag = py::handle()) {
        if (tag)
            call_method(box, name("insert"), {index, piece, tag});
        else
            call_method(box, name("insert"), {index, piece});
    };
    auto tail = [&]() -> py::object { return call_method(text, name("split"), {name(closing_marker)})[py::int_(-1)]; };
    if (insert) {
        // Everything goes in at "1.0", so the pieces go in last to first.
        py::handle first = name("1.0");
        put(first, name("\n"));
        put(first, tail(), default_color);
        for (py::handle match : s.global("reversed")(matches)) {
            auto [text_a, color, text_b] = hv::unpack<3>(match);
            put(first, text_b, color);
            put(first, text_a, default_color);
        }
    } else {
        py::object end = s.global("tkinter").attr(name("END"));
        for (py::handle match : matches) {
            auto [text_a, color, text_b] = hv::unpack<3>(match);
            put(end, text_a, default_color);
            put(end, text_b, color);
        }
        put(end, tail(), default_color);
        put(end, name("\n"));
    }
    // tag_config(colour, foreground=colour)
    const py::tuple foreground = py::make_tuple(name("foreground"));
    for (const char* colour : {"red", "green", "blue"})
        call_method(box, name("tag_config"), {name(colour), name(colour)}, foreground);
}

void delete_all(const Scope& s, py::handle self, py::dict kwargs) {
    self.attr("textbox").attr("delete")("1.0", s.global("tkinter").attr("END"), **kwargs);
}

}  // namespace

py::object make_Set_CTkTextbox(py::handle g, const std::string& outer) {
    hv::ClassBuilder cls(g, outer + ".Set_CTkTextbox");
    cls.def("__init__", {"self", "frame", "**kwargs"}, init)
        .def("add_text", {"self", "text", "**kwargs"}, add_text)
        .def("delete_all", {"self", "**kwargs"}, delete_all);
    return cls.build();
}

}  // namespace pandrel
