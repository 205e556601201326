// The pieces of the module GUI, one maker per window concern.
//
// The window's state lives in one closure dictionary per call of GUI (keys are the
// local names of the window: "PP", "app", "set_button", ...). Every handler is a
// Python-level function that captured that dictionary; module globals are looked
// up when a body runs, so a host that rebinds one changes what the window uses.
#pragma once

#include "../core/hv.hpp"
#include "../core/widgets.hpp"

namespace gui {

namespace py = hv::py;
using namespace pybind11::literals;
using hv::Scope;

// The labels of the output button: idle, then the three busy forms in turn.
inline constexpr const char* kOutputButton = "輸出檢索報告";
inline constexpr const char* kBusy1 = "輸出中.";
inline constexpr const char* kBusy2 = "輸出中..";
inline constexpr const char* kBusy3 = "輸出中...";

// Keys of the two shared mappings.
inline constexpr const char* kStartData = "起始數據";
inline constexpr const char* kReceipt = "get_receipt";
inline constexpr const char* kEnd = "end";

// Rows of the path table.
inline constexpr const char* kTemplateRow = "範本檔案路徑";
inline constexpr const char* kPatentRow = "專利檔案路徑";

// Keys of Parameters.parameters.
inline constexpr const char* kRatio = "文字大小比例";
inline constexpr const char* kChineseFont = "中文文字字體";
inline constexpr const char* kEnglishFont = "英文文字字體";
inline constexpr const char* kPdfFlag = "輸出專利說明書PDF檔案";

// (first, second): the pads and sizes the window's calls take.
inline py::tuple pair(int first, int second) { return py::make_tuple(first, second); }

using hv::bold_font;

// try: step() / except Exception: pass. Anything more serious goes on.
template <class Step>
void quietly(Step&& step) {
    try {
        step();
    } catch (py::error_already_set& e) {
        if (!hv::is_exception(e)) throw;
    }
}

// module.cpp
// `__name__ == "__main__"`: the module runs as the main program.
bool is_main(py::handle name);
// A variable of the window's closure; NameError while it has no value yet.
py::object local(const Scope& s, const char* name);
// A function nested in GUI, passed through the module's try_except_log as it is defined.
py::object wrapped(const Scope& s, const char* name, hv::Body body, py::object closure);

// window.cpp: the body of GUI(Queue_All_variable, Event_All_variable).
void gui_body(const Scope& s, py::handle queues, py::handle events);

// handlers.cpp: the bodies of the main window's handlers.
void button_event_001(const Scope& s);
void button_event_003(const Scope& s);
void button_event_005(const Scope& s);
void button_event_006(const Scope& s);
void button_event_007(const Scope& s);
void button_event_008(const Scope& s);
void switch_event_001(const Scope& s);

// poller.cpp: the 500 ms progress poller.
void aa(const Scope& s);

// settings_window.cpp: the settings window and its confirm handler.
void button_event_004(const Scope& s);

}  // namespace gui
