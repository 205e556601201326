// The class Pandrel itself: its version stamp and the date utility many_days.
#include "kit.hpp"

namespace pandrel {

py::object pandrel_init(const hv::Args& a) {
    a["self"].attr("__version__") = py::str("v2025_01_04_001");
    return py::none();
}

namespace {

py::int_ to_int(py::handle value) {
    PyObject* n = PyNumber_Long(value.ptr());
    if (n == nullptr) throw py::error_already_set();
    return py::reinterpret_steal<py::int_>(n);
}

bool divisible(const py::int_& year, long divisor) {
    py::int_ d(divisor);
    PyObject* r = PyNumber_Remainder(year.ptr(), d.ptr());
    if (r == nullptr) throw py::error_already_set();
    return hv::equals(py::reinterpret_steal<py::object>(r), py::int_(0));
}

}  // namespace

py::object many_days(const hv::Args& a) {
    py::int_ year = to_int(a["year"]);
    py::int_ month = to_int(a["month"]);
    int overflow = 0;
    const long long m = PyLong_AsLongLongAndOverflow(month.ptr(), &overflow);
    if (overflow == 0) {
        if (m == 4 || m == 6 || m == 9 || m == 11) return py::int_(30);
        if (m == 1 || m == 3 || m == 5 || m == 7 || m == 8 || m == 10 || m == 12) return py::int_(31);
        if (m == 2) {
            const bool leap = (divisible(year, 4) && !divisible(year, 100)) || divisible(year, 400);
            return py::int_(leap ? 29 : 28);
        }
    }
    hv::raise(PyExc_ValueError, "輸入的月份錯誤 month = " + py::str(month).cast<std::string>());
}

}  // namespace pandrel
