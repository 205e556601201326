// Chart_Matplotlib: matplotlib line charts stacked in column 0 of a parent
// widget, one grid row per chart.
//
// The constructor imports matplotlib and numpy and keeps them on the instance,
// so the module loads without them. Named charts live in six dicts (canvas,
// fig, ax, row_name, invert_xaxis, ylim) under the name object that `add`
// received; `update` looks its name up as text. Every `self.ax[name]` of a step
// is read anew from the dict, as the method body would read it. Every method
// does its work on the calling thread; from a worker, tkinter and matplotlib's
// Tk backend hand the few Tk calls over to the Tk thread.
#include "kit.hpp"

#include <cmath>
#include <vector>

namespace pandrel {
namespace {

const char* const tick_colour = "#D0D0D0";

// A size in inches: pixels / dpi, the parent's configured size when not given.
py::object inches(py::handle self, py::handle pixels, const char* which, py::handle dpi) {
    py::object size = pixels.equal(py::none()) ? py::object(self.attr("frame").attr("cget")(which))
                                               : py::reinterpret_borrow<py::object>(pixels);
    return size / py::reinterpret_borrow<py::object>(dpi);
}

// The Tk canvas of a figure asks for its size in whole pixels, times the
// screen's pixel ratio once it is shown (matplotlib's 96 pixels an inch
// against the screen's own; the canvas is made at ratio 1 and only shrinks on
// a smaller one). A figure too large for the window system is
// refused as soon as it is made (one far past the limit would take gigabytes
// to lay out), at the smallest ratio and with no Tk call, and again at the
// screen's ratio just before its canvas is made, the chart's first Tk call.
double pixel_ratio(py::handle self) {
    if (!py::hasattr(self.attr("frame"), "winfo_fpixels")) return 1.0;
    return std::max(1.0, self.attr("frame").attr("winfo_fpixels")("1i").cast<double>() / 96.0);
}

std::pair<double, double> pixels(py::handle figure, double ratio) {
    py::object box = figure.attr("bbox");
    return {std::trunc(box.attr("width").cast<double>() * ratio), std::trunc(box.attr("height").cast<double>() * ratio)};
}

std::string too_large(py::handle self, py::handle figure, bool on_screen) {
    if (!py::hasattr(figure, "bbox")) return {};  // not a matplotlib figure: nothing to measure
    auto [width, height] = pixels(figure, on_screen ? pixel_ratio(self) : 1.0);
    return hv::past_canvas_limit(width, height, "the chart's canvas");
}

// The parent grows with the charts gridded into it. Once shown, matplotlib
// makes a canvas its figure's size times the screen's pixel ratio: the new
// canvas is judged at that size, then asks for its own size again.
template <class Undo>
void refuse_if_stack_too_large(py::handle self, py::handle figure, py::handle widget, Undo&& undo) {
    const double ratio = pixel_ratio(self);
    py::object width = widget.attr("cget")("width"), height = widget.attr("cget")("height");
    if (ratio > 1.0) {
        auto [shown_width, shown_height] = pixels(figure, ratio);
        widget.attr("configure")("width"_a = shown_width, "height"_a = shown_height);
    }
    const std::string problem = hv::too_large(widget, true);
    if (ratio > 1.0) widget.attr("configure")("width"_a = width, "height"_a = height);
    if (problem.empty()) return;
    undo();
    hv::refuse("the chart", problem);
}

// What a refused chart puts back: the entries of its name in the six dicts.
struct Before {
    std::vector<hv::MappingEntry> entries;
    Before(py::handle self, py::handle name) {
        for (const char* dict : {"canvas", "fig", "ax", "row_name", "invert_xaxis", "ylim"})
            entries.emplace_back(self.attr(dict), name);
    }
    void restore() {
        for (hv::MappingEntry& entry : entries) entry.restore();
    }
};

void refuse_if_too_large(py::handle self, py::handle figure, bool on_screen, Before* before) {
    const std::string problem = too_large(self, figure, on_screen);
    if (problem.empty()) return;
    if (before) before->restore();
    hv::refuse("the chart", problem);
}

// Four invisible markers at the corners spanned by the two ends of y when
// exactly one end is NaN, so the axes' data limits keep the NaN end's x. An
// empty y raises IndexError at y[-1].
void end_markers(const Scope& s, py::handle self, py::handle name, py::handle x, py::handle y) {
    auto isnan = [&](int i) { return hv::truth(self.attr("np").attr("isnan")(y[py::int_(i)])); };
    const bool first = s.global("len")(y) >= py::int_(1) && isnan(0) && !isnan(-1);
    if (!first && !(isnan(-1) && !isnan(0))) return;
    for (auto [at_x, at_y] : {std::pair{0, -1}, {-1, -1}, {0, 0}, {-1, 0}}) {
        py::list xs, ys;
        xs.append(x[py::int_(at_x)]);
        ys.append(y[py::int_(at_y)]);
        self.attr("ax")[name].attr("scatter")(xs, ys, "s"_a = 1, "alpha"_a = 0);
    }
}

// The steps every draw of a named chart ends with: inversion, tick colours
// and the fixed y range.
void finish_axes(py::handle self, py::handle name) {
    if (hv::truth(self.attr("invert_xaxis")[name])) self.attr("ax")[name].attr("invert_xaxis")();
    self.attr("ax")[name].attr("tick_params")("axis"_a = "x", "colors"_a = tick_colour);
    self.attr("ax")[name].attr("tick_params")("axis"_a = "y", "colors"_a = tick_colour);
    py::object ylim = self.attr("ylim")[name];
    if (ylim.not_equal(py::none())) self.attr("ax")[name].attr("set_ylim")(self.attr("ylim")[name]);
}

void init(const Scope& s, py::handle self, py::handle frame) {
    py::object figure = s.import_from("matplotlib.figure", "Figure");
    py::object np = s.import("numpy");
    py::object canvas = s.import_from("matplotlib.backends.backend_tkagg", "FigureCanvasTkAgg");
    self.attr("Figure") = figure;
    self.attr("np") = np;
    self.attr("FigureCanvasTkAgg") = canvas;
    self.attr("frame") = frame;
    for (const char* dict : {"canvas", "fig", "ax"}) self.attr(dict) = py::dict();
    self.attr("row") = 0;
    for (const char* dict : {"row_name", "invert_xaxis", "ylim"}) self.attr(dict) = py::dict();
}

void add(const Scope& s, py::handle self, py::handle x, py::handle y, py::dict kwargs) {
    py::object marker = py::str("$$$");
    py::object name = hv::get(kwargs, "name", marker + s.str(self.attr("row")) + marker);
    py::object lx = hv::get(kwargs, "Lx", py::none());
    py::object ly = hv::get(kwargs, "Ly", py::none());
    py::object dpi = hv::get(kwargs, "dpi", py::int_(100));
    py::object facecolor = hv::get(kwargs, "facecolor", py::str("#2b2b2b"));
    // The kit's blue: a line in the background colour would leave a chart
    // added with defaults blank.
    py::object line_color = hv::get(kwargs, "line_color", py::str("#3B8ED0"));
    py::object bottom = hv::get(kwargs, "bottom", py::float_(0.3));
    py::object invert_xaxis = hv::get(kwargs, "invert_xaxis", py::bool_(false));
    py::object ylim = hv::get(kwargs, "ylim", py::none());
    Before before(self, name);
    self.attr("invert_xaxis")[name] = invert_xaxis;
    self.attr("ylim")[name] = ylim;

    lx = inches(self, lx, "width", dpi);
    ly = inches(self, ly, "height", dpi);
    self.attr("row_name")[name] = self.attr("row");
    self.attr("fig")[name] =
        self.attr("Figure")("figsize"_a = py::make_tuple(lx, ly), "dpi"_a = dpi, "facecolor"_a = facecolor);
    refuse_if_too_large(self, self.attr("fig")[name], false, &before);
    self.attr("fig")[name].attr("tight_layout")();
    self.attr("fig")[name].attr("subplots_adjust")("bottom"_a = bottom);
    self.attr("ax")[name] = self.attr("fig")[name].attr("add_subplot")(111);
    self.attr("ax")[name].attr("set_facecolor")(facecolor);
    self.attr("ax")[name].attr("plot")(x, y, "color"_a = line_color);
    end_markers(s, self, name, x, y);
    finish_axes(self, name);

    refuse_if_too_large(self, self.attr("fig")[name], true, &before);
    self.attr("canvas")[name] = make_widget(self.attr("frame"), [&] {
        return self.attr("FigureCanvasTkAgg")(self.attr("fig")[name], "master"_a = self.attr("frame"));
    });
    self.attr("canvas")[name].attr("draw")();
    py::object widget = self.attr("canvas")[name].attr("get_tk_widget")();
    widget.attr("grid")("row"_a = self.attr("row"), "column"_a = 0, "sticky"_a = "nsew");
    refuse_if_stack_too_large(self, self.attr("fig")[name], widget, [&] {
        widget.attr("destroy")();
        before.restore();
    });
    hv::iadd(self, "row", py::int_(1));
}

void update(const Scope& s, py::handle self, py::handle x, py::handle y, py::handle given_name) {
    py::object name = s.str(given_name);
    self.attr("ax")[name].attr("clear")();
    // clear() resets the axes' colour: it is taken back from the figure.
    self.attr("ax")[name].attr("set_facecolor")(self.attr("fig")[name].attr("get_facecolor")());
    self.attr("ax")[name].attr("plot")(x, y);
    end_markers(s, self, name, x, y);
    finish_axes(self, name);
    self.attr("canvas")[name].attr("draw")();
}

void test(const Scope&, py::handle self, py::handle Lx, py::handle Ly, py::handle dpi, py::handle facecolor,
          py::handle line_color, py::handle bottom) {
    py::object lx = inches(self, Lx, "width", dpi);
    py::object ly = inches(self, Ly, "height", dpi);
    py::object fig = self.attr("Figure")("figsize"_a = py::make_tuple(lx, ly), "dpi"_a = dpi, "facecolor"_a = facecolor);
    refuse_if_too_large(self, fig, false, nullptr);
    fig.attr("tight_layout")();
    fig.attr("subplots_adjust")("bottom"_a = bottom);
    py::object ax = fig.attr("add_subplot")(111);
    ax.attr("set_facecolor")(facecolor);
    py::object np = self.attr("np");
    py::object t = np.attr("arange")(0, 3, 0.01);
    py::object pi = np.attr("pi");
    ax.attr("plot")(t, py::int_(2) * np.attr("sin")(py::int_(2) * pi * t), "color"_a = line_color);
    refuse_if_too_large(self, fig, true, nullptr);
    py::object canvas =
        make_widget(self.attr("frame"), [&] { return self.attr("FigureCanvasTkAgg")(fig, "master"_a = self.attr("frame")); });
    canvas.attr("draw")();
    py::object widget = canvas.attr("get_tk_widget")();
    widget.attr("grid")("row"_a = self.attr("row"), "column"_a = 0, "sticky"_a = "nsew");
    refuse_if_stack_too_large(self, fig, widget, [&] { widget.attr("destroy")(); });
    hv::iadd(self, "row", py::int_(1));
}

}  // namespace

py::object make_Chart_Matplotlib(py::handle g, const std::string& outer) {
    const py::object None = py::none();
    hv::ClassBuilder cls(g, outer + ".Chart_Matplotlib");
    cls.def("__init__", {"self", "frame"}, init)
        .def("add", {"self", "x", "y", "**kwargs"}, add)
        .def("update", {"self", "x", "y", {"name", None}}, update)
        .def("test",
             {"self", {"Lx", None}, {"Ly", None}, {"dpi", py::int_(100)}, {"facecolor", py::str("#2b2b2b")},
              {"line_color", py::str("#3B8ED0")}, {"bottom", py::float_(0.3)}},
             test);
    return cls.build();
}

}  // namespace pandrel
