// The class Pandrel itself: its version stamp and the date utility many_days.
#include "kit.hpp"

namespace pandrel {

void pandrel_init(const Scope&, py::handle self) { self.attr("__version__") = "v2025_01_04_001"; }

py::object many_days(const Scope& s, py::handle, py::handle year_given, py::handle month_given) {
    py::object year = s.global("int")(year_given);
    py::object month = s.global("int")(month_given);
    auto among = [&](std::initializer_list<int> months) {
        for (int m : months)
            if (month.equal(py::int_(m))) return true;
        return false;
    };
    if (among({4, 6, 9, 11})) return py::int_(30);
    if (among({1, 3, 5, 7, 8, 10, 12})) return py::int_(31);
    if (month.equal(py::int_(2))) {
        auto remainder = [&](int d) { return hv::mod(year, py::int_(d)); };
        const py::int_ zero(0);
        const bool leap = (remainder(4).equal(zero) && remainder(100).not_equal(zero)) || remainder(400).equal(zero);
        return py::int_(leap ? 29 : 28);
    }
    throw py::value_error("輸入的月份錯誤 month = " + s.str(month).cast<std::string>());
}

}  // namespace pandrel
