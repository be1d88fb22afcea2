// hello_plugin: a complete plug-in in one file. It serves windows of the class "HelloTarget",
// counts the deflections of the cap on its worker thread and keeps a small window of its own
// built on the core's window layer.
#include <windows.h>

#include "GloPluginSDK.h"

namespace {

const wchar_t kWindowClass[] = L"HelloPluginWindow";
volatile LONG s_steps = 0;
volatile LONG s_ends = 0;

// Continuous, one axis: called every 10 ms while the cap is deflected; a zero event ends it.
void step(const CGlo_Event& event) {
    if (event.isZeroEvent())
        InterlockedIncrement(&s_ends);
    else
        InterlockedIncrement(&s_steps);
}

// Name, kind, callback, description and axis texts (string identifiers of the core's table).
CGlo_PluginFunction s_functions[] = {
    {L"Step", GLO_OneAxisFunction, &step, 1, 3, 5, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
};

// Device axis 0 (x), positive polarity, threshold 0.
CGlo_FunctionSetup s_defaults[] = {
    {L"Step", GLO_MotionEvent, 1, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1, 0},
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

class CHelloApplication : public CGlo_PluginThread {
public:
    CHelloApplication() {
        setName(L"Hello");
        setFunctions(s_functions, sizeof(s_functions));
        initDefaultConfiguration(s_defaults, sizeof(s_defaults));
        setDefaultConfiguration();
    }
    ~CHelloApplication() override { stopWorkerThread(); }

    int match(HWND window) override {
        wchar_t name[64] = L"";
        GetClassNameW(window, name, 64);
        return lstrcmpW(name, L"HelloTarget") == 0 ? 10 : 0;
    }
};

CHelloApplication* s_application = nullptr;
CHelloWindow* s_window = nullptr;

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
