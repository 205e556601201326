// The progress poller: every 500 ms it shows whether the worker is busy and
// copies the worker's log lines into the log box.
#include "gui.hpp"

namespace gui {

namespace {

bool label_is(py::handle set_button, const char* text) {
    return set_button.attr("cget")(kOutputButton, "text").equal(py::str(text));
}

void show_busy_state(const Scope& s) {
    py::object event = local(s, "Event_All_variable")[kReceipt];
    py::object set_button = local(s, "set_button");
    if (event.attr("is_set")().equal(py::bool_(true))) {
        const char* next = kBusy1;
        if (label_is(set_button, kBusy1)) {
            next = kBusy2;
        } else if (label_is(set_button, kBusy2)) {
            next = kBusy3;
        } else if (label_is(set_button, kBusy3)) {
            next = kBusy1;
        }
        set_button.attr("configure")(kOutputButton, "text"_a = next);
    } else if (event.attr("is_set")().equal(py::bool_(false))) {
        set_button.attr("configure")(kOutputButton, "text"_a = kOutputButton);
    }
}

// Everything queued so far, in order. An item the log box cannot show (not a
// string) is dropped on its own; the lines behind it still appear this tick.
void show_log_lines(const Scope& s) {
    py::object receipts = local(s, "Queue_All_variable")[kReceipt];
    py::object empty = receipts.attr("empty");
    py::object get = receipts.attr("get");
    py::object add_text = local(s, "set_CTkTextbox").attr("add_text");
    const py::bool_ no(false);
    while (empty().equal(no)) {
        py::object item = get();
        quietly([&] { add_text(item); });
    }
}

}  // namespace

// Each step of the tick is guarded on its own: an Exception inside it is
// dropped (the worker or its channels may be gone), anything more serious goes on.
void aa(const Scope& s) {
    quietly([&] { show_busy_state(s); });
    quietly([&] { show_log_lines(s); });
    local(s, "app").attr("after")(500, local(s, "aa"));
}

}  // namespace gui
