// The shared interpreter plumbing of both extension modules, by concern:
// function.hpp (Python-level functions with C++ bodies, and what a body
// sees), klass.hpp (classes), errors.hpp (C++ failures as Python exceptions,
// and unwinding), ops.hpp (the Python operations pybind11 lacks) and
// module.hpp (modules and their imports). Everything else is pybind11's.
#pragma once

#include "errors.hpp"
#include "function.hpp"
#include "klass.hpp"
#include "module.hpp"
#include "ops.hpp"
