// glo_demo_plugin: the smallest useful plug-in, and the example for plug-in authors.
//
// A plug-in library exports "load" and "unload". The core finds it in "Office/Plugins" below the
// driver's home directory, calls "load" to get the application object, asks that object's
// match() for every window the user works in, and hands it the device events of the best match.
// An application derived from CGlo_PluginThread runs its functions on a worker thread of its
// own: the multiplexer picks one function per event from the configured setups, a continuous
// function is run again every 10 ms while the cap stays deflected, a one-shot function once per
// push, a button function once per press. A function that is taken over first receives a zero
// event, so that it can end what it was doing.
//
// This plug-in claims every window and only reports what it runs, on standard output and
// through OutputDebugString, so that the demo (scripts/demo) can show the road of an event.
#include <windows.h>

#include <cstdarg>
#include <cstdio>

#include "GloPluginSDK.h"

namespace {

// One line per call, with the time since the first call: the 10 ms pace of a continuous
// function shows in it.
void report(const char* format, ...) {
    static const ULONGLONG start = GetTickCount64();
    char text[160];
    const int n = std::snprintf(text, sizeof(text), "glo_demo_plugin: [%4llu ms] ",
                                static_cast<unsigned long long>(GetTickCount64() - start));
    va_list args;
    va_start(args, format);
    std::vsnprintf(text + n, sizeof(text) - n, format, args);
    va_end(args);
    OutputDebugStringA(text);
    std::fputs(text, stdout);
    std::fflush(stdout);
}

// The functions. Each receives the event rewritten into its own axes: axis i is the i-th axis
// of the setup that selected it, already past the dead zone and scaled to the range 1..350.

// Continuous, two axes: runs every 10 ms while the cap is held; a zero event ends it.
void pan(const CGlo_Event& event) {
    if (event.isZeroEvent())
        report("Pan stops\n");
    else
        report("Pan x=%d y=%d\n", event.getAxis(0), event.getAxis(1));
}

// One-shot: runs once per push of its axis; the cap must come back near rest to fire again.
void nextPage(const CGlo_Event& event) {
    if (event.isMotionEvent())
        report("NextPage (one-shot, strength %d)\n", event.getAxis(0));
}

// Button: runs once when its button is pressed (the release selects nothing and sends the
// function a zero event, which needs no work here).
void back(const CGlo_Event& event) {
    if (event.isButtonEvent())
        report("Back (button %d)\n", event.getButton());
}

// The function table: name, type, callback, then string-table identifiers of the core that
// describe the function and the positive and negative direction of each axis in the
// configuration dialog (1 "Pan Window", 3/5 "Pan Left/Right", "Pan Right/Left", 2/4 "Pan
// Up/Down", "Pan Down/Up", 30 "Next Page", 33 "History Back").
CGlo_PluginFunction s_functions[] = {
    {L"Pan", GLO_TwoAxisFunction, &pan, 1, 3, 5, 2, 4, 0, 0, 0, 0, 0, 0, 0, 0},
    {L"NextPage", GLO_TriggerFunction, &nextPage, 30, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
    {L"Back", GLO_ButtonFunction, &back, 33, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
};

// The default configuration, used while no "GloDemo.cfg" exists. Device axes: 0..2 the
// translations x, y, z, 3..5 the rotations a, b, c. Motion setup arguments: name, event type,
// number of function axes, the device axis of each function axis, the polarity of each, and
// the dead zone.
CGlo_FunctionSetup s_defaults[] = {
    // Pan: x moves sideways, z (pushing the cap forward or pulling it) up and down.
    {L"Pan", GLO_MotionEvent, 2, 0, 2, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1, 10},
    // NextPage: 0 axes makes a one-directional trigger on device axis 4 (twisting the cap,
    // rotation b) in the positive direction.
    {L"NextPage", GLO_MotionEvent, 0, 4, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1, 0},
    // Back: button 0, on press.
    {L"Back", GLO_ButtonEvent, 0, GLO_ButtonPress},
};

class CDemoApplication : public CGlo_PluginThread {
public:
    // The worker thread is already running; it sees no event before "load" has returned.
    CDemoApplication() {
        setName(L"GloDemo"); // also names the configuration file, "GloDemo.cfg"
        setFunctions(s_functions, sizeof(s_functions));
        initDefaultConfiguration(s_defaults, sizeof(s_defaults));
        // Reads "GloDemo.cfg" from the current directory (the plug-in folder while "load"
        // runs); without one, the default configuration above.
        deserialize();
    }

    // How well this application recognises the window: 0 = not at all. A real plug-in looks at
    // the window class or the program; the demo takes every window, with the lowest score, so
    // that any other plug-in that knows the window wins.
    int match(HWND) override { return 1; }
};

CDemoApplication* s_application = nullptr;

} // namespace

// The plug-in contract: plain C names, default calling convention.
extern "C" __declspec(dllexport) CGlo_Application* load(HINSTANCE) {
    if (!s_application)
        s_application = new CDemoApplication;
    return s_application;
}

extern "C" __declspec(dllexport) void unload() {
    delete s_application; // stops the worker thread first
    s_application = nullptr;
}
