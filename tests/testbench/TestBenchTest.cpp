// Proves the test bench itself: the core's string table under both user-interface languages,
// and the helpers that answer message boxes and record input (a helper that saw nothing would
// let the tests that expect nothing pass falsely).
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <string>

#include "InputRecorder.h"
#include "MessageBoxAnswerer.h"

// The same test binary runs once under an English and once under a German user interface.
TEST(StringTable, FollowsUserInterfaceLanguage) {
    static const HMODULE core = LoadLibraryW(L"Glo_core_proxy.dll");
    ASSERT_NE(core, nullptr);
    const char* expected = std::getenv("GLO_EXPECT_UI_LANG");
    const LANGID ui = GetUserDefaultUILanguage();
    const bool german = PRIMARYLANGID(ui) == LANG_GERMAN;
    if (expected) {
        ASSERT_EQ(german, std::string(expected) == "de") << "UI language 0x" << std::hex << ui;
    }
    wchar_t text[256] = {};
    ASSERT_GT(LoadStringW(core, 57, text, 256), 0);
    EXPECT_STREQ(text, german ? L"Kein USB 3D-Eingabeger\u00e4t gefunden\nGlidora kann nicht "
                                L"geladen werden\n"
                              : L"No USB 3D-Input device found\nGlidora cannot load\n");
    // Every identifier of the table exists in both languages.
    for (UINT id = 1; id <= 57; ++id)
        EXPECT_GT(LoadStringW(core, id, text, 256), 0) << "string " << id;
}

TEST(BenchHelpers, MessageBoxIsAnsweredAndItsTextReported) {
    glotest::MessageBoxAnswerer answerer;
    EXPECT_EQ(MessageBoxW(nullptr, L"Something to confirm", L"Caption", MB_OK | MB_ICONSTOP), IDOK);
    ASSERT_TRUE(answerer.waitFor(1));
    const auto boxes = answerer.answered();
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
    const auto events = recorder.events();
    EXPECT_EQ(recorder.keyTrace(), L"+VK_0x28 -VK_0x28");
    ASSERT_GE(events.size(), 3u);
    EXPECT_EQ(events[2].message, static_cast<UINT>(WM_MOUSEWHEEL));
    EXPECT_EQ(static_cast<short>(HIWORD(events[2].mouseData)), -WHEEL_DELTA);
    for (const auto& e : events)
        EXPECT_TRUE(e.injected);
}
