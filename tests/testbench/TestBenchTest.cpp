// Proves the test bench itself: real windows and controls, the core's string table under both
// user-interface languages, and the helpers that answer message boxes and record input.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <string>

#include "GloPluginFunction.h"
#include "InputRecorder.h"
#include "MessageBoxAnswerer.h"

namespace {

LRESULT CALLBACK scrollingParentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_VSCROLL && lParam) {
        HWND bar = reinterpret_cast<HWND>(lParam);
        int pos = GetScrollPos(bar, SB_CTL);
        if (LOWORD(wParam) == SB_LINEDOWN)
            ++pos;
        else if (LOWORD(wParam) == SB_LINEUP)
            --pos;
        else if (LOWORD(wParam) == SB_THUMBPOSITION)
            pos = HIWORD(wParam);
        SetScrollPos(bar, SB_CTL, pos, TRUE);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

struct Window {
    HWND handle = nullptr;
    explicit Window(HWND h) : handle(h) {}
    ~Window() {
        if (handle)
            DestroyWindow(handle);
    }
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;
};

HMODULE coreModule() {
    static HMODULE module = LoadLibraryW(L"Glo_core_proxy.dll");
    return module;
}

} // namespace

TEST(RealWindows, ScrollBarControlIsScrolledAndReadBack) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = scrollingParentProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"GloBenchParent";
    RegisterClassW(&wc);
    Window parent(CreateWindowExW(0, L"GloBenchParent", L"bench", WS_OVERLAPPEDWINDOW, 0, 0, 300,
                                  200, nullptr, nullptr, wc.hInstance, nullptr));
    ASSERT_NE(parent.handle, nullptr);
    HWND bar = CreateWindowExW(0, L"ScrollBar", nullptr, WS_CHILD | WS_VISIBLE | SBS_VERT, 280, 0,
                               16, 200, parent.handle, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(bar, nullptr);

    SCROLLINFO info = {sizeof(info), SIF_RANGE | SIF_PAGE | SIF_POS, 0, 100, 10, 5, 0};
    SetScrollInfo(bar, SB_CTL, &info, TRUE);
    SendMessageW(parent.handle, WM_VSCROLL, MAKEWPARAM(SB_LINEDOWN, 0),
                 reinterpret_cast<LPARAM>(bar));
    SendMessageW(parent.handle, WM_VSCROLL, MAKEWPARAM(SB_LINEDOWN, 0),
                 reinterpret_cast<LPARAM>(bar));

    SCROLLINFO back = {sizeof(back), SIF_ALL, 0, 0, 0, 0, 0};
    ASSERT_TRUE(GetScrollInfo(bar, SB_CTL, &back));
    EXPECT_EQ(back.nMin, 0);
    EXPECT_EQ(back.nMax, 100);
    EXPECT_EQ(back.nPage, 10u);
    EXPECT_EQ(back.nPos, 7);
}

TEST(RealWindows, EditControlScrollsByLines) {
    Window edit(CreateWindowExW(0, L"Edit", nullptr,
                                WS_OVERLAPPEDWINDOW | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL, 0,
                                0, 300, 120, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr));
    ASSERT_NE(edit.handle, nullptr);
    std::wstring text;
    for (int i = 0; i < 200; ++i)
        text += L"line " + std::to_wstring(i) + L"\r\n";
    SetWindowTextW(edit.handle, text.c_str());
    EXPECT_EQ(SendMessageW(edit.handle, EM_GETFIRSTVISIBLELINE, 0, 0), 0);
    for (int i = 0; i < 3; ++i)
        SendMessageW(edit.handle, WM_VSCROLL, MAKEWPARAM(SB_LINEDOWN, 0), 0);
    EXPECT_EQ(SendMessageW(edit.handle, EM_GETFIRSTVISIBLELINE, 0, 0), 3);
}

// The same test binary runs once under an English and once under a German user interface.
TEST(StringTable, FollowsUserInterfaceLanguage) {
    ASSERT_NE(coreModule(), nullptr);
    const char* expected = std::getenv("GLO_EXPECT_UI_LANG");
    const LANGID ui = GetUserDefaultUILanguage();
    const bool german = PRIMARYLANGID(ui) == LANG_GERMAN;
    if (expected) {
        ASSERT_EQ(german, std::string(expected) == "de") << "UI language 0x" << std::hex << ui;
    }

    wchar_t text[256] = {};
    ASSERT_GT(LoadStringW(coreModule(), 57, text, 256), 0);
    if (german) {
        EXPECT_STREQ(text, L"Kein USB 3D-Eingabeger\u00e4t gefunden\nGlidora kann nicht geladen "
                           L"werden\n");
        LoadStringW(coreModule(), 1, text, 256);
        EXPECT_STREQ(text, L"Fensterinhalt verschieben");
    } else {
        EXPECT_STREQ(text, L"No USB 3D-Input device found\nGlidora cannot load\n");
        LoadStringW(coreModule(), 54, text, 256);
        EXPECT_STREQ(text, L"Halcyra Home Directory not found");
    }
    // Every identifier of the table exists in both languages.
    for (UINT id = 1; id <= 57; ++id)
        EXPECT_GT(LoadStringW(coreModule(), id, text, 256), 0) << "string " << id;

    // A plug-in's function descriptions come from the core's table, not the plug-in's module.
    CGlo_PluginFunction pan(L"Pan", GLO_TwoAxisFunction, nullptr, 1, 2, 4, 3, 5, 0, 0, 0, 0, 0, 0,
                            0, 0);
    EXPECT_STREQ(pan.getFunctionCbDescription(text, sizeof(text)),
                 german ? L"Fensterinhalt verschieben" : L"Pan Window");
    EXPECT_STREQ(pan.getAxisCbDescription(text, sizeof(text), 1, -1),
                 german ? L"Verschieben rechts/links" : L"Pan Right/Left");
}

TEST(CoreLibrary, LoadsAndOffersTheDriverEntryPoints) {
    HMODULE module = LoadLibraryW(L"Glo_core_proxy.dll");
    ASSERT_NE(module, nullptr);
    for (const char* name : {"ZuVidInit", "ZuVidTerm", "ZuVidSendEvent", "ZuVidIsValidHdl",
                             "ZuVidGetInfo", "ZuVidCloseHdl", "ZuVidServiceRequest"})
        EXPECT_NE(GetProcAddress(module, name), nullptr) << name;
    using GetInfo = void(WINAPI*)(const wchar_t**);
    auto getInfo =
        reinterpret_cast<GetInfo>(reinterpret_cast<void*>(GetProcAddress(module, "ZuVidGetInfo")));
    ASSERT_NE(getInfo, nullptr);
    const wchar_t* info = nullptr;
    getInfo(&info);
    EXPECT_STREQ(info, L"Glidora Proxy ... office work horse");
    FreeLibrary(module);
}

TEST(BenchHelpers, MessageBoxIsAnsweredAndItsTextReported) {
    glotest::MessageBoxAnswerer answerer;
    EXPECT_EQ(MessageBoxW(nullptr, L"Something to confirm", L"Caption", MB_OK | MB_ICONSTOP), IDOK);
    ASSERT_TRUE(answerer.waitFor(1));
    auto boxes = answerer.answered();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, L"Caption");
    EXPECT_EQ(boxes[0].text, L"Something to confirm");
}

TEST(BenchHelpers, InjectedInputIsRecordedInOrder) {
    glotest::InputRecorder recorder;
    ASSERT_TRUE(recorder.active());
    INPUT inputs[3] = {};
    inputs[0].type = INPUT_KEYBOARD;
    inputs[0].ki.wVk = VK_DOWN;
    inputs[1] = inputs[0];
    inputs[1].ki.dwFlags = KEYEVENTF_KEYUP;
    inputs[2].type = INPUT_MOUSE;
    inputs[2].mi.dwFlags = MOUSEEVENTF_WHEEL;
    inputs[2].mi.mouseData = static_cast<DWORD>(-WHEEL_DELTA);
    ASSERT_EQ(SendInput(3, inputs, sizeof(INPUT)), 3u);
    ASSERT_TRUE(recorder.waitFor(3));
    auto events = recorder.events();
    EXPECT_EQ(recorder.keyTrace(), L"+VK_0x28 -VK_0x28");
    ASSERT_GE(events.size(), 3u);
    EXPECT_EQ(events[2].message, static_cast<UINT>(WM_MOUSEWHEEL));
    EXPECT_EQ(static_cast<short>(HIWORD(events[2].mouseData)), -WHEEL_DELTA);
    for (const auto& e : events)
        EXPECT_TRUE(e.injected);
}
