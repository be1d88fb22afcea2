// The whole road of a device event: the test plays the driver (callback table, ZuVidInit,
// ZuVidSendEvent, ZuVidCloseHdl), the core loads the e2e_recorder plug-in from the home folder
// named in the registry, matches the test's window to it and runs the plug-in's functions on
// the plug-in's worker thread, which records every call.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ZuVidDriver.h"
#include "fixtures/e2e_recorder/E2eRecording.h"

namespace {

const wchar_t kKey[] = L"SOFTWARE\\Veltrana\\Halcyra";
const wchar_t kValue[] = L"Home Directory";
const wchar_t kPlugin[] = L"e2e_recorder.dll";

// The driver side: what the core logs and which windows it announces.
struct Driver {
    std::vector<std::wstring> lines;
    HWND coreWindow = nullptr;
};
Driver gDriver;

void WINAPI logLine(const wchar_t* text) {
    gDriver.lines.push_back(text ? text : L"");
}

std::int32_t WINAPI registerWindow(std::uint32_t, const wchar_t*, HWND window,
                                   std::int32_t* status) {
    if (!gDriver.coreWindow)
        gDriver.coreWindow = window; // the first window announced is the core window
    *status = 0;
    return 0;
}

std::int32_t WINAPI getDeviceName(HWND, wchar_t* buffer, std::int32_t capacity) {
    lstrcpynW(buffer, L"USB 3D Cap", capacity);
    return 0;
}

std::int32_t WINAPI getVersion(ZuVidVersionInfo* info) {
    info->major = 4;
    info->minor = 0;
    info->build = 6;
    return 0;
}

// The window and the core window live on the test's thread: waiting means pumping.
void pumpUntil(double deadlineMs) {
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        const double left = deadlineMs - e2e::counterMs();
        if (left <= 0)
            return;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(left) + 1, QS_ALLINPUT);
    }
}
void pumpFor(double ms) {
    pumpUntil(e2e::counterMs() + ms);
}

LRESULT CALLBACK targetProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(window, message, wParam, lParam);
}

// "Pm+ Pz Fm": function letter, event kind (motion, button, zero), '+' for a run of two or more.
std::string shape(const std::vector<e2e::Call>& calls) {
    std::string out;
    std::string previous;
    bool run = false;
    for (const e2e::Call& c : calls) {
        std::string token(1, c.function);
        token += c.eventType == 2 ? 'm' : c.eventType == 1 ? 'b' : 'z';
        if (token == previous) {
            if (!run)
                out += '+';
            run = true;
            continue;
        }
        out += (out.empty() ? "" : " ") + token;
        previous = token;
        run = false;
    }
    return out;
}

int count(const std::vector<e2e::Call>& calls, char function, int eventType) {
    int n = 0;
    for (const e2e::Call& c : calls)
        n += c.function == function && c.eventType == eventType;
    return n;
}

class EventRoad : public ::testing::Test {
protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        static int serial = 0;
        home = std::wstring(temp) + L"glo_e2e_" + std::to_wstring(GetCurrentProcessId()) + L"_" +
               std::to_wstring(++serial);
        plugins = home + L"\\Office\\Plugins\\";
        ASSERT_TRUE(CreateDirectoryW(home.c_str(), nullptr));
        CreateDirectoryW((home + L"\\Office").c_str(), nullptr);
        CreateDirectoryW(plugins.c_str(), nullptr);
        ASSERT_TRUE(CopyFileW(fixture().c_str(), (plugins + kPlugin).c_str(), FALSE));
        setHome();

        WNDCLASSW wc = {};
        wc.lpfnWndProc = targetProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = e2e::kTargetClass;
        RegisterClassW(&wc);
        window = CreateWindowExW(0, e2e::kTargetClass, L"e2e target",
                                 WS_OVERLAPPEDWINDOW | WS_VISIBLE, 150, 120, 400, 300, nullptr,
                                 nullptr, GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(window, nullptr);
        SetForegroundWindow(window);
        pumpFor(20);
        RECT r;
        GetWindowRect(window, &r);
        SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
        pumpFor(20);
        ASSERT_EQ(GetForegroundWindow(), window);

        ASSERT_EQ(GetModuleHandleW(kPlugin), nullptr);
        gDriver = Driver();
        ZuVidCallbackTable table = {};
        table.size = sizeof(table);
        table.log = &logLine;
        table.registerWindow = &registerWindow;
        table.getDeviceName = &getDeviceName;
        table.getVersion = &getVersion;
        ZuVidInit(11, &table);
        ASSERT_NE(gDriver.coreWindow, nullptr);
        open = true;

        // Pinned, so that the recording can still be read after the core has unloaded it.
        ASSERT_TRUE(GetModuleHandleExW(0, kPlugin, &module)) << "the core loaded no plug-in";
        wchar_t path[MAX_PATH];
        GetModuleFileNameW(module, path, MAX_PATH);
        EXPECT_EQ(lstrcmpiW(path, (plugins + kPlugin).c_str()), 0);
        auto proc = reinterpret_cast<e2e::RecordedProc>(
            reinterpret_cast<void*>(GetProcAddress(module, "recorded")));
        ASSERT_NE(proc, nullptr);
        recording = proc();
        EXPECT_EQ(ZuVidIsValidHdl(window), 1);
    }

    void TearDown() override {
        close();
        if (module)
            FreeLibrary(module);
        if (window)
            DestroyWindow(window);
        pumpFor(10);
        DeleteFileW((plugins + kPlugin).c_str());
        RemoveDirectoryW(plugins.c_str());
        RemoveDirectoryW((home + L"\\Office").c_str());
        RemoveDirectoryW(home.c_str());
        restoreHome();
    }

    static std::wstring fixture() {
        wchar_t path[MAX_PATH];
        GetModuleFileNameW(nullptr, path, MAX_PATH);
        std::wstring folder = path;
        folder.resize(folder.find_last_of(L'\\') + 1);
        return folder + L"..\\plugins\\" + kPlugin;
    }

    // The home value is set for the test; one that was there before comes back afterwards.
    void setHome() {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_READ | KEY_WRITE,
                                  nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        wchar_t old[MAX_PATH];
        DWORD bytes = sizeof(old);
        if (RegQueryValueExW(key, kValue, nullptr, nullptr, reinterpret_cast<BYTE*>(old), &bytes) ==
            ERROR_SUCCESS) {
            previousHome.assign(old, bytes / sizeof(wchar_t));
            hadHome = true;
        }
        RegSetValueExW(key, kValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(home.c_str()),
                       static_cast<DWORD>((home.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(key);
    }

    void restoreHome() {
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, KEY_READ | KEY_WRITE, &key) != 0)
            return;
        if (hadHome)
            RegSetValueExW(key, kValue, 0, REG_SZ,
                           reinterpret_cast<const BYTE*>(previousHome.c_str()),
                           static_cast<DWORD>(previousHome.size() * sizeof(wchar_t)));
        else
            RegDeleteValueW(key, kValue);
        DWORD values = 0, subkeys = 0;
        RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values,
                         nullptr, nullptr, nullptr, nullptr);
        RegCloseKey(key);
        if (values == 0 && subkeys == 0) {
            RegDeleteKeyW(HKEY_LOCAL_MACHINE, kKey);
            RegDeleteKeyW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Veltrana"); // only when empty
        }
    }

    void close() {
        if (open)
            ZuVidCloseHdl(gDriver.coreWindow);
        open = false;
    }

    // One driver event; returns when it was handed over.
    double send(int type, unsigned pressed, unsigned released, int x = 0, int y = 0, int z = 0,
                int a = 0, int b = 0, int c = 0) {
        ZuVidEventRecord record = {};
        record.type = type;
        record.pressed = pressed;
        record.released = released;
        const int motion[6] = {x, y, z, a, b, c};
        for (int i = 0; i < 6; ++i)
            record.motion[i] = motion[i];
        const double at = e2e::counterMs();
        EXPECT_EQ(ZuVidSendEvent(window, &record), 0);
        return at;
    }
    double motion(int x, int y, int z, int a, int b, int c) {
        return send(ZUVID_EVENT_MOTION, 0, 0, x, y, z, a, b, c);
    }
    double zero() { return send(ZUVID_EVENT_ZERO, 0, 0); }
    double press(int button) { return send(ZUVID_EVENT_BUTTON, 1u << button, 0); }
    double release(int button) { return send(ZUVID_EVENT_BUTTON, 0, 1u << button); }

    // The same deflection about every 16 ms (a device's report rate) for `ms`.
    void hold(int x, int y, int z, int a, int b, int c, double ms) {
        const double start = e2e::counterMs();
        for (int i = 0; e2e::counterMs() < start + ms; ++i) {
            motion(x, y, z, a, b, c);
            pumpUntil(start + 16.0 * (i + 1));
        }
    }

    std::vector<e2e::Call> calls() const {
        const LONG n = InterlockedCompareExchange(&recording->count, 0, 0);
        return std::vector<e2e::Call>(recording->calls, recording->calls + n);
    }

    std::wstring home, plugins, previousHome;
    bool hadHome = false;
    HWND window = nullptr;
    HMODULE module = nullptr;
    e2e::Recording* recording = nullptr;
    bool open = false;
};

TEST_F(EventRoad, ContinuousFunctionRepeatsWhileDeflectedAndStopsOnZeroEvent) {
    hold(200, 0, 0, 0, 0, 0, 300);
    const double rest = zero();
    pumpFor(150);

    const std::vector<e2e::Call> c = calls();
    ASSERT_EQ(shape(c), "Pm+ Pz");
    // x = 200 through the two-axis setup and the multiplexer's rescaling: (200 - 60) * 350 / 290.
    EXPECT_EQ(c.front().axis[0], 168);
    EXPECT_EQ(c.front().axis[1], 0);
    const int runs = count(c, 'P', 2);
    EXPECT_GE(runs, 10) << "about 30 runs expected in 300 ms";
    EXPECT_LE(runs, (c.back().ms - c.front().ms) / 5 + 2) << "repeats faster than the period";
    // Ended by the zero event itself, not by the 200 ms without events.
    EXPECT_LT(c.back().ms - rest, 180);
}

TEST_F(EventRoad, ContinuousFunctionStopsWhenEventsGoStale) {
    const double sent = motion(0, 0, -200, 0, 0, 0);
    pumpFor(500);

    const std::vector<e2e::Call> c = calls();
    ASSERT_EQ(shape(c), "Pm+ Pz");
    // One event, repeated with the same values; z arrives with the plug-ins' sign.
    const int runs = count(c, 'P', 2);
    EXPECT_GE(runs, 5);
    EXPECT_LE(runs, 30);
    for (size_t i = 0; i + 1 < c.size(); ++i) {
        EXPECT_EQ(c[i].axis[0], 0);
        EXPECT_EQ(c[i].axis[1], 168);
    }
    EXPECT_GE(c.back().ms - sent, 199);
    EXPECT_LT(c.back().ms - sent, 450);
}

TEST_F(EventRoad, OneShotTakesOverFromTheRepeatingFunctionAndRunsOnce) {
    hold(200, 0, 0, 0, 0, 0, 150);
    hold(0, 0, 0, 300, 0, 0, 150);
    zero();
    pumpFor(100);

    const std::vector<e2e::Call> c = calls();
    // Pan is told to stop before Flip runs; Flip runs once for the whole push and is told
    // to end when the next event selects nothing.
    EXPECT_EQ(shape(c), "Pm+ Pz Fm Fz");
    for (const e2e::Call& call : c) {
        if (call.function == 'F' && call.eventType == 2) {
            EXPECT_EQ(call.axis[0], 289); // (300 - 60) * 350 / 290
        }
    }
}

TEST_F(EventRoad, OneShotRunsOncePerPush) {
    for (int push = 0; push < 3; ++push) {
        hold(0, 0, 0, 300, 0, 0, 100);
        zero(); // the device comes to rest between the pushes
        pumpFor(60);
    }
    hold(0, 0, 0, 300, 0, 0, 100); // a fourth push that fades out through small values
    hold(0, 0, 0, 30, 0, 0, 50);
    hold(0, 0, 0, 300, 0, 0, 100);
    zero();
    pumpFor(60);

    const std::vector<e2e::Call> c = calls();
    EXPECT_EQ(count(c, 'F', 2), 5) << shape(c);
    EXPECT_EQ(count(c, 'P', 2), 0);
}

TEST_F(EventRoad, ButtonRunsItsFunctionOnceAndEndsTheRepeatingOne) {
    hold(200, 0, 0, 0, 0, 0, 100);
    press(0);
    pumpFor(50);
    release(0);
    pumpFor(50);
    press(0);
    pumpFor(50);
    release(0);
    pumpFor(100);

    const std::vector<e2e::Call> c = calls();
    EXPECT_EQ(shape(c), "Pm+ Pz Cb Cz Cb Cz");
    for (const e2e::Call& call : c) {
        if (call.function == 'C' && call.eventType == 1) {
            EXPECT_EQ(call.button, 0);
            EXPECT_EQ(call.state, 1);
        }
    }
}

TEST_F(EventRoad, ClosingWhileAFunctionRepeatsStopsIt) {
    hold(200, 0, 0, 0, 0, 0, 100);
    close();
    const size_t atClose = calls().size();
    pumpFor(100);

    EXPECT_GT(atClose, 0u);
    EXPECT_EQ(calls().size(), atClose);
    // Events after the close reach no plug-in.
    motion(200, 0, 0, 0, 0, 0);
    pumpFor(50);
    EXPECT_EQ(calls().size(), atClose);
    // The core logged the road: the core window's registration and one line pair per event.
    bool registered = false, handled = false;
    for (const std::wstring& line : gDriver.lines) {
        registered |= line.find(L"Registering HWND") != std::wstring::npos;
        handled |= line.find(L"Handling message for HWND") != std::wstring::npos;
    }
    EXPECT_TRUE(registered);
    EXPECT_TRUE(handled);
}

} // namespace
