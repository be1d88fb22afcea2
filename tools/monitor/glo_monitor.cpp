// Registers a clone window with the proxy's core window and prints every copy
// of a decoded event it receives; with --record it also writes them as a device trace, so that
// what a user did can be replayed by glo_driver. However it ends (the count, the core going, the
// time-out, Ctrl+C, Ctrl+Break, its console closed, the user logging off, the system shutting
// down), the trace is written out complete.
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "GdrProxy.h"
#include "TraceRecorder.h"

namespace {

// After a close, logoff or shutdown event the system ends the process once the handler returns,
// and after about 5 s in any case: the handler waits this long for the trace.
const DWORD kTraceWaitMs = 4000;

UINT g_motionXYZ, g_motionABC, g_buttonData, g_registerClone;
long g_received = 0;
long g_limit = -1;
std::unique_ptr<CTraceRecorder> g_recorder;
FILE* g_record = nullptr;
const char* g_recordPath = nullptr;
int g_deviceType = 21;
int g_copied[6] = {};
DWORD g_motionTime = 0;
std::atomic<bool> g_interrupted(false);
HANDLE g_stop = nullptr;    // set by the console's handler: the loop ends at once
HANDLE g_written = nullptr; // set once the trace is complete

// Writes what the recorder still holds back and closes the trace; on the main thread only.
void finishTrace() {
    if (!g_recorder)
        return;
    g_recorder->finish();
    if (g_recorder->inexactValues() > 0)
        std::printf("glo_monitor: %ld values have no raw value of device type %d that gives "
                    "them exactly; the nearest were written\n",
                    g_recorder->inexactValues(), g_deviceType);
    g_recorder.reset();
    std::fclose(g_record);
    g_record = nullptr;
    std::printf("glo_monitor: trace written to %s\n", g_recordPath);
    std::fflush(stdout);
    SetEvent(g_written);
}

// Ctrl+C, Ctrl+Break and the console's close, logoff and shutdown events, on a thread of the
// system's: the main thread ends its loop and writes the trace, which this waits for.
BOOL WINAPI interruptHandler(DWORD) {
    g_interrupted = true;
    SetEvent(g_stop);
    WaitForSingleObject(g_written, kTraceWaitMs);
    return TRUE;
}

// A program with windows learns of the end of the session from its top-level windows, not from
// the console: the system may end it as soon as WM_ENDSESSION returns.
LRESULT CALLBACK sessionProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_QUERYENDSESSION)
        return TRUE;
    if (message == WM_ENDSESSION) {
        if (wParam)
            finishTrace();
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

// High and low 16-bit halves as signed values.
int high16(std::uintptr_t value) {
    return static_cast<std::int16_t>((value >> 16) & 0xFFFF);
}
int low16(std::uintptr_t value) {
    return static_cast<std::int16_t>(value & 0xFFFF);
}

LRESULT CALLBACK cloneProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    const auto w = static_cast<std::uintptr_t>(wParam);
    const auto l = static_cast<std::uintptr_t>(lParam);
    if (message == g_motionXYZ) {
        std::printf("motion x=%d y=%d z=%d\n", high16(w), low16(w), high16(l));
        g_copied[0] = high16(w), g_copied[1] = low16(w), g_copied[2] = high16(l);
        g_motionTime = static_cast<DWORD>(GetMessageTime());
    } else if (message == g_motionABC) {
        std::printf("motion a=%d b=%d c=%d\n", high16(w), low16(w), high16(l));
        g_copied[3] = high16(w), g_copied[4] = low16(w), g_copied[5] = high16(l);
        if (g_recorder)
            g_recorder->motion(g_copied, g_motionTime);
    } else if (message == g_buttonData) {
        std::printf("button %u %s\n", static_cast<unsigned>(w), l ? "pressed" : "released");
        if (g_recorder)
            g_recorder->button(static_cast<int>(w), l != 0, static_cast<DWORD>(GetMessageTime()));
    } else {
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    std::fflush(stdout);
    if (++g_received == g_limit)
        PostQuitMessage(0);
    return 0;
}

void usage() {
    std::fputs("usage: glo_monitor [--core HWND] [--count N] [--timeout MS] [--record FILE]\n"
               "  --core HWND        the core window (hex); default: found by its class\n"
               "  --count N          stop after N messages\n"
               "  --timeout MS       stop when the core window is not found within MS, or after\n"
               "                     MS without a message (default 10000)\n"
               "  --record FILE      also write the events as a device trace for glo_driver\n"
               "  --device-type N    with --record: the device type of the replay (default 21,\n"
               "                     as glo_driver's)\n",
               stderr);
}

// Until the count is reached, the core window goes, nothing arrives in time or the user stops
// it; the exit code.
int monitor(HWND core, DWORD timeout) {
    // The driver may start after us: wait for its core window.
    const DWORD start = GetTickCount();
    while (!core) {
        core = FindWindowW(GDR_CORE_WINDOW_CLASS, nullptr);
        if (core)
            break;
        if (g_interrupted)
            return 0;
        if (GetTickCount() - start > timeout) {
            std::fprintf(stderr, "glo_monitor: no core window \"%ls\" found\n",
                         GDR_CORE_WINDOW_CLASS);
            return 1;
        }
        Sleep(50);
    }

    WNDCLASSW wc = {};
    wc.lpfnWndProc = &cloneProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"GloMonitorClone";
    RegisterClassW(&wc);
    HWND clone = CreateWindowExW(0, wc.lpszClassName, L"glo_monitor", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                 nullptr, wc.hInstance, nullptr);
    DWORD_PTR answer = 0;
    if (!clone ||
        !SendMessageTimeoutW(core, g_registerClone, reinterpret_cast<WPARAM>(clone), 0,
                             SMTO_ABORTIFHUNG, 5000, &answer) ||
        answer != 1) {
        std::fprintf(stderr, "glo_monitor: the core window 0x%llx did not take the clone\n",
                     static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(core)));
        return 1;
    }
    std::printf("glo_monitor: clone 0x%llx registered with core window 0x%llx\n",
                static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(clone)),
                static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(core)));
    std::fflush(stdout);

    DWORD lastMessage = GetTickCount();
    for (;;) {
        MSG msg;
        bool quit = false;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                quit = true;
                break;
            }
            DispatchMessageW(&msg);
            lastMessage = GetTickCount();
        }
        if (quit || g_interrupted || !IsWindow(core) || GetTickCount() - lastMessage > timeout)
            break;
        MsgWaitForMultipleObjects(1, &g_stop, FALSE, 100, QS_ALLINPUT);
    }
    std::printf("glo_monitor: %ld messages\n", g_received);
    finishTrace(); // before anything that may wait: the console's handler waits for it
    if (IsWindow(core))
        SendMessageTimeoutW(core, g_registerClone, 0, 0, SMTO_ABORTIFHUNG, 2000, &answer);
    DestroyWindow(clone);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    HWND core = nullptr;
    DWORD timeout = 10000;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const char* v = i + 1 < argc ? argv[i + 1] : nullptr;
        if (arg == "--core" && v) {
            core =
                reinterpret_cast<HWND>(static_cast<std::uintptr_t>(std::strtoull(v, nullptr, 16)));
        } else if (arg == "--count" && v) {
            g_limit = std::strtol(v, nullptr, 0);
        } else if (arg == "--timeout" && v) {
            timeout = static_cast<DWORD>(std::strtoul(v, nullptr, 0));
        } else if (arg == "--record" && v) {
            g_recordPath = v;
        } else if (arg == "--device-type" && v) {
            g_deviceType = static_cast<int>(std::strtol(v, nullptr, 0));
        } else {
            usage();
            return 2;
        }
        ++i;
    }
    g_motionXYZ = RegisterWindowMessageW(GDR_MSG_MOTIONXYZ);
    g_motionABC = RegisterWindowMessageW(GDR_MSG_MOTIONABC);
    g_buttonData = RegisterWindowMessageW(GDR_MSG_BUTTONDATA);
    g_registerClone = RegisterWindowMessageW(GDR_MSG_REGISTERCLONE);
    g_stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    g_written = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HWND session = nullptr;
    if (g_recordPath) {
        g_record = std::fopen(g_recordPath, "w");
        if (!g_record) {
            std::fprintf(stderr, "glo_monitor: cannot write %s\n", g_recordPath);
            return 1;
        }
        g_recorder.reset(new CTraceRecorder(g_record, g_deviceType));
        SetConsoleCtrlHandler(interruptHandler, TRUE);
        WNDCLASSW wc = {};
        wc.lpfnWndProc = &sessionProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"GloMonitorSession";
        RegisterClassW(&wc);
        session = CreateWindowExW(0, wc.lpszClassName, L"glo_monitor", WS_POPUP, 0, 0, 0, 0,
                                  nullptr, nullptr, wc.hInstance, nullptr);
    }
    const int code = monitor(core, timeout);
    finishTrace();
    if (session)
        DestroyWindow(session);
    return code;
}
