// Cost of choosing the pan focus for one event (getMouseCursorPanFocus) in the window tree of an
// office program (48 windows, the view five levels down, its scroll bars separate controls
// beside it, or its own), as a ratio to one descent from the active window to the window under
// the cursor with ChildWindowFromPointEx, timed in the same run: with the cursor at rest (the
// search finds everything it read unchanged) and with a change before every event (a whole
// search). The tree lives on a thread of its own, as a program's windows live on the program's
// thread, and then in a process of its own.
#include <windows.h>

#include "bench/BenchFigures.h"
#include "bench/BenchClock.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "GloPlugin.h"

namespace {

const int kRounds = 15;
const int kCalls = 200;

class BenchPlugin : public CGlo_Plugin {
public:
    int match(HWND) override { return 0; }
    using CGlo_Plugin::getMouseCursorPanFocus;
};

HWND make(const wchar_t* cls, DWORD style, int x, int y, int w, int h, HWND parent) {
    static const bool registered = [] {
        for (const wchar_t* name : {L"BenchFrame", L"BenchPanel", L"BenchView"}) {
            WNDCLASSW wc = {};
            wc.lpfnWndProc = DefWindowProcW;
            wc.lpszClassName = name;
            RegisterClassW(&wc);
        }
        return true;
    }();
    (void)registered;
    return CreateWindowExW(0, cls, L"", style | WS_VISIBLE | (parent ? WS_CHILD : 0), x, y, w, h,
                           parent, nullptr, nullptr, nullptr);
}

struct Tree {
    HWND frame = nullptr;
    HWND view = nullptr;    // separate bars beside it
    HWND ownBars = nullptr; // WS_VSCROLL of its own, in the same place of a second document
    int count = 0;
};

// frame > toolbar (10 buttons), status bar (3 parts), workspace > document > [ruler, tabs (6),
// pane > [view (4 objects), vertical and horizontal bar, size box, 2 split boxes]]; a second
// document like the first whose view scrolls by its own style.
Tree build() {
    Tree t;
    std::vector<HWND> all;
    auto add = [&](HWND w) {
        all.push_back(w);
        return w;
    };
    t.frame = add(make(L"BenchFrame", WS_OVERLAPPEDWINDOW, 0, 0, 900, 700, nullptr));
    HWND toolbar = add(make(L"BenchPanel", 0, 0, 0, 900, 30, t.frame));
    for (int i = 0; i < 10; ++i)
        add(make(L"Button", 0, i * 30, 2, 26, 26, toolbar));
    HWND status = add(make(L"BenchPanel", 0, 0, 640, 900, 20, t.frame));
    for (int i = 0; i < 3; ++i)
        add(make(L"Static", 0, i * 300, 0, 290, 20, status));
    HWND workspace = add(make(L"BenchPanel", 0, 0, 30, 900, 610, t.frame));
    for (int doc = 0; doc < 2; ++doc) {
        HWND document = add(make(L"BenchPanel", 0, doc * 450, 0, 450, 610, workspace));
        add(make(L"BenchPanel", 0, 0, 0, 450, 20, document)); // ruler
        HWND tabs = add(make(L"BenchPanel", 0, 0, 590, 450, 20, document));
        for (int i = 0; i < 6; ++i)
            add(make(L"Button", 0, i * 60, 0, 58, 20, tabs));
        HWND pane = add(make(L"BenchPanel", 0, 0, 20, 450, 570, document));
        if (doc == 0) {
            t.view = add(make(L"BenchView", 0, 0, 0, 430, 550, pane));
            for (int i = 0; i < 4; ++i) // embedded objects, away from the cursor
                add(make(L"BenchPanel", 0, 10 + i * 60, 10, 50, 40, t.view));
            add(make(L"ScrollBar", SBS_VERT, 430, 20, 20, 530, pane));
            add(make(L"ScrollBar", SBS_HORZ, 0, 550, 430, 20, pane));
            add(make(L"ScrollBar", SBS_SIZEBOX, 430, 550, 20, 20, pane));
            add(make(L"Button", 0, 430, 0, 20, 20, pane)); // split boxes
            add(make(L"Button", 0, 0, 550, 0, 0, pane));
        } else {
            t.ownBars = add(make(L"BenchView", WS_VSCROLL | WS_HSCROLL, 0, 0, 450, 570, pane));
        }
    }
    t.count = int(all.size());
    return t;
}

// The bare descent: the active window, then ChildWindowFromPointEx level by level.
HWND descend() {
    POINT cursor;
    GetCursorPos(&cursor);
    GUITHREADINFO info;
    info.cbSize = sizeof(info);
    GetGUIThreadInfo(0, &info);
    HWND window = info.hwndActive;
    for (int depth = 0; window != nullptr && depth < 64; ++depth) {
        POINT p = cursor;
        ScreenToClient(window, &p);
        HWND child = ChildWindowFromPointEx(window, p, CWP_SKIPINVISIBLE | CWP_SKIPDISABLED);
        if (child == nullptr || child == window)
            break;
        window = child;
    }
    return window;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Serves the tree until `stop` is signalled: on a thread of the bench, or in a process of its
// own (a program's windows belong to the program's process).
void serve(Tree& tree, HANDLE ready, HANDLE stop) {
    tree = build();
    SetPropW(tree.frame, L"view", tree.view);
    SetPropW(tree.frame, L"ownBars", tree.ownBars);
    SetPropW(tree.frame, L"count", reinterpret_cast<HANDLE>(static_cast<INT_PTR>(tree.count)));
    SetForegroundWindow(tree.frame);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageW(&msg);
    SetEvent(ready);
    while (MsgWaitForMultipleObjects(1, &stop, FALSE, INFINITE, QS_ALLINPUT) != WAIT_OBJECT_0)
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
    DestroyWindow(tree.frame);
}

// Seconds per call of `call` over kCalls calls.
template <class F> double perCall(F call) {
    const double start = benchSeconds();
    for (int i = 0; i < kCalls; ++i)
        call(i);
    return (benchSeconds() - start) / kCalls;
}

bool measure(BenchPlugin& plugin, const Tree& tree, const char* where) {
    bool ok = true;
    for (HWND target : {tree.view, tree.ownBars}) {
        const char* bars = target == tree.view ? "separate bars" : "bars of its own";
        RECT r;
        GetWindowRect(target, &r);
        const POINT at = {(r.left + r.right) / 2 + 40, (r.top + r.bottom) / 2 + 40};
        SetCursorPos(at.x, at.y);
        CGloWindow focus;
        const bool found =
            plugin.getMouseCursorPanFocus(focus, WS_VSCROLL) == target && descend() == target;
        // Each round times all four back to back, so that the ratios of a round share the
        // machine's load of the moment.
        std::vector<double> descent, atRest, moving, restRatio, movingRatio;
        for (int round = 0; round < kRounds; ++round) {
            descent.push_back(perCall([](int) { descend(); }));
            SetCursorPos(at.x, at.y);
            atRest.push_back(
                perCall([&](int) { plugin.getMouseCursorPanFocus(focus, WS_VSCROLL); }));
            // Every other call also admits disabled bars: the same search, but a question the
            // last answer does not cover, so every call searches afresh. (Moving the cursor
            // would make the program's thread handle mouse messages meanwhile.)
            moving.push_back(perCall([&](int i) {
                plugin.getMouseCursorPanFocus(focus, WS_VSCROLL | (i & 1 ? WS_DISABLED : 0));
            }));
            restRatio.push_back(atRest.back() / descent.back());
            movingRatio.push_back(moving.back() / descent.back());
        }
        SetCursorPos(at.x, at.y);
        const bool stillFound = plugin.getMouseCursorPanFocus(focus, WS_VSCROLL) == target;
        std::printf("%s, %d windows, view with %s: getMouseCursorPanFocus at rest %.1f us, "
                    "after a change %.1f us, descent %.1f us%s\n",
                    where, tree.count, bars, median(atRest) * 1e6, median(moving) * 1e6,
                    median(descent) * 1e6,
                    found && stillFound ? "" : "  [focus or descent did not find the view]");
        char name[128];
        std::snprintf(name, sizeof name, "pan focus at rest / one descent, %s, %s", where, bars);
        benchFigure(name, median(restRatio), 2, "x", "<= 1.5");
        std::snprintf(name, sizeof name, "pan focus after a change / one descent, %s, %s", where,
                      bars);
        benchFigure(name, median(movingRatio), 2, "x", "<= 3");
        ok = ok && found && stillFound; // a missed ratio is marked; a wrong window is a failure
    }
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    const wchar_t* readyName = L"GloPanFocusBenchReady";
    const wchar_t* stopName = L"GloPanFocusBenchStop";
    if (argc > 1 && std::strcmp(argv[1], "--program") == 0) {
        Tree tree;
        serve(tree, OpenEventW(EVENT_MODIFY_STATE, FALSE, readyName),
              OpenEventW(SYNCHRONIZE, FALSE, stopName));
        return 0;
    }
    BenchPlugin plugin;
    int status = 0;

    // The tree on another thread of this process.
    {
        Tree tree;
        HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        HANDLE stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        std::thread program([&] { serve(tree, ready, stop); });
        WaitForSingleObject(ready, 10000);
        Sleep(50);
        if (!measure(plugin, tree, "another thread"))
            status = 1;
        SetEvent(stop);
        program.join();
        CloseHandle(ready);
        CloseHandle(stop);
    }

    // The same tree in a process of its own.
    HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, readyName);
    HANDLE stop = CreateEventW(nullptr, TRUE, FALSE, stopName);
    wchar_t exe[MAX_PATH];
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring command = L"\"" + std::wstring(exe) + L"\" --program";
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    HANDLE nul =
        CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    &inherit, OPEN_EXISTING, 0, nullptr);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = startup.hStdOutput = startup.hStdError = nul;
    PROCESS_INFORMATION process = {};
    if (CreateProcessW(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                       &process) &&
        WaitForSingleObject(ready, 10000) == WAIT_OBJECT_0) {
        Sleep(50);
        Tree tree;
        tree.frame = FindWindowW(L"BenchFrame", nullptr);
        tree.view = static_cast<HWND>(GetPropW(tree.frame, L"view"));
        tree.ownBars = static_cast<HWND>(GetPropW(tree.frame, L"ownBars"));
        tree.count = static_cast<int>(reinterpret_cast<INT_PTR>(GetPropW(tree.frame, L"count")));
        if (!measure(plugin, tree, "another process"))
            status = 1;
    } else {
        std::printf("the program process did not start\n");
        status = 1;
    }
    SetEvent(stop);
    if (process.hProcess) {
        WaitForSingleObject(process.hProcess, 10000);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    }
    CloseHandle(nul);
    CloseHandle(ready);
    CloseHandle(stop);
    return status;
}
