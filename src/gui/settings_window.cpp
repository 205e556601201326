// The settings window: the two report fonts and the text-size ratio.
#include "gui.hpp"

#include <cmath>

namespace gui {

namespace {

py::list font_choices() {
    py::list values;
    for (const char* name : {"微軟正黑體", "標楷體", "Calibri", "新細明體", "Brush Script MT"}) values.append(name);
    return values;
}

// The ratio typed in per cent, as the report's factor. Only a finite positive
// number is a ratio; anything else (a word, an empty field, zero, a negative
// number, nan, inf) stands for 100 per cent, the integer 1. Whatever the
// conversion raises, of any kind (a BaseException from a value's __float__
// too), stops here: the fonts are still stored.
py::object ratio_from(const Scope& s, py::handle ss) {
    try {
        py::object ratio = s.global("float")(ss) / py::int_(100);
        const double value = ratio.cast<double>();
        if (value > 0 && std::isfinite(value)) return ratio;
    } catch (py::error_already_set&) {
    } catch (py::cast_error&) {  // a host's `float` that makes no number
    }
    return py::int_(1);
}

// "確認": store this window's choices; the window stays open.
void button_event_004_A(const Scope& s) {
    py::object ss = local(s, "entry").attr("get")();
    py::object parameters = local(s, "PP").attr("parameters");
    parameters[kRatio] = ratio_from(s, ss);
    parameters[kChineseFont] = local(s, "optionmenu_004_B").attr("get")();
    parameters[kEnglishFont] = local(s, "optionmenu_004_A").attr("get")();
}

}  // namespace

void button_event_004(const Scope& s) {
    py::object ctk = s.global("customtkinter");
    py::object PP = local(s, "PP");

    // No parent given: the window belongs to the default root, the main window.
    py::object setting_window = ctk.attr("CTkToplevel")();
    setting_window.attr("attributes")("-topmost", true);
    setting_window.attr("title")("設定");
    setting_window.attr("geometry")("300x330");

    py::object entry_name = ctk.attr("CTkLabel")(setting_window, "text"_a = "英文字體設定", "font"_a = bold_font(ctk, 15));
    entry_name.attr("grid")("row"_a = 1, "column"_a = 0, "sticky"_a = "nsew", "pady"_a = pair(0, 10));
    py::object optionmenu_004_A = ctk.attr("CTkOptionMenu")(setting_window, "font"_a = bold_font(ctk, 13),
                                                            "width"_a = 50, "height"_a = 20,
                                                            "dynamic_resizing"_a = false, "values"_a = font_choices());
    optionmenu_004_A.attr("grid")("row"_a = 1, "column"_a = 0, "padx"_a = pair(20, 20), "pady"_a = pair(60, 10),
                                  "sticky"_a = "nsew");
    optionmenu_004_A.attr("set")(PP.attr("parameters")[kEnglishFont]);

    entry_name = ctk.attr("CTkLabel")(setting_window, "text"_a = "中文字體設定", "font"_a = bold_font(ctk, 15));
    entry_name.attr("grid")("row"_a = 2, "column"_a = 0, "sticky"_a = "nsew", "pady"_a = pair(0, 10));
    py::object optionmenu_004_B = ctk.attr("CTkOptionMenu")(setting_window, "font"_a = bold_font(ctk, 13),
                                                            "width"_a = 50, "height"_a = 20,
                                                            "dynamic_resizing"_a = false, "values"_a = font_choices());
    optionmenu_004_B.attr("grid")("row"_a = 3, "column"_a = 0, "padx"_a = pair(20, 20), "pady"_a = pair(10, 10),
                                  "sticky"_a = "nsew");
    optionmenu_004_B.attr("set")(PP.attr("parameters")[kChineseFont]);

    entry_name = ctk.attr("CTkLabel")(setting_window, "text"_a = "文字大小比例", "font"_a = bold_font(ctk, 15));
    entry_name.attr("grid")("row"_a = 4, "column"_a = 0, "sticky"_a = "nsew", "pady"_a = pair(10, 10));
    // The current ratio in per cent is only the grey hint; the field starts empty.
    py::object ratio = PP.attr("parameters")[kRatio];
    py::object entry = ctk.attr("CTkEntry")(setting_window, "placeholder_text"_a = s.str(ratio * py::int_(100)),
                                            "width"_a = 300, "height"_a = 30);
    entry.attr("grid")("row"_a = 5, "column"_a = 0, "sticky"_a = "new");

    py::dict confirm_closure;
    confirm_closure["entry"] = entry;
    confirm_closure["optionmenu_004_A"] = optionmenu_004_A;
    confirm_closure["optionmenu_004_B"] = optionmenu_004_B;
    confirm_closure["PP"] = PP;
    py::object confirm = s.nested("button_event_004_A", {}, button_event_004_A, confirm_closure);

    py::object button_1 = ctk.attr("CTkButton")(setting_window, "text"_a = "確認", "command"_a = confirm,
                                                "font"_a = bold_font(ctk, 15));
    button_1.attr("grid")("row"_a = 6, "column"_a = 0, "padx"_a = 50, "pady"_a = pair(10, 10));
}

}  // namespace gui
