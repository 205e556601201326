// Chart_Matplotlib: matplotlib line charts stacked in column 0 of a parent
// widget, one grid row per chart.
//
// The constructor imports matplotlib and numpy and keeps them on the instance,
// so the module loads without them. Named charts live in six dicts (canvas,
// fig, ax, row_name, invert_xaxis, ylim) under the name object that `add`
// received; `update` looks its name up as text. Every `self.ax[name]` of a step
// is read anew from the dict, as the method body would read it.
#include "kit.hpp"

#include "../core/widgets.hpp"

#include <cmath>
#include <string>

namespace pandrel {
namespace {

const char* const tick_colour = "#D0D0D0";


// self.<dict>[name]
py::object entry(py::handle self, const char* dict, py::handle name) { return hv::getitem(self.attr(dict), name); }

// self.np.isnan(value): the function is looked up before the item is read.
bool isnan_of(py::handle self, py::handle sequence, long index) {
    py::object isnan = self.attr("np").attr("isnan");
    py::object item = hv::getitem(sequence, py::int_(index));
    return hv::truth(isnan(item));
}

// An option of `add` from its keyword arguments, or nothing when not given.
py::object option(const py::dict& kwargs, const char* key) {
    PyObject* value = PyDict_GetItemWithError(kwargs.ptr(), py::str(key).ptr());  // borrowed
    if (value == nullptr && PyErr_Occurred()) throw py::error_already_set();
    return py::reinterpret_borrow<py::object>(value);
}

py::object option(const py::dict& kwargs, const char* key, py::object fallback) {
    py::object value = option(kwargs, key);
    return value ? value : fallback;
}

// A size in inches: pixels / dpi, the parent's configured size when not given.
py::object inches(py::handle self, py::handle pixels, const char* which, py::handle dpi) {
    if (hv::equals(pixels, Py_None)) return hv::div(self.attr("frame").attr("cget")(which), dpi);
    return hv::div(pixels, dpi);
}

// The Tk canvas of a figure asks for its size in whole pixels, times the
// screen's pixel ratio once it is shown (matplotlib's figure of 1 inch per 96
// pixels against the screen's own pixels per inch). It is gridded into the
// parent, which grows with it; a canvas or a parent too large for the window
// system would end the process when shown, so the figure is refused before
// its canvas is made. Its own size is judged as soon as it is made (a figure
// far past the limit would take gigabytes to lay out), at the smallest ratio
// and with no Tk call; the screen's ratio and the parent's growth just before
// the canvas is made, which is the first Tk call the chart makes.
double pixel_ratio(py::handle parent) {
    py::object measure = py::getattr(parent, "winfo_fpixels", py::none());
    if (measure.is_none()) return 1.0;
    const double ratio = measure("1i").cast<double>() / 96.0;
    return ratio > 1.0 ? ratio : 1.0;  // the canvas is made at ratio 1 and only shrinks on a smaller one
}

hv::Oversize too_large(py::handle self, py::handle figure, bool on_screen) {
    py::object box = py::getattr(figure, "bbox", py::none());
    if (box.is_none()) return {};  // not a matplotlib figure: nothing to measure
    py::object parent = on_screen ? py::object(self.attr("frame")) : py::object(py::none());
    const double ratio = on_screen ? pixel_ratio(parent) : 1.0;
    const double width = std::trunc(box.attr("width").cast<double>() * ratio);
    const double height = std::trunc(box.attr("height").cast<double>() * ratio);
    return hv::oversize_gridded_canvas(parent, width, height, self.attr("row"), 0);
}

// Figure(figsize=(Lx, Ly), dpi=dpi, facecolor=facecolor); the entries of
// `before` are put back when it is refused (here or in make_canvas).
py::object make_figure(py::handle self, py::handle lx, py::handle ly, py::handle dpi, py::handle facecolor,
                       std::initializer_list<hv::MappingEntry*> before = {}) {
    py::object figure =
        self.attr("Figure")("figsize"_a = py::make_tuple(lx, ly), "dpi"_a = dpi, "facecolor"_a = facecolor);
    if (const hv::Oversize problem = too_large(self, figure, false)) {
        for (hv::MappingEntry* entry : before) entry->restore();
        hv::refuse_size("the chart", problem);
    }
    return figure;
}

// self.FigureCanvasTkAgg(<figure>, master=self.frame), the figure read after
// the class. A figure too large to show is refused first, with the chart's
// entries as they were before this chart (`before`) put back: the first Tk
// call is the one the canvas would make. A canvas whose making fails leaves
// no half-made widget behind.
template <class Figure>
py::object make_canvas(py::handle self, Figure&& figure, std::initializer_list<hv::MappingEntry*> before = {}) {
    py::object make = self.attr("FigureCanvasTkAgg");
    py::object shown = figure();
    if (const hv::Oversize problem = too_large(self, shown, true)) {
        for (hv::MappingEntry* entry : before) entry->restore();
        hv::refuse_size("the chart", problem);
    }
    py::object master = self.attr("frame");
    return hv::make_widget(master, [&] { return make(shown, "master"_a = master); });
}

void place(py::handle self, py::handle canvas) {
    canvas.attr("get_tk_widget")().attr("grid")("row"_a = self.attr("row"), "column"_a = 0, "sticky"_a = "nsew");
}

// self.row += 1
void next_row(py::handle self) {
    py::object row = self.attr("row");
    py::int_ one(1);
    self.attr("row") = hv::steal(PyNumber_InPlaceAdd(row.ptr(), one.ptr()));
}

// Four invisible markers at the corners spanned by the two ends of y when
// exactly one end is NaN, so the axes' data limits keep the NaN end's x. The
// test reads y[0] and y[-1] with short-circuit evaluation; an empty y raises
// IndexError at y[-1].
void end_markers(const hv::Args& a, py::handle self, py::handle name, py::handle x, py::handle y) {
    py::object length = a.call("len", y);
    py::int_ one(1);
    const bool long_enough = hv::truth(hv::steal(PyObject_RichCompare(length.ptr(), one.ptr(), Py_GE)));
    bool one_end = long_enough && isnan_of(self, y, 0) && !isnan_of(self, y, -1);
    if (!one_end) one_end = isnan_of(self, y, -1) && !isnan_of(self, y, 0);
    if (!one_end) return;
    const long corners[4][2] = {{0, -1}, {-1, -1}, {0, 0}, {-1, 0}};
    for (const auto& corner : corners) {
        py::object scatter = entry(self, "ax", name).attr("scatter");
        py::list xs;
        xs.append(hv::getitem(x, py::int_(corner[0])));
        py::list ys;
        ys.append(hv::getitem(y, py::int_(corner[1])));
        scatter(xs, ys, "s"_a = 1, "alpha"_a = 0);
    }
}

// The steps every draw of a named chart ends with: inversion, tick colours and
// the fixed y range.
void finish_axes(py::handle self, py::handle name) {
    if (hv::truth(entry(self, "invert_xaxis", name))) entry(self, "ax", name).attr("invert_xaxis")();
    entry(self, "ax", name).attr("tick_params")("axis"_a = "x", "colors"_a = tick_colour);
    entry(self, "ax", name).attr("tick_params")("axis"_a = "y", "colors"_a = tick_colour);
    if (hv::not_equals(entry(self, "ylim", name), Py_None))
        entry(self, "ax", name).attr("set_ylim")(entry(self, "ylim", name));
}

py::object init(const hv::Args& a) {
    py::handle self = a["self"];
    py::object figure = a.import_from("matplotlib.figure", "Figure");
    py::object np = a.import("numpy");
    py::object canvas = a.import_from("matplotlib.backends.backend_tkagg", "FigureCanvasTkAgg");
    self.attr("Figure") = figure;
    self.attr("np") = np;
    self.attr("FigureCanvasTkAgg") = canvas;
    self.attr("frame") = a["frame"];
    self.attr("canvas") = py::dict();
    self.attr("fig") = py::dict();
    self.attr("ax") = py::dict();
    self.attr("row") = py::int_(0);
    self.attr("row_name") = py::dict();
    self.attr("invert_xaxis") = py::dict();
    self.attr("ylim") = py::dict();
    return py::none();
}

py::object add(const hv::Args& a) {
    py::handle self = a["self"];
    py::handle x = a["x"];
    py::handle y = a["y"];
    const py::dict kwargs = a.kwargs();

    py::object name = option(kwargs, "name");
    if (!name) {
        py::str marker("$$$");
        name = hv::add(hv::add(marker, a.str(self.attr("row"))), marker);
    }
    py::object lx = option(kwargs, "Lx", py::none());
    py::object ly = option(kwargs, "Ly", py::none());
    py::object dpi = option(kwargs, "dpi", py::int_(100));
    py::object facecolor = option(kwargs, "facecolor", py::str("#2b2b2b"));
    // The default line is the kit's blue: a line in the default background
    // colour would leave a chart added with defaults blank.
    py::object line_color = option(kwargs, "line_color", py::str("#3B8ED0"));
    py::object bottom = option(kwargs, "bottom", py::float_(0.3));
    py::object invert = option(kwargs, "invert_xaxis", py::bool_(false));
    py::object ylim = option(kwargs, "ylim", py::none());
    hv::MappingEntry invert_before(self.attr("invert_xaxis"), name), ylim_before(self.attr("ylim"), name);
    hv::setitem(self.attr("invert_xaxis"), name, invert);
    hv::setitem(self.attr("ylim"), name, ylim);

    lx = inches(self, lx, "width", dpi);
    ly = inches(self, ly, "height", dpi);
    py::object row = self.attr("row");
    hv::MappingEntry row_before(self.attr("row_name"), name);
    hv::setitem(self.attr("row_name"), name, row);

    hv::MappingEntry fig_before(self.attr("fig"), name), ax_before(self.attr("ax"), name);
    hv::setitem(self.attr("fig"), name, make_figure(self, lx, ly, dpi, facecolor, {&invert_before, &ylim_before, &row_before}));
    entry(self, "fig", name).attr("tight_layout")();
    entry(self, "fig", name).attr("subplots_adjust")("bottom"_a = bottom);
    py::object axes = entry(self, "fig", name).attr("add_subplot")(111);
    hv::setitem(self.attr("ax"), name, axes);
    entry(self, "ax", name).attr("set_facecolor")(facecolor);
    entry(self, "ax", name).attr("plot")(x, y, "color"_a = line_color);
    end_markers(a, self, name, x, y);
    finish_axes(self, name);

    py::object canvas = make_canvas(self, [&] { return entry(self, "fig", name); },
                                    {&invert_before, &ylim_before, &row_before, &fig_before, &ax_before});
    hv::setitem(self.attr("canvas"), name, canvas);
    entry(self, "canvas", name).attr("draw")();
    place(self, entry(self, "canvas", name));
    next_row(self);
    return py::none();
}

py::object update(const hv::Args& a) {
    py::handle self = a["self"];
    py::handle x = a["x"];
    py::handle y = a["y"];
    const py::object name = a.str(a["name"]);
    entry(self, "ax", name).attr("clear")();
    // clear() resets the axes' colour: it is taken back from the figure.
    py::object set_facecolor = entry(self, "ax", name).attr("set_facecolor");
    set_facecolor(entry(self, "fig", name).attr("get_facecolor")());
    entry(self, "ax", name).attr("plot")(x, y);
    end_markers(a, self, name, x, y);
    finish_axes(self, name);
    entry(self, "canvas", name).attr("draw")();
    return py::none();
}

py::object demo(const hv::Args& a) {
    py::handle self = a["self"];
    py::handle dpi = a["dpi"];
    py::handle facecolor = a["facecolor"];
    py::object lx = inches(self, a["Lx"], "width", dpi);
    py::object ly = inches(self, a["Ly"], "height", dpi);
    py::object fig = make_figure(self, lx, ly, dpi, facecolor);
    fig.attr("tight_layout")();
    fig.attr("subplots_adjust")("bottom"_a = a["bottom"]);
    py::object ax = fig.attr("add_subplot")(111);
    ax.attr("set_facecolor")(facecolor);
    py::object t = self.attr("np").attr("arange")(0, 3, 0.01);
    // 2 * np.sin(2 * np.pi * t): a sine of amplitude 2 and period 1.
    py::object plot = ax.attr("plot");
    py::object sin = self.attr("np").attr("sin");
    py::int_ two(2);
    py::object wave = hv::mul(two, sin(hv::mul(hv::mul(two, self.attr("np").attr("pi")), t)));
    plot(t, wave, "color"_a = a["line_color"]);
    py::object canvas = make_canvas(self, [&] { return fig; });
    canvas.attr("draw")();
    place(self, canvas);
    next_row(self);
    return py::none();
}

}  // namespace

py::object make_Chart_Matplotlib(py::handle g, const std::string& outer) {
    const py::object none = py::none();
    hv::ClassBuilder cls(g, outer + ".Chart_Matplotlib");
    cls.def("__init__", {"self", "frame"}, init)
        .def("add", {"self", "x", "y", "**kwargs"}, add)
        .def("update", {"self", "x", "y", {"name", none}}, update)
        .def("test",
             {"self", {"Lx", none}, {"Ly", none}, {"dpi", py::int_(100)}, {"facecolor", py::str("#2b2b2b")},
              {"line_color", py::str("#3B8ED0")}, {"bottom", py::float_(0.3)}},
             demo);
    return cls.build();
}

}  // namespace pandrel
