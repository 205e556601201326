// How a kit frame meets the end of its thread at exit: it never unwinds.
//
// Once the interpreter finalizes, CPython 3.11 to 3.13 ends a daemon thread
// that asks for the GIL back with pthread_exit: a forced unwind of the
// thread's stack, without the GIL. A kit frame unwound that way would run its
// destructors, and a destructor that drops a reference without the GIL frees
// objects under the feet of the finalizing interpreter.
//
// Both modules are linked with --wrap=__gxx_personality_v0, so the personality
// routine of every frame compiled into them is the one below. In a forced
// unwind, the unwinder asks each frame's personality, innermost first, before
// that frame's cleanups run; the first kit frame it meets parks the thread for
// good instead, so no kit frame's destructor runs and every reference a kit
// frame holds is left alone, as CPython leaves a Python frame it stops. The
// thread holds no lock of the interpreter's then, and the process ends it with
// the others. Any other unwind goes to the real personality routine.
//
// The test is the Itanium ABI's action flag, which every unwinder passes
// (libgcc's and LLVM's alike), and the interpreter's finalizing flag, which is
// read without the GIL; nothing else is called before the thread parks.
#include <Python.h>
#include <unistd.h>
#include <unwind.h>

extern "C" {

_Unwind_Reason_Code __real___gxx_personality_v0(int version, _Unwind_Action actions, _Unwind_Exception_Class kind,
                                                _Unwind_Exception* exception, _Unwind_Context* context);

// Kept out of line, so a debugger shows where such a thread rests.
__attribute__((noinline, noreturn, visibility("hidden"))) void hv_thread_ended_at_exit() {
    for (;;) pause();
}

__attribute__((visibility("hidden"))) _Unwind_Reason_Code __wrap___gxx_personality_v0(
    int version, _Unwind_Action actions, _Unwind_Exception_Class kind, _Unwind_Exception* exception,
    _Unwind_Context* context) {
#if PY_VERSION_HEX >= 0x030D0000
    const bool finalizing = Py_IsFinalizing();
#else
    const bool finalizing = _Py_IsFinalizing();
#endif
    if ((actions & _UA_FORCE_UNWIND) && finalizing) hv_thread_ended_at_exit();
    return __real___gxx_personality_v0(version, actions, kind, exception, context);
}

}  // extern "C"
