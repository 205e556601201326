// The operating-system side of the window, decided here and nowhere else.
#include "platform.hpp"

#include "gui.hpp"

#include <string>

namespace gui::platform {

namespace {

enum class System { windows, mac, other };

System current_system() {
    const std::string name = py::str(py::module_::import("sys").attr("platform")).cast<std::string>();
    if (name.rfind("win", 0) == 0) return System::windows;
    if (name == "darwin") return System::mac;
    return System::other;
}

constexpr const char* kWorkbook = "檢索專利公開號.xlsx";
constexpr const char* kResourceFolder = "格式範本";

// The product folder under the user's home, resolved now: a test or a host that
// changes HOME is followed.
py::object home_join(const hv::Args& a, std::initializer_list<const char*> parts) {
    py::object path = a.global("os").attr("path");
    py::object result = path.attr("expanduser")("~");
    for (const char* part : parts) result = path.attr("join")(result, py::str(part));
    return result;
}

py::object product_root(const hv::Args& a) {
    if (current_system() == System::windows) return py::str("C:/Halvorine/");
    return home_join(a, {"Halvorine", ""});
}

py::object product_folder(const hv::Args& a) {
    if (current_system() == System::windows) return py::str("C:/Halvorine/Tessarim/");
    return home_join(a, {"Halvorine", "Tessarim", ""});
}

py::object product_workbook(const hv::Args& a) {
    if (current_system() == System::windows) return py::str("C:\\Halvorine\\Tessarim\\檢索專利公開號.xlsx");
    return home_join(a, {"Halvorine", "Tessarim", kWorkbook});
}

// os.mkdir(<folder>), the folder's name included: every error is ignored, of
// any kind (an existing folder is the usual one).
void mkdir_quietly(const hv::Args& a, py::object (*folder)(const hv::Args&)) {
    try {
        a.global("os").attr("mkdir")(folder(a));
    } catch (py::error_already_set&) {
    }
}

}  // namespace

void make_product_folders(const hv::Args& a) {
    mkdir_quietly(a, product_root);
    mkdir_quietly(a, product_folder);
}

void copy_workbook_once(const hv::Args& a) {
    try {
        py::object target = product_workbook(a);
        py::object exists = a.global("os").attr("path").attr("exists")(target);
        if (!exists.cast<bool>()) a.global("shutil").attr("copy2")(resource(a, kWorkbook), target);
    } catch (py::error_already_set& e) {
        if (!is_exception(e)) throw;
        a.print({py::str(std::string(kWorkbook) + " --> ") + a.str(e.value())});
    }
}

py::str resource(const hv::Args& a, const char* file) {
    py::object os = a.global("os");
    py::object here = os.attr("path").attr("abspath")(a.global("__file__"));
    py::object folder = os.attr("path").attr("split")(here)[py::int_(0)];
    if (current_system() == System::windows)
        return py::str(folder + py::str(std::string("\\") + kResourceFolder + "\\" + file));
    return py::str(os.attr("path").attr("join")(folder, py::str(kResourceFolder), py::str(file)));
}

void set_window_icon(const hv::Args& a, py::handle app) {
    try {
        if (current_system() == System::windows) {
            app.attr("iconbitmap")(resource(a, "logo.ico"));
        } else {
            // Tk keeps only a handle to the photo: the Python object must outlive
            // the window, so the window holds it.
            py::object photo = a.global("tkinter").attr("PhotoImage")("master"_a = app, "file"_a = resource(a, "logo.png"));
            app.attr("iconphoto")(true, photo);
            py::setattr(app, "_tessarim_icon", photo);
        }
    } catch (py::error_already_set& e) {
        if (!is_exception(e)) throw;
        a.print({e.value()});
    }
}

void open_product_folder(const hv::Args& a) {
    py::object subprocess = a.global("subprocess");
    const System system = current_system();
    if (system == System::windows) {
        subprocess.attr("Popen")("explorer C:\\Halvorine\\Tessarim");
        return;
    }
    // An argument list and no shell: the folder name is never parsed.
    py::list command;
    command.append(system == System::mac ? "open" : "xdg-open");
    command.append(home_join(a, {"Halvorine", "Tessarim"}));
    subprocess.attr("Popen")(command);
}

}  // namespace gui::platform
