// Where the window meets the operating system. On Windows the product folder is
// the drive-letter folder C:/Halvorine/Tessarim/, resources are found by joining
// with backslashes and Explorer opens the folder; elsewhere the product folder lies
// under the user's home and the desktop's own opener shows it. The choice is made
// at each call from sys.platform.
#pragma once

#include "../core/hv.hpp"

namespace gui::platform {

namespace py = hv::py;
using hv::Scope;

// Creates the product folder and its parent, ignoring every failure (an
// existing folder is the usual case).
void make_product_folders(const Scope& s);

// Copies the patent-number workbook from the resource folder into the product
// folder once: a workbook already there (perhaps edited) is never overwritten.
// A failure is printed as "檢索專利公開號.xlsx --> <error>" and not raised.
void copy_workbook_once(const Scope& s);

// The path of a file in the resource folder "格式範本" beside the module's own
// file (the module global __file__, read now).
py::str resource(const Scope& s, const char* file);

// Gives the window its icon; a failure is printed and not raised.
void set_window_icon(const Scope& s, py::handle app);

// Shows the product folder in the desktop's file manager, without waiting.
void open_product_folder(const Scope& s);

}  // namespace gui::platform
