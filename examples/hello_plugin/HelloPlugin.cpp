// hello_plugin: a complete plug-in in one file, written with the kit (GloPluginKit.h). It serves
// windows of the class "HelloTarget": sliding the cap sideways counts steps in a function of its
// own, pushing it scrolls by lines through the plug-in base's navigation function, and button 0
// copies. It also keeps a small window of its own built on the core's window layer, which is why
// it writes its exports itself instead of using GLO_OFFICE_PLUGIN.
#include <windows.h>

#include "GloPluginKit.h"

namespace {

using namespace glo_kit;

const wchar_t kWindowClass[] = L"HelloPluginWindow";
volatile LONG s_steps = 0;
volatile LONG s_ends = 0;

// A function of our own. Continuous, one axis: called every 10 ms while the cap is deflected;
// a zero event ends it.
void step(const CGlo_Event& event) {
    if (event.isZeroEvent())
        InterlockedIncrement(&s_ends);
    else
        InterlockedIncrement(&s_steps);
}

// The configuration dialog shows each function by its texts, in the user's language: our own
// function's are our own (text(): English, German), the base's functions use the core's
// (GloTextIds.h).
CGlo_PluginFunction s_functions[] = {
    axisFunction(L"Step", &step, text(L"Count Steps", L"Schritte zählen"),
                 text(L"Step Right", L"Schritt nach rechts"),
                 text(L"Step Left", L"Schritt nach links")),
    panFunction(L"LinePan", GLO_CALL(ILinePan), GLO_TEXT_LINE_SCROLL_WINDOW,
                GLO_TEXT_LINE_SCROLL_LEFT_RIGHT, GLO_TEXT_LINE_SCROLL_RIGHT_LEFT,
                GLO_TEXT_LINE_SCROLL_UP_DOWN, GLO_TEXT_LINE_SCROLL_DOWN_UP),
    buttonFunction(L"Copy", GLO_CALL(copy), GLO_TEXT_BUTTON),
};

// Step: slide right (+) and left; LinePan: tilt sideways scrolls sideways, push away scrolls
// down. No dead zone.
CGlo_FunctionSetup s_defaults[] = {
    axisSetup(L"Step", AxisX, 1, 0),
    panSetup(L"LinePan", AxisC, 1, AxisZ, 1, 0),
};

// Fixed button setups, rebuilt at every load.
CGlo_FunctionSetup s_buttons[] = {
    pressSetup(L"Copy", 0),
};

// The window handed to match() is the one the user works in (docs/plugin-sdk.md).
int matchHello(HWND window) {
    return classIs(window, L"HelloTarget") ? 10 : 0;
}

const PluginTables s_tables = {L"Hello",   matchHello,         s_functions, sizeof(s_functions),
                               s_defaults, sizeof(s_defaults), s_buttons,   sizeof(s_buttons)};

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

COfficePlugin* s_application = nullptr;
CHelloWindow* s_window = nullptr;

} // namespace

extern "C" __declspec(dllexport) CGlo_Application* load(HINSTANCE module) {
    // Names itself "Hello", reads %APPDATA%\Glidora\Hello.cfg (else the setups above) and
    // starts its worker.
    s_application = new (std::nothrow) COfficePlugin(module, s_tables);
    // Windows of classes registered this way reach their object's message map.
    CWnd::RegisterWndClass(kWindowClass, 0, CWnd::GetResourceInstance(), nullptr, nullptr, nullptr);
    s_window = new (std::nothrow) CHelloWindow;
    const RECT nowhere = {0, 0, 0, 0};
    if (s_window)
        s_window->CreateEx(0, kWindowClass, L"hello", WS_POPUP, nowhere, nullptr, 0);
    return s_application;
}

extern "C" __declspec(dllexport) void unload() {
    delete s_application; // stops the worker first
    delete s_window;      // destroys its window
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
