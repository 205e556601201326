// GUI(Queue_All_variable, Event_All_variable): one life of the Tessarim main
// window, from the product folder to the end signals sent after it closes.
#include "gui.hpp"
#include "platform.hpp"

namespace gui {

namespace {

// A frame of the window; `master` is passed by keyword for the four bands of the
// root and by position for the frames inside them, as each is built.
py::object band(py::handle ctk, py::handle app) {
    return ctk.attr("CTkFrame")("master"_a = app, "fg_color"_a = "transparent");
}

// Image.open(<the resource picture `file`>), the folder and Image.open looked up now.
py::object open_image(const Scope& s, const char* file) {
    return s.global("Image").attr("open")(platform::resource(s, file));
}

// Both images of a header logo come from the same file, opened once for each,
// the light one first.
py::object logo_image(const Scope& s, py::handle ctk, const char* file, int width, int height) {
    py::object light = open_image(s, file);
    py::object dark = open_image(s, file);
    return ctk.attr("CTkImage")("light_image"_a = light, "dark_image"_a = dark, "size"_a = pair(width, height));
}

// Whether the resource picture `file` opens as an image.
bool picture_opens(const Scope& s, const char* file) {
    try {
        open_image(s, file).attr("close")();
        return true;
    } catch (py::error_already_set& e) {
        if (!hv::is_exception(e)) throw;
        return false;
    }
}

// The logo, the wordmark and the product name; whatever fails leaves the rest of
// the window alone and is printed.
void build_header(const Scope& s, py::handle ctk, py::handle header) {
    try {
        py::object my_image = logo_image(s, ctk, "logo.png", 50, 50);
        py::object image_logo = ctk.attr("CTkButton")(header, "image"_a = my_image, "text"_a = "", "state"_a = "disabled",
                                                      "width"_a = 50, "fg_color"_a = "transparent");
        image_logo.attr("grid")("row"_a = 0, "column"_a = 0, "padx"_a = pair(0, 5), "sticky"_a = "w");
        my_image = logo_image(s, ctk, "logo(僅文字).png", 120, 30);
        image_logo = ctk.attr("CTkButton")(header, "image"_a = my_image, "text"_a = "", "state"_a = "disabled",
                                           "width"_a = 50, "fg_color"_a = "transparent");
        image_logo.attr("grid")("row"_a = 0, "column"_a = 1, "padx"_a = pair(0, 15), "sticky"_a = "w");
        py::object image_logo_text = ctk.attr("CTkLabel")(header, "text"_a = "Tessarim", "font"_a = bold_font(ctk, 16));
        image_logo_text.attr("grid")("row"_a = 0, "column"_a = 2, "sticky"_a = "nsew");
    } catch (py::error_already_set& e) {
        if (!hv::is_exception(e)) throw;
        s.global("print")(e.value());
    }
}

// customtkinter remembers every root window it has seen (for its appearance and
// DPI trackers) and never forgets one, so a closed window would live as long as
// the process. Once the window has been destroyed, it and its toplevels are
// dropped from those records; a window that is still there is left alone.
void forget_closed_window(const Scope& s, py::handle app) {
    bool exists = false;
    quietly([&] { exists = hv::truth(app.attr("winfo_exists")()); });  // a destroyed application: TclError
    if (exists) return;
    quietly([&] {  // another customtkinter: nothing to tidy that we know of
        py::object appearance = s.import_from("customtkinter.windows.widgets.appearance_mode", "AppearanceModeTracker");
        py::list apps = appearance.attr("app_list");
        while (apps.contains(app)) apps.attr("remove")(app);
        if (py::len(apps) == 0) appearance.attr("update_loop_running") = false;

        py::object scaling = s.import_from("customtkinter.windows.widgets.scaling", "ScalingTracker");
        py::dict windows = scaling.attr("window_dpi_scaling_dict");
        for (py::handle window : py::list(windows.attr("keys")())) {
            if (window.is(app) || window.attr("_root")().is(app)) windows.attr("pop")(window, py::none());
        }
    });
}

}  // namespace

void gui_body(const Scope& s, py::handle queues, py::handle events) {
    // The product folder and, the first time only, the patent-number workbook.
    platform::make_product_folders(s);
    platform::copy_workbook_once(s);

    // What the handlers share: one closure per window.
    py::dict closure;
    closure["Queue_All_variable"] = queues;
    closure["Event_All_variable"] = events;
    py::object PP = s.global("Parameters")();
    closure["PP"] = PP;
    py::object set_button = s.global("Set_Button")();
    closure["set_button"] = set_button;

    // Appearance first: widgets take their colours when they are made.
    py::object ctk = s.global("customtkinter");
    ctk.attr("set_appearance_mode")("dark");
    ctk.attr("set_default_color_theme")("blue");

    py::object app = ctk.attr("CTk")();
    closure["app"] = app;
    app.attr("title")("Tessarim");
    for (int column = 0; column < 3; ++column) app.attr("columnconfigure")(column, "weight"_a = 1);
    app.attr("resizable")(false, false);

    platform::set_window_icon(s, app);

    // Four bands: header, path table, output button, log.
    py::object FF = band(ctk, app);
    FF.attr("grid")("row"_a = 0, "column"_a = 0, "columnspan"_a = 2, "padx"_a = pair(10, 5), "pady"_a = pair(10, 5),
                    "sticky"_a = "nsew");
    py::object AA = band(ctk, app);
    AA.attr("grid")("row"_a = 1, "column"_a = 0, "padx"_a = pair(10, 5), "pady"_a = pair(5, 0), "sticky"_a = "nsew");
    py::object BB = band(ctk, app);
    BB.attr("grid")("row"_a = 1, "column"_a = 1, "padx"_a = pair(0, 10), "pady"_a = pair(5, 0), "sticky"_a = "nsew");
    py::object DD = band(ctk, app);
    DD.attr("grid")("row"_a = 2, "column"_a = 0, "columnspan"_a = 2, "padx"_a = pair(10, 10), "pady"_a = pair(5, 10),
                    "sticky"_a = "ew");

    py::list frame;
    for (int i = 0; i < 10; ++i) frame.append(py::list());
    frame[1] = ctk.attr("CTkFrame")(AA, "width"_a = 395, "height"_a = 110);
    frame[1].attr("grid")("row"_a = 0, "column"_a = 0, "sticky"_a = "new");
    frame[5] = ctk.attr("CTkFrame")(frame[1], "width"_a = 395, "height"_a = 110, "fg_color"_a = "transparent");
    frame[5].attr("place")("x"_a = 10, "y"_a = 30);
    frame[2] = ctk.attr("CTkFrame")(BB, "width"_a = 300, "height"_a = 110);
    frame[2].attr("grid")("row"_a = 0, "column"_a = 0, "sticky"_a = "new");
    frame[4] = ctk.attr("CTkFrame")(FF, "height"_a = 10, "fg_color"_a = "transparent");
    frame[4].attr("grid")("row"_a = 0, "column"_a = 0, "sticky"_a = "nsew", "rowspan"_a = 2);
    frame[6] = ctk.attr("CTkFrame")(DD, "height"_a = 10, "fg_color"_a = "transparent");
    frame[6].attr("grid")("row"_a = 0, "column"_a = 0, "sticky"_a = "nsew", "rowspan"_a = 2);

    py::object set_CTkTextbox = s.global("Set_CTkTextbox")(frame[6]);
    closure["set_CTkTextbox"] = set_CTkTextbox;

    build_header(s, ctk, frame[4]);

    py::object set_table = s.global("Set_Table")(frame[5]);
    closure["set_table"] = set_table;
    set_table.attr("add_entry_name")(kTemplateRow);
    set_table.attr("add_entry_name")(kPatentRow);

    // Each handler goes through try_except_log the moment it exists.
    py::object handler_001 = wrapped(s, "button_event_001", button_event_001, closure);
    py::object handler_003 = wrapped(s, "button_event_003", button_event_003, closure);
    py::object handler_004 = wrapped(s, "button_event_004", button_event_004, closure);
    py::object handler_005 = wrapped(s, "button_event_005", button_event_005, closure);
    py::object handler_006 = wrapped(s, "button_event_006", button_event_006, closure);
    py::object handler_007 = wrapped(s, "button_event_007", button_event_007, closure);
    py::object handler_008 = wrapped(s, "button_event_008", button_event_008, closure);

    py::object add_button = set_button.attr("add_button");
    add_button(BB, "button_name"_a = kOutputButton, "text"_a = kOutputButton, "button_event"_a = handler_001,
               "size"_a = pair(25, 25), "padx"_a = 50, "pady"_a = 10, "sticky"_a = "", "width"_a = 140);
    add_button(FF, "image_path"_a = platform::resource(s, "資料夾.png"), "button_event"_a = handler_005,
               "size"_a = pair(25, 25), "padx"_a = pair(178, 55), "row"_a = 0, "column"_a = 1,
               "fg_color"_a = "transparent");
    add_button(AA, "image_path"_a = platform::resource(s, "垃圾桶.png"), "button_event"_a = handler_003,
               "size"_a = pair(20, 20), "padx"_a = pair(20, 5), "row"_a = 0, "column"_a = 0, "fg_color"_a = "#2b2b2b",
               "width"_a = 20, "corner_radius"_a = 0);
    add_button(AA, "image_path"_a = platform::resource(s, "資料夾.png"), "button_event"_a = handler_006,
               "size"_a = pair(25, 25), "padx"_a = pair(10, 5), "pady"_a = pair(38, 5), "row"_a = 0, "column"_a = 0,
               "fg_color"_a = "#2b2b2b", "corner_radius"_a = 0);
    add_button(AA, "image_path"_a = platform::resource(s, "資料夾.png"), "button_event"_a = handler_007,
               "size"_a = pair(25, 25), "padx"_a = pair(10, 5), "pady"_a = pair(72, 5), "row"_a = 0, "column"_a = 0,
               "fg_color"_a = "#2b2b2b", "corner_radius"_a = 0);
    add_button(FF, "image_path"_a = platform::resource(s, "問號001.png"), "button_event"_a = handler_008,
               "size"_a = pair(25, 25), "padx"_a = pair(78, 105), "row"_a = 0, "column"_a = 1,
               "fg_color"_a = "transparent");
    // The settings window's opener: a gear in its own cell of the header, to the
    // right of the question mark, the folder and the switch. Its picture is
    // ours, not one of the files the window needs: without it (or with one
    // that does not open) the opener is a text button, and the window runs.
    if (picture_opens(s, "設定.png"))
        add_button(FF, "image_path"_a = platform::resource(s, "設定.png"), "button_event"_a = handler_004,
                   "size"_a = pair(25, 25), "padx"_a = pair(5, 0), "row"_a = 0, "column"_a = 2,
                   "fg_color"_a = "transparent");
    else
        add_button(FF, "text"_a = "設定", "button_event"_a = handler_004, "padx"_a = pair(5, 0), "row"_a = 0,
                   "column"_a = 2, "width"_a = 40);

    py::object switch_var_001 = ctk.attr("StringVar")("value"_a = "off");
    closure["switch_var_001"] = switch_var_001;
    py::object switch_handler = s.nested("switch_event_001", {}, switch_event_001, closure);
    py::object switch_font = ctk.attr("CTkFont")("family"_a = "Microsoft JhengHei", "weight"_a = "bold");
    py::object switch_1 = ctk.attr("CTkSwitch")(FF, "text"_a = "輸出專利說明書", "command"_a = switch_handler,
                                               "variable"_a = switch_var_001, "onvalue"_a = "on", "offvalue"_a = "off",
                                               "font"_a = switch_font);
    switch_1.attr("grid")("row"_a = 0, "column"_a = 1, "padx"_a = pair(210, 0), "pady"_a = pair(40, 0),
                          "sticky"_a = s.global("tkinter").attr("W"));
    switch_handler();

    py::object poller = wrapped(s, "aa", aa, closure);
    closure["aa"] = poller;
    app.attr("after")(500, poller);

    app.attr("mainloop")();
    forget_closed_window(s, app);

    // The window is gone: tell the worker, in the order it listens.
    if (!is_main(s.global("__name__"))) {
        queues[kEnd].attr("put")(py::none());
        events[kEnd].attr("set")();
        queues[kStartData].attr("put")(py::none());
    }
}

}  // namespace gui
