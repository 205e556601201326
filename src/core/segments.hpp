// pattern.findall(text) for a log line's coloured segments, in linear time.
#pragma once

#include <pybind11/pybind11.h>

namespace hv {

namespace py = pybind11;

// The expression "(.*?)OPEN(.*?)MIDDLE(.*?)CLOSE", with OPEN, MIDDLE and CLOSE
// literal texts that hold no line break: its written form, and the three.
struct Segments {
    const char* expression;
    const char* open;
    const char* middle;
    const char* close;
};

// pattern.findall(text). When `pattern` is `segments.expression` compiled by
// re without flags and `text` is a str, the triples are found in one pass:
// the engine takes the expression's lazy groups quadratically, rescanning a
// line that holds no complete segment from every position, so one long log
// line stalls the window for seconds. Anything else goes to findall itself.
py::object findall(py::handle pattern, py::handle text, const Segments& segments);

}  // namespace hv
