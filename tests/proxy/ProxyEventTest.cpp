#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "FakeDriver.h"
#include "proxy/GdrTestHooks.h"

using namespace fake;

namespace {

struct Dispatch {
    int axes[6];
    int button;
    int state;
    bool operator==(const Dispatch& o) const {
        for (int i = 0; i < 6; ++i) {
            if (axes[i] != o.axes[i])
                return false;
        }
        return button == o.button && state == o.state;
    }
};

std::ostream& operator<<(std::ostream& os, const Dispatch& d) {
    os << "(";
    for (int v : d.axes)
        os << v << ",";
    return os << " button " << d.button << " state " << d.state << ")";
}

std::vector<Dispatch> g_dispatched;
HWND g_clone = nullptr;
int g_queuedAtDispatch = -1; // clone messages already posted when the host was called

void observe(int x, int y, int z, int a, int b, int c, int button, int state) {
    g_dispatched.push_back({{x, y, z, a, b, c}, button, state});
    if (g_clone) {
        // Take what is queued for the clone and put it back in order.
        std::vector<MSG> taken;
        MSG msg;
        while (PeekMessageW(&msg, g_clone, 0, 0, PM_REMOVE))
            taken.push_back(msg);
        for (const MSG& m : taken)
            PostMessageW(m.hwnd, m.message, m.wParam, m.lParam);
        g_queuedAtDispatch = static_cast<int>(taken.size());
    }
}

struct CloneMessage {
    UINT message;
    std::uint32_t wParam;
    std::uint32_t lParam;
};
std::vector<CloneMessage> g_received;

LRESULT CALLBACK cloneProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message >= 0xC000)
        g_received.push_back(
            {message, static_cast<std::uint32_t>(wParam), static_cast<std::uint32_t>(lParam)});
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

void pumpClone() {
    MSG msg;
    while (PeekMessageW(&msg, g_clone, 0, 0, PM_REMOVE))
        DispatchMessageW(&msg);
}

class Events : public ProxyTest {
protected:
    void SetUp() override {
        ProxyTest::SetUp();
        g_dispatched.clear();
        g_received.clear();
        g_queuedAtDispatch = -1;
        gdrSetDispatchObserver(&observe);
    }
    void TearDown() override {
        gdrSetDispatchObserver(nullptr);
        CGdrProxy::setLiveMotionProc(nullptr);
        ProxyTest::TearDown();
        if (g_clone)
            DestroyWindow(g_clone);
        g_clone = nullptr;
    }
    void send(std::int32_t type, std::uint32_t pressed, std::uint32_t released,
              std::initializer_list<int> motion = {}, HWND window = nullptr) {
        ZuVidEventRecord record = {};
        record.type = type;
        record.reserved[0] = record.reserved[1] = 0xDEADBEEF; // never read
        record.pressed = pressed;
        record.released = released;
        int i = 0;
        for (int v : motion)
            record.motion[i++] = v;
        EXPECT_EQ(ZuVidSendEvent(window, &record), 0);
    }
    void makeClone() {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = &cloneProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"ProxyTestClone";
        RegisterClassW(&wc);
        g_clone = CreateWindowExW(0, L"ProxyTestClone", L"clone", WS_POPUP, 0, 0, 10, 10, nullptr,
                                  nullptr, wc.hInstance, nullptr);
        ASSERT_TRUE(g_clone);
        EXPECT_EQ(SendMessageW(coreWindow(), message(GDR_MSG_REGISTERCLONE),
                               reinterpret_cast<WPARAM>(g_clone), 0),
                  1);
    }
};

Dispatch button(int index, int state) {
    return {{0, 0, 0, 0, 0, 0}, index, state};
}
Dispatch motion(int x, int y, int z, int a, int b, int c) {
    return {{x, y, z, a, b, c}, -1, 0};
}

TEST_F(Events, ButtonMasksReportOneButtonAndAPressWins) {
    start();
    send(1, 0x0000000C, 0x00000001);
    send(1, 0, 0x80000000u);
    send(1, 0, 0);
    send(1, 0x80000000u, 0);
    const std::vector<Dispatch> want = {button(2, 1), button(31, 0), button(31, 1)};
    EXPECT_EQ(g_dispatched, want);
    EXPECT_EQ(driver().lines.size(), 8u); // two lines for every event, forwarded or not
}

TEST_F(Events, MotionZeroAndUnknownTypes) {
    start();
    send(2, 0, 0, {1, -2, 3, -4, 5, -6});
    send(4, 0, 0, {9, 9, 9, 9, 9, 9});
    send(3, 1, 0, {9, 9, 9, 9, 9, 9});
    send(0, 1, 0);
    send(8, 1, 0);
    const std::vector<Dispatch> want = {motion(1, -2, 3, -4, 5, -6), motion(0, 0, 0, 0, 0, 0)};
    EXPECT_EQ(g_dispatched, want);
    EXPECT_EQ(driver().lines.size(), 10u);
}

TEST_F(Events, NullRecordIsLoggedAndIgnored) {
    start();
    EXPECT_EQ(ZuVidSendEvent(nullptr, nullptr), 0);
    EXPECT_TRUE(g_dispatched.empty());
    EXPECT_EQ(driver().lines.size(), 2u);
}

TEST_F(Events, EachEventWritesTheTwoLogLines) {
    start();
    HWND window = CreateWindowExW(0, L"STATIC", L"Sheet 1 - Calc", WS_POPUP, 0, 0, 10, 10, nullptr,
                                  nullptr, nullptr, nullptr);
    send(3, 0, 0, {}, window);
    wchar_t expected[96];
    swprintf(expected, 96, L"Vex_Core_Proxy.dll: Handling message for HWND 0x%x\n",
             static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(window)));
    ASSERT_EQ(driver().lines.size(), 2u);
    EXPECT_EQ(driver().lines[0], expected);
    EXPECT_EQ(driver().lines[1], L"Application Sheet 1 - Calc\n");

    // A long title is read into 255 characters (254 and the terminator).
    driver().lines.clear();
    SetWindowTextW(window, std::wstring(400, L'w').c_str());
    send(3, 0, 0, {}, window);
    ASSERT_EQ(driver().lines.size(), 2u);
    EXPECT_EQ(driver().lines[1], L"Application " + std::wstring(254, L'w') + L"\n");
    DestroyWindow(window);
}

TEST_F(Events, IdleProxyStillDispatchesButLogsNothing) {
    send(2, 0, 0, {10, 0, 0, 0, 0, 0});
    EXPECT_EQ(g_dispatched.size(), 1u);
    EXPECT_TRUE(driver().lines.empty());
}

TEST_F(Events, LinearGainsByDeviceType) {
    const struct {
        int type;
        int in;
        int out;
    } cases[] = {{14, 100, 120}, {15, -7, -8}, {16, 1, 1}, {19, -1000, -1200},
                 {3, -77, -77},  {0, 5, 5},    {14, 0, 0}};
    for (const auto& c : cases) {
        driver() = Driver();
        driver().deviceType = c.type;
        start();
        EXPECT_EQ(getCoreProxy().scaleAxis(c.in), c.out) << "type " << c.type << " raw " << c.in;
        ZuVidTerm();
    }
}

// Raw value whose non-linear intermediate truncates to `target`, or 0 if there is none.
int rawFor(int target) {
    const CGdrProxy& p = getCoreProxy();
    for (int raw = 1; raw <= 4000; ++raw) {
        const double r =
            double(p.getGain()) * std::pow(double(raw), double(p.getInverseExponent()));
        if (static_cast<int>(r) == target)
            return raw;
    }
    return 0;
}

TEST_F(Events, NonLinearCurveOfDeviceType21) {
    driver().deviceType = 21;
    start();
    const CGdrProxy& p = getCoreProxy();
    EXPECT_EQ(p.getNonLinearInformation().linear, 0);
    EXPECT_FLOAT_EQ(p.getNonLinearInformation().exponent, 1.7f);
    EXPECT_FLOAT_EQ(p.getInverseExponent(), 1.0f / 1.7f);
    EXPECT_NEAR(p.getGain(), 8.0, 0.05);

    // Intermediate values and their results: slope 1.5 up to 40, then 32/33.
    const int table[][2] = {{40, 60}, {73, 92}, {700, 700}, {12, 18}, {8, 12}};
    for (const auto& row : table) {
        const int raw = rawFor(row[0]);
        ASSERT_NE(raw, 0) << row[0];
        EXPECT_EQ(p.scaleAxis(raw), row[1]) << "intermediate " << row[0];
        EXPECT_EQ(p.scaleAxis(-raw), -row[1]) << "intermediate " << -row[0];
    }
    EXPECT_EQ(p.scaleAxis(0), 0);
    EXPECT_NEAR(p.scaleAxis(2000), 700, 1);
    EXPECT_NEAR(p.scaleAxis(-2000), -700, 1);
    int previous = 0;
    for (int raw = 1; raw <= 2500; ++raw) { // monotonic, no jump at the joint
        const int v = p.scaleAxis(raw);
        EXPECT_GE(v, previous);
        EXPECT_LE(v - previous, 12) << raw;
        previous = v;
    }
}

TEST_F(Events, NonLinearInfoChangedRecomputesTheScaling) {
    driver().deviceType = 14;
    driver().deviceInfoResult = 1; // the driver cannot tell yet
    start();
    EXPECT_EQ(getCoreProxy().getGain(), 1.0f);
    driver().deviceInfoResult = 0;
    EXPECT_EQ(SendMessageW(coreWindow(), message(GDR_MSG_NONLINEARINFOCHANGED), 0, 0), 1);
    EXPECT_FLOAT_EQ(getCoreProxy().getGain(), 1.2f);
    EXPECT_EQ(getCoreProxy().getDeviceType(), 14);
}

TEST_F(Events, DebugEventInjectsScaledMotion) {
    start();
    HWND core = coreWindow();
    const UINT debug = message(GDR_MSG_DEBUGEVENT);
    EXPECT_EQ(SendMessageW(core, debug, 0, 0x00FF0102), 1);
    EXPECT_EQ(SendMessageW(core, debug, 0x00030201, 0x7F80FF05), 1);
    EXPECT_EQ(SendMessageW(core, debug, 0x00030201, 0x7F80FF00), 1); // scale 0
    EXPECT_EQ(SendMessageW(core, message(GDR_MSG_CONFIGCHANGED), 0, 0), 1);
    const std::vector<Dispatch> want = {motion(2, -2, 0, 0, 0, 0), motion(-5, -640, 635, 5, 10, 15),
                                        motion(0, 0, 0, 0, 0, 0)};
    EXPECT_EQ(g_dispatched, want);
}

TEST_F(Events, CloneWindowReceivesCopiesBeforeDispatch) {
    start();
    makeClone();
    const UINT xyz = message(GDR_MSG_MOTIONXYZ), abc = message(GDR_MSG_MOTIONABC),
               buttons = message(GDR_MSG_BUTTONDATA);

    send(2, 0, 0, {-1, 2, 3, 4, -5, 6});
    EXPECT_EQ(g_queuedAtDispatch, 2);
    pumpClone();
    send(1, 0x80000000u, 0);
    EXPECT_EQ(g_queuedAtDispatch, 1);
    pumpClone();
    send(1, 0, 0x10);
    SendMessageW(coreWindow(), message(GDR_MSG_DEBUGEVENT), 0, 0x00000301);
    pumpClone();

    ASSERT_EQ(g_received.size(), 6u);
    EXPECT_EQ(g_received[0].message, xyz);
    EXPECT_EQ(g_received[0].wParam, 0xFFFF0002u);
    EXPECT_EQ(g_received[0].lParam, 0xFFFD0000u);
    EXPECT_EQ(g_received[1].message, abc);
    EXPECT_EQ(g_received[1].wParam, 0x0004FFFBu);
    EXPECT_EQ(g_received[1].lParam, 0xFFFA0000u);
    EXPECT_EQ(g_received[2].message, buttons);
    EXPECT_EQ(g_received[2].wParam, 31u);
    EXPECT_EQ(g_received[2].lParam, 1u);
    EXPECT_EQ(g_received[3].message, buttons);
    EXPECT_EQ(g_received[3].wParam, 4u);
    EXPECT_EQ(g_received[3].lParam, 0u);
    EXPECT_EQ(g_received[4].message, xyz);
    EXPECT_EQ(g_received[4].wParam, 0x00030000u);

    // The clone survives a shutdown, and only a new registration removes it.
    ZuVidTerm();
    start();
    g_received.clear();
    send(4, 0, 0);
    pumpClone();
    EXPECT_EQ(g_received.size(), 2u);
    SendMessageW(coreWindow(), message(GDR_MSG_REGISTERCLONE), 0, 0);
    g_received.clear();
    send(2, 0, 0, {1, 1, 1, 1, 1, 1});
    send(1, 1, 0);
    pumpClone();
    EXPECT_TRUE(g_received.empty());
}

TEST_F(Events, VisibleConfigurationDialogGetsLiveMotion) {
    static std::vector<int> live;
    live.clear();
    CGdrProxy::setLiveMotionProc(
        [](HWND, const int values[6]) { live.assign(values, values + 6); });
    start();
    HWND dialog = CreateWindowExW(0, L"STATIC", L"dialog", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                  nullptr, nullptr);
    getCoreProxy().setConfigDialog(dialog);
    send(2, 0, 0, {1, 2, 3, 4, 5, 6});
    EXPECT_TRUE(live.empty()); // hidden
    ShowWindow(dialog, SW_SHOWNOACTIVATE);
    send(2, 0, 0, {1, 2, 3, 4, 5, 6});
    EXPECT_EQ(live, (std::vector<int>{1, 2, -3, 4, 5, -6}));
}

} // namespace
