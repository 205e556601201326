// C++ failures as Python exceptions.
#include "errors.hpp"

#include <new>

namespace hv {

HV_CATCHES_FORCED_UNWIND bool guard_call(void (*call)(void*), void* fn) {
    try {
        call(fn);
        return true;
    }
    HV_LET_FORCED_UNWIND_PASS
    catch (...) {
        translate_current_exception();
        return false;
    }
}

HV_CATCHES_FORCED_UNWIND void translate_current_exception() {
    try {
        throw;
    }
    HV_LET_FORCED_UNWIND_PASS
    catch (py::error_already_set& e) {
        e.restore();
    } catch (py::builtin_exception& e) {
        e.set_error();
    } catch (std::bad_alloc&) {
        PyErr_NoMemory();
    } catch (std::exception& e) {
        PyErr_SetString(PyExc_SystemError, e.what());
    } catch (...) {
        PyErr_SetString(PyExc_SystemError, "unknown C++ exception");
    }
    if (!PyErr_Occurred()) PyErr_SetString(PyExc_SystemError, "error without an exception");
}

void raise(PyObject* type, const std::string& message) {
    PyErr_SetString(type, message.c_str());
    throw py::error_already_set();
}

void raise(py::handle type, const std::string& message) { raise(type.ptr(), message); }

void raise_name_error(const std::string& message) { raise(PyExc_NameError, message); }

bool is_exception(const py::error_already_set& e) { return e.matches(PyExc_Exception); }

void Captured::raise() const {
    PyErr_SetObject(reinterpret_cast<PyObject*>(Py_TYPE(value_.ptr())), value_.ptr());
    throw py::error_already_set();
}

}  // namespace hv
