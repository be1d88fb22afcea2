#include <gtest/gtest.h>

#include "GloWnd.h"
#include "MessageBoxAnswerer.h"

namespace {

const UINT kPing = WM_APP + 7;
UINT g_registered = 0;

class PingWnd : public CWnd {
public:
    int pings = 0;
    LRESULT OnPing(WPARAM w, LPARAM l) {
        ++pings;
        return static_cast<LRESULT>(w + l);
    }
    LRESULT OnRegistered(WPARAM, LPARAM) { return 42; }

protected:
    const GloMessageMapEntry* GetMessageMap() const override {
        static const GloMessageMapEntry map[] = {
            GLO_ON_MESSAGE(kPing, PingWnd, OnPing),
            GLO_ON_REGISTERED_MESSAGE(g_registered, PingWnd, OnRegistered), GLO_END_MESSAGE_MAP()};
        return map;
    }
};

HWND create(CWnd& wnd) {
    g_registered = RegisterWindowMessageW(L"GloWndTestMessage");
    EXPECT_TRUE(CWnd::RegisterWndClass(L"GloWndTestClass", 0, CWnd::GetResourceInstance(), nullptr,
                                       nullptr, nullptr));
    const RECT rect = {0, 0, 10, 10};
    EXPECT_TRUE(wnd.CreateEx(0, L"GloWndTestClass", L"", WS_POPUP, rect, nullptr, 0));
    return wnd.GetSafeHwnd();
}

TEST(Wnd, MessageMapAndOwnership) {
    HWND hwnd;
    {
        PingWnd wnd;
        hwnd = create(wnd);
        ASSERT_TRUE(IsWindow(hwnd));
        EXPECT_EQ(CWnd::FromHandlePermanent(hwnd), &wnd);
        EXPECT_EQ(SendMessageW(hwnd, kPing, 2, 3), 5);
        EXPECT_EQ(SendMessageW(hwnd, g_registered, 0, 0), 42);
        EXPECT_EQ(wnd.pings, 1);
        EXPECT_FALSE(wnd.CreateEx(0, L"GloWndTestClass", L"", WS_POPUP, RECT{}, nullptr, 0));
    }
    EXPECT_FALSE(IsWindow(hwnd)); // the owner's destructor destroyed it

    PingWnd wnd;
    hwnd = create(wnd);
    DestroyWindow(hwnd); // destroyed from outside: the object lets go of it
    EXPECT_EQ(wnd.GetSafeHwnd(), nullptr);
    EXPECT_EQ(CWnd::FromHandlePermanent(hwnd), nullptr);
    EXPECT_FALSE(wnd.DestroyWindow());
}

TEST(Wnd, MessageBoxShowsTheStringWithTheLibraryTitle) {
    glotest::MessageBoxAnswerer answerer;
    EXPECT_EQ(CWnd::MessageBoxFromString(54), IDOK);
    ASSERT_TRUE(answerer.waitFor(1));
    EXPECT_EQ(answerer.answered()[0].caption, CWnd::GetAppTitle());
    EXPECT_EQ(answerer.answered()[0].text, L"Halcyra Home Directory not found");
}

} // namespace
