// The main window's handlers: output, bin, product folder, the two file choosers,
// the web page and the patent-document switch.
#include "gui.hpp"
#include "platform.hpp"

#include <string>

namespace gui {

namespace {

constexpr const char* kHomePageHttps = "https://www.halvorine.com/tessarim";
constexpr const char* kHomePageHttp = "http://www.halvorine.com/tessarim";

// "KeyError: '起始數據'" on one line (the log box drops plain text before a
// line break inside a coloured line).
std::string describe(const py::error_already_set& e) {
    std::string text = py::str(e.type().attr("__name__")).cast<std::string>();
    try {
        const std::string message = py::str(e.value()).cast<std::string>();
        if (!message.empty()) text += ": " + message;
    } catch (py::error_already_set&) {
        // An exception whose text cannot be made is named by its type alone.
    }
    for (char& c : text)
        if (c == '\n' || c == '\r') c = ' ';
    return text;
}

// The request could not reach the worker: nothing is running, so the window
// must not look busy, and the user is told why in the log box.
void report_failed_hand_over(const Scope& s, py::handle event, const py::error_already_set& e) {
    event.attr("clear")();
    const std::string line = "<$$$顏色[red]$$$>輸出要求無法交給處理程序（" + describe(e) + "），請再試一次。</$$$顏色$$$>";
    local(s, "set_CTkTextbox").attr("add_text")(line);
}

void choose_file_into(const Scope& s, const char* row) {
    s.import("tkinter.filedialog");  // the submodule is loaded before it is reached as an attribute
    py::object file_path = s.global("tkinter").attr("filedialog").attr("askopenfilename")("title"_a = "選擇檔案");
    // A cancelled dialog answers "" (or, on some Tk builds, an empty tuple or
    // None): the field keeps its text. Anything else is a choice.
    if (!file_path.not_equal(py::str(""))) return;
    if (file_path.is_none() || file_path.equal(py::tuple())) return;
    local(s, "set_table").attr("set")(row, file_path);
}

}  // namespace

// Output: mark the window busy and hand the request to the worker.
void button_event_001(const Scope& s) {
    py::object event = local(s, "Event_All_variable")[kReceipt];
    event.attr("set")();

    py::object set_table = local(s, "set_table");
    py::object parameters = local(s, "PP").attr("parameters");
    py::dict sss;
    sss[kTemplateRow] = set_table.attr("get")(kTemplateRow);
    sss[kPatentRow] = set_table.attr("get")(kPatentRow);
    sss[kRatio] = parameters[kRatio];
    sss[kChineseFont] = parameters[kChineseFont];
    sss[kEnglishFont] = parameters[kEnglishFont];
    sss["輸出專利說明書"] = parameters[kPdfFlag];

    try {
        if (!is_main(s.global("__name__"))) {
            local(s, "set_CTkTextbox").attr("delete_all")();
            local(s, "Queue_All_variable")[kStartData].attr("put")(sss);
        }
    } catch (py::error_already_set& e) {
        if (!hv::is_exception(e)) throw;
        report_failed_hand_over(s, event, e);
    }
}

// Bin: empty both path fields.
void button_event_003(const Scope& s) { local(s, "set_table").attr("delete_all")(); }

// Show the product folder.
void button_event_005(const Scope& s) { platform::open_product_folder(s); }

// Choose the template file.
void button_event_006(const Scope& s) { choose_file_into(s, kTemplateRow); }

// Choose the file of patent numbers.
void button_event_007(const Scope& s) { choose_file_into(s, kPatentRow); }

// The product's web page: HTTPS first, plain HTTP when that fails.
void button_event_008(const Scope& s) {
    try {
        s.global("webbrowser").attr("open")(kHomePageHttps);
    } catch (py::error_already_set& e) {
        if (!hv::is_exception(e)) throw;
        s.global("webbrowser").attr("open")(kHomePageHttp);
    }
}

// Copy the switch into the report settings.
void switch_event_001(const Scope& s) {
    py::object switch_var_001 = local(s, "switch_var_001");
    py::object parameters = local(s, "PP").attr("parameters");
    if (switch_var_001.attr("get")().equal(py::str("on"))) {
        parameters[kPdfFlag] = true;
    } else if (switch_var_001.attr("get")().equal(py::str("off"))) {
        parameters[kPdfFlag] = false;
    }
}

}  // namespace gui
