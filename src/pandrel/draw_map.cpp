// Draw_Map: a slippy map that draws the tracks of GPX files as paths.
//
// Threads. The map is driven only from the thread its Tcl interpreter runs on
// (the Tk thread; the map asks Tcl which one that is, whichever thread made
// the map). draw_gpx starts a daemon thread that reads and parses the file,
// builds the paths and computes the view fit, and makes no Tk call: it queues
// the file for the map and waits until the file is on the map, or the map is
// destroyed. The queue is worked off on the Tk thread by the map's pump, an
// `after` callback that runs as long as the map lives: for each file it takes
// lock_draw_line without waiting (busy: a later turn tries again), fits the
// view when asked, and puts the paths on the map in slices of about 15 ms,
// keeping the lock across the slices and releasing it on every way out. So the
// event loop keeps running, fits of concurrent draws never overlap (the last
// one wins) and every file is drawn.
//
// On the Tk thread itself, _draw_gpx and delete_all_path work at once when
// nothing is queued and the lock is free, and queue their work otherwise: the
// Tk thread never waits. delete_all_path from another thread takes
// lock_draw_line, so it waits for the file being drawn; when the map then holds
// no path it is done, otherwise it queues the clear and waits for it.
//
// The painter lives on the map widget, so the bookkeeping never hashes or
// compares the Draw_Map object: any subclass works.
#include "kit.hpp"

#include "../core/widgets.hpp"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <optional>
#include <vector>

namespace pandrel {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int idle_ms = 20;   // how often an idle pump looks at the queue
constexpr int again_ms = 1;   // the next turn, when a file is half drawn
constexpr int retry_ms = 5;   // the next turn, when the lock was busy
constexpr auto slice = std::chrono::milliseconds(15);  // the drawing of one turn

// ---- Dicts with fixed keys -------------------------------------------------
//
// The painter, one per Draw_Map object: "map" the map widget, "tk_thread" the
// thread Tcl runs on, "jobs" the queue (a list; the first job is the one being
// worked on), "gone" whether the map was destroyed, "pump" the pump callback
// and "after" the id of its next turn.
//
// A job: "self" the Draw_Map object, "paths" a file's paths (None: a clear),
// "fit" (latitude, longitude, zoom) or None, "data_path", "next" the index of
// the next path to draw, "started" whether it holds lock_draw_line, "signal"
// a lock its waiter blocks on (None: nobody waits) and "error" what it failed
// with, for the waiter.

using hv::item;
using hv::set_item;

void append(py::handle list, py::handle value) {
    if (PyList_Append(list.ptr(), value.ptr()) < 0) throw py::error_already_set();
}

py::object new_job(py::handle self, py::handle paths, py::handle fit, py::handle data_path) {
    py::object job = hv::steal(PyDict_New());
    set_item(job, "self", self);
    set_item(job, "paths", paths);
    set_item(job, "fit", fit);
    set_item(job, "data_path", data_path);
    set_item(job, "next", py::int_(0));
    set_item(job, "started", Py_False);
    set_item(job, "signal", Py_None);
    set_item(job, "error", Py_None);
    return job;
}

// ---- The painter -----------------------------------------------------------

// The painter of a map widget, kept on the widget itself; None when it has none.
constexpr const char* painter_attribute = "_draw_map_painter";

py::object painter_on(py::handle map) { return hv::getattr_or_none(map, painter_attribute); }

bool on_tk_thread(py::handle painter) { return hv::is_current_thread(item(painter, "tk_thread")); }

void schedule(py::handle painter, int ms) {
    set_item(painter, "after", item(painter, "map").attr("after")(ms, item(painter, "pump")));
}

py::object pump(const hv::Args& a);
py::object on_destroy(const hv::Args& a);

py::object make_painter(const hv::Args& a, py::handle self) {
    py::object map = self.attr("map_widget");
    py::object tk_thread = hv::tk_thread(a, map);
    if (tk_thread.is_none()) hv::raise(PyExc_TypeError, "the map widget is no Tk widget");
    py::object known = painter_on(map);
    if (!known.is_none()) return known;  // another thread made it meanwhile
    py::dict painter;
    painter["map"] = map;
    painter["tk_thread"] = tk_thread;
    painter["jobs"] = py::list();
    painter["gone"] = py::bool_(false);
    painter["after"] = py::none();
    painter["pump"] = hv::make_function({"pump", a.qualname() + ".<locals>.pump", {}, pump}, a.globals(), painter);
    if (PyObject_SetAttr(map.ptr(), hv::interned(painter_attribute), painter.ptr()) < 0)
        throw py::error_already_set();
    py::object destroyed = hv::make_function(
        {"map_destroyed", a.qualname() + ".<locals>.map_destroyed", {"event"}, on_destroy}, a.globals(), painter);
    map.attr("bind")("<Destroy>", destroyed, "+");
    schedule(painter, idle_ms);
    return std::move(painter);
}

py::object painter_of(const hv::Args& a, py::handle self) {
    py::object found = painter_on(hv::getattr(self, "map_widget"));
    if (!found.is_none()) return found;
    return make_painter(a, self);  // a map widget this class did not make
}

// ---- Jobs, on the Tk thread ------------------------------------------------

enum class Turn { done, blocked, unfinished };

void fit_view(const hv::Args& a, py::handle self, py::handle fit) {
    auto [lat, lon, zoom] = hv::unpack<3>(fit);
    py::object map = self.attr("map_widget");
    map.attr("set_position")(lat, lon);
    map.attr("set_zoom")(zoom);
    a.print({py::str("適應大小 座標(") + a.str(lon) + py::str(", ") + a.str(lat) + py::str(") 層級(") + a.str(zoom) +
             py::str(")")});
}

// Fits the view (when the job was just started) and draws paths until the
// deadline; true when paths are left for a later turn.
bool work(const hv::Args& a, py::handle job, bool fresh, std::optional<Clock::time_point> deadline) {
    py::handle self = item(job, "self");
    py::handle paths = item(job, "paths");
    if (paths.is_none()) {
        self.attr("map_widget").attr("delete_all_path")();
        return false;
    }
    if (fresh && !item(job, "fit").is_none()) fit_view(a, self, item(job, "fit"));
    py::object set_path = self.attr("map_widget").attr("set_path");
    const Py_ssize_t count = PyList_GET_SIZE(paths.ptr());
    for (Py_ssize_t i = item(job, "next").cast<Py_ssize_t>(); i < count;) {
        py::handle path = PyList_GET_ITEM(paths.ptr(), i++);
        // The map refuses a line of fewer than two points, and the paths after
        // it would be lost with it.
        if (PyList_GET_SIZE(path.ptr()) >= 2) set_path(path, "width"_a = 3, "color"_a = "#2894FF");
        if (deadline && i < count && Clock::now() >= *deadline) {
            set_item(job, "next", py::int_(i));
            return true;
        }
    }
    return false;
}

// The end of a job, done or failed: the lock free, the job out of the queue,
// the line printed, the waiter woken with the failure; with nobody waiting,
// the failure goes on to the caller.
void end_job(const hv::Args& a, py::handle painter, py::handle job, std::optional<py::error_already_set> failure) {
    py::handle self = item(job, "self");
    set_item(job, "started", Py_False);
    try {
        self.attr("lock_draw_line").attr("release")();
    } catch (py::error_already_set& e) {
        if (!failure) failure = e;
    }
    py::handle jobs = item(painter, "jobs");
    if (PyList_GET_SIZE(jobs.ptr()) > 0 && PyList_GET_ITEM(jobs.ptr(), 0) == job.ptr() &&
        PySequence_DelItem(jobs.ptr(), 0) < 0)
        throw py::error_already_set();
    if (!failure && !item(job, "paths").is_none()) {
        try {
            a.print({py::str("已匯入 --> ") + a.str(item(job, "data_path"))});
        } catch (py::error_already_set& e) {
            failure = e;
        }
    }
    py::handle signal = item(job, "signal");
    if (signal.is_none()) {
        if (failure) throw *failure;
        return;
    }
    if (failure) set_item(job, "error", failure->value());
    signal.attr("release")();
}

// One turn of a job: the lock taken without waiting (or not: blocked), the
// work up to the deadline, and its end.
Turn step(const hv::Args& a, py::handle painter, py::handle job, std::optional<Clock::time_point> deadline) {
    py::handle self = item(job, "self");
    bool fresh = false;
    if (!hv::truth(item(job, "started"))) {
        if (!hv::truth(self.attr("lock_draw_line").attr("acquire")(false))) return Turn::blocked;
        set_item(job, "started", Py_True);
        fresh = true;
    }
    std::optional<py::error_already_set> failure;
    try {
        if (work(a, job, fresh, deadline)) return Turn::unfinished;
    } catch (py::error_already_set& e) {
        failure = e;
    }
    end_job(a, painter, job, std::move(failure));
    return Turn::done;
}

// A job of the Tk thread: at once when nothing is queued before it, else after
// the queued ones, in order. On a destroyed map it runs at once, and a job
// that finds the lock busy there is dropped (no pump will come back to it).
void run_on_tk_thread(const hv::Args& a, py::handle painter, py::handle job) {
    if (!hv::truth(item(painter, "gone"))) {
        py::handle jobs = item(painter, "jobs");
        const bool idle = PyList_GET_SIZE(jobs.ptr()) == 0;
        append(jobs, job);
        if (!idle) return;
    }
    step(a, painter, job, std::nullopt);
}

// Works off the queue for one slice; when to come back, if at all.
std::optional<int> work_off(const hv::Args& a, py::handle painter) {
    const auto deadline = Clock::now() + slice;
    py::handle jobs = item(painter, "jobs");
    while (PyList_GET_SIZE(jobs.ptr()) > 0) {
        py::object job = py::reinterpret_borrow<py::object>(PyList_GET_ITEM(jobs.ptr(), 0));
        switch (step(a, painter, job, deadline)) {
            case Turn::blocked:
                return retry_ms;
            case Turn::unfinished:
                return again_ms;
            case Turn::done:
                break;
        }
        if (Clock::now() >= deadline) return again_ms;
    }
    return std::nullopt;
}

// The pump: one turn now, the next one scheduled, also after a failure (which
// then goes on to tkinter's report of callback errors).
HV_CATCHES_FORCED_UNWIND py::object pump(const hv::Args& a) {
    py::handle painter = a.state();
    set_item(painter, "after", Py_None);
    if (hv::truth(item(painter, "gone"))) return py::none();
    std::optional<int> next;
    try {
        next = work_off(a, painter);
    }
    HV_LET_FORCED_UNWIND_PASS
    catch (...) {
        schedule(painter, again_ms);
        throw;
    }
    schedule(painter, next.value_or(idle_ms));
    return py::none();
}

// <Destroy> of the map: no more turns; the job at work lets the lock go, and
// every waiter is woken (its thread then returns without its file). Every
// step is tried; the first failure is reported at the end.
py::object on_destroy(const hv::Args& a) {
    py::handle painter = a.state();
    py::handle map = item(painter, "map");
    py::object widget = py::getattr(a["event"], "widget", py::none());
    if (!widget.is(map) && !hv::equals(hv::str(widget), hv::str(map))) return py::none();
    set_item(painter, "gone", Py_True);
    py::object jobs = hv::steal(PySequence_List(item(painter, "jobs").ptr()));  // a copy: the queue is emptied first
    if (PySequence_DelSlice(item(painter, "jobs").ptr(), 0, PY_SSIZE_T_MAX) < 0) throw py::error_already_set();
    std::optional<py::error_already_set> failure;
    auto attempt = [&](auto&& step) {
        try {
            step();
        } catch (py::error_already_set& e) {
            if (!failure) failure = e;
        }
    };
    for (py::handle job : jobs) {
        if (hv::truth(item(job, "started"))) {
            set_item(job, "started", Py_False);
            attempt([&] { item(job, "self").attr("lock_draw_line").attr("release")(); });
        }
        if (!item(job, "signal").is_none()) attempt([&] { item(job, "signal").attr("release")(); });
    }
    py::object after = py::reinterpret_borrow<py::object>(item(painter, "after"));
    set_item(painter, "after", Py_None);
    if (!after.is_none()) attempt([&] { map.attr("after_cancel")(after); });
    if (failure) throw *failure;
    return py::none();
}

// ---- Reading a file (any thread) ---------------------------------------------

// data_path[-4:] == ".gpx"
bool is_gpx(py::handle data_path) {
    py::object start = hv::steal(PyLong_FromLong(-4));
    py::object tail = hv::steal(PySlice_New(start.ptr(), nullptr, nullptr));
    py::object last_four = hv::steal(PyObject_GetItem(data_path.ptr(), tail.ptr()));
    py::object suffix = hv::steal(PyUnicode_FromString(".gpx"));
    const int differs = PyObject_RichCompareBool(last_four.ptr(), suffix.ptr(), Py_NE);
    if (differs < 0) throw py::error_already_set();
    return differs == 0;
}

// with open(data_path, "r", encoding="utf-8") as file: gpx = self.gpxpy.parse(file)
py::object parse_file(const hv::Args& a, py::handle self, py::handle data_path) {
    py::object mode = hv::steal(PyUnicode_FromString("r"));
    py::object encoding = hv::steal(PyUnicode_FromString("utf-8"));
    py::object manager = hv::call(a.global("open"), {data_path, mode}, {{"encoding", encoding}});
    py::object kind = py::reinterpret_borrow<py::object>(reinterpret_cast<PyObject*>(Py_TYPE(manager.ptr())));
    py::object exit = hv::getattr(kind, "__exit__");
    py::object file = hv::call(hv::getattr(kind, "__enter__"), {manager});
    py::object gpx, type, value, trace;
    try {
        gpx = hv::call(hv::getattr(hv::getattr(self, "gpxpy"), "parse"), {file});
    } catch (py::error_already_set& e) {
        // Only references are taken in here: the error is handled outside, so
        // no call is made while it is held.
        type = py::object(e.type());
        value = py::object(e.value());
        trace = py::object(e.trace());
    }
    if (type) {
        py::handle tb = trace ? py::handle(trace) : py::handle(Py_None);
        if (hv::truth(hv::call(exit, {manager, type, value, tb})))
            hv::raise(PyExc_UnboundLocalError, "cannot access local variable 'gpx' where it is not associated with a value");
        PyErr_Restore(type.release().ptr(), value.release().ptr(), trace.release().ptr());
        throw py::error_already_set();
    }
    hv::call(exit, {manager, Py_None, Py_None, Py_None});
    return gpx;
}

py::object next_of(py::handle iterator) {
    PyObject* next = PyIter_Next(iterator.ptr());
    if (next == nullptr && PyErr_Occurred()) throw py::error_already_set();
    return next ? hv::steal(next) : py::object();
}

// While a long track is copied, the reading offers the GIL every 1024 items:
// it would otherwise hold it for tens of milliseconds. Dropping the GIL hands
// it over only when a thread has asked for it (the Tk thread's event loop,
// after waiting the interpreter's switch interval), and then waits until that
// thread has it: a pause costs what the event loop runs, and next to nothing
// when nobody waits (no sleep, no clock).
class Breather {
public:
    void count() {
        if (++since_ < 1024) return;
        since_ = 0;
        PyThreadState* state = PyEval_SaveThread();
        PyEval_RestoreThread(state);
    }

private:
    int since_ = 0;
};

// [getattr(item, name) for item in items]
py::object attribute_list(py::handle items, const char* name, Breather& breather) {
    py::object values = hv::steal(PyList_New(0));
    py::object it = hv::steal(PyObject_GetIter(items.ptr()));
    while (py::object each = next_of(it)) {
        append(values, hv::getattr(each, name));
        breather.count();
    }
    return values;
}

// a + b + ..., with Python's +
py::object joined(std::initializer_list<py::handle> parts) {
    py::object text = py::reinterpret_borrow<py::object>(*parts.begin());
    for (auto part = parts.begin() + 1; part != parts.end(); ++part)
        text = hv::steal(PyNumber_Add(text.ptr(), part->ptr()));
    return text;
}

// A file's paths, one list of (latitude, longitude) pairs per segment, and
// every coordinate as a double while all are plain floats.
struct Paths {
    py::object paths;
    std::vector<double> lat, lon;
    bool native = true;
};

// The texts of the progress line, made once per file.
struct ProgressTexts {
    py::object carriage_return = py::str("\r"), blank = py::str(" "), slash = py::str("/"), empty = py::str("");
};

Paths read_paths(const hv::Args& a, py::handle gpx, py::handle progress, bool progress_check) {
    const ProgressTexts text;
    Paths out;
    out.paths = hv::steal(PyList_New(0));
    py::object tracks = hv::getattr(gpx, "tracks");
    py::object track_count = hv::call(a.global("len"), {tracks});
    py::object print = progress_check ? a.global("print") : py::object();
    py::object track_it = hv::steal(PyObject_GetIter(tracks.ptr()));
    Breather breather;
    long i = 0;
    while (py::object track = next_of(track_it)) {
        py::object segment_it = hv::steal(PyObject_GetIter(hv::getattr(track, "segments").ptr()));
        while (py::object segment = next_of(segment_it)) {
            py::object points = hv::getattr(segment, "points");
            py::object lons = attribute_list(points, "longitude", breather);
            py::object lats = attribute_list(points, "latitude", breather);
            const Py_ssize_t n = std::min(PyList_GET_SIZE(lats.ptr()), PyList_GET_SIZE(lons.ptr()));
            py::object path = hv::steal(PyList_New(n));
            for (Py_ssize_t k = 0; k < n; ++k) {
                PyObject* y = PyList_GET_ITEM(lats.ptr(), k);
                PyObject* x = PyList_GET_ITEM(lons.ptr(), k);
                if (out.native && PyFloat_CheckExact(y) && PyFloat_CheckExact(x)) {
                    out.lat.push_back(PyFloat_AS_DOUBLE(y));
                    out.lon.push_back(PyFloat_AS_DOUBLE(x));
                } else {
                    out.native = false;
                }
                PyObject* pair = PyTuple_Pack(2, y, x);
                if (pair == nullptr) throw py::error_already_set();
                PyList_SET_ITEM(path.ptr(), k, pair);
                breather.count();
            }
            append(out.paths, path);
        }
        ++i;
        if (progress_check) {
            // "\r" + str(progress) + " " + str(i) + "/" + str(track_count), end=""
            py::object number = hv::steal(PyLong_FromLong(i));
            py::object label = a.str(progress), done = a.str(number), total = a.str(track_count);
            py::object line = joined({text.carriage_return, label, text.blank, done, text.slash, total});
            hv::call(print, {line}, {{"end", text.empty}});
        }
    }
    if (progress_check) hv::call(print);
    return out;
}

struct Extremes {
    double max_lat, min_lat, max_lon, min_lon;
};

// max() and min() of each coordinate, as the builtins compare (the first value
// stands until one compares greater, or less).
Extremes extremes(const std::vector<double>& lat, const std::vector<double>& lon) {
    Extremes e{lat[0], lat[0], lon[0], lon[0]};
    for (double v : lat) if (v > e.max_lat) e.max_lat = v;
    for (double v : lat) if (v < e.min_lat) e.min_lat = v;
    for (double v : lon) if (v > e.max_lon) e.max_lon = v;
    for (double v : lon) if (v < e.min_lon) e.min_lon = v;
    return e;
}

double as_double(py::handle value) {
    const double d = PyFloat_AsDouble(value.ptr());
    if (d == -1.0 && PyErr_Occurred()) throw py::error_already_set();
    return d;
}

// Coordinates that are not plain floats (or none at all): the builtins
// decide, with their own errors.
Extremes extremes_by_builtins(const hv::Args& a, py::handle paths) {
    py::object lats = hv::steal(PyList_New(0));
    py::object lons = hv::steal(PyList_New(0));
    py::object path_it = hv::steal(PyObject_GetIter(paths.ptr()));
    while (py::object path = next_of(path_it))
        for (Py_ssize_t k = 0; k < PyList_GET_SIZE(path.ptr()); ++k) {
            PyObject* pair = PyList_GET_ITEM(path.ptr(), k);
            append(lats, PyTuple_GET_ITEM(pair, 0));
            append(lons, PyTuple_GET_ITEM(pair, 1));
        }
    py::object to_float = a.global("float"), largest = a.global("max"), smallest = a.global("min");
    Extremes e{};
    e.max_lat = as_double(hv::call(to_float, {hv::call(largest, {lats})}));
    e.min_lat = as_double(hv::call(to_float, {hv::call(smallest, {lats})}));
    e.max_lon = as_double(hv::call(to_float, {hv::call(largest, {lons})}));
    e.min_lon = as_double(hv::call(to_float, {hv::call(smallest, {lons})}));
    return e;
}

// int(math.log(whole / span, 2))
py::object zoom_for(const hv::Args& a, py::handle self, double whole, double span) {
    py::object ratio = hv::steal(PyFloat_FromDouble(whole / span));
    py::object base = hv::steal(PyLong_FromLong(2));
    py::object log = hv::call_method(hv::getattr(self, "math"), "log", {ratio, base});
    return hv::call(a.global("int"), {log});
}

// (centre latitude, centre longitude, zoom) of the view that fits the paths.
py::object fit_of(const hv::Args& a, py::handle self, const Paths& read) {
    const Extremes e = read.native && !read.lat.empty() ? extremes(read.lat, read.lon)
                                                        : extremes_by_builtins(a, read.paths);
    const double centre_lon = (e.min_lon + e.max_lon) / 2;
    const double centre_lat = (e.min_lat + e.max_lat) / 2;
    const double lon_span = std::fabs(e.max_lon - e.min_lon);
    const double lat_span = std::fabs(e.max_lat - e.min_lat);

    // An axis without extent sets no limit; a single point gets the closest view.
    py::object zoom;
    if (lon_span == 0 && lat_span == 0) {
        zoom = hv::getattr(hv::getattr(self, "map_widget"), "max_zoom");
    } else if (lon_span == 0) {
        zoom = zoom_for(a, self, 180, lat_span);
    } else if (lat_span == 0) {
        zoom = zoom_for(a, self, 360, lon_span);
    } else {
        py::object by_lon = zoom_for(a, self, 360, lon_span);
        py::object by_lat = zoom_for(a, self, 180, lat_span);
        zoom = hv::call(a.global("min"), {by_lon, by_lat});
    }
    return hv::steal(Py_BuildValue("(ddO)", centre_lat, centre_lon, zoom.ptr()));
}

// ---- Handing a job to the Tk thread (another thread) -------------------------

// Queues the job and waits until it is done, raising what it failed with; at
// once when the map is gone.
void hand_over(py::handle self, py::handle painter, py::handle job) {
    py::object signal = hv::call_method(hv::getattr(self, "threading"), "Lock");
    hv::call_method(signal, "acquire");
    if (hv::truth(item(painter, "gone"))) return;
    set_item(job, "signal", signal);
    append(item(painter, "jobs"), job);
    hv::call_method(signal, "acquire");  // released when the job is done or the map destroyed
    py::handle error = item(job, "error");
    if (error.is_none()) return;
    PyErr_SetObject(reinterpret_cast<PyObject*>(Py_TYPE(error.ptr())), error.ptr());
    throw py::error_already_set();
}

// A job, on the Tk thread or handed to it.
void run(const hv::Args& a, py::handle self, py::handle job) {
    py::object painter = painter_of(a, self);
    if (!on_tk_thread(painter)) {
        hand_over(self, painter, job);
        return;
    }
    run_on_tk_thread(a, painter, job);
}

// ---- The class ---------------------------------------------------------------

// factor * value / divisor, with Python's numbers (true division).
py::object scaled(long factor, py::handle value, long divisor) {
    return hv::div(hv::mul(py::int_(factor), value), py::int_(divisor));
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
    make_painter(a, self);
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

py::object draw_file(const hv::Args& a) {
    py::handle self = a["self"];
    py::handle data_path = a["data_path"];
    py::object kwargs = a.kwargs();
    PyObject* given = PyDict_GetItemWithError(kwargs.ptr(), hv::interned("progress"));  // borrowed
    if (given == nullptr && PyErr_Occurred()) throw py::error_already_set();
    py::object progress = given ? py::reinterpret_borrow<py::object>(given) : py::object(py::str("gpx繪製進度"));
    PyObject* check = PyDict_GetItemWithError(kwargs.ptr(), hv::interned("progress_check"));
    if (check == nullptr && PyErr_Occurred()) throw py::error_already_set();
    const bool progress_check = check != nullptr && hv::truth(check);

    if (!is_gpx(data_path)) return py::none();
    py::object gpx = parse_file(a, self, data_path);
    Paths read = read_paths(a, gpx, progress, progress_check);
    py::object fit = hv::truth(a["adapt_sizes"]) ? fit_of(a, self, read) : py::object(py::none());
    run(a, self, new_job(self, read.paths, fit, data_path));
    return py::none();
}

// A map with no path: map_widget.canvas_path_list is empty.
bool holds_no_path(py::handle self) {
    const Py_ssize_t n = PyObject_Length(hv::getattr(hv::getattr(self, "map_widget"), "canvas_path_list").ptr());
    if (n < 0) throw py::error_already_set();
    return n == 0;
}

py::object delete_all_path(const hv::Args& a) {
    py::handle self = a["self"];
    py::object painter = painter_of(a, self);
    py::object job = new_job(self, Py_None, Py_None, Py_None);
    if (on_tk_thread(painter)) {
        run_on_tk_thread(a, painter, job);
        return py::none();
    }
    py::object lock = hv::getattr(self, "lock_draw_line");
    hv::call_method(lock, "acquire");
    bool empty = false;
    try {
        empty = holds_no_path(self);
    } catch (py::error_already_set&) {
        hv::call_method(lock, "release");
        throw;
    }
    hv::call_method(lock, "release");
    if (!empty) hand_over(self, painter, job);
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
