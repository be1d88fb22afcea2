// hello_plugin: a complete plug-in in one file. It serves windows of the class "HelloTarget":
// sliding and pushing the cap scrolls them by lines through the plug-in base's navigation
// function, twisting it counts steps, and button 0 copies. It also keeps a small window of its
// own built on the core's window layer.
#include <windows.h>

#include "GloPluginSDK.h"

namespace {

const wchar_t kWindowClass[] = L"HelloPluginWindow";
volatile LONG s_steps = 0;
volatile LONG s_ends = 0;

class CHelloApplication;
CHelloApplication* s_application = nullptr;

// A function of our own. Continuous, one axis: called every 10 ms while the cap is deflected;
// a zero event ends it.
void step(const CGlo_Event& event) {
    if (event.isZeroEvent())
        InterlockedIncrement(&s_ends);
    else
        InterlockedIncrement(&s_steps);
}

// A function table holds plain callbacks: these forward to the plug-in base's functions.
template <void (CGlo_Plugin::*F)(const CGlo_Event&)> void forward(const CGlo_Event& event);

// Name, kind, callback, then string identifiers of the core's table for the description and
// for each axis direction (9 "Line Scroll Window", 11/13 and 10/12 its directions).
CGlo_PluginFunction s_functions[] = {
    {L"Step", GLO_OneAxisFunction, &step, 1, 3, 5, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
    {L"LinePan", GLO_TwoAxisFunction, &forward<&CGlo_Plugin::ILinePan>, 9, 11, 13, 10, 12, 0, 0, 0,
     0, 0, 0, 0, 0},
    {L"Copy", GLO_ButtonFunction, &forward<&CGlo_Plugin::copy>, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
     0},
};

// Device axes: 0..2 the translations x, y, z, 3..5 the rotations a, b, c. Step runs on x;
// LinePan scrolls sideways on c (tilting) and up and down on z (pushing), polarity +1, no dead
// zone.
CGlo_FunctionSetup s_defaults[] = {
    {L"Step", GLO_MotionEvent, 1, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1, 0},
    {L"LinePan", GLO_MotionEvent, 2, 5, 2, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1, 0},
};

// Fixed button setups, rebuilt at every load: button 0 pressed copies.
CGlo_FunctionSetup s_buttons[] = {
    {L"Copy", GLO_ButtonEvent, 0, GLO_ButtonPress},
};

// A window of the plug-in's own on the core's window layer: the core routes its messages to
// the object's message map.
class CHelloWindow : public CWnd {
public:
    LRESULT OnPing(WPARAM, LPARAM) { return 42; }

protected:
    const GloMessageMapEntry* GetMessageMap() const override {
        static const GloMessageMapEntry map[] = {GLO_ON_MESSAGE(WM_APP, CHelloWindow, OnPing),
                                                 GLO_END_MESSAGE_MAP()};
        return map;
    }
};

// The plug-in base runs the functions on a worker thread of the application's own and gives
// it the office navigation functions.
class CHelloApplication : public CGlo_Plugin {
public:
    CHelloApplication() {
        setName(L"Hello"); // also names the configuration file "Hello.cfg"
        setFunctions(s_functions, sizeof(s_functions));
        initButtonConfiguration(s_buttons, sizeof(s_buttons));
        initDefaultConfiguration(s_defaults, sizeof(s_defaults));
        deserialize(); // "Hello.cfg" when there is one, else the setups above
    }
    // First of all: no function may run into a half-destroyed object.
    ~CHelloApplication() override { stopWorkerThread(); }

    int match(HWND window) override {
        wchar_t name[64] = L"";
        GetClassNameW(window, name, 64);
        return lstrcmpW(name, L"HelloTarget") == 0 ? 10 : 0;
    }
};

CHelloWindow* s_window = nullptr;

template <void (CGlo_Plugin::*F)(const CGlo_Event&)> void forward(const CGlo_Event& event) {
    if (s_application)
        (s_application->*F)(event);
}

} // namespace

extern "C" __declspec(dllexport) CGlo_Application* load(HINSTANCE) {
    s_application = new CHelloApplication;
    // Windows of classes registered this way reach their object's message map.
    CWnd::RegisterWndClass(kWindowClass, 0, CWnd::GetResourceInstance(), nullptr, nullptr, nullptr);
    s_window = new CHelloWindow;
    const RECT nowhere = {0, 0, 0, 0};
    s_window->CreateEx(0, kWindowClass, L"hello", WS_POPUP, nowhere, nullptr, 0);
    return s_application;
}

extern "C" __declspec(dllexport) void unload() {
    delete s_application;
    delete s_window; // destroys its window
    UnregisterClassW(kWindowClass, CWnd::GetResourceInstance());
    s_application = nullptr;
    s_window = nullptr;
}

// For the tests: what the function saw, and whether the window answers through its map.
extern "C" __declspec(dllexport) LONG helloSteps() {
    return s_steps;
}
extern "C" __declspec(dllexport) LONG helloEnds() {
    return s_ends;
}
extern "C" __declspec(dllexport) HWND helloWindow() {
    return s_window ? s_window->GetSafeHwnd() : nullptr;
}
