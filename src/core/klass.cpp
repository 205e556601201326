// Classes built from C++ exactly as a class statement builds them.
#include "klass.hpp"

#include "errors.hpp"

namespace hv {

namespace {

// The most derived metaclass of the bases, as type.__new__ requires.
py::object calculate_meta(const py::tuple& bases) {
    py::object winner = py::reinterpret_borrow<py::object>(reinterpret_cast<PyObject*>(&PyType_Type));
    for (py::handle base : bases) {
        py::object meta = py::reinterpret_borrow<py::object>(reinterpret_cast<PyObject*>(Py_TYPE(base.ptr())));
        if (PyObject_IsSubclass(winner.ptr(), meta.ptr()) == 1) continue;
        if (PyObject_IsSubclass(meta.ptr(), winner.ptr()) == 1) {
            winner = meta;
            continue;
        }
        if (PyErr_Occurred()) throw py::error_already_set();
        throw py::type_error(
            "metaclass conflict: the metaclass of a derived class must be a (non-strict) subclass of the "
            "metaclasses of all its bases");
    }
    return winner;
}

}  // namespace

ClassBuilder::ClassBuilder(py::handle globals, std::string qualname, py::tuple bases)
    : globals_(globals), qualname_(std::move(qualname)), bases_(std::move(bases)) {
    const auto dot = qualname_.rfind('.');
    name_ = dot == std::string::npos ? qualname_ : qualname_.substr(dot + 1);
    meta_ = calculate_meta(bases_);
    ns_ = py::hasattr(meta_, "__prepare__") ? meta_.attr("__prepare__")(name_, bases_) : py::dict();
    ns_["__module__"] = py::reinterpret_borrow<py::dict>(globals_)["__name__"];
    ns_["__qualname__"] = py::str(qualname_);
}

ClassBuilder& ClassBuilder::doc(const char* text) {
    ns_["__doc__"] = py::str(text);
    return *this;
}

ClassBuilder& ClassBuilder::def(const char* name, std::initializer_list<Param> params, Body body,
                                py::dict annotations) {
    ns_[name] = make_function({name, qualname_ + "." + name, params, body, std::move(annotations)}, globals_);
    return *this;
}

ClassBuilder& ClassBuilder::def_with_class(const char* name, std::initializer_list<Param> params, Body body) {
    // The cell a class statement makes for __class__: the metaclass finds it in
    // the namespace as __classcell__ and fills it with the new class.
    if (!class_cell_) {
        PyObject* cell = PyCell_New(nullptr);
        if (cell == nullptr) throw py::error_already_set();
        class_cell_ = py::reinterpret_steal<py::object>(cell);
    }
    ns_[name] = make_function({name, qualname_ + "." + name, params, body}, globals_, class_cell_);
    return *this;
}

ClassBuilder& ClassBuilder::attr(const char* name, py::handle value) {
    ns_[name] = value;
    return *this;
}

py::object ClassBuilder::build() {
    // Last in the namespace, as the compiler stores it at the end of the body.
    if (class_cell_) ns_["__classcell__"] = class_cell_;
    py::object cls = meta_(py::str(name_), bases_, ns_);
    if (class_cell_ && PyCell_GET(class_cell_.ptr()) != cls.ptr()) {
        PyErr_Format(PyExc_RuntimeError, "__class__ not set defining '%s' as %R. Was __classcell__ propagated to type.__new__?",
                     name_.c_str(), cls.ptr());
        throw py::error_already_set();
    }
    return cls;
}

}  // namespace hv
