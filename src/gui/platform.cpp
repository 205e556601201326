// The operating-system side of the window, decided here and nowhere else.
#include "platform.hpp"

#include "gui.hpp"

#include <string>

namespace gui::platform {

namespace {

enum class System { windows, mac, other };

System current_system(const Scope& s) {
    const std::string name = py::str(s.import("sys").attr("platform")).cast<std::string>();
    if (name.rfind("win", 0) == 0) return System::windows;
    if (name == "darwin") return System::mac;
    return System::other;
}

constexpr const char* kWorkbook = "檢索專利公開號.xlsx";
constexpr const char* kResourceFolder = "格式範本";

// The product folder under the user's home, resolved now: a test or a host that
// changes HOME is followed.
py::object home_join(const Scope& s, std::initializer_list<const char*> parts) {
    py::object path = s.global("os").attr("path");
    py::object result = path.attr("expanduser")("~");
    for (const char* part : parts) result = path.attr("join")(result, py::str(part));
    return result;
}

py::object product_root(const Scope& s) {
    if (current_system(s) == System::windows) return py::str("C:/Halvorine/");
    return home_join(s, {"Halvorine", ""});
}

py::object product_folder(const Scope& s) {
    if (current_system(s) == System::windows) return py::str("C:/Halvorine/Tessarim/");
    return home_join(s, {"Halvorine", "Tessarim", ""});
}

py::object product_workbook(const Scope& s) {
    if (current_system(s) == System::windows) return py::str("C:\\Halvorine\\Tessarim\\檢索專利公開號.xlsx");
    return home_join(s, {"Halvorine", "Tessarim", kWorkbook});
}

// os.mkdir(<folder>), the folder's name included: every error is ignored, of
// any kind (an existing folder is the usual one).
void mkdir_quietly(const Scope& s, py::object (*folder)(const Scope&)) {
    try {
        s.global("os").attr("mkdir")(folder(s));
    } catch (py::error_already_set&) {
    }
}

}  // namespace

void make_product_folders(const Scope& s) {
    mkdir_quietly(s, product_root);
    mkdir_quietly(s, product_folder);
}

void copy_workbook_once(const Scope& s) {
    try {
        py::object target = product_workbook(s);
        if (!hv::truth(s.global("os").attr("path").attr("exists")(target)))
            s.global("shutil").attr("copy2")(resource(s, kWorkbook), target);
    } catch (py::error_already_set& e) {
        if (!hv::is_exception(e)) throw;
        s.global("print")(py::str(std::string(kWorkbook) + " --> ") + s.str(e.value()));
    }
}

py::str resource(const Scope& s, const char* file) {
    py::object os = s.global("os");
    py::object here = os.attr("path").attr("abspath")(s.global("__file__"));
    py::object folder = os.attr("path").attr("split")(here)[py::int_(0)];
    if (current_system(s) == System::windows)
        return py::str(folder + py::str(std::string("\\") + kResourceFolder + "\\" + file));
    return py::str(os.attr("path").attr("join")(folder, py::str(kResourceFolder), py::str(file)));
}

void set_window_icon(const Scope& s, py::handle app) {
    try {
        if (current_system(s) == System::windows) {
            app.attr("iconbitmap")(resource(s, "logo.ico"));
        } else {
            // Tk keeps only a handle to the photo: the Python object must outlive
            // the window, so the window holds it.
            py::object photo = s.global("tkinter").attr("PhotoImage")("master"_a = app, "file"_a = resource(s, "logo.png"));
            app.attr("iconphoto")(true, photo);
            app.attr("_tessarim_icon") = photo;
        }
    } catch (py::error_already_set& e) {
        if (!hv::is_exception(e)) throw;
        s.global("print")(e.value());
    }
}

void open_product_folder(const Scope& s) {
    py::object subprocess = s.global("subprocess");
    const System system = current_system(s);
    if (system == System::windows) {
        subprocess.attr("Popen")("explorer C:\\Halvorine\\Tessarim");
        return;
    }
    // An argument list and no shell: the folder name is never parsed.
    py::list command;
    command.append(system == System::mac ? "open" : "xdg-open");
    command.append(home_join(s, {"Halvorine", "Tessarim"}));
    subprocess.attr("Popen")(command);
}

}  // namespace gui::platform
