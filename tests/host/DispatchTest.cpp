// Window matching and event dispatch with real windows, foreground and cursor.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cwchar>

#include "GdrProxy.h"
#include "bench/HeapCallCounter.h"
#include "HostTestSupport.h"

using namespace hosttest;

namespace {

// Alpha, Beta and Gamma loaded; windows are destroyed after each test.
class Dispatch : public ::testing::Test {
protected:
    void SetUp() override {
        home.add(L"host_alpha");
        home.add(L"host_beta");
        home.add(L"host_gamma");
        host.loadPlugins(L"Office/Plugins");
        ASSERT_EQ(host.getNumberOfPlugins(), 3);
        alpha = application(L"Alpha");
        beta = application(L"Beta");
        gamma = application(L"Gamma");
    }
    void TearDown() override {
        host.dispatchEvent(0, 0, 0, 0, 0, 0, -1, 0);
        for (HWND w : windows)
            DestroyWindow(w);
        pump();
    }
    HWND top(const std::wstring& className, int x = 100, int y = 100) {
        windows.push_back(createWindow(className, x, y, 300, 200));
        return windows.back();
    }
    void motion(int x = 0, int y = 40) { host.dispatchEvent(x, y, 0, 0, 0, 0, -1, 0); }

    Home home;
    CGlo_PluginHost& host = getPluginHost();
    fixture::RecordingApplication* alpha = nullptr;
    fixture::RecordingApplication* beta = nullptr;
    fixture::RecordingApplication* gamma = nullptr;
    std::vector<HWND> windows;
};

std::wstring kinds(const fixture::RecordingApplication* app) {
    std::wstring text;
    for (int i = 0; i < app->eventCount && i < app->Capacity; ++i)
        text += app->events[i].getEventType() == GLO_MotionEvent   ? L'M'
                : app->events[i].getEventType() == GLO_ButtonEvent ? L'B'
                                                                   : L'0';
    return text;
}

} // namespace

TEST_F(Dispatch, HighestScoreWinsAndTiesGoToTableOrder) {
    const bool alphaFirst = host.findApplication(L"Alpha") < host.findApplication(L"Beta");
    HWND tie = top(L"hosttest_a5_b5");
    focusAndPoint(tie);
    motion();
    EXPECT_EQ(alpha->eventCount, alphaFirst ? 1 : 0);
    EXPECT_EQ(beta->eventCount, alphaFirst ? 0 : 1);

    HWND second = top(L"hosttest_a3_b7", 500, 100);
    focusAndPoint(second);
    motion();
    EXPECT_EQ(host.getCurrentApplication(), host.matchApplication(second));
    EXPECT_EQ(host.indexOf(host.matchApplication(second)), host.findApplication(L"Beta"));
    EXPECT_EQ(beta->events[beta->eventCount - 1].getEventType(), GLO_MotionEvent);
    EXPECT_EQ(host.matchApplication(top(L"hosttest_plain")), nullptr);
}

TEST_F(Dispatch, EventsReachTheMatchWithSignsOfZAndCInverted) {
    HWND window = top(L"hosttest_a5");
    focusAndPoint(window);
    host.dispatchEvent(10, 20, 30, 40, 50, 60, -1, 0);
    ASSERT_EQ(alpha->eventCount, 1);
    const CGlo_Event& e = alpha->events[0];
    EXPECT_EQ(e.getEventType(), GLO_MotionEvent);
    const int expected[6] = {10, 20, -30, 40, 50, -60};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(e.getAxis(i), expected[i]) << i;

    // The driver's registration sample is dropped; (0, 1, ...) is not.
    host.dispatchEvent(1, 0, 0, 0, 0, 0, -1, 0);
    EXPECT_EQ(alpha->eventCount, 1);
    EXPECT_EQ(host.getCurrentApplication(), host.matchApplication(window));
    host.dispatchEvent(0, 1, 0, 0, 0, 0, -1, 0);
    EXPECT_EQ(alpha->eventCount, 2);

    // An empty event stops the current application; a second one reaches nobody.
    host.dispatchEvent(0, 0, 0, 0, 0, 0, -1, 0);
    host.dispatchEvent(0, 0, 0, 0, 0, 0, -1, 0);
    EXPECT_EQ(kinds(alpha), L"MM0");
    EXPECT_EQ(host.getCurrentApplication(), nullptr);
    host.dispatchEvent(0, 0, 0, 0, 0, 0, 3, 1);
    EXPECT_EQ(kinds(alpha), L"MM0B");
    EXPECT_EQ(alpha->events[3].getButton(), 3);
}

TEST_F(Dispatch, PluginsAreAskedOnlyWhenForegroundOrTargetChanges) {
    HWND frame = top(L"hosttest_plain");
    HWND left = createWindow(L"hosttest_a4", 0, 0, 150, 200, frame);
    HWND right = createWindow(L"hosttest_b4", 150, 0, 150, 200, frame);
    focusAndPoint(frame, left);
    for (int i = 0; i < 5; ++i)
        motion();
    EXPECT_EQ(alpha->matchCalls, 1);
    EXPECT_EQ(beta->matchCalls, 1);
    EXPECT_EQ(alpha->eventCount, 5);

    // Onto another child: asked again; the previous application is stopped first.
    focusAndPoint(frame, right);
    motion();
    motion();
    EXPECT_EQ(alpha->matchCalls, 2);
    EXPECT_EQ(kinds(alpha), L"MMMMM0");
    EXPECT_EQ(kinds(beta), L"MM");

    // A window nobody serves: Beta is stopped, and later events go nowhere and ask nobody.
    HWND other = top(L"hosttest_plain2", 500, 100);
    focusAndPoint(other);
    motion();
    const int asked = gamma->matchCalls;
    motion();
    motion();
    EXPECT_EQ(kinds(beta), L"MM0");
    EXPECT_EQ(gamma->matchCalls, asked);
    EXPECT_EQ(host.getCurrentApplication(), nullptr);

    // A minimised foreground window matches nothing.
    focusAndPoint(frame, right);
    motion();
    EXPECT_EQ(kinds(beta), L"MM0M");
    ShowWindow(frame, SW_MINIMIZE);
    pump();
    if (GetForegroundWindow() == frame) {
        motion();
        EXPECT_EQ(kinds(beta), L"MM0M0");
    }
}

TEST_F(Dispatch, TargetIsKeptWhileThePointerIsOverNoChild) {
    HWND frame = top(L"hosttest_plain");
    HWND child = createWindow(L"hosttest_c6", 0, 0, 100, 100, frame);
    focusAndPoint(frame, child);
    motion();
    EXPECT_EQ(gamma->eventCount, 1);
    // The frame's own area: no child there, the cached child stays the target.
    RECT r;
    GetWindowRect(frame, &r);
    SetCursorPos(r.right - 20, r.bottom - 20);
    pump();
    EXPECT_EQ(host.windowUnderCursor(), nullptr);
    motion();
    EXPECT_EQ(gamma->eventCount, 2);
    EXPECT_EQ(gamma->matchCalls, 1);
    // Hidden, it is no longer kept: the frame itself (or its focus) is matched.
    ShowWindow(child, SW_HIDE);
    motion();
    EXPECT_EQ(kinds(gamma), L"MM0");
}

TEST_F(Dispatch, BrowserOriginPaneIsReplacedByItsNextSibling) {
    HWND frame = top(L"hosttest_plain");
    // Created later means lower in z-order: the document follows the origin pane.
    HWND origin = createWindow(L"MSHTML40_Origin_Class", 0, 0, 300, 100, frame);
    HWND document = createWindow(L"hosttest_c5", 0, 100, 300, 100, frame);
    focusAndPoint(frame, origin);
    ASSERT_EQ(GetWindow(origin, GW_HWNDNEXT), document);
    EXPECT_EQ(host.windowUnderCursor(), document);
    motion();
    EXPECT_EQ(gamma->eventCount, 1);
}

TEST_F(Dispatch, ValidHandleAsksTheSameMatchingAndRegistersTheWindow) {
    startProxy(true);
    alpha = application(L"Alpha");
    HWND served = top(L"hosttest_a2");
    HWND unserved = top(L"hosttest_plain", 500, 100);
    focusAndPoint(unserved);
    windowMessages() = WindowMessages();
    driver().lines.clear();
    EXPECT_EQ(ZuVidIsValidHdl(served), 1);
    EXPECT_EQ(driver().registered, std::vector<HWND>{served});
    ASSERT_EQ(driver().lines.size(), 2u);
    wchar_t expected[64];
    swprintf(expected, 64, L"Vex_Core_Proxy.dll: IsValidHdl(0x%x)\n",
             static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(served)));
    EXPECT_EQ(driver().lines[0], expected);
    EXPECT_EQ(ZuVidIsValidHdl(unserved), 0);
    EXPECT_EQ(driver().registered.size(), 1u);
    EXPECT_EQ(host.getCurrentApplication(), nullptr);
    EXPECT_EQ(alpha->eventCount, 0);
    stopProxy();

    // Without a log entry no window text is read.
    startProxy(false);
    windowMessages() = WindowMessages();
    EXPECT_EQ(ZuVidIsValidHdl(served), 1);
    ZuVidEventRecord record = {};
    record.type = ZUVID_EVENT_MOTION;
    record.motion[1] = 30;
    ZuVidSendEvent(served, &record);
    EXPECT_EQ(windowMessages().getTextCalls, 0);
    EXPECT_EQ(driver().registered, std::vector<HWND>{served});
    stopProxy();
}

TEST_F(Dispatch, CachedDispatchAllocatesNothing) {
    HWND frame = top(L"hosttest_plain");
    HWND child = createWindow(L"hosttest_b3", 0, 0, 300, 200, frame);
    focusAndPoint(frame, child);
    motion();
    ASSERT_GT(heap_call_counter::install(GetModuleHandleW(L"Glo_core_proxy.dll")), 0);
    const LONG before = heap_call_counter::count();
    for (int i = 0; i < 200; ++i)
        motion(i % 50, 30);
    EXPECT_EQ(heap_call_counter::count() - before, 0);
    EXPECT_EQ(beta->eventCount, 201);
    EXPECT_EQ(beta->matchCalls, 1);
}
