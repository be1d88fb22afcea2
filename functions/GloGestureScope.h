// The worker's guard around the core's own code in a function. While the worker holds it, a stop
// waits for it rather than let the application go under it; the code keeps its waits within the
// stop's budget and runs no plug-in code (an override of a virtual) inside it. Off the worker (a
// function called on another thread) there is nothing to guard: the control is null.
#pragma once

#include <windows.h>

#include "runtime/GloWorkerControl.h"

namespace glo_functions {

inline bool stopAsked(CGlo_WorkerControl* control) {
    return control != nullptr && control->timeBeforeStop() != INFINITE;
}

class CGestureScope {
public:
    explicit CGestureScope(CGlo_WorkerControl* control)
        : control(control), entered(control == nullptr || control->enterApplication()) {}
    ~CGestureScope() {
        if (control != nullptr && entered)
            control->leaveApplication();
    }
    CGestureScope(const CGestureScope&) = delete;
    CGestureScope& operator=(const CGestureScope&) = delete;

    // False: the stop gave up on the application, which must not be touched any more.
    bool mayTouch() const { return entered; }
    bool stopping() const { return stopAsked(control); }

    // Runs code that may be a plug-in's own (a virtual it overrides) outside the guard: a stop
    // gives up on it after its time-out. Afterwards the guard is taken again; false when the
    // stop gave up meanwhile. Never nested inside another scope of the same worker.
    template <class F> bool outside(F call) {
        if (control == nullptr) {
            call();
            return true;
        }
        if (entered)
            control->leaveApplication();
        call();
        entered = control->enterApplication();
        return entered;
    }

private:
    CGlo_WorkerControl* const control;
    bool entered;
};

} // namespace glo_functions
