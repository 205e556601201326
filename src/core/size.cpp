// The size rule of size.hpp.
//
// Tk tells at once what each window asks for by itself (winfo reqwidth and
// reqheight: a label's text, a canvas's or a frame's configured size), but
// what a master asks for to hold its slaves only once it is shown. So the
// rule asks Tk for the first and bounds the second from above, as the grid
// and pack manual pages describe the managers, in one Tcl procedure that Tk
// runs in one call (a chart on a worker thread makes one hand-over of it):
//  - a window that propagates asks for at least what its content asks for:
//    its grid slaves the largest in each row and column (a slave spanning
//    slots counted whole in its first one), with their padding, each slot's
//    -minsize and -pad, a -uniform group's slots each as large per weight as
//    the group's largest; its pack slaves summed along the side they take;
//    and its borders;
//  - what is placed with a size relative to a window grows with it;
//  - a change grows the master a window is gridded or packed into while it
//    propagates, and the canvas a window item lives in, on up to the
//    toplevel; a master placed with a size, one that does not propagate
//    (its size is fixed) and one that is not managed (not shown) stop it.
// Every window met on the way is judged against its limit: 32767 pixels,
// and for a canvas 60 less (Tk draws it through a pixmap of its inside and
// 30 pixels more on each side), plus its border. Where Tk would shrink or
// clip content (weighted slots in a master of fixed size), the bound may
// refuse what Tk would have shown; it never passes what Tk would show too
// large.
#include "size.hpp"

#include "errors.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace hv {
namespace {

constexpr long max_window_side = 32767;
constexpr long canvas_margin = 30;

const char* const rule = R"tcl(
namespace eval ::tessarim::tcl::mathfunc {}
namespace eval ::tessarim {
    # What each window was measured to ask for, with what Tk said it asks for
    # then (a window whose own request changes is measured anew), and the
    # windows a change touched.
    variable known
    variable changed
    # The options of each window class that keep room inside it.
    variable options
}

# max() of two numbers, for the procedures here: Tcl's own is a procedure
# of ten commands for any count of arguments.
proc ::tessarim::tcl::mathfunc::max {a b} { expr {$a > $b ? $a : $b} }

# The room Tk keeps free inside $w on each side of axis x or y: its border and
# highlight ring, and a frame's own padding (the options each class has,
# found once).
proc ::tessarim::inside {w class axis} {
    variable options
    if {![info exists options($class,$axis)]} {
        set options($class,$axis) {}
        foreach option [list -borderwidth -highlightthickness -pad$axis] {
            if {$option eq "-pad$axis" && $class ni {Frame Toplevel Labelframe Tk}} continue
            if {![catch {$w cget $option}]} { lappend options($class,$axis) $option }
        }
    }
    set room 0
    foreach option $options($class,$axis) {
        set value [$w cget $option]
        incr room [expr {[string is integer -strict $value] ? $value : [winfo pixels $w $value]}]
    }
    return $room
}

# Judges $w at $width x $height (past 32707 pixels) against its limit: X's 32767 for a frame,
# which Tk draws without a pixmap of its size; for a canvas 32707 and its
# ring; for any other window 32707, as for a canvas inside it. The window
# past its limit by most is kept.
proc ::tessarim::judge_size {w width height} {
    variable worst
    set class [winfo class $w]
    set limit 32707
    if {$class eq "Canvas"} { incr limit [expr {2 * [inside $w $class x]}] }
    if {$class in {Frame Toplevel Tk}} { set limit 32767 }
    set excess [expr {max($width, $height) - $limit}]
    if {$excess > 0 && ($worst eq "" || $excess > [lindex $worst 5])} {
        set worst [list $class $w $width $height $limit $excess]
    }
}

# What is placed with a size relative to $w, at $width x $height, grows with it.
proc ::tessarim::placed {w width height} {
    foreach slave [place slaves $w] {
        lassign [place info $slave] - - - - - - - - - - - fixed_x - rel_x - fixed_y - rel_y
        lassign [list [winfo reqwidth $slave] [winfo reqheight $slave]] x y
        if {"$fixed_x$rel_x" ne ""} { set x [expr {int(ceil(($rel_x eq "" ? 0 : $rel_x * $width) + ($fixed_x eq "" ? 0 : $fixed_x)))}] }
        if {"$fixed_y$rel_y" ne ""} { set y [expr {int(ceil(($rel_y eq "" ? 0 : $rel_y * $height) + ($fixed_y eq "" ? 0 : $fixed_y)))}] }
        if {$x > 32707 || $y > 32707} { judge_size $slave $x $y }
    }
}

# {width height}: the most $w asks for, its own request or what its grid or
# pack content asks for when it propagates; each window in it is judged.
proc ::tessarim::extent {w} {
    variable known
    variable changed
    set width [winfo reqwidth $w]
    set height [winfo reqheight $w]
    # A window without children manages nothing: its request is all it asks.
    if {[winfo children $w] eq ""} {
        if {$width > 32707 || $height > 32707} { judge_size $w $width $height }
        return [list $width $height]
    }
    if {[info exists known($w)]} {
        lassign $known($w) x y asked_width asked_height
        if {$asked_width == $width && $asked_height == $height} { return [list $x $y] }
        unset known($w)
    }
    # A window that Tk shows and no change touched: its request is up to date.
    if {![info exists changed($w)] && [winfo ismapped $w]} { return [list $width $height] }
    set asked [list $width $height]
    foreach manager {grid pack} {
        set slaves [$manager slaves $w]
        if {$slaves eq ""} continue
        lassign [${manager}_content $w $slaves] x y
        if {[$manager propagate $w]} { set width [expr {max($width, $x)}]; set height [expr {max($height, $y)}] }
        break
    }
    placed $w $width $height
    if {$width > 32707 || $height > 32707} { judge_size $w $width $height }
    set known($w) [list $width $height {*}$asked]
    return [list $width $height]
}

# A slave's share of its grid or pack master: its size with its padding ("a"
# or "a b" pixels, as grid and pack info give them) and its internal padding
# on each side.
proc ::tessarim::padded {size pad ipad} {
    lassign $pad a b
    expr {$size + $a + ($b eq "" ? $a : $b) + 2 * $ipad}
}

proc ::tessarim::grid_content {w slaves} {
    foreach slave $slaves {
        lassign [grid info $slave] - - - c - r - - - - - ipadx - ipady - padx - pady
        lassign [extent $slave] x y
        set x [padded $x $padx $ipadx]
        set y [padded $y $pady $ipady]
        # a slave spanning slots is counted whole in its first one
        if {![info exists column($c)] || $x > $column($c)} { set column($c) $x }
        if {![info exists row($r)] || $y > $row($r)} { set row($r) $y }
    }
    lassign [grid size $w] columns rows
    set class [winfo class $w]
    return [list [expr {[slots $w column $columns column] + 2 * [inside $w $class x]}] \
                 [expr {[slots $w row $rows row] + 2 * [inside $w $class y]}]]
}

# The total of a grid's columns or rows: each slot at least its largest
# slave and its -minsize, plus its -pad; the slots of a -uniform group each
# as large, per weight, as the group's largest.
proc ::tessarim::slots {w kind count sizes} {
    upvar 1 $sizes size
    set total 0
    set uniform {}
    for {set i 0} {$i < $count} {incr i} {
        lassign [grid ${kind}configure $w $i] - minsize - pad - group - weight
        set s [expr {max($minsize, [info exists size($i)] ? $size($i) : 0) + $pad}]
        if {$group eq ""} { incr total $s; continue }
        dict lappend uniform $group [list $s [expr {max($weight, 1)}]]
    }
    dict for {group members} $uniform {
        set ratio 0
        foreach m $members { set ratio [expr {max($ratio, double([lindex $m 0]) / [lindex $m 1])}] }
        foreach m $members { incr total [expr {max([lindex $m 0], int(ceil($ratio * [lindex $m 1])))}] }
    }
    return $total
}

proc ::tessarim::pack_content {w slaves} {
    lassign {0 0 0 0} width height widest tallest
    foreach slave $slaves {
        lassign [pack info $slave] - - - - - - - - - ipadx - ipady - padx - pady - side
        lassign [extent $slave] x y
        set x [padded $x $padx $ipadx]
        set y [padded $y $pady $ipady]
        if {$side in {top bottom}} {
            set widest [expr {max($widest, $width + $x)}]
            incr height $y
        } else {
            set tallest [expr {max($tallest, $height + $y)}]
            incr width $x
        }
    }
    set class [winfo class $w]
    return [list [expr {max($widest, $width) + 2 * [inside $w $class x]}] \
                 [expr {max($tallest, $height) + 2 * [inside $w $class y]}]]
}

# A changed window and everything in it are measured anew.
proc ::tessarim::forget {w} {
    variable known
    variable changed
    unset -nocomplain known($w)
    set changed($w) 1
    foreach child [winfo children $w] { forget $child }
}

# {class path width height limit excess} of the window past its limit by
# most, or "": $w and what is in it, then each master it grows. A new window
# ($new true) has nothing measured yet.
proc ::tessarim::judge {w new} {
    variable worst {}
    variable known
    variable changed
    if {[array size known] > 4096} { array unset known }
    array unset changed
    if {$new} { set changed($w) 1 } else { forget $w }
    extent $w
    while 1 {
        set manager [winfo manager $w]
        if {$manager in {grid pack}} {
            set master [lindex [$manager info $w] 1]
            if {![$manager propagate $master]} break
        } elseif {$manager eq "canvas"} {
            set master [winfo parent $w]
        } else {
            break
        }
        # A toplevel, or a master that is not shown (not managed), stops it,
        # and so does one placed with a size of both sides.
        set how [winfo manager $master]
        if {$how ni {grid pack canvas place}} break
        if {$how eq "place"} {
            lassign [place info $master] - - - - - - - - - - - fixed_x - rel_x - fixed_y - rel_y
            if {"$fixed_x$rel_x" ne "" && "$fixed_y$rel_y" ne ""} break
        }
        unset -nocomplain known($master)
        set changed($master) 1
        extent $master
        set w $master
    }
    return $worst
}
)tcl";

std::string whole(double pixels) {
    char text[32];
    std::snprintf(text, sizeof text, "%.0f", pixels);
    return text;
}

std::string past(const std::string& window, const std::string& size, double pixels, long limit) {
    return window + " would be " + size + ", " + whole(pixels - static_cast<double>(limit)) + " more than the " +
           std::to_string(limit) + " it can take";
}

}  // namespace

std::string too_large(py::handle widget, bool made) {
    if (!py::hasattr(widget, "tk") || !py::hasattr(widget, "_w")) return {};  // not a Tk widget
    py::object tk = widget.attr("tk");
    py::object worst;
    try {
        worst = tk.attr("call")("::tessarim::judge", widget.attr("_w"), made);
    } catch (py::error_already_set& e) {
        // The first judgement in this interpreter: the rule is not there yet.
        if (py::str(e.value()).cast<std::string>().rfind("invalid command name \"::tessarim::judge\"", 0) != 0) throw;
        tk.attr("eval")(rule);
        worst = tk.attr("call")("::tessarim::judge", widget.attr("_w"), made);
    }
    py::tuple found = tk.attr("splitlist")(worst);
    if (found.empty()) return {};
    auto text = [&](size_t i) { return py::str(found[i]).cast<std::string>(); };
    return past("the " + text(0) + " " + text(1), text(2) + " x " + text(3) + " pixels",
                std::stod(text(2)) > std::stod(text(3)) ? std::stod(text(2)) : std::stod(text(3)), std::stol(text(4)));
}

std::string past_limit(py::handle widget, py::handle value, const char* side, const std::string& window) {
    if (!py::isinstance<py::int_>(value) && !py::isinstance<py::float_>(value)) return {};
    py::object pixels = py::reinterpret_borrow<py::object>(value);
    py::object scale = py::getattr(widget, "_apply_widget_scaling", py::none());
    if (!scale.is_none()) pixels = scale(value);
    // Tk rounds a distance to whole pixels: from 32767.5 on it is past the limit.
    if (!(pixels >= py::float_(static_cast<double>(max_window_side) + 0.5))) return {};
    double real = HUGE_VAL;
    try {
        real = pixels.cast<double>();
    } catch (py::error_already_set&) {  // an int past any float
    }
    return past(window, whole(real) + " pixels " + side, real, max_window_side);
}

std::string past_canvas_limit(double width, double height, const std::string& window) {
    const long limit = max_window_side - 2 * canvas_margin;  // made with no border or highlight
    const double longest = std::max(width, height);
    if (!(longest > static_cast<double>(limit))) return {};
    return past(window, whole(width) + " x " + whole(height) + " pixels", longest, limit);
}

[[noreturn]] void refuse(const std::string& what, const std::string& problem) {
    raise(PyExc_ValueError, what + " is too large to show: " + problem);
}

}  // namespace hv
