// The progress poller: every 500 ms it shows whether the worker is busy and
// copies the worker's log lines into the log box.
#include "gui.hpp"

namespace gui {

namespace {

// Runs one guarded step of the tick: an Exception inside it is dropped (the
// worker or its channels may be gone), anything more serious goes on.
template <class Fn>
void quietly(Fn&& step) {
    try {
        step();
    } catch (py::error_already_set& e) {
        if (!is_exception(e)) throw;
    }
}

bool label_is(py::handle set_button, const char* text) {
    return hv::equals(set_button.attr("cget")(kOutputButton, "text"), py::str(text));
}

void show_busy_state(const hv::Args& a) {
    py::object event = local(a, "Event_All_variable")[py::str(kReceipt)];
    py::object set_button = local(a, "set_button");
    if (hv::equals(event.attr("is_set")(), py::bool_(true))) {
        const char* next = kBusy1;
        if (label_is(set_button, kBusy1)) {
            next = kBusy2;
        } else if (label_is(set_button, kBusy2)) {
            next = kBusy3;
        } else if (label_is(set_button, kBusy3)) {
            next = kBusy1;
        }
        set_button.attr("configure")(kOutputButton, "text"_a = next);
    } else if (hv::equals(event.attr("is_set")(), py::bool_(false))) {
        set_button.attr("configure")(kOutputButton, "text"_a = kOutputButton);
    }
}

// Everything queued so far, in order. An item the log box cannot show (not a
// string) is dropped on its own; the lines behind it still appear this tick.
void show_log_lines(const hv::Args& a) {
    py::object receipts = local(a, "Queue_All_variable")[py::str(kReceipt)];
    py::object empty = receipts.attr("empty");
    py::object get = receipts.attr("get");
    py::object add_text = local(a, "set_CTkTextbox").attr("add_text");
    const py::bool_ no(false);
    while (hv::equals(empty(), no)) {
        py::object item = get();
        quietly([&] { add_text(item); });
    }
}

}  // namespace

py::object aa(const hv::Args& a) {
    quietly([&] { show_busy_state(a); });
    quietly([&] { show_log_lines(a); });
    local(a, "app").attr("after")(500, local(a, "aa"));
    return py::none();
}

}  // namespace gui
