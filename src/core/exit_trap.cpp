// The kit's frames and glibc's forced unwind in builds with LLVM's C++ library
// (the wheels, HALVORINE_PORTABLE): libc++abi has no abi::__forced_unwind, so
// HV_LET_FORCED_UNWIND_PASS is empty there, and a catch-all that meets the
// unwind keeps it and the process aborts ("FATAL: exception not rethrown").
//
// Both modules are linked with --wrap=__gxx_personality_v0 (CMakeLists.txt):
// the personality routine of every kit frame, and of libc++'s own, is this
// one. When the forced unwind that ends a daemon thread at exit reaches a kit
// frame, it parks the thread for good before any cleanup or handler of that
// frame runs, as CPython 3.14 does with such threads. Any other unwind goes
// on to libc++abi's routine unchanged.
#include <Python.h>

#if defined(_LIBCPP_VERSION)
#include <unwind.h>

#include <chrono>
#include <cstdint>
#include <thread>

extern "C" _Unwind_Reason_Code __real___gxx_personality_v0(int version, _Unwind_Action actions,
                                                           std::uint64_t exception_class,
                                                           _Unwind_Exception* exception,
                                                           _Unwind_Context* context);

namespace {

bool interpreter_finalizing() {
#if PY_VERSION_HEX >= 0x030D0000
    return Py_IsFinalizing() != 0;
#else
    return _Py_IsFinalizing() != 0;
#endif
}

}  // namespace

extern "C" __attribute__((visibility("hidden"))) _Unwind_Reason_Code __wrap___gxx_personality_v0(
    int version, _Unwind_Action actions, std::uint64_t exception_class, _Unwind_Exception* exception,
    _Unwind_Context* context) {
    if ((actions & _UA_FORCE_UNWIND) && interpreter_finalizing()) {
        // The thread holds no GIL here (CPython ends it instead of handing it back).
        for (;;) std::this_thread::sleep_for(std::chrono::hours(24));
    }
    return __real___gxx_personality_v0(version, actions, exception_class, exception, context);
}
#endif
