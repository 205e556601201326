// The widget helpers of widgets.hpp.
#include "widgets.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>
#include <utility>
#include <vector>

namespace hv {
namespace {

// The children dictionary tkinter keeps on every widget (name -> widget).
py::object children_of(py::handle parent) {
    py::object children = py::getattr(parent, "children", py::none());
    return PyDict_Check(children.ptr()) ? children : py::object(py::none());
}

void destroy_child(py::handle child) {
    try {
        child.attr("destroy")();
        return;
    } catch (py::error_already_set&) {
    }
    py::tuple mro = py::type::handle_of(child).attr("__mro__");
    for (size_t i = 1; i < mro.size(); ++i) {
        py::object cls = mro[i];
        if (!cls.attr("__dict__").contains("destroy")) continue;
        try {
            cls.attr("destroy")(child);
            return;
        } catch (py::error_already_set&) {
        }
    }
}

struct Size {
    long w = 0;
    long h = 0;
    bool operator!=(const Size& other) const { return w != other.w || h != other.h; }
};

// A window in its master's grid or packing order, with what that manager
// knows of it. Paddings count both sides together, as Tk keeps them.
struct Slave {
    std::string path;  // empty for a window not made yet
    Size size;         // the size it asks for
    long row = 0, column = 0, rowspan = 1, columnspan = 1;
    long pad_x = 0, pad_y = 0, ipad_x = 0, ipad_y = 0;
    bool stretch_x = false, stretch_y = false;  // sticky both ways, or pack's fill
    char side = 't';                              // pack: t, b, l or r
};

// One row or column of a grid.
struct Slot {
    long minsize = 0, pad = 0, weight = 0, size = 0;
    std::string uniform;
};

// What a master does with its slaves: the size it asks for and the size each
// slave gets in it.
struct Arrangement {
    Size required;
    std::vector<std::pair<std::string, Size>> given;  // by path; "" for a window not made yet
};

bool starts_with(const std::string& text, const std::string& prefix) {
    return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

std::string text_of(py::handle value) { return py::str(value).cast<std::string>(); }

// An option of a "-option value" map; "" when it is not there.
py::object value_of(const std::map<std::string, py::object>& options, const char* key) {
    auto found = options.find(key);
    return found != options.end() ? found->second : py::object(py::str(""));
}

// The numbers in one Tcl value: 3, "3 5", (3, 5), "0.5"; none for "".
std::vector<double> numbers(py::handle value) {
    std::vector<double> found;
    if (PyTuple_Check(value.ptr())) {
        for (py::handle item : py::reinterpret_borrow<py::tuple>(value))
            for (double n : numbers(item)) found.push_back(n);
        return found;
    }
    if (PyLong_Check(value.ptr()) || PyFloat_Check(value.ptr())) return {py::cast<double>(value)};
    const std::string text = text_of(value);
    const char* at = text.c_str();
    while (*at != '\0') {
        char* after = nullptr;
        const double n = std::strtod(at, &after);
        if (after == at) {  // a brace, a space or something else: step over it
            ++at;
            continue;
        }
        found.push_back(n);
        at = after;
    }
    return found;
}

long first_number(py::handle value, long fallback = 0) {
    const std::vector<double> found = numbers(value);
    return found.empty() ? fallback : std::lround(found[0]);
}

// Both sides of a padding given as "a" or "a b", together.
long both_sides(py::handle value) {
    const std::vector<double> found = numbers(value);
    if (found.empty()) return 0;
    return std::lround(found[0] + (found.size() > 1 ? found[1] : found[0]));
}

// The geometry of Tk windows as their managers will work it out when they are
// shown, asked of Tk by path. The windows inside `changed` are measured anew
// (their managers have not run yet); the others keep the size they ask for now.
class Shown {
public:
    Shown(py::handle widget, std::string changed)
        : tk_(widget.attr("tk")),
          call_(tk_.attr("call")),
          split_(tk_.attr("splitlist")),
          tcl_error_(py::module_::import("_tkinter").attr("TclError")),
          changed_(std::move(changed)) {}

    Oversize worst;  // the window past its limit by most

    // The size `path` asks for once its geometry managers have run.
    Size size_of(const std::string& path) {
        auto known = sizes_.find(path);
        if (known != sizes_.end()) return known->second;
        if (!inside_changed(path)) return requested(path);
        Size size = requested(path);
        if (children(path).empty()) return sizes_[path] = size;  // a leaf manages nothing
        for (const char* manager : {"grid", "pack"}) {
            if (slaves(manager, path).empty()) continue;
            if (propagates(manager, path)) size = arrange(manager, path, nullptr).required;
            break;  // Tk lets one of the two manage a master's content
        }
        sizes_[path] = size;
        return size;
    }

    // Judges `path` at `size`, then the windows inside it at the sizes `path`
    // gives them: all of them, or (`everything` false) only those whose size
    // differs from what they ask for now.
    void check(const std::string& path, Size size, bool everything) {
        judge(path, size);
        const std::vector<std::string> inside = children(path);
        if (inside.empty()) return;  // a window's content lies inside it: a leaf manages nothing
        std::map<std::string, Size> given;
        for (const char* manager : {"grid", "pack", "place"}) {
            if (slaves(manager, path).empty()) continue;
            for (auto& [slave, slave_size] : arrange(manager, path, &size).given) given[slave] = slave_size;
        }
        for (const std::string& child : inside) {
            if (is_toplevel(child)) continue;  // a window of its own, not inside this one
            auto placed = given.find(child);
            const Size child_size = placed != given.end() ? placed->second : size_of(child);
            if (everything || child_size != requested(child)) check(child, child_size, everything);
        }
    }

    // Follows the windows that grow with `path` outwards: the master it is
    // gridded or packed into, while that propagates, and the canvas holding a
    // window that lives in one; stops at the toplevel, and where a master
    // keeps its size (place, no propagation) or a master's new size is no
    // larger than the size it asks for already.
    void grow_outwards(std::string path) {
        for (;;) {
            const std::string manager = text_of(call("winfo", "manager", path));
            std::string master;
            Size size;
            if (manager == "canvas") {
                master = text_of(call("winfo", "parent", path));
                if (master.empty() || is_toplevel(master)) return;
                size = size_of(master);
            } else if (manager == "grid" || manager == "pack") {
                master = text_of(value_of(info(manager.c_str(), path), "-in"));
                if (master.empty() || is_toplevel(master) || !propagates(manager.c_str(), master)) return;
                size = arrange(manager.c_str(), master, nullptr).required;
                const Size before = requested(master);
                if (size.w <= before.w && size.h <= before.h) return;
                sizes_[master] = size;
                const Size shown = given_size(master, size);
                if (shown != size) {  // placed at a size of its own: it asks, but nothing grows
                    check(master, shown, false);
                    return;
                }
            } else {
                return;
            }
            check(master, size, false);
            path = master;
        }
    }

    // A canvas not made yet, of `size`, gridded into `master` at (row, column)
    // and stretched to its cell: judged at the size the cell gives it, then
    // the master grown with it.
    void check_new_canvas(const std::string& master, Size size, long row, long column, const std::string& name) {
        Slave canvas;
        canvas.size = size;
        canvas.row = row;
        canvas.column = column;
        canvas.stretch_x = canvas.stretch_y = true;
        long limit = max_window_side - 2 * canvas_margin;  // made with no border or highlight
        if (is_toplevel(master) || !propagates("grid", master) || !slaves("pack", master).empty()) {
            judge_size(name, size, limit);
            return;
        }
        Arrangement grown = arrange("grid", master, nullptr, &canvas);
        for (auto& [slave, slave_size] : grown.given)
            if (slave.empty()) judge_size(name, slave_size, limit);
        const Size before = requested(master);
        if (grown.required.w <= before.w && grown.required.h <= before.h) return;
        sizes_[master] = grown.required;
        const Size shown = given_size(master, grown.required);
        check(master, shown, false);
        if (!(shown != grown.required)) grow_outwards(master);
    }

    // The size `path` is given when it asks for `own`: a window placed with a
    // width or a height (outright or relative to its master) gets that side
    // from the placer, whatever it asks for; any other window gets `own`.
    Size given_size(const std::string& path, Size own) {
        if (text_of(call("winfo", "manager", path)) != "place") return own;
        const std::map<std::string, py::object> about = info("place", path);
        std::string master = text_of(value_of(about, "-in"));
        if (master.empty()) master = text_of(call("winfo", "parent", path));
        if (master.empty()) return own;
        return placed(about, shown_size(master), inner_border(master), own);
    }

private:
    py::object tk_, call_, split_, tcl_error_;
    std::string changed_;
    std::map<std::string, Size> sizes_;  // sizes worked out here, in place of what Tk has now
    std::map<std::string, Size> requested_;
    std::map<std::string, std::string> kinds_;
    std::map<std::string, std::vector<std::string>> children_, slaves_;
    std::map<std::string, Arrangement> arranged_;  // by manager and master, at the size it asks for

    template <class... A>
    py::object call(A&&... args) {
        return call_(std::forward<A>(args)...);
    }

    std::vector<std::string> list(py::handle value) {
        std::vector<std::string> items;
        for (py::handle item : split_(value)) items.push_back(text_of(item));
        return items;
    }

    // "-option value ..." as a map.
    std::map<std::string, py::object> options(py::handle value) {
        std::map<std::string, py::object> found;
        py::tuple items = split_(value);
        for (size_t i = 0; i + 1 < items.size(); i += 2)
            found[text_of(items[i])] = py::reinterpret_borrow<py::object>(items[i + 1]);
        return found;
    }

    std::map<std::string, py::object> info(const char* manager, const std::string& path) {
        return options(call(manager, "info", path));
    }

    bool inside_changed(const std::string& path) const {
        if (changed_.empty()) return false;
        return path == changed_ || changed_ == "." || starts_with(path, changed_ + ".");
    }

    // Facts about one window, asked of Tk once per measurement.
    const std::string& kind(const std::string& path) {
        auto known = kinds_.find(path);
        if (known != kinds_.end()) return known->second;
        return kinds_[path] = text_of(call("winfo", "class", path));
    }

    const std::vector<std::string>& children(const std::string& path) {
        auto known = children_.find(path);
        if (known != children_.end()) return known->second;
        return children_[path] = list(call("winfo", "children", path));
    }

    const std::vector<std::string>& slaves(const char* manager, const std::string& master) {
        const std::string key = std::string(manager) + " " + master;
        auto known = slaves_.find(key);
        if (known != slaves_.end()) return known->second;
        return slaves_[key] = list(call(manager, "slaves", master));
    }

    // A toplevel (or a menu) is a window of its own, sized by the window
    // manager, not by what it holds.
    bool is_toplevel(const std::string& path) {
        const std::string& k = kind(path);
        return k == "Tk" || k == "Toplevel" || k == "Menu";
    }

    bool propagates(const char* manager, const std::string& master) {
        return first_number(call(manager, "propagate", master)) != 0;
    }

    Size requested(const std::string& path) {
        auto known = requested_.find(path);
        if (known != requested_.end()) return known->second;
        return requested_[path] = {call("winfo", "reqwidth", path).cast<long>(),
                                   call("winfo", "reqheight", path).cast<long>()};
    }

    // An option of the window in pixels; 0 when it has no such option.
    long pixels(const std::string& path, const char* option) {
        try {
            py::object value = call(path, "cget", option);
            if (PyLong_Check(value.ptr())) return value.cast<long>();
            return call("winfo", "pixels", path, value).cast<long>();
        } catch (py::error_already_set& e) {
            if (!e.matches(tcl_error_)) throw;
            return 0;
        }
    }

    // The width Tk keeps free inside a master on each side: its border and
    // highlight ring, and a frame's own padding.
    Size inner_border(const std::string& path) {
        const long ring = pixels(path, "-borderwidth") + pixels(path, "-highlightthickness");
        const std::string& k = kind(path);
        if (k != "Frame" && k != "Toplevel" && k != "Labelframe" && k != "Tk") return {ring, ring};
        return {ring + pixels(path, "-padx"), ring + pixels(path, "-pady")};
    }

    void judge_size(const std::string& window, Size size, long limit) {
        const double excess = static_cast<double>(std::max(size.w, size.h) - limit);
        if (excess <= 0 || (worst && excess <= std::max(worst.width, worst.height) - static_cast<double>(worst.limit)))
            return;
        worst = Oversize{window, static_cast<double>(size.w), static_cast<double>(size.h), limit, {}};
    }

    void judge(const std::string& path, Size size) {
        const std::string& kind = this->kind(path);
        long limit = max_window_side;
        if (kind == "Canvas") {
            const long ring = pixels(path, "-borderwidth") + pixels(path, "-highlightthickness");
            limit = max_window_side - 2 * canvas_margin + 2 * ring;
        }
        judge_size("the " + kind + " " + path, size, limit);
    }

    Slave slave_of(const char* manager, const std::string& path) {
        const std::map<std::string, py::object> about = info(manager, path);
        auto get = [&](const char* key) { return value_of(about, key); };
        Slave slave;
        slave.path = path;
        slave.size = size_of(path);
        slave.pad_x = both_sides(get("-padx"));
        slave.pad_y = both_sides(get("-pady"));
        slave.ipad_x = 2 * first_number(get("-ipadx"));
        slave.ipad_y = 2 * first_number(get("-ipady"));
        if (std::string(manager) == "grid") {
            slave.row = first_number(get("-row"));
            slave.column = first_number(get("-column"));
            slave.rowspan = std::max(1L, first_number(get("-rowspan"), 1));
            slave.columnspan = std::max(1L, first_number(get("-columnspan"), 1));
            const std::string sticky = text_of(get("-sticky"));
            slave.stretch_x = sticky.find('e') != std::string::npos && sticky.find('w') != std::string::npos;
            slave.stretch_y = sticky.find('n') != std::string::npos && sticky.find('s') != std::string::npos;
        } else {
            const std::string fill = text_of(get("-fill"));
            slave.stretch_x = fill == "x" || fill == "both";
            slave.stretch_y = fill == "y" || fill == "both";
            const std::string side = text_of(get("-side"));
            slave.side = side.empty() ? 't' : side[0];
        }
        return slave;
    }

    // The size the placer gives a window (its place options `about`) in a
    // master of `outer` with `border`: a side given outright or relative to
    // the master, else the side it asks for (`own`).
    static Size placed(const std::map<std::string, py::object>& about, Size outer, Size border, Size own) {
        auto get = [&](const char* key) { return value_of(about, key); };
        const bool inside = text_of(get("-bordermode")) != "ignore";
        const double room_w = static_cast<double>(outer.w - (inside ? 2 * border.w : 0));
        const double room_h = static_cast<double>(outer.h - (inside ? 2 * border.h : 0));
        const std::vector<double> w = numbers(get("-width")), rw = numbers(get("-relwidth"));
        const std::vector<double> h = numbers(get("-height")), rh = numbers(get("-relheight"));
        if (!w.empty() || !rw.empty())
            own.w = std::lround((w.empty() ? 0.0 : w[0]) + (rw.empty() ? 0.0 : rw[0] * room_w));
        if (!h.empty() || !rh.empty())
            own.h = std::lround((h.empty() ? 0.0 : h[0]) + (rh.empty() ? 0.0 : rh[0] * room_h));
        return own;
    }

    // A master's size as it is shown: a toplevel's is the larger of the size
    // it has now and the size it asks for (the window manager decides it); any
    // other's is the size its own manager gives it.
    Size shown_size(const std::string& path) {
        if (is_toplevel(path)) {
            const Size asked = requested(path);
            return {std::max(asked.w, call("winfo", "width", path).cast<long>()),
                    std::max(asked.h, call("winfo", "height", path).cast<long>())};
        }
        return given_size(path, size_of(path));
    }

    // The sizes of the slots of one axis of a grid, as Tk resolves them: the
    // largest slave of a slot plus its pad, at least its minsize; uniform
    // groups share the largest size per weight; a slave spanning several slots
    // widens the last one when they are too narrow together.
    std::vector<Slot> resolve(const std::string& master, const char* command, long count,
                              const std::vector<Slave>& slaves, bool across) {
        std::vector<Slot> slots(static_cast<size_t>(count));
        for (long i = 0; i < count; ++i) {
            const std::map<std::string, py::object> about = options(call("grid", command, master, i));
            Slot& slot = slots[static_cast<size_t>(i)];
            slot.minsize = first_number(value_of(about, "-minsize"));
            slot.pad = first_number(value_of(about, "-pad"));
            slot.weight = first_number(value_of(about, "-weight"));
            slot.uniform = text_of(value_of(about, "-uniform"));
            slot.size = slot.minsize;
        }
        auto start = [&](const Slave& s) { return across ? s.column : s.row; };
        auto span = [&](const Slave& s) { return across ? s.columnspan : s.rowspan; };
        auto extent = [&](const Slave& s) {
            return across ? s.size.w + s.pad_x + s.ipad_x : s.size.h + s.pad_y + s.ipad_y;
        };
        for (const Slave& s : slaves) {
            if (span(s) != 1) continue;
            Slot& slot = slots[static_cast<size_t>(start(s))];
            slot.size = std::max(slot.size, extent(s) + slot.pad);
        }
        std::map<std::string, long> per_weight;
        for (const Slot& slot : slots) {
            if (slot.uniform.empty()) continue;
            const long weight = std::max(1L, slot.weight);
            long& most = per_weight[slot.uniform];
            most = std::max(most, (slot.size + weight - 1) / weight);
        }
        for (Slot& slot : slots)
            if (!slot.uniform.empty()) slot.size = per_weight[slot.uniform] * std::max(1L, slot.weight);
        for (const Slave& s : slaves) {
            if (span(s) == 1) continue;
            long together = 0;
            for (long i = start(s); i < start(s) + span(s); ++i) together += slots[static_cast<size_t>(i)].size;
            if (extent(s) > together) slots[static_cast<size_t>(start(s) + span(s) - 1)].size += extent(s) - together;
        }
        return slots;
    }

    // Extra room in a master larger than its content goes to the weighted slots.
    static void share_out(std::vector<Slot>& slots, long extra) {
        long weights = 0;
        for (const Slot& slot : slots) weights += slot.weight;
        if (extra <= 0 || weights <= 0) return;
        for (Slot& slot : slots) slot.size += extra * slot.weight / weights;
    }

    // What `manager` does with the content of `master`: the size it asks for,
    // and the size each slave gets when the master is `size` (its asked-for
    // size when null). `extra` is a slave not made yet.
    Arrangement arrange(const char* manager, const std::string& master, const Size* size,
                        const Slave* extra = nullptr) {
        const std::string kind(manager);
        const std::string key = kind + " " + master;
        if (!extra) {  // the same master arranged again at the size it asks for: as before
            auto known = arranged_.find(key);
            if (known != arranged_.end() && (!size || !(*size != known->second.required))) return known->second;
        }
        std::vector<Slave> slaves;
        if (kind != "place")
            for (const std::string& path : this->slaves(manager, master)) slaves.push_back(slave_of(manager, path));
        if (extra) slaves.push_back(*extra);
        const Size border = inner_border(master);
        Arrangement done;
        if (kind == "grid") {
            long columns = 0, rows = 0;
            std::vector<std::string> counted = list(call("grid", "size", master));
            if (counted.size() == 2) {
                columns = std::atol(counted[0].c_str());
                rows = std::atol(counted[1].c_str());
            }
            for (const Slave& s : slaves) {
                columns = std::max(columns, s.column + s.columnspan);
                rows = std::max(rows, s.row + s.rowspan);
            }
            std::vector<Slot> across = resolve(master, "columnconfigure", columns, slaves, true);
            std::vector<Slot> down = resolve(master, "rowconfigure", rows, slaves, false);
            done.required = {2 * border.w, 2 * border.h};
            for (const Slot& slot : across) done.required.w += slot.size;
            for (const Slot& slot : down) done.required.h += slot.size;
            if (size) {
                share_out(across, size->w - done.required.w);
                share_out(down, size->h - done.required.h);
            }
            for (const Slave& s : slaves) {
                long width = -s.pad_x, height = -s.pad_y;
                for (long i = s.column; i < s.column + s.columnspan; ++i) width += across[static_cast<size_t>(i)].size;
                for (long i = s.row; i < s.row + s.rowspan; ++i) height += down[static_cast<size_t>(i)].size;
                if (!s.stretch_x) width = std::min(width, s.size.w + s.ipad_x);
                if (!s.stretch_y) height = std::min(height, s.size.h + s.ipad_y);
                done.given.emplace_back(s.path, Size{width, height});
            }
        } else if (kind == "pack") {
            // Tk's packer: each slave takes a parcel off one side of what is left.
            long width = 0, height = 0, widest = 0, tallest = 0;
            for (const Slave& s : slaves) {
                const long w = s.size.w + s.pad_x + s.ipad_x, h = s.size.h + s.pad_y + s.ipad_y;
                if (s.side == 't' || s.side == 'b') {
                    widest = std::max(widest, w + width);
                    height += h;
                } else {
                    tallest = std::max(tallest, h + height);
                    width += w;
                }
            }
            done.required = {std::max(widest, width) + 2 * border.w, std::max(tallest, height) + 2 * border.h};
            const Size outer = size ? *size : done.required;
            long room_w = outer.w - 2 * border.w, room_h = outer.h - 2 * border.h;
            for (const Slave& s : slaves) {
                long parcel_w = room_w, parcel_h = room_h;
                if (s.side == 't' || s.side == 'b') {
                    parcel_h = s.size.h + s.pad_y + s.ipad_y;
                    room_h -= parcel_h;
                } else {
                    parcel_w = s.size.w + s.pad_x + s.ipad_x;
                    room_w -= parcel_w;
                }
                long w = s.size.w + s.ipad_x, h = s.size.h + s.ipad_y;
                if (s.stretch_x || w > parcel_w - s.pad_x) w = parcel_w - s.pad_x;
                if (s.stretch_y || h > parcel_h - s.pad_y) h = parcel_h - s.pad_y;
                done.given.emplace_back(s.path, Size{w, h});
            }
        } else {  // place: a size given outright or relative to the master, else the slave's own
            const Size outer = size ? *size : requested(master);
            for (const std::string& path : this->slaves("place", master))
                done.given.emplace_back(path, placed(info("place", path), outer, border, size_of(path)));
            done.required = outer;
        }
        if (!extra && !size) arranged_[key] = done;
        return done;
    }
};

// A Tk widget's path name, or nothing for an object that is not one.
std::optional<std::string> tk_path(py::handle widget) {
    if (!py::hasattr(widget, "winfo_reqwidth") || !py::hasattr(widget, "tk") || !py::hasattr(widget, "_w"))
        return std::nullopt;
    return text_of(widget.attr("_w"));
}

std::string whole(double pixels) {
    char text[32];
    std::snprintf(text, sizeof text, "%.0f", pixels);
    return text;
}

}  // namespace

std::string Oversize::describe() const {
    const double excess = std::max(width, height) - static_cast<double>(limit);
    const std::string size = side.empty() ? whole(width) + " x " + whole(height) + " pixels" : side;
    return window + " would be " + size + ", " + whole(excess) + " more than the " + std::to_string(limit) +
           " it can take";
}

Oversize oversize(py::handle widget) {
    const std::optional<std::string> path = tk_path(widget);
    if (!path) return {};  // not a Tk widget: nothing the window system shows
    Shown shown(widget, *path);
    shown.check(*path, shown.given_size(*path, shown.size_of(*path)), true);
    shown.grow_outwards(*path);
    return shown.worst;
}

Given& Given::length(double value) {
    if (std::isfinite(value)) {
        lengths_ += std::fabs(value);
    } else {
        known_ = false;
    }
    return *this;
}

Given& Given::length(py::handle value) {
    if (!PyLong_Check(value.ptr()) && !PyFloat_Check(value.ptr())) {
        known_ = false;
        return *this;
    }
    const double n = PyFloat_Check(value.ptr()) ? PyFloat_AsDouble(value.ptr()) : PyLong_AsDouble(value.ptr());
    if (n == -1.0 && PyErr_Occurred()) {  // an int past any float
        PyErr_Clear();
        known_ = false;
        return *this;
    }
    return length(n);
}

// No glyph Tk draws is wider than 10 ems (a character without a glyph is drawn
// as its escape, \U0001f600 at most) or a line taller than 3 ems: the text's
// longest line in characters and its number of lines bound it.
Given& Given::text(py::handle text, double font_pixels) {
    if (!PyUnicode_Check(text.ptr()) || !(font_pixels > 0) || !std::isfinite(font_pixels)) {
        known_ = false;
        return *this;
    }
    const Py_ssize_t length = PyUnicode_GetLength(text.ptr());
    if (length < 0) throw py::error_already_set();
    Py_ssize_t lines = 1, longest = 0, start = 0;
    for (;;) {
        const Py_ssize_t end = PyUnicode_FindChar(text.ptr(), '\n', start, length, 1);
        if (end == -2) throw py::error_already_set();
        longest = std::max(longest, (end < 0 ? length : end) - start);
        if (end < 0) break;
        ++lines;
        start = end + 1;
    }
    text_ += font_pixels * (10.0 * static_cast<double>(longest) + 3.0 * static_cast<double>(lines));
    return *this;
}

double Given::bound(double scaling) const {
    if (!known_) return HUGE_VAL;
    // 200 pixels more for what every widget adds of its own: default sizes,
    // borders, corners, the text's padding.
    return std::max(1.0, scaling) * (lengths_ + text_) + 200.0;
}

HV_CATCHES_FORCED_UNWIND double font_pixels(py::handle font) {
    try {
        py::object size;
        if (PyTuple_CheckExact(font.ptr()) && PyTuple_GET_SIZE(font.ptr()) >= 2) {
            size = py::reinterpret_borrow<py::object>(PyTuple_GET_ITEM(font.ptr(), 1));
        } else {
            // tkinter.font.Font, looked up on the first use and kept for the
            // life of the process; no static guard, which an import could
            // hold across a GIL switch (two first uses at once: one leaks).
            static PyObject* font_class = nullptr;
            if (font_class == nullptr)
                font_class = py::object(py::module_::import("tkinter.font").attr("Font")).release().ptr();
            const int is_font = PyObject_IsInstance(font.ptr(), font_class);
            if (is_font < 0) throw py::error_already_set();
            if (is_font == 0) return 0;
            size = font.attr("cget")("size");
        }
        if (!PyLong_CheckExact(size.ptr())) return 0;
        const long n = PyLong_AsLong(size.ptr());
        if (n == -1 && PyErr_Occurred()) throw py::error_already_set();
        // Negative: pixels; positive: points (or a customtkinter font's pixels),
        // at most 4 pixels each (288 dots an inch).
        return n < 0 ? -static_cast<double>(n) : 4.0 * static_cast<double>(n);
    }
    HV_LET_FORCED_UNWIND_PASS
    catch (...) {
        PyErr_Clear();
        return 0;
    }
}

bool needs_measuring(py::handle widget, const Given& given) {
    py::object scaling_of = py::getattr(widget, "_get_widget_scaling", py::none());
    double scaling = 1.0;
    if (!scaling_of.is_none()) {
        py::object got = scaling_of();
        scaling = PyFloat_AsDouble(got.ptr());
        if (scaling == -1.0 && PyErr_Occurred()) {  // no number: measured
            PyErr_Clear();
            return true;
        }
        if (!std::isfinite(scaling)) return true;
    }
    if (given.bound(scaling) >= static_cast<double>(max_window_side - 2 * canvas_margin)) return true;
    py::object manager_of = py::getattr(widget, "winfo_manager", py::none());
    if (manager_of.is_none()) return false;  // not a Tk widget
    const std::string manager = text_of(manager_of());
    return manager != "" && manager != "place";
}

Oversize oversize_gridded_canvas(py::handle parent, double width, double height, py::handle row, long column) {
    if (std::isnan(width) || std::isnan(height)) return {};  // no size at all: making the canvas fails on its own
    const long limit = max_window_side - 2 * canvas_margin;  // made with no border or highlight
    if (std::max(width, height) > static_cast<double>(limit))
        return Oversize{"the chart's canvas", width, height, limit, {}};
    const Size size{static_cast<long>(width), static_cast<long>(height)};
    const std::optional<std::string> path = tk_path(parent);
    if (!path || !PyLong_Check(row.ptr())) return {};  // no Tk parent, or a row grid() refuses later
    const long at = PyLong_AsLong(row.ptr());
    if (at == -1 && PyErr_Occurred()) {
        PyErr_Clear();
        return {};
    }
    if (at < 0) return {};
    // The new canvas is the change: nothing already inside the parent is measured anew.
    Shown shown(parent, std::string());
    shown.check_new_canvas(*path, size, at, column, "the chart's canvas");
    return shown.worst;
}

Oversize oversize_side(py::handle widget, py::handle value, const char* side, const std::string& window) {
    if (!PyLong_Check(value.ptr()) && !PyFloat_Check(value.ptr())) return {};
    py::object pixels = py::reinterpret_borrow<py::object>(value);
    py::object scale = py::getattr(widget, "_apply_widget_scaling", py::none());
    if (!scale.is_none()) pixels = scale(value);
    // Tk rounds a distance to whole pixels: from 32767.5 on it is past the limit.
    py::float_ bound(static_cast<double>(max_window_side) + 0.5);
    const int past = PyObject_RichCompareBool(pixels.ptr(), bound.ptr(), Py_GE);
    if (past < 0) throw py::error_already_set();
    if (past == 0) return {};
    double real = PyFloat_Check(pixels.ptr()) ? PyFloat_AsDouble(pixels.ptr()) : PyLong_AsDouble(pixels.ptr());
    if (real == -1.0 && PyErr_Occurred()) {  // an int past any float
        PyErr_Clear();
        real = HUGE_VAL;
    }
    const bool wide = std::string(side) == "wide";
    return Oversize{window, wide ? real : 0.0, wide ? 0.0 : real, max_window_side, whole(real) + " pixels " + side};
}

MappingEntry::MappingEntry(py::handle mapping, py::handle key)
    : mapping_(py::reinterpret_borrow<py::object>(mapping)), key_(py::reinterpret_borrow<py::object>(key)) {
    const int present = PySequence_Contains(mapping.ptr(), key.ptr());
    if (present < 0) throw py::error_already_set();
    if (present == 1) value_ = getitem(mapping, key);
}

void MappingEntry::restore() {
    if (value_) {
        setitem(mapping_, key_, value_);
    } else if (PyObject_DelItem(mapping_.ptr(), key_.ptr()) < 0) {
        throw py::error_already_set();
    }
}

[[noreturn]] void refuse_size(const std::string& what, const Oversize& too_large) {
    hv::raise(PyExc_ValueError, what + " is too large to show: " + too_large.describe());
}

HV_CATCHES_FORCED_UNWIND py::object make_widget_call(py::handle parent, py::object (*call)(void*), void* make) {
    py::object before = child_names(parent);
    try {
        return call(make);
    }
    HV_LET_FORCED_UNWIND_PASS
    catch (...) {
        destroy_new_children(parent, before);
        throw;
    }
}

HV_CATCHES_FORCED_UNWIND py::object child_names(py::handle parent) {
    try {
        py::object children = children_of(parent);
        if (children.is_none()) return children;
        PyObject* names = PyFrozenSet_New(children.ptr());
        if (names == nullptr) throw py::error_already_set();
        return py::reinterpret_steal<py::object>(names);
    }
    HV_LET_FORCED_UNWIND_PASS
    catch (...) {
        PyErr_Clear();
        return py::none();
    }
}

HV_CATCHES_FORCED_UNWIND void destroy_new_children(py::handle parent, py::handle before) {
    try {
        if (before.is_none()) return;
        py::object children = children_of(parent);
        if (children.is_none()) return;
        py::list names(py::reinterpret_borrow<py::dict>(children).attr("keys")());
        for (py::handle name : names) {
            const int known = PySet_Contains(before.ptr(), name.ptr());
            if (known != 0) {  // there before (or not comparable): not ours
                PyErr_Clear();
                continue;
            }
            PyObject* child = PyDict_GetItemWithError(children.ptr(), name.ptr());  // borrowed
            if (child == nullptr) {
                PyErr_Clear();
                continue;
            }
            destroy_child(py::reinterpret_borrow<py::object>(child));
        }
    }
    HV_LET_FORCED_UNWIND_PASS
    catch (...) {
        PyErr_Clear();
    }
}

}  // namespace hv
