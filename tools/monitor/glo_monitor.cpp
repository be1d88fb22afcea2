// Registers a clone window with the proxy's core window and prints every copy
// of a decoded event it receives; with --record it also writes them as a device trace, so that
// what a user did can be replayed by glo_driver.
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "GdrProxy.h"
#include "TraceRecorder.h"

namespace {

UINT g_motionXYZ, g_motionABC, g_buttonData, g_registerClone;
long g_received = 0;
long g_limit = -1;
std::unique_ptr<CTraceRecorder> g_recorder;
int g_copied[6] = {};
DWORD g_motionTime = 0;
std::atomic<bool> g_interrupted(false);

BOOL WINAPI interruptHandler(DWORD) {
    g_interrupted = true; // the loop ends and the trace is completed
    return TRUE;
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

} // namespace

int main(int argc, char** argv) {
    HWND core = nullptr;
    DWORD timeout = 10000;
    const char* recordPath = nullptr;
    int deviceType = 21;
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
            recordPath = v;
        } else if (arg == "--device-type" && v) {
            deviceType = static_cast<int>(std::strtol(v, nullptr, 0));
        } else {
            usage();
            return 2;
        }
        ++i;
    }
    FILE* record = nullptr;
    if (recordPath) {
        record = std::fopen(recordPath, "w");
        if (!record) {
            std::fprintf(stderr, "glo_monitor: cannot write %s\n", recordPath);
            return 1;
        }
        g_recorder.reset(new CTraceRecorder(record, deviceType));
        SetConsoleCtrlHandler(interruptHandler, TRUE);
    }
    g_motionXYZ = RegisterWindowMessageW(GDR_MSG_MOTIONXYZ);
    g_motionABC = RegisterWindowMessageW(GDR_MSG_MOTIONABC);
    g_buttonData = RegisterWindowMessageW(GDR_MSG_BUTTONDATA);
    g_registerClone = RegisterWindowMessageW(GDR_MSG_REGISTERCLONE);

    // The driver may start after us: wait for its core window.
    const DWORD start = GetTickCount();
    while (!core) {
        core = FindWindowW(GDR_CORE_WINDOW_CLASS, nullptr);
        if (core)
            break;
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

    // Runs until the count is reached, the core window goes, or nothing arrives in time.
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
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
    }
    if (IsWindow(core))
        SendMessageTimeoutW(core, g_registerClone, 0, 0, SMTO_ABORTIFHUNG, 2000, &answer);
    std::printf("glo_monitor: %ld messages\n", g_received);
    DestroyWindow(clone);
    if (g_recorder) {
        g_recorder->finish();
        if (g_recorder->inexactValues() > 0)
            std::printf("glo_monitor: %ld values have no raw value of device type %d that gives "
                        "them exactly; the nearest were written\n",
                        g_recorder->inexactValues(), deviceType);
        g_recorder.reset();
        std::fclose(record);
        std::printf("glo_monitor: trace written to %s\n", recordPath);
    }
    return 0;
}
