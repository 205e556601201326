// What widget code needs to stay clear of the toolkit's failure modes.
#pragma once

#include "function.hpp"

#include <type_traits>

namespace hv {

// Calls `make`, which creates a widget in `parent`, and returns the widget.
// A customtkinter widget whose constructor fails (an option value it refuses)
// has often made its Tk frame already; such a half-built child cannot take its
// own destroy() and would make its parent's destroy() fail later. When `make`
// fails, every child that appeared in `parent` meanwhile is destroyed before
// the failure goes on to the caller.
py::object make_widget_call(py::handle parent, py::object (*call)(void*), void* make);
template <class Make>
py::object make_widget(py::handle parent, Make&& make) {
    return make_widget_call(
        parent, [](void* m) -> py::object { return (*static_cast<std::remove_reference_t<Make>*>(m))(); },
        const_cast<void*>(static_cast<const void*>(&make)));
}

// customtkinter.CTkFont(family="Microsoft JhengHei", size=size, weight="bold"),
// a new one each time: the bold font of the kit's and the window's labels and
// buttons. `customtkinter` is the package as the caller's module names it.
inline py::object bold_font(py::handle customtkinter, int size) {
    return customtkinter.attr("CTkFont")("family"_a = "Microsoft JhengHei", "size"_a = size, "weight"_a = "bold");
}

// mapping[key] as it is now (or its absence), put back by restore(): a change
// refused after a name was (re)mapped leaves the mapping as it found it.
class MappingEntry {
public:
    MappingEntry(py::handle mapping, py::handle key);
    void restore();

private:
    py::object mapping_, key_, value_;  // value_ null: the key was not there
};

}  // namespace hv
