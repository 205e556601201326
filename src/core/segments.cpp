// The linear scan of segments.hpp.
//
// Nothing in the expression matches a line break, so every match lies within
// one line, and the engine's choice at a search position is the first OPEN at
// or after it, then the first MIDDLE after that, then the first CLOSE after
// that, all on the same line. When any of the three is missing, no later
// position on that line matches either, and the search goes on at the next
// line. A match takes text[position:open] as its first group, the text
// between OPEN and MIDDLE as its second and between MIDDLE and CLOSE as its
// third, and the search goes on after CLOSE.
#include "segments.hpp"

#include "names.hpp"

#include <pybind11/gil_safe_call_once.h>

namespace hv {
namespace {

Py_ssize_t find(PyObject* text, PyObject* what, Py_ssize_t from, Py_ssize_t to) {
    const Py_ssize_t at = PyUnicode_Find(text, what, from, to, 1);
    if (at == -2) throw py::error_already_set();
    return at;
}

py::object part(PyObject* text, Py_ssize_t from, Py_ssize_t to) {
    PyObject* piece = PyUnicode_Substring(text, from, to);
    if (piece == nullptr) throw py::error_already_set();
    return py::reinterpret_steal<py::object>(piece);
}

// Whether `pattern` is `expression` compiled by re without flags (which
// re.compile gives a str pattern as re.UNICODE).
bool is_compiled(py::handle pattern, const char* expression) {
    PYBIND11_CONSTINIT static py::gil_safe_call_once_and_store<py::tuple> re_kind;
    const py::tuple& kind = re_kind
                                .call_once_and_store_result([] {
                                    py::module_ re = py::module_::import("re");
                                    return py::make_tuple(re.attr("Pattern"), re.attr("UNICODE"));
                                })
                                .get_stored();
    if (!py::type::of(pattern).is(kind[0])) return false;
    py::object source = pattern.attr(interned("pattern"));
    return PyUnicode_CheckExact(source.ptr()) && source.equal(py::handle(interned(expression))) &&
           py::object(pattern.attr(interned("flags"))).equal(kind[1]);
}

}  // namespace

py::object findall(py::handle pattern, py::handle text, const Segments& segments) {
    if (!PyUnicode_CheckExact(text.ptr()) || !is_compiled(pattern, segments.expression))
        return pattern.attr(interned("findall"))(text);
    PyObject* s = text.ptr();
    PyObject* open = interned(segments.open);
    PyObject* middle = interned(segments.middle);
    PyObject* close = interned(segments.close);
    const Py_ssize_t n = PyUnicode_GET_LENGTH(s);
    py::list found;
    Py_ssize_t pos = 0, line_end = -1;
    while (pos < n) {
        if (line_end < pos) {
            line_end = PyUnicode_FindChar(s, '\n', pos, n, 1);
            if (line_end == -2) throw py::error_already_set();
            if (line_end == -1) line_end = n;
        }
        const Py_ssize_t a = find(s, open, pos, line_end);
        const Py_ssize_t b = a < 0 ? -1 : find(s, middle, a + PyUnicode_GET_LENGTH(open), line_end);
        const Py_ssize_t c = b < 0 ? -1 : find(s, close, b + PyUnicode_GET_LENGTH(middle), line_end);
        if (c < 0) {
            pos = line_end + 1;
            continue;
        }
        found.append(py::make_tuple(part(s, pos, a), part(s, a + PyUnicode_GET_LENGTH(open), b),
                                    part(s, b + PyUnicode_GET_LENGTH(middle), c)));
        pos = c + PyUnicode_GET_LENGTH(close);
    }
    return std::move(found);
}

}  // namespace hv
