// The pieces of the module GUI, one maker per window concern.
//
// The window's state lives in one closure dictionary per call of GUI (keys are the
// local names of the window: "PP", "app", "set_button", ...). Every handler is a
// Python-level function that captured that dictionary; module globals are looked
// up when a body runs, so a host that rebinds one changes what the window uses.
#pragma once

#include "../core/hv.hpp"

#include <string>

namespace gui {

namespace py = hv::py;
using namespace pybind11::literals;

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

// module.cpp
py::object make_Parameters(py::handle globals);

// window.cpp: the function GUI(Queue_All_variable, Event_All_variable).
py::object make_GUI(py::handle globals);

// A variable of the window's closure; NameError while it has no value yet.
py::object local(const hv::Args& a, const char* name);
// A function nested in GUI: __qualname__ "GUI.<locals>.<name>", capturing `closure`.
py::object nested(const hv::Args& a, const char* name, hv::Body body, py::object closure);
// The same, passed through the module's try_except_log as it is defined.
py::object nested_wrapped(const hv::Args& a, const char* name, hv::Body body, py::object closure);
// True when the running module is the main program.
bool running_as_main(const hv::Args& a);
// Whether a caught interpreter error is an Exception (not KeyboardInterrupt, SystemExit, ...).
bool is_exception(const py::error_already_set& e);

// handlers.cpp: the bodies of the main window's handlers.
py::object button_event_001(const hv::Args& a);
py::object button_event_003(const hv::Args& a);
py::object button_event_005(const hv::Args& a);
py::object button_event_006(const hv::Args& a);
py::object button_event_007(const hv::Args& a);
py::object button_event_008(const hv::Args& a);
py::object switch_event_001(const hv::Args& a);

// poller.cpp: the 500 ms progress poller.
py::object aa(const hv::Args& a);

// settings_window.cpp: the settings window and its confirm handler.
py::object button_event_004(const hv::Args& a);

}  // namespace gui
