// Draw_Map: a slippy map that draws the tracks of GPX files as paths.
//
// draw_gpx parses and draws on a daemon thread; lock_draw_line keeps the
// drawing of one file's paths and the clearing of all paths apart. The Tk
// thread (the one that made the map) never waits for that lock: tkinter runs
// another thread's map calls on the Tk thread and waits for them, so a Tk
// thread blocked on the lock while a drawing thread holds it would freeze the
// window for good. On the Tk thread, a clear or a drawing step that finds the
// lock busy is retried from the event loop until the lock is free.
//
// The drawing thread holds the GIL only while it touches Python objects: the
// coordinates are copied once into plain vectors, and the view fit runs over
// them with the GIL released.
#include "kit.hpp"

#include "../core/widgets.hpp"

#include <pythread.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace pandrel {
namespace {

constexpr int retry_ms = 5;  // how soon a deferred clear or drawing step tries again

bool truth(py::handle value) {
    const int t = PyObject_IsTrue(value.ptr());
    if (t < 0) throw py::error_already_set();
    return t != 0;
}

// The thread each map was made on, by Draw_Map object (weakly, so an entry goes
// with its object). Kept for the life of the process, touched only with the GIL.
py::object& tk_threads() {
    static py::object* threads = new py::object(py::module_::import("weakref").attr("WeakKeyDictionary")());
    return *threads;
}

void remember_tk_thread(py::handle self) {
    try {
        tk_threads()[self] = py::int_(PyThread_get_thread_ident());
    } catch (py::error_already_set&) {
        // an object that cannot be weakly referenced: the main thread stands in
    }
}

// Whether the running thread is the map's Tk thread (the main thread for an
// object whose map this class did not make).
bool on_tk_thread(py::handle self) {
    py::object known = py::none();
    try {
        known = tk_threads().attr("get")(self);
    } catch (py::error_already_set&) {
        // not weakly referable: never one of ours
    }
    unsigned long tk_thread = 0;
    if (known.is_none()) {
        tk_thread = py::module_::import("threading").attr("main_thread")().attr("ident").cast<unsigned long>();
    } else {
        tk_thread = known.cast<unsigned long>();
    }
    return tk_thread == PyThread_get_thread_ident();
}


// factor * value / divisor, with Python's numbers (true division).
py::object scaled(long factor, py::handle value, long divisor) {
    py::int_ f(factor), d(divisor);
    PyObject* product = PyNumber_Multiply(f.ptr(), value.ptr());
    if (product == nullptr) throw py::error_already_set();
    py::object p = py::reinterpret_steal<py::object>(product);
    PyObject* quotient = PyNumber_TrueDivide(p.ptr(), d.ptr());
    if (quotient == nullptr) throw py::error_already_set();
    return py::reinterpret_steal<py::object>(quotient);
}

py::object init(const hv::Args& a) {
    py::handle self = a["self"];
    py::handle frame = a["frame"];
    py::object tkintermapview = a.import("tkintermapview");
    py::object pyautogui = a.import("pyautogui");
    py::object gpxpy = a.import("gpxpy");
    py::object threading = a.import("threading");
    py::object math = a.import("math");
    self.attr("math") = math;
    self.attr("threading") = threading;
    self.attr("lock_draw_line") = threading.attr("Lock")();
    self.attr("gpxpy") = gpxpy;
    self.attr("frame") = frame;

    auto [width, height] = hv::unpack<2>(pyautogui.attr("size")());
    py::object map_width = scaled(750, width, 1920);
    py::object map_height = scaled(400, height, 1080);
    py::object make_map = tkintermapview.attr("TkinterMapView");
    self.attr("map_widget") = hv::make_widget(frame, [&] {
        return make_map(frame, "width"_a = map_width, "height"_a = map_height, "corner_radius"_a = 0);
    });
    py::object map_widget = self.attr("map_widget");
    map_widget.attr("grid")("row"_a = 0, "column"_a = 0, "sticky"_a = "nsew", "rowspan"_a = 2);
    map_widget.attr("set_position")(23.749959894724828, 120.94158253422043);
    map_widget.attr("set_zoom")(7);
    self.attr("max_y") = py::int_(180);
    self.attr("min_y") = py::int_(-180);
    self.attr("max_x") = py::int_(90);
    self.attr("min_x") = py::int_(-90);
    remember_tk_thread(self);
    return py::none();
}

py::object draw_gpx(const hv::Args& a) {
    py::handle self = a["self"];
    py::dict kwargs = a.kwargs();
    if (!kwargs.contains("adapt_sizes")) kwargs["adapt_sizes"] = py::bool_(false);
    py::object adapt_sizes = hv::getitem(kwargs, py::str("adapt_sizes"));
    py::object thread = self.attr("threading").attr("Thread")(
        "target"_a = self.attr("_draw_gpx"), "args"_a = py::make_tuple(a["data_path"], adapt_sizes),
        "daemon"_a = true);
    thread.attr("start")();
    return py::none();
}

// lock_draw_line, taken for one drawing step or one clear and released on
// every way out of it: a failed map call must not leave it taken for good.
class Held {
public:
    // Takes the lock, waiting for it only when `wait`; held() tells whether it was taken.
    Held(py::handle self, bool wait) : lock_(self.attr("lock_draw_line")) {
        held_ = truth(wait ? lock_.attr("acquire")() : lock_.attr("acquire")(false));
    }
    Held(const Held&) = delete;
    Held& operator=(const Held&) = delete;
    bool held() const { return held_; }
    // The ordinary release, whose failure goes to the caller.
    void release() {
        held_ = false;
        lock_.attr("release")();
    }
    // Released while a failure is on its way out; that failure is the one reported.
    ~Held() {
        if (!held_) return;
        PyObject *type, *value, *trace;
        PyErr_Fetch(&type, &value, &trace);
        PyObject* done = PyObject_CallMethod(lock_.ptr(), "release", nullptr);
        if (done == nullptr) PyErr_WriteUnraisable(lock_.ptr());
        Py_XDECREF(done);
        PyErr_Restore(type, value, trace);
    }

private:
    py::object lock_;
    bool held_ = false;
};

// Puts every path of two points or more on the map under the lock; false when
// the lock was busy and not waited for.
bool draw_paths(py::handle self, py::handle paths, bool wait) {
    Held lock(self, wait);
    if (!lock.held()) return false;
    for (py::handle path : paths) {
        // The map refuses a line of fewer than two points, and the paths after
        // it would be lost with it.
        if (PyList_GET_SIZE(path.ptr()) < 2) continue;
        self.attr("map_widget").attr("set_path")(path, "width"_a = 3, "color"_a = "#2894FF");
    }
    lock.release();
    return true;
}

void schedule(const hv::Args& a, const char* name, hv::Body body, const py::tuple& state) {
    py::handle self = state[0];
    hv::FunctionDecl decl{name, a.qualname() + ".<locals>." + name, {}, body};
    py::object retry = hv::make_function(std::move(decl), a.globals(), state);
    self.attr("map_widget").attr("after")(retry_ms, retry);
}

// The drawing step of a file read on the Tk thread, retried until the lock is free.
py::object deferred_draw(const hv::Args& a) {
    py::tuple state = py::reinterpret_borrow<py::tuple>(a.state());
    if (!draw_paths(state[0], state[1], false)) {
        schedule(a, "draw_when_free", deferred_draw, state);
        return py::none();
    }
    a.print({py::str("已匯入 --> ") + a.str(state[2])});
    return py::none();
}

struct Fit {
    double max_lat, min_lat, max_lon, min_lon;
};

// max() and min() of each coordinate, as the builtins compare (the first value
// stands until one compares greater, or less).
Fit extremes(const std::vector<double>& lat, const std::vector<double>& lon) {
    Fit f{lat[0], lat[0], lon[0], lon[0]};
    for (double v : lat) if (v > f.max_lat) f.max_lat = v;
    for (double v : lat) if (v < f.min_lat) f.min_lat = v;
    for (double v : lon) if (v > f.max_lon) f.max_lon = v;
    for (double v : lon) if (v < f.min_lon) f.min_lon = v;
    return f;
}

// int(math.log(whole / span, 2))
py::object zoom_for(const hv::Args& a, py::handle self, double whole, double span) {
    return a.call("int", self.attr("math").attr("log")(py::float_(whole / span), 2));
}

void fit_view(const hv::Args& a, py::handle self, py::handle paths, const std::vector<double>& lat,
              const std::vector<double>& lon, bool native) {
    Fit f{};
    if (native && !lat.empty()) {
        py::gil_scoped_release unlocked;
        f = extremes(lat, lon);
    } else {
        // Coordinates that are not plain floats (or none at all): the builtins
        // decide, with their own errors.
        py::list lats, lons;
        for (py::handle path : paths)
            for (py::handle pair : path) {
                lats.append(pair[py::int_(0)]);
                lons.append(pair[py::int_(1)]);
            }
        f.max_lat = a.call("float", a.call("max", lats)).cast<double>();
        f.min_lat = a.call("float", a.call("min", lats)).cast<double>();
        f.max_lon = a.call("float", a.call("max", lons)).cast<double>();
        f.min_lon = a.call("float", a.call("min", lons)).cast<double>();
    }
    const double centre_lon = (f.min_lon + f.max_lon) / 2;
    const double centre_lat = (f.min_lat + f.max_lat) / 2;
    const double lon_span = std::fabs(f.max_lon - f.min_lon);
    const double lat_span = std::fabs(f.max_lat - f.min_lat);

    // An axis without extent sets no limit; a single point gets the closest view.
    py::object zoom;
    if (lon_span == 0 && lat_span == 0) {
        zoom = self.attr("map_widget").attr("max_zoom");
    } else if (lon_span == 0) {
        zoom = zoom_for(a, self, 180, lat_span);
    } else if (lat_span == 0) {
        zoom = zoom_for(a, self, 360, lon_span);
    } else {
        zoom = a.call("min", zoom_for(a, self, 360, lon_span), zoom_for(a, self, 180, lat_span));
    }
    py::float_ x(centre_lon), y(centre_lat);
    py::object map_widget = self.attr("map_widget");
    map_widget.attr("set_position")(y, x);
    map_widget.attr("set_zoom")(zoom);
    a.print({py::str("適應大小 座標(") + a.str(x) + py::str(", ") + a.str(y) + py::str(") 層級(") + a.str(zoom) +
             py::str(")")});
}

// with open(data_path, "r", encoding="utf-8") as file: gpx = self.gpxpy.parse(file)
py::object parse_file(const hv::Args& a, py::handle self, py::handle data_path) {
    py::object manager = a.call("open", data_path, "r", "encoding"_a = "utf-8");
    py::handle kind = py::type::handle_of(manager);
    py::object exit = kind.attr("__exit__");
    py::object file = kind.attr("__enter__")(manager);
    py::object gpx;
    try {
        gpx = self.attr("gpxpy").attr("parse")(file);
    } catch (py::error_already_set& e) {
        if (!truth(exit(manager, e.type(), e.value(), e.trace()))) throw;
        hv::raise(PyExc_UnboundLocalError, "cannot access local variable 'gpx' where it is not associated with a value");
    }
    exit(manager, py::none(), py::none(), py::none());
    return gpx;
}

// [getattr(item, name) for item in items]
py::list attribute_list(py::handle items, const py::str& name) {
    py::list values;
    py::iterator it = py::iter(items);
    while (PyObject* next = PyIter_Next(it.ptr())) {
        py::object item = py::reinterpret_steal<py::object>(next);
        PyObject* value = PyObject_GetAttr(item.ptr(), name.ptr());
        if (value == nullptr) throw py::error_already_set();
        const int appended = PyList_Append(values.ptr(), value);
        Py_DECREF(value);
        if (appended < 0) throw py::error_already_set();
    }
    if (PyErr_Occurred()) throw py::error_already_set();
    return values;
}

py::object draw_file(const hv::Args& a) {
    py::handle self = a["self"];
    py::handle data_path = a["data_path"];
    py::dict kwargs = a.kwargs();
    py::object progress = kwargs.contains("progress") ? py::object(kwargs["progress"]) : py::str("gpx繪製進度");
    const bool progress_check = kwargs.contains("progress_check") && truth(kwargs["progress_check"]);

    py::int_ start(-4);
    PyObject* slice = PySlice_New(start.ptr(), nullptr, nullptr);
    if (slice == nullptr) throw py::error_already_set();
    py::object last_four = hv::getitem(data_path, py::reinterpret_steal<py::object>(slice));
    if (hv::not_equals(last_four, py::str(".gpx"))) return py::none();

    py::object gpx = parse_file(a, self, data_path);
    py::list paths;
    py::object track_count = a.call("len", gpx.attr("tracks"));
    const py::str longitude_name("longitude"), latitude_name("latitude");
    std::vector<double> lat, lon;
    bool native = true;
    long i = 0;
    for (py::handle track : gpx.attr("tracks")) {
        for (py::handle segment : track.attr("segments")) {
            py::object points = segment.attr("points");
            py::list lons = attribute_list(points, longitude_name);
            py::list lats = attribute_list(points, latitude_name);
            const Py_ssize_t n = std::min(PyList_GET_SIZE(lats.ptr()), PyList_GET_SIZE(lons.ptr()));
            py::list path(n);
            for (Py_ssize_t k = 0; k < n; ++k) {
                PyObject* y = PyList_GET_ITEM(lats.ptr(), k);
                PyObject* x = PyList_GET_ITEM(lons.ptr(), k);
                if (native && PyFloat_CheckExact(y) && PyFloat_CheckExact(x)) {
                    lat.push_back(PyFloat_AS_DOUBLE(y));
                    lon.push_back(PyFloat_AS_DOUBLE(x));
                } else {
                    native = false;
                }
                PyObject* pair = PyTuple_Pack(2, y, x);
                if (pair == nullptr) throw py::error_already_set();
                PyList_SET_ITEM(path.ptr(), k, pair);
            }
            paths.append(path);
        }
        ++i;
        if (progress_check) {
            a.print({py::str("\r") + a.str(progress) + py::str(" ") + a.str(py::int_(i)) + py::str("/") +
                         a.str(track_count)},
                    py::str(""));
        }
    }
    if (progress_check) a.print({});

    if (truth(a["adapt_sizes"])) fit_view(a, self, paths, lat, lon, native);

    if (on_tk_thread(self)) {
        if (!draw_paths(self, paths, false)) {
            schedule(a, "draw_when_free", deferred_draw,
                     py::make_tuple(self, paths, py::reinterpret_borrow<py::object>(data_path)));
            return py::none();
        }
    } else {
        draw_paths(self, paths, true);
    }
    a.print({py::str("已匯入 --> ") + a.str(data_path)});
    return py::none();
}

// Clears under the lock; false when the lock was busy and not waited for.
bool clear_paths(py::handle self, bool wait) {
    Held lock(self, wait);
    if (!lock.held()) return false;
    self.attr("map_widget").attr("delete_all_path")();
    lock.release();
    return true;
}

py::object deferred_clear(const hv::Args& a) {
    py::tuple state = py::reinterpret_borrow<py::tuple>(a.state());
    if (!clear_paths(state[0], false)) schedule(a, "clear_when_free", deferred_clear, state);
    return py::none();
}

py::object delete_all_path(const hv::Args& a) {
    py::handle self = a["self"];
    if (!on_tk_thread(self)) {
        clear_paths(self, true);
    } else if (!clear_paths(self, false)) {
        schedule(a, "clear_when_free", deferred_clear, py::make_tuple(py::reinterpret_borrow<py::object>(self)));
    }
    return py::none();
}

}  // namespace

py::object make_Draw_Map(py::handle g, const std::string& outer) {
    hv::ClassBuilder cls(g, outer + ".Draw_Map");
    cls.def("__init__", {"self", "frame"}, init)
        .def("draw_gpx", {"self", "data_path", "**kwargs"}, draw_gpx)
        .def("_draw_gpx", {"self", "data_path", "adapt_sizes", "**kwargs"}, draw_file)
        .def("delete_all_path", {"self"}, delete_all_path);
    return cls.build();
}

}  // namespace pandrel
