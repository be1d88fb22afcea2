// The key functions as a low-level keyboard hook records them: every sequence, with and without
// modifiers the user holds, in order, with the flags and scan codes injected, and the user's
// modifiers as they were afterwards; nothing for a zero event or a release; a sequence the system
// refuses halfway undone.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "InputRecorder.h"
#include "PluginProbe.h"
#include "functions/GloInput.h"

using namespace glotest;

namespace {

typedef void (CGlo_Plugin::*Function)(const CGlo_Event&);
const CGlo_Event kPress(0, 0, 0, 0, 0, 0, 2, 1);
const CGlo_Event kRelease(0, 0, 0, 0, 0, 0, 2, 0);

enum Held { None = 0, Ctrl = 1, Shift = 2, Alt = 4 };
const WORD kModifiers[3] = {VK_CONTROL, VK_SHIFT, VK_MENU};

const struct {
    DWORD vk;
    const wchar_t* name;
} kNames[] = {{VK_CONTROL, L"CTRL"}, {VK_SHIFT, L"SHIFT"}, {VK_MENU, L"ALT"},  {VK_PRIOR, L"PGUP"},
              {VK_NEXT, L"PGDN"},    {VK_ESCAPE, L"ESC"},  {VK_LEFT, L"LEFT"}, {VK_RIGHT, L"RIGHT"},
              {VK_UP, L"UP"},        {VK_DOWN, L"DOWN"}};

// Letters stand for themselves.
std::wstring keyName(DWORD vk) {
    for (const auto& key : kNames)
        if (key.vk == vk)
            return key.name;
    return std::wstring(1, wchar_t(vk));
}

WORD keyCode(const std::wstring& name) {
    for (const auto& key : kNames)
        if (name == key.name)
            return WORD(key.vk);
    return WORD(name[0]);
}

// "+CTRL +C -C -CTRL": presses and releases in order.
std::wstring keys(const std::vector<RecordedInput>& events) {
    std::wstring text;
    for (const RecordedInput& e : events)
        if (e.kind == RecordedInput::Key)
            text += (text.empty() ? L"" : L" ") + std::wstring((e.flags & LLKHF_UP) ? L"-" : L"+") +
                    keyName(e.vkCode);
    return text;
}

// Takes every key without acting on it: a lone Alt would open a menu on the test's thread.
LRESULT CALLBACK sinkProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_SYSKEYDOWN || message == WM_SYSKEYUP || message == WM_SYSCHAR ||
        message == WM_SYSCOMMAND)
        return 0;
    return DefWindowProcW(window, message, wParam, lParam);
}

class Keys : public ::testing::Test {
protected:
    void SetUp() override {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = sinkProc;
        wc.lpszClassName = L"GloKeySink";
        RegisterClassW(&wc);
        sink = CreateWindowExW(0, wc.lpszClassName, L"keys", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40,
                               40, 300, 200, nullptr, nullptr, nullptr, nullptr);
        ASSERT_TRUE(bringToFront(sink));
        ASSERT_TRUE(input.active());
    }
    void TearDown() override {
        for (WORD vk : kModifiers)
            if (isDown(vk))
                injectKey(vk, true);
        DestroyWindow(sink);
    }
    // What the hook saw once `count` keys arrived (and a moment more for any extra one).
    std::vector<RecordedInput> seen(size_t count) {
        input.waitFor(count, 2000);
        pump(30);
        return input.events();
    }

    HWND sink = nullptr;
    InputRecorder input;
    Probe probe;
};

} // namespace

TEST_F(Keys, SequencesKeepTheUsersModifiers) {
    const struct Row {
        Function function;
        int held;
        const wchar_t* expected;
    } rows[] = {
        {&CGlo_Plugin::pageUp, None, L"+PGUP -PGUP"},
        {&CGlo_Plugin::pageDown, Ctrl | Shift, L"+PGDN -PGDN"},
        {&CGlo_Plugin::altPageUp, None, L"+ALT +PGUP -PGUP -ALT"},
        {&CGlo_Plugin::ctrlPageUp, Shift | Alt, L"-ALT -SHIFT +CTRL +PGUP -PGUP -CTRL +SHIFT +ALT"},
        {&CGlo_Plugin::ctrlPageDown, Ctrl, L"+PGDN -PGDN"},
        {&CGlo_Plugin::altPageDown, Ctrl | Shift,
         L"-CTRL -SHIFT +ALT +PGDN -PGDN -ALT +SHIFT +CTRL"},
        {&CGlo_Plugin::copy, Ctrl, L"+C -C"},
        {&CGlo_Plugin::cut, Alt, L"-ALT +CTRL +X -X -CTRL +ALT"},
        {&CGlo_Plugin::paste, Shift, L"+CTRL +V -V -CTRL"},
        {&CGlo_Plugin::escape, Ctrl | Alt, L"-CTRL -ALT +ESC -ESC +ALT +CTRL"},
        {&CGlo_Plugin::back, Alt, L"+LEFT -LEFT"},
        {&CGlo_Plugin::forward, Ctrl, L"+ALT +RIGHT -RIGHT -ALT"},
    };
    int index = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.expected);
        for (int m = 0; m < 3; ++m)
            if (row.held & (1 << m))
                injectKey(kModifiers[m], false);
        pump(10);
        input.clear();
        // A zero event or a release sends nothing; a press and any motion both run it.
        (probe.*row.function)(kZero);
        (probe.*row.function)(kRelease);
        (probe.*row.function)(index++ % 2 ? kPress : motion(-100));
        const std::wstring expected = row.expected;
        const std::vector<RecordedInput> events =
            seen(std::count(expected.begin(), expected.end(), L' ') + 1);
        EXPECT_EQ(keys(events), row.expected);
        for (const RecordedInput& e : events) {
            EXPECT_TRUE(e.injected);
            EXPECT_FALSE(e.flags & LLKHF_EXTENDED);
            EXPECT_EQ(e.scanCode, MapVirtualKeyW(e.vkCode, 0)) << keyName(e.vkCode);
        }
        for (int m = 0; m < 3; ++m) {
            EXPECT_EQ(isDown(kModifiers[m]), (row.held & (1 << m)) != 0) << keyName(kModifiers[m]);
            if (row.held & (1 << m))
                injectKey(kModifiers[m], true);
        }
    }
}

// Arrow keys at the cursor triggers' pace (at full deflection the tenth event after a restart
// fires), with scan code 0; axis 0 at rest sends nothing; the pan focus comes to the front.
TEST_F(Keys, CursorKeysFollowTheirTriggers) {
    auto run = [&](Function function, CGlo_Event event, int n = 10) {
        input.clear();
        for (int i = 0; i < n; ++i)
            (probe.*function)(event);
        const std::vector<RecordedInput> events = seen(0);
        for (const RecordedInput& e : events)
            EXPECT_EQ(e.scanCode, 0u);
        return keys(events);
    };
    EXPECT_EQ(run(&CGlo_Plugin::cursorUpDown, motion(350), 9), L"");
    EXPECT_EQ(run(&CGlo_Plugin::cursorUpDown, motion(350), 1), L"+DOWN -DOWN");
    probe.cursorUpDown(kZero);
    EXPECT_EQ(run(&CGlo_Plugin::cursorUpDown, motion(-350)), L"+UP -UP");
    EXPECT_EQ(run(&CGlo_Plugin::cursorLeftRight, motion(350)), L"+RIGHT -RIGHT");
    probe.cursorUpDown(kZero);
    EXPECT_EQ(run(&CGlo_Plugin::cursor, motion(0, -350)), L"+UP -UP");    // axis 1 vertical
    EXPECT_EQ(run(&CGlo_Plugin::cursorUpDown, motion(0, 350), 300), L""); // fires, sends nothing

    HWND other =
        makeWindow(L"GloTestView", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 400, 40, 200, 200, nullptr);
    probe.setPanFocus(CGloWindow(other));
    probe.cursorUpDown(kZero);
    EXPECT_EQ(run(&CGlo_Plugin::cursorUpDown, motion(350)), L"+DOWN -DOWN");
    pump(20);
    EXPECT_EQ(GetForegroundWindow(), other);
    DestroyWindow(other);
}

namespace {

// A sender that takes `budget` inputs in all, then refuses once; it notes what it took, one
// call per "|".
std::wstring g_taken;
int g_budget;

UINT WINAPI refusingSend(UINT count, LPINPUT inputs, int) {
    UINT taken = 0;
    for (; taken < count && g_budget > 0; ++taken, --g_budget)
        g_taken += std::wstring(taken == 0 ? L"" : L" ") +
                   ((inputs[taken].ki.dwFlags & KEYEVENTF_KEYUP) ? L"-" : L"+") +
                   keyName(inputs[taken].ki.wVk);
    if (taken > 0)
        g_taken += L"|";
    if (taken < count)
        g_budget = 100; // what undoes it goes through
    return taken;
}

} // namespace

// The system refuses input part way (another desktop in front, say): the sequence stops, keys
// it pressed are released and modifiers it released are pressed again, in one more call. In the
// rows "|" ends a SendInput call.
TEST(KeySequence, RefusedInputIsUndone) {
    const wchar_t* copyHoldingAlt = L"-ALT|+CTRL|+C|-C|-CTRL|+ALT";
    const struct Row {
        const wchar_t* sequence;
        int budget; // inputs taken before the first refusal
        const wchar_t* taken;
    } rows[] = {
        {copyHoldingAlt, 0, L""},
        {copyHoldingAlt, 1, L"-ALT|+ALT|"},
        {copyHoldingAlt, 3, L"-ALT|+CTRL|+C|-C -CTRL +ALT|"},
        {copyHoldingAlt, 5, L"-ALT|+CTRL|+C|-C|-CTRL|+ALT|"}, // the refused press once more
        // Refused within a call.
        {L"-ALT -SHIFT +CTRL +PGUP -PGUP -CTRL +SHIFT +ALT", 4,
         L"-ALT -SHIFT +CTRL +PGUP|-PGUP -CTRL +SHIFT +ALT|"},
    };
    for (const Row& row : rows) {
        glo_functions::CKeySequence sequence;
        std::wstring item;
        for (const wchar_t* c = row.sequence;; ++c) {
            if (*c == L' ' || *c == L'|' || *c == L'\0') {
                sequence.key(keyCode(item.substr(1)), item[0] == L'-');
                item.clear();
                if (*c == L'|')
                    sequence.endCall();
                if (*c == L'\0')
                    break;
            } else {
                item += *c;
            }
        }
        g_taken.clear();
        g_budget = row.budget;
        sequence.send(&refusingSend);
        EXPECT_EQ(g_taken, row.taken) << row.sequence << " " << row.budget;
    }
}
