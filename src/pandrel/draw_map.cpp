// Draw_Map: a slippy map that draws the tracks of GPX files as paths.
//
// Threads. draw_gpx starts a daemon thread that reads and parses the file,
// builds the paths and works out the view fit; it makes no Tk call (a path is
// one Tk call of two words a point) but hands the file to the map's work queue
// on the Tk thread and waits until the file is on the map, or the map is
// destroyed. There each file takes lock_draw_line without waiting (busy: a
// later turn tries again), fits the view when asked and puts its paths on the
// map in slices, keeping the lock across the slices: the event loop keeps
// running, fits of concurrent draws never overlap (the last one wins) and
// every file is drawn. On the Tk thread _draw_gpx and delete_all_path work at
// once when nothing is queued and the lock is free; delete_all_path from
// another thread takes lock_draw_line, so it waits for the file being drawn,
// and hands the clear over only when the map holds a path.
//
// A job is a dict: "self" the Draw_Map object, "paths" a file's paths (None:
// a clear), "fit" (latitude, longitude, zoom) or None, "data_path", "next" the
// index of the next path to draw and "started" whether it holds the lock. The
// queue lives on the map widget, so the Draw_Map object is never hashed or
// compared: any subclass works.
#include "kit.hpp"

#include "../core/tk.hpp"

namespace pandrel {
namespace {

using hv::Slice;
using hv::Turn;

void release(py::handle job) {
    job["started"] = false;
    job["self"].attr("lock_draw_line").attr("release")();
}

void fit_view(const Scope& s, py::handle self, py::handle fit) {
    auto [lat, lon, zoom] = hv::unpack<3>(fit);
    self.attr("map_widget").attr("set_position")(lat, lon);
    self.attr("map_widget").attr("set_zoom")(zoom);
    s.global("print")(py::str("適應大小 座標(") + s.str(lon) + py::str(", ") + s.str(lat) + py::str(") 層級(") +
                      s.str(zoom) + py::str(")"));
}

// One turn of a job on the Tk thread: the lock taken without waiting, the view
// fitted when the job starts, paths drawn until the slice is over.
Turn step(const Scope& s, py::handle job, const Slice& slice) {
    py::object self = job["self"];
    bool fresh = false;
    if (!hv::truth(job["started"])) {
        if (!hv::truth(self.attr("lock_draw_line").attr("acquire")(false))) return Turn::blocked;
        job["started"] = true;
        fresh = true;
    }
    try {
        py::object paths = job["paths"];
        if (paths.is_none()) {
            self.attr("map_widget").attr("delete_all_path")();
        } else {
            if (fresh && !job["fit"].is_none()) fit_view(s, self, job["fit"]);
            py::object set_path = self.attr("map_widget").attr("set_path");
            const size_t count = py::len(paths);
            for (size_t i = job["next"].cast<size_t>(); i < count;) {
                py::object path = paths[py::int_(i++)];
                // The map refuses a line of fewer than two points, and the
                // paths after it would be lost with it.
                if (py::len(path) >= 2) set_path(path, "width"_a = 3, "color"_a = "#2894FF");
                if (i < count && slice.over()) {
                    job["next"] = i;
                    return Turn::unfinished;
                }
            }
        }
    } catch (py::error_already_set&) {
        release(job);
        throw;
    }
    release(job);
    if (!job["paths"].is_none()) s.global("print")(py::str("已匯入 --> ") + s.str(job["data_path"]));
    return Turn::done;
}

void abandon(py::handle job) {
    if (hv::truth(job["started"])) release(job);
}

const hv::JobKind drawing{step, abandon};

py::object queue_of(const Scope& s, py::handle self) { return hv::tk_queue(s, self.attr("map_widget"), drawing); }

py::object new_job(py::handle self, py::handle paths, py::handle fit, py::handle data_path) {
    return py::dict("self"_a = self, "paths"_a = paths, "fit"_a = fit, "data_path"_a = data_path, "next"_a = 0,
                    "started"_a = false);
}

// int(math.log(whole / span, 2))
py::object zoom_for(const Scope& s, py::handle self, int whole, py::handle span) {
    return s.global("int")(self.attr("math").attr("log")(py::int_(whole) / py::reinterpret_borrow<py::object>(span), 2));
}

// (centre latitude, centre longitude, zoom) of the view that fits the
// coordinates. An axis without extent sets no limit; a single point gets the
// closest view.
py::object fit_of(const Scope& s, py::handle self, py::handle lats, py::handle lons) {
    py::object max_lat = s.global("max")(lats), min_lat = s.global("min")(lats);
    py::object max_lon = s.global("max")(lons), min_lon = s.global("min")(lons);
    py::object two = py::int_(2);
    py::object centre_lon = (min_lon + max_lon) / two, centre_lat = (min_lat + max_lat) / two;
    py::object lon_span = s.global("abs")(max_lon - min_lon), lat_span = s.global("abs")(max_lat - min_lat);
    py::object zoom;
    const bool no_width = lon_span.equal(py::int_(0)), no_height = lat_span.equal(py::int_(0));
    if (no_width && no_height)
        zoom = self.attr("map_widget").attr("max_zoom");
    else if (no_width)
        zoom = zoom_for(s, self, 180, lat_span);
    else if (no_height)
        zoom = zoom_for(s, self, 360, lon_span);
    else
        zoom = s.global("min")(zoom_for(s, self, 360, lon_span), zoom_for(s, self, 180, lat_span));
    return py::make_tuple(centre_lat, centre_lon, zoom);
}

void init(const Scope& s, py::handle self, py::handle frame) {
    py::object tkintermapview = s.import("tkintermapview");
    py::object pyautogui = s.import("pyautogui");
    py::object gpxpy = s.import("gpxpy");
    py::object threading = s.import("threading");
    py::object math = s.import("math");
    self.attr("math") = math;
    self.attr("threading") = threading;
    self.attr("lock_draw_line") = threading.attr("Lock")();
    self.attr("gpxpy") = gpxpy;
    self.attr("frame") = frame;
    auto [width, height] = hv::unpack<2>(pyautogui.attr("size")());
    // (C++17 lambdas name structured bindings only through an init-capture.)
    self.attr("map_widget") = make_widget(frame, [&, &width = width, &height = height] {
        return tkintermapview.attr("TkinterMapView")(frame, "width"_a = py::int_(750) * width / py::int_(1920),
                                                     "height"_a = py::int_(400) * height / py::int_(1080),
                                                     "corner_radius"_a = 0);
    });
    self.attr("map_widget").attr("grid")("row"_a = 0, "column"_a = 0, "sticky"_a = "nsew", "rowspan"_a = 2);
    self.attr("map_widget").attr("set_position")(23.749959894724828, 120.94158253422043);
    self.attr("map_widget").attr("set_zoom")(7);
    self.attr("max_y") = 180;
    self.attr("min_y") = -180;
    self.attr("max_x") = 90;
    self.attr("min_x") = -90;
    queue_of(s, self);
}

void draw_gpx(const Scope&, py::handle self, py::handle data_path, py::dict kwargs) {
    if (!kwargs.contains("adapt_sizes")) kwargs["adapt_sizes"] = false;
    py::object adapt_sizes = kwargs["adapt_sizes"];
    self.attr("threading").attr("Thread")("target"_a = self.attr("_draw_gpx"),
                                          "args"_a = py::make_tuple(data_path, adapt_sizes), "daemon"_a = true)
        .attr("start")();
}

void draw_file(const Scope& s, py::handle self, py::handle data_path, py::handle adapt_sizes, py::dict kwargs) {
    py::object progress = hv::get(kwargs, "progress", py::str("gpx繪製進度"));
    py::object progress_check = hv::get(kwargs, "progress_check", py::bool_(false));
    py::object suffix = data_path[py::slice(py::int_(-4), py::none(), py::none())];
    if (suffix.not_equal(py::str(".gpx"))) return;
    py::object gpx;
    hv::with(s.global("open")(data_path, "r", "encoding"_a = "utf-8"),
             [&](py::handle file) { gpx = self.attr("gpxpy").attr("parse")(file); });
    // A manager whose __exit__ swallowed the parser's error leaves gpx unbound.
    if (!gpx)
        hv::raise(py::module_::import("builtins").attr("UnboundLocalError"),
                  "cannot access local variable 'gpx' where it is not associated with a value");

    // The paths, and every latitude and longitude for the view fit. Copying a
    // long track holds the GIL for tens of milliseconds: the copy lets others
    // run from time to time.
    py::list paths, lats, lons;
    hv::Breather breather;
    py::handle longitude = hv::name("longitude"), latitude = hv::name("latitude");
    py::object tracks = gpx.attr("tracks");
    py::object track_count = s.global("len")(tracks);
    py::int_ i(0);
    for (py::handle track : tracks) {
        for (py::handle segment : track.attr("segments")) {
            py::list lon, lat;
            for (py::handle point : segment.attr("points")) {
                lon.append(point.attr(longitude));
                breather.count();
            }
            for (py::handle point : segment.attr("points")) {
                lat.append(point.attr(latitude));
                breather.count();
            }
            paths.append(s.global("list")(s.global("zip")(lat, lon)));
            lats.attr("extend")(lat);
            lons.attr("extend")(lon);
        }
        i = py::int_(i + py::int_(1));
        if (hv::truth(progress_check))
            s.global("print")(py::str("\r") + s.str(progress) + py::str(" ") + s.str(i) + py::str("/") +
                                  s.str(track_count),
                              "end"_a = "");
    }
    if (hv::truth(progress_check)) s.global("print")();
    py::object fit = hv::truth(adapt_sizes) ? fit_of(s, self, lats, lons) : py::object(py::none());
    hv::tk_run(s, queue_of(s, self), new_job(self, paths, fit, data_path));
}

void delete_all_path(const Scope& s, py::handle self) {
    py::object queue = queue_of(s, self);
    py::object job = new_job(self, py::none(), py::none(), py::none());
    if (!hv::on_tk_thread(queue)) {
        bool holds_paths = false;
        hv::with(self.attr("lock_draw_line"),
                 [&](py::handle) { holds_paths = py::len(self.attr("map_widget").attr("canvas_path_list")) > 0; });
        if (!holds_paths) return;
    }
    hv::tk_run(s, queue, job);
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
