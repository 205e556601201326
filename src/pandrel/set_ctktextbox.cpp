// Set_CTkTextbox: a log text box with colour markup.
//
// A line handed to add_text may carry coloured segments
//     <$$$顏色[red]$$$>text</$$$顏色$$$>
// whose colour name becomes the Tk tag of the segment, and the marker
// <$$$最前方顯示$$$>, which puts the line at the top of the box instead of the
// bottom. add_text runs for every log line the worker sends: per piece it makes
// the piece's text and calls the box's bound insert method once, and it finds
// the segments in one pass over the line (see scan()).
#include "kit.hpp"

#include "../core/widgets.hpp"

#include <vector>

namespace pandrel {
namespace {

const char* const kSegment =
    "(.*?)<\\$\\$\\$顏色\\[(.*?)\\]\\$\\$\\$>(.*?)</\\$\\$\\$顏色\\$\\$\\$>";

// An interned string that lives as long as the process (the module supports one
// interpreter per process, and these are immutable constants).
py::handle constant(const char* text) {
    PyObject* s = PyUnicode_InternFromString(text);
    if (s == nullptr) throw py::error_already_set();
    return s;
}

struct Texts {
    py::handle top = constant("<$$$最前方顯示$$$>");
    py::handle open = constant("<$$$顏色[");
    py::handle colour_end = constant("]$$$>");
    py::handle close = constant("</$$$顏色$$$>");
    py::handle segment = constant(kSegment);
    py::handle empty = constant("");
    py::handle newline = constant("\n");
    py::handle first = constant("1.0");
    py::handle white = constant("white");
    py::handle color = constant("color");
    py::handle re = constant("re");
    py::handle textbox = constant("textbox");
    py::handle insert = constant("insert");
    py::handle compile = constant("compile");
    py::handle findall = constant("findall");
    py::handle replace = constant("replace");
    py::handle split = constant("split");
    py::handle tag_config = constant("tag_config");
    py::handle END = constant("END");
    py::handle colours[3] = {constant("red"), constant("green"), constant("blue")};
    py::handle foreground = PyTuple_Pack(1, constant("foreground").ptr());  // kwnames of tag_config

    Texts() {
        if (!foreground) throw py::error_already_set();
    }
};

// Built when the class is made; a failed first build is retried on the next call.
const Texts& texts() {
    static const Texts t;
    return t;
}

// What a genuine compiled pattern looks like; taken from re on first use (re is
// the constructor's import, not the module's).
struct PatternKind {
    py::handle type = py::object(py::module_::import("re").attr("Pattern")).release();
    py::handle unicode_flag = py::object(py::module_::import("re").attr("UNICODE")).release();
};

const PatternKind& pattern_kind() {
    static const PatternKind k;
    return k;
}

py::object checked(PyObject* result) {
    if (result == nullptr) throw py::error_already_set();
    return py::reinterpret_steal<py::object>(result);
}

// fn(index, piece) or fn(index, piece, tag), without a temporary tuple; the spare
// slot in front lets a bound method put its self there.
void insert(py::handle fn, py::handle index, py::handle piece, py::handle tag = py::handle()) {
    PyObject* stack[4] = {nullptr, index.ptr(), piece.ptr(), tag.ptr()};
    const size_t n = tag ? 3 : 2;
    checked(PyObject_Vectorcall(fn.ptr(), stack + 1, n | PY_VECTORCALL_ARGUMENTS_OFFSET, nullptr));
}

// `text_a, color, text_b = item`, as a for statement unpacks it.
struct Triple {
    py::object text_a, color, text_b;
};

Triple unpack(py::handle item) {
    if (PyTuple_CheckExact(item.ptr()) && PyTuple_GET_SIZE(item.ptr()) == 3) {
        return {py::reinterpret_borrow<py::object>(PyTuple_GET_ITEM(item.ptr(), 0)),
                py::reinterpret_borrow<py::object>(PyTuple_GET_ITEM(item.ptr(), 1)),
                py::reinterpret_borrow<py::object>(PyTuple_GET_ITEM(item.ptr(), 2))};
    }
    auto [text_a, color, text_b] = hv::unpack<3>(item);
    return {std::move(text_a), std::move(color), std::move(text_b)};
}

// One match of the segment expression: text_a is text[start:open], the colour
// name text[open + len(open marker):colour_end], text_b text[colour_end +
// len("]$$$>"):close].
struct Segment {
    Py_ssize_t start, open, colour_end, close;
};

Py_ssize_t find(PyObject* text, py::handle what, Py_ssize_t from, Py_ssize_t to) {
    const Py_ssize_t at = PyUnicode_Find(text, what.ptr(), from, to, 1);
    if (at == -2) throw py::error_already_set();
    return at;
}

// What the compiled segment expression's findall gives, in linear time.
//
// The expression's lazy groups are left to the regular-expression engine a
// quadratic affair: a line without a complete segment is rescanned to its end
// from every position, so a long log line stalls the window. Nothing in the
// expression matches a line break, so every match lies within one line, and the
// engine's choice is the first opening marker at or after the search position,
// then the first "]$$$>" after it, then the first closing marker after that,
// all on the same line. When any of the three is missing, no later position on
// that line matches either, and the search goes on at the next line.
void scan(PyObject* text, std::vector<Segment>& out) {
    const Texts& t = texts();
    const Py_ssize_t n = PyUnicode_GET_LENGTH(text);
    const Py_ssize_t open_len = PyUnicode_GET_LENGTH(t.open.ptr());
    const Py_ssize_t colour_end_len = PyUnicode_GET_LENGTH(t.colour_end.ptr());
    const Py_ssize_t close_len = PyUnicode_GET_LENGTH(t.close.ptr());
    Py_ssize_t pos = 0;
    Py_ssize_t line_end = -1;
    while (pos < n) {
        if (line_end < pos) {
            line_end = PyUnicode_FindChar(text, '\n', pos, n, 1);
            if (line_end == -2) throw py::error_already_set();
            if (line_end == -1) line_end = n;
        }
        const Py_ssize_t open = find(text, t.open, pos, line_end);
        const Py_ssize_t colour_end = open < 0 ? -1 : find(text, t.colour_end, open + open_len, line_end);
        const Py_ssize_t close = colour_end < 0 ? -1 : find(text, t.close, colour_end + colour_end_len, line_end);
        if (close < 0) {
            pos = line_end + 1;
            continue;
        }
        out.push_back({pos, open, colour_end, close});
        pos = close + close_len;
    }
}

// Whether `pattern` is the segment expression compiled by the re module without
// flags, so that scan() gives exactly its findall.
bool is_segment_pattern(py::handle pattern) {
    const PatternKind& kind = pattern_kind();
    if (Py_TYPE(pattern.ptr()) != reinterpret_cast<PyTypeObject*>(kind.type.ptr())) return false;
    py::object source = pattern.attr("pattern");
    if (!PyUnicode_CheckExact(source.ptr()) || !hv::equals(source, texts().segment)) return false;
    return hv::equals(pattern.attr("flags"), kind.unicode_flag);
}

py::object substring(PyObject* text, Py_ssize_t from, Py_ssize_t to) {
    return checked(PyUnicode_Substring(text, from, to));
}

// Whether `reversed` resolves to the builtin (a module global of that name
// would replace it, as for any Python function of the module).
bool builtin_reversed(const hv::Args& a) {
    return a.global("reversed").ptr() == reinterpret_cast<PyObject*>(&PyReversed_Type);
}

// Calls `each` for every item of `matches`, first to last or last to first.
// A list is walked by index (re-reading its size every step, as its iterators
// do); anything else goes through iter() or reversed().
template <class Each>
void for_each_match(const hv::Args& a, py::handle matches, bool backwards, const Each& each) {
    PyObject* m = matches.ptr();
    if (PyList_CheckExact(m) && (!backwards || builtin_reversed(a))) {
        if (backwards) {
            for (Py_ssize_t i = PyList_GET_SIZE(m) - 1; i >= 0 && i < PyList_GET_SIZE(m); --i)
                each(unpack(py::reinterpret_borrow<py::object>(PyList_GET_ITEM(m, i))));
        } else {
            for (Py_ssize_t i = 0; i < PyList_GET_SIZE(m); ++i)
                each(unpack(py::reinterpret_borrow<py::object>(PyList_GET_ITEM(m, i))));
        }
        return;
    }
    py::object it;
    if (backwards) {
        it = checked(PyObject_CallOneArg(a.global("reversed").ptr(), m));
        it = checked(PyObject_GetIter(it.ptr()));
    } else {
        it = checked(PyObject_GetIter(m));
    }
    while (PyObject* next = PyIter_Next(it.ptr())) each(unpack(py::reinterpret_steal<py::object>(next)));
    if (PyErr_Occurred()) throw py::error_already_set();
}

// The last element of text.split("</$$$顏色$$$>"): what follows the last closing
// marker. For a plain str that is the text after its last occurrence (the
// marker cannot overlap itself, so the last match of a left-to-right scan is
// the rightmost one).
py::object tail_of(const py::object& text) {
    const Texts& t = texts();
    if (PyUnicode_CheckExact(text.ptr())) {
        const Py_ssize_t at = PyUnicode_Find(text.ptr(), t.close.ptr(), 0, PY_SSIZE_T_MAX, -1);
        if (at == -2) throw py::error_already_set();
        if (at == -1) return text;
        return checked(PyUnicode_Substring(text.ptr(), at + PyUnicode_GET_LENGTH(t.close.ptr()), PY_SSIZE_T_MAX));
    }
    py::object parts = checked(PyObject_CallMethodOneArg(text.ptr(), t.split.ptr(), t.close.ptr()));
    py::object last = py::int_(-1);
    return checked(PyObject_GetItem(parts.ptr(), last.ptr()));
}

// Raises the TypeError the interpreter gives for `fn(key=..., **{key: ...})`.
[[noreturn]] void repeated_keyword(py::handle fn, py::handle key) {
    py::object qualname = py::getattr(fn, "__qualname__", py::none());
    py::object module = py::getattr(fn, "__module__", py::none());
    if (!PyUnicode_Check(qualname.ptr())) {
        PyErr_Format(PyExc_TypeError, "%s() got multiple values for keyword argument '%U'", Py_TYPE(fn.ptr())->tp_name,
                     key.ptr());
    } else if (PyUnicode_Check(module.ptr()) && PyUnicode_CompareWithASCIIString(module.ptr(), "builtins") != 0) {
        PyErr_Format(PyExc_TypeError, "%U.%U() got multiple values for keyword argument '%U'", module.ptr(),
                     qualname.ptr(), key.ptr());
    } else {
        PyErr_Format(PyExc_TypeError, "%U() got multiple values for keyword argument '%U'", qualname.ptr(), key.ptr());
    }
    throw py::error_already_set();
}

py::object init(const hv::Args& a) {
    py::handle self = a["self"];
    self.attr("re") = a.import("re");
    self.attr("frame") = a["frame"];
    py::object box_class = a.global("customtkinter").attr("CTkTextbox");

    // master, width, height and corner_radius come first; a caller keyword that
    // repeats one of them is refused before any widget exists.
    py::dict options;
    options["master"] = self.attr("frame");
    options["width"] = py::int_(700);
    options["height"] = py::int_(300);
    options["corner_radius"] = py::int_(0);
    for (auto item : a.kwargs()) {
        if (options.contains(item.first)) repeated_keyword(box_class, item.first);
        options[item.first] = item.second;
    }
    self.attr("textbox") = hv::make_widget(options["master"], [&] { return box_class(**options); });
    self.attr("textbox").attr("grid")("row"_a = 0, "column"_a = 0, "sticky"_a = "nsew");
    return py::none();
}

py::object add_text(const hv::Args& a) {
    const Texts& t = texts();
    py::handle self = a["self"];
    py::object text = py::reinterpret_borrow<py::object>(a["text"]);

    py::object default_color = py::reinterpret_borrow<py::object>(t.white);
    if (PyObject* c = PyDict_GetItemWithError(a.kwargs().ptr(), t.color.ptr())) {
        default_color = py::reinterpret_borrow<py::object>(c);
    } else if (PyErr_Occurred()) {
        throw py::error_already_set();
    }

    const int at_top = PySequence_Contains(text.ptr(), t.top.ptr());
    if (at_top < 0) throw py::error_already_set();
    if (at_top) {
        text = PyUnicode_CheckExact(text.ptr())
                   ? checked(PyUnicode_Replace(text.ptr(), t.top.ptr(), t.empty.ptr(), -1))
                   : checked(PyObject_CallMethodObjArgs(text.ptr(), t.replace.ptr(), t.top.ptr(), t.empty.ptr(),
                                                        nullptr));
    }

    // Compiled through the instance's own `re` on every call (re keeps its cache).
    py::object re = checked(PyObject_GetAttr(self.ptr(), t.re.ptr()));
    py::object pattern = checked(PyObject_CallMethodOneArg(re.ptr(), t.compile.ptr(), t.segment.ptr()));
    const bool native =
        PyUnicode_CheckExact(text.ptr()) && is_segment_pattern(pattern) && (!at_top || builtin_reversed(a));
    std::vector<Segment> segments;
    py::object matches;
    if (native) {
        scan(text.ptr(), segments);
    } else {
        matches = checked(PyObject_CallMethodOneArg(pattern.ptr(), t.findall.ptr(), text.ptr()));
    }

    py::object box = checked(PyObject_GetAttr(self.ptr(), t.textbox.ptr()));
    py::object put = checked(PyObject_GetAttr(box.ptr(), t.insert.ptr()));
    const Py_ssize_t open_len = PyUnicode_GET_LENGTH(t.open.ptr());
    const Py_ssize_t colour_end_len = PyUnicode_GET_LENGTH(t.colour_end.ptr());
    PyObject* s = text.ptr();
    if (at_top) {
        // Everything goes in at "1.0", so the pieces go in last to first.
        insert(put, t.first, t.newline);
        insert(put, t.first, tail_of(text), default_color);
        if (native) {
            for (auto m = segments.rbegin(); m != segments.rend(); ++m) {
                insert(put, t.first, substring(s, m->colour_end + colour_end_len, m->close),
                       substring(s, m->open + open_len, m->colour_end));
                insert(put, t.first, substring(s, m->start, m->open), default_color);
            }
        } else {
            for_each_match(a, matches, true, [&](const Triple& m) {
                insert(put, t.first, m.text_b, m.color);
                insert(put, t.first, m.text_a, default_color);
            });
        }
    } else {
        py::object end = checked(PyObject_GetAttr(a.global("tkinter").ptr(), t.END.ptr()));
        if (native) {
            for (const Segment& m : segments) {
                insert(put, end, substring(s, m.start, m.open), default_color);
                insert(put, end, substring(s, m.colour_end + colour_end_len, m.close),
                       substring(s, m.open + open_len, m.colour_end));
            }
        } else {
            for_each_match(a, matches, false, [&](const Triple& m) {
                insert(put, end, m.text_a, default_color);
                insert(put, end, m.text_b, m.color);
            });
        }
        insert(put, end, tail_of(text), default_color);
        insert(put, end, t.newline);
    }

    py::object tag_config = checked(PyObject_GetAttr(box.ptr(), t.tag_config.ptr()));
    for (py::handle colour : t.colours) {
        PyObject* stack[3] = {nullptr, colour.ptr(), colour.ptr()};
        checked(PyObject_Vectorcall(tag_config.ptr(), stack + 1, 1 | PY_VECTORCALL_ARGUMENTS_OFFSET,
                                    t.foreground.ptr()));
    }
    return py::none();
}

py::object delete_all(const hv::Args& a) {
    py::object end = a.global("tkinter").attr("END");
    a["self"].attr("textbox").attr("delete")("1.0", end, **a.kwargs());
    return py::none();
}

}  // namespace

py::object make_Set_CTkTextbox(py::handle g, const std::string& outer) {
    texts();
    hv::ClassBuilder cls(g, outer + ".Set_CTkTextbox");
    cls.def("__init__", {"self", "frame", "**kwargs"}, init)
        .def("add_text", {"self", "text", "**kwargs"}, add_text)
        .def("delete_all", {"self", "**kwargs"}, delete_all);
    return cls.build();
}

}  // namespace pandrel
