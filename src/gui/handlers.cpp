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
void report_failed_hand_over(const hv::Args& a, py::handle event, const py::error_already_set& e) {
    event.attr("clear")();
    const std::string line = "<$$$顏色[red]$$$>輸出要求無法交給處理程序（" + describe(e) + "），請再試一次。</$$$顏色$$$>";
    local(a, "set_CTkTextbox").attr("add_text")(py::str(line));
}

void choose_file_into(const hv::Args& a, const char* row) {
    a.import("tkinter.filedialog");  // the submodule is loaded before it is reached as an attribute
    py::object file_path = a.global("tkinter").attr("filedialog").attr("askopenfilename")("title"_a = "選擇檔案");
    // A cancelled dialog answers "" (or, on some Tk builds, an empty tuple or
    // None): the field keeps its text. Anything else is a choice.
    if (!hv::not_equals(file_path, py::str(""))) return;
    if (file_path.is_none() || hv::equals(file_path, py::tuple())) return;
    local(a, "set_table").attr("set")(row, file_path);
}

}  // namespace

// Output: mark the window busy and hand the request to the worker.
py::object button_event_001(const hv::Args& a) {
    py::object event = local(a, "Event_All_variable")[py::str(kReceipt)];
    event.attr("set")();

    py::object set_table = local(a, "set_table");
    py::object parameters = local(a, "PP").attr("parameters");
    py::dict sss;
    sss[kTemplateRow] = set_table.attr("get")(kTemplateRow);
    sss[kPatentRow] = set_table.attr("get")(kPatentRow);
    sss[kRatio] = parameters[py::str(kRatio)];
    sss[kChineseFont] = parameters[py::str(kChineseFont)];
    sss[kEnglishFont] = parameters[py::str(kEnglishFont)];
    sss["輸出專利說明書"] = parameters[py::str(kPdfFlag)];

    try {
        if (!running_as_main(a)) {
            local(a, "set_CTkTextbox").attr("delete_all")();
            local(a, "Queue_All_variable")[py::str(kStartData)].attr("put")(sss);
        }
    } catch (py::error_already_set& e) {
        if (!is_exception(e)) throw;
        report_failed_hand_over(a, event, e);
    }
    return py::none();
}

// Bin: empty both path fields.
py::object button_event_003(const hv::Args& a) {
    local(a, "set_table").attr("delete_all")();
    return py::none();
}

// Show the product folder.
py::object button_event_005(const hv::Args& a) {
    platform::open_product_folder(a);
    return py::none();
}

// Choose the template file.
py::object button_event_006(const hv::Args& a) {
    choose_file_into(a, kTemplateRow);
    return py::none();
}

// Choose the file of patent numbers.
py::object button_event_007(const hv::Args& a) {
    choose_file_into(a, kPatentRow);
    return py::none();
}

// The product's web page: HTTPS first, plain HTTP when that fails.
py::object button_event_008(const hv::Args& a) {
    try {
        a.global("webbrowser").attr("open")(kHomePageHttps);
    } catch (py::error_already_set& e) {
        if (!is_exception(e)) throw;
        a.global("webbrowser").attr("open")(kHomePageHttp);
    }
    return py::none();
}

// Copy the switch into the report settings.
py::object switch_event_001(const hv::Args& a) {
    py::object switch_var_001 = local(a, "switch_var_001");
    py::object parameters = local(a, "PP").attr("parameters");
    if (hv::equals(switch_var_001.attr("get")(), py::str("on"))) {
        parameters[py::str(kPdfFlag)] = py::bool_(true);
    } else if (hv::equals(switch_var_001.attr("get")(), py::str("off"))) {
        parameters[py::str(kPdfFlag)] = py::bool_(false);
    }
    return py::none();
}

}  // namespace gui
