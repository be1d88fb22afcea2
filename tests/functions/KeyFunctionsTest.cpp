// The key functions as a low-level keyboard hook records them: every sequence, with and without
// modifiers the user holds on either side, in order, with the flags and scan codes injected, and
// the user's modifiers as they were afterwards, and how they are split into SendInput calls and
// paced; nothing for a zero event or a release; a sequence the system refuses halfway undone.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <set>
#include <string>
#include <vector>

#include "tests/support/InputRecorder.h"
#include "tests/functions/PluginProbe.h"
#include "functions/GloChord.h"
#include "functions/GloInput.h"

using namespace glotest;

namespace {

using Clock = std::chrono::steady_clock;

typedef void (CGlo_Plugin::*Function)(const CGlo_Event&);
const CGlo_Event kPress(0, 0, 0, 0, 0, 0, 2, 1);
const CGlo_Event kRelease(0, 0, 0, 0, 0, 0, 2, 0);

bool isRight(DWORD vk) {
    return vk == VK_RCONTROL || vk == VK_RMENU || vk == VK_RSHIFT;
}

const struct {
    DWORD vk;
    const wchar_t* name;
} kNames[] = {{VK_CONTROL, L"CTRL"},
              {VK_SHIFT, L"SHIFT"},
              {VK_MENU, L"ALT"},
              {VK_LCONTROL, L"LCTRL"},
              {VK_RCONTROL, L"RCTRL"},
              {VK_LSHIFT, L"LSHIFT"},
              {VK_RSHIFT, L"RSHIFT"},
              {VK_LMENU, L"LALT"},
              {VK_RMENU, L"RALT"},
              {VK_PRIOR, L"PGUP"},
              {VK_NEXT, L"PGDN"},
              {VK_ESCAPE, L"ESC"},
              {VK_LEFT, L"LEFT"},
              {VK_RIGHT, L"RIGHT"},
              {VK_UP, L"UP"},
              {VK_DOWN, L"DOWN"},
              {glo_functions::kUnassignedKey, L"MASK"}};

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

// "+KEY" or "-KEY" for an input, marked when its extended flag does not match its side.
std::wstring describe(const INPUT& input) {
    const KEYBDINPUT& key = input.ki;
    return ((key.dwFlags & KEYEVENTF_KEYUP) ? L"-" : L"+") + keyName(key.wVk) +
           (((key.dwFlags & KEYEVENTF_EXTENDEDKEY) != 0) != isRight(key.wVk) ? L"(side lost)"
                                                                             : L"");
}

// Passes the inputs on, noting each SendInput call ("|" between calls) and when it was made.
std::wstring g_calls;
std::vector<Clock::time_point> g_callTimes;

UINT WINAPI recordCalls(UINT count, LPINPUT inputs, int size) {
    for (UINT i = 0; i < count; ++i)
        g_calls += (i > 0 ? L" " : g_calls.empty() ? L"" : L"|") + describe(inputs[i]);
    g_callTimes.push_back(Clock::now());
    return SendInput(count, inputs, size);
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
        hold(heldNow(), true);
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
    CGlo_PluginTestAccess::setSender(probe, &recordCalls);
    const struct Row {
        Function function;
        int held;
        const wchar_t* calls; // "|" between SendInput calls
    } rows[] = {
        {&CGlo_Plugin::pageUp, None, L"+PGUP -PGUP"},
        {&CGlo_Plugin::pageDown, LCtrl | RShift, L"+PGDN -PGDN"},
        {&CGlo_Plugin::altPageUp, None, L"+ALT +PGUP -PGUP -ALT"},
        {&CGlo_Plugin::ctrlPageUp, LShift | RAlt,
         L"+MASK -MASK -RALT -LSHIFT +CTRL +PGUP -PGUP -CTRL +LSHIFT +RALT +MASK -MASK"},
        {&CGlo_Plugin::ctrlPageDown, RCtrl, L"+PGDN -PGDN"},
        {&CGlo_Plugin::altPageDown, LCtrl | RCtrl | RShift,
         L"-LCTRL -RCTRL -RSHIFT +ALT +PGDN -PGDN -ALT +RSHIFT +RCTRL +LCTRL"},
        {&CGlo_Plugin::copy, RCtrl, L"+C|-C"},
        {&CGlo_Plugin::cut, RAlt, L"+MASK|-MASK|-RALT|+CTRL|+X|-X|-CTRL|+RALT|+MASK|-MASK"},
        {&CGlo_Plugin::paste, LShift, L"+CTRL|+V|-V|-CTRL"},
        {&CGlo_Plugin::escape, RCtrl | LAlt,
         L"-RCTRL|+MASK|-MASK|-LALT|+ESC|-ESC|+LALT|+RCTRL|+MASK|-MASK"},
        {&CGlo_Plugin::back, RAlt, L"+LEFT -LEFT"},
        {&CGlo_Plugin::forward, LCtrl, L"+ALT|+RIGHT -RIGHT|-ALT"}, // paced: last
    };
    int index = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.calls);
        hold(row.held, false);
        pump(10);
        input.clear();
        g_calls.clear();
        g_callTimes.clear();
        // A zero event or a release sends nothing; a press and any motion both run it.
        (probe.*row.function)(kZero);
        (probe.*row.function)(kRelease);
        (probe.*row.function)(index++ % 2 ? kPress : motion(-100));
        EXPECT_EQ(g_calls, row.calls);
        std::wstring expected = row.calls;
        std::replace(expected.begin(), expected.end(), L'|', L' ');
        const std::vector<RecordedInput> events =
            seen(std::count(expected.begin(), expected.end(), L' ') + 1);
        EXPECT_EQ(keys(events), expected);
        for (const RecordedInput& e : events) {
            EXPECT_TRUE(e.injected);
            EXPECT_EQ((e.flags & LLKHF_EXTENDED) != 0, isRight(e.vkCode)) << keyName(e.vkCode);
            EXPECT_EQ(e.scanCode, MapVirtualKeyW(e.vkCode, 0)) << keyName(e.vkCode);
        }
        EXPECT_EQ(heldNow(), row.held);
        hold(row.held, true);
    }
    ASSERT_EQ(g_callTimes.size(), 3u); // history: a pause after the Alt press and the arrow
    for (int i = 1; i < 3; ++i)
        EXPECT_GE(g_callTimes[i] - g_callTimes[i - 1], std::chrono::microseconds(900)) << i;

    // Whichever side of a modifier the user holds, after every function exactly that key is
    // down: a right-hand key pressed again as the generic key would come back as the left one.
    for (int side = 0; side < 6; ++side) {
        hold(1 << side, false);
        for (const Row& row : rows) {
            (probe.*row.function)(kPress);
            EXPECT_EQ(heldNow(), 1 << side) << "side " << side << ": " << row.calls;
        }
        hold(1 << side, true);
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
        g_taken += (taken == 0 ? L"" : L" ") + describe(inputs[taken]);
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
    const wchar_t* copyHoldingAlt = L"-RALT|+CTRL|+C|-C|-CTRL|+RALT";
    const struct Row {
        const wchar_t* sequence;
        int budget; // inputs taken before the first refusal
        const wchar_t* taken;
    } rows[] = {
        {copyHoldingAlt, 0, L""},
        // An Alt given back is followed by a tap of the menu mask key.
        {copyHoldingAlt, 1, L"-RALT|+RALT +MASK -MASK|"},
        {copyHoldingAlt, 3, L"-RALT|+CTRL|+C|-C -CTRL +RALT +MASK -MASK|"},
        {copyHoldingAlt, 5, L"-RALT|+CTRL|+C|-C|-CTRL|+RALT +MASK -MASK|"}, // refused press again
        // Refused within a call.
        {L"-ALT -SHIFT +CTRL +PGUP -PGUP -CTRL +SHIFT +ALT", 4,
         L"-ALT -SHIFT +CTRL +PGUP|-PGUP -CTRL +SHIFT +ALT +MASK -MASK|"},
        {L"+MASK -MASK -SHIFT +CTRL +PGUP -PGUP -CTRL +SHIFT", 1, L"+MASK|-MASK|"},
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

namespace {

// The keyboard as a chord meets it: each side of a modifier on its own, a generic key acting on
// the left one, and on a layout with AltGr a Right Alt that brings and takes Left Ctrl with it.
// A program opens its menu when an Alt press is followed by an Alt release with no other key
// pressed in between.
struct Keyboard {
    Keyboard(bool altGr, int held) : altGr(altGr), held(held) {}
    bool altGr;
    int held; // bits over kSideModifiers
    std::set<WORD> otherKeys;
    bool menuArmed = false;
    int menusOpened = 0;

    static WORD side(WORD vk) {
        return vk == VK_CONTROL ? VK_LCONTROL
               : vk == VK_MENU  ? VK_LMENU
               : vk == VK_SHIFT ? VK_LSHIFT
                                : vk;
    }
    void set(WORD vk, bool down) {
        for (int i = 0; i < 6; ++i)
            if (kSideModifiers[i] == vk)
                held = down ? held | 1 << i : held & ~(1 << i);
    }
    void stroke(WORD vk, bool release) {
        const WORD key = side(vk);
        const bool alt = key == VK_LMENU || key == VK_RMENU;
        if (altGr && key == VK_RMENU)
            set(VK_LCONTROL, !release);
        if (key == VK_LCONTROL || key == VK_RCONTROL || key == VK_LSHIFT || key == VK_RSHIFT || alt)
            set(key, !release);
        else if (release)
            otherKeys.erase(key);
        else
            otherKeys.insert(key);
        if (alt && release && menuArmed)
            ++menusOpened;
        if (!release)
            menuArmed = alt;
    }
    // The modifiers as a program reads them: Ctrl, Alt, Shift down on either side.
    unsigned modifiers() const {
        using namespace glo_functions;
        return ((held & (LCtrl | RCtrl)) ? unsigned(kCtrl) : 0u) |
               ((held & (LAlt | RAlt)) ? unsigned(kAlt) : 0u) |
               ((held & (LShift | RShift)) ? unsigned(kShift) : 0u);
    }
};

} // namespace

// Every chord of the key functions, for every set of modifier keys the user may hold, on layouts
// with and without AltGr: the chord's key finds exactly its own modifiers and the ones the
// function keeps, the user's keys are down again afterwards and nothing else is, and no menu
// opens, neither during the chord nor when the user lets go.
TEST(Chords, FindTheirModifiersWhateverTheUserHolds) {
    using namespace glo_functions;
    const struct {
        const char* function;
        unsigned chord, released;
    } chords[] = {{"copy", kCtrl, kAlt},
                  {"ctrlPageUp", kCtrl, kAlt | kShift},
                  {"altPageUp", kAlt, kCtrl | kShift},
                  {"escape", 0, kCtrl | kAlt},
                  {"pageUp", 0, 0}};
    for (const bool altGr : {false, true})
        for (int held = 0; held < 64; ++held) {
            // With AltGr the system never has Right Alt down without Left Ctrl.
            if (altGr && (held & RAlt) && !(held & LCtrl))
                continue;
            for (const auto& c : chords) {
                CModifierState state;
                for (int i = 0; i < 6; ++i)
                    state.set(kSideModifiers[i], (held & (1 << i)) != 0);
                const CChordPlan plan(state, altGr, c.chord, c.released);
                Keyboard keyboard(altGr, held);
                keyboard.menuArmed = (held & (LAlt | RAlt)) != 0;
                unsigned atKey = 0;
                for (int i = 0; i <= plan.size(); ++i) {
                    if (i == plan.keyIndex()) {
                        atKey = keyboard.modifiers();
                        keyboard.stroke('K', false);
                        keyboard.stroke('K', true);
                    }
                    if (i < plan.size())
                        keyboard.stroke(plan[i].vk, plan[i].release);
                }
                const std::string where = std::string(c.function) + ", held " +
                                          std::to_string(held) + (altGr ? ", AltGr" : "");
                // Its own modifiers and those of the user's that it keeps.
                const unsigned users = Keyboard(false, held).modifiers();
                EXPECT_EQ(atKey, c.chord | (users & ~c.released)) << where;
                EXPECT_EQ(keyboard.held, held) << where;
                EXPECT_TRUE(keyboard.otherKeys.empty()) << where;
                for (int i = 0; i < 6; ++i) // the user lets go of everything
                    if (keyboard.held & (1 << i))
                        keyboard.stroke(kSideModifiers[i], true);
                EXPECT_EQ(keyboard.menusOpened, 0) << where;
            }
        }
}

namespace {

// Replays what a sender was given onto a keyboard; "|" ends a call.
Keyboard g_replayed(false, 0);
unsigned g_atKey;
bool g_keyExtended;
WORD g_keyOfCombination;

UINT WINAPI replayingSend(UINT count, LPINPUT inputs, int size) {
    const UINT taken = refusingSend(count, inputs, size);
    for (UINT i = 0; i < taken; ++i) {
        const KEYBDINPUT& k = inputs[i].ki;
        const bool release = (k.dwFlags & KEYEVENTF_KEYUP) != 0;
        if (k.wVk == g_keyOfCombination && !release) {
            g_atKey = g_replayed.modifiers();
            g_keyExtended = (k.dwFlags & KEYEVENTF_EXTENDEDKEY) != 0;
        }
        // A right-hand modifier is only one with the extended flag.
        const WORD vk = isRight(k.wVk) && !(k.dwFlags & KEYEVENTF_EXTENDEDKEY)
                            ? WORD(k.wVk == VK_RCONTROL ? VK_LCONTROL
                                   : k.wVk == VK_RMENU  ? VK_LMENU
                                                        : VK_LSHIFT)
                            : k.wVk;
        g_replayed.stroke(vk, release);
    }
    return taken;
}

unsigned chordOf(unsigned modifiers) {
    using namespace glo_functions;
    return ((modifiers & GLO_KeyCtrl) ? unsigned(kCtrl) : 0u) |
           ((modifiers & GLO_KeyAlt) ? unsigned(kAlt) : 0u) |
           ((modifiers & GLO_KeyShift) ? unsigned(kShift) : 0u);
}

} // namespace

// A key combination of the user's or an author's: the key finds exactly its own modifiers,
// whichever sides of which modifiers the user holds; afterwards exactly the user's keys are down,
// no menu opens, and a sequence refused anywhere leaves the keyboard as the user had it.
TEST(KeyCombination, HasExactlyItsModifiersAndGivesTheUsersBack) {
    const struct {
        unsigned modifiers, key;
    } combinations[] = {{GLO_KeyCtrl, 'S'},
                        {GLO_KeyCtrl | GLO_KeyShift, 'Z'},
                        {0, VK_F5},
                        {GLO_KeyAlt, VK_F4},
                        {GLO_KeyAllModifiers, VK_DELETE}};
    Probe probe;
    CGlo_PluginTestAccess::setSender(probe, &replayingSend);
    // (Every set of held keys for the plan itself: Chords.FindTheirModifiersWhateverTheUserHolds.)
    // (With Right Alt down each send asks the layout about AltGr, slow under Wine: no refusals.)
    for (int held : {int(None), int(LCtrl), int(RCtrl), int(LShift), int(RShift), int(LAlt),
                     int(RAlt), LCtrl | RShift | LAlt, 63}) {
        hold(held, false);
        for (const auto& c : combinations) {
            const std::string where = std::to_string(c.modifiers) + "+" + std::to_string(c.key) +
                                      ", held " + std::to_string(held);
            // None refused (budget 100) whatever is held; every point of refusal for a few.
            const bool everyRefusal = held == 0 || held == (LCtrl | RShift | LAlt);
            for (int budget = everyRefusal ? 0 : 100; budget <= 100;
                 budget = budget < 20    ? budget + 1
                          : budget == 20 ? 100
                                         : 101) {
                g_replayed = Keyboard(false, held);
                g_replayed.menuArmed = (held & (LAlt | RAlt)) != 0;
                g_keyOfCombination = WORD(c.key);
                g_atKey = ~0u;
                g_taken.clear();
                g_budget = budget;
                probe.sendKeyCombination(kPress, c.modifiers, c.key);
                EXPECT_EQ(g_replayed.held, held) << where << ", budget " << budget;
                EXPECT_TRUE(g_replayed.otherKeys.empty()) << where << ", budget " << budget;
                if (budget == 100) {
                    EXPECT_EQ(g_atKey, chordOf(c.modifiers)) << where;
                    EXPECT_EQ(g_keyExtended, c.key == VK_DELETE) << where;
                }
                for (int i = 0; i < 6; ++i)
                    if (g_replayed.held & (1 << i))
                        g_replayed.stroke(kSideModifiers[i], true);
                // (Refused from the start, the user's own Alt opens what it would have.)
                if (budget > 0) {
                    EXPECT_EQ(g_replayed.menusOpened, 0) << where << ", budget " << budget;
                }
            }
        }
        hold(held, true);
    }
    // Keys with a side, and mouse buttons, are no key of a combination.
    g_budget = 100;
    for (unsigned key : {0u, unsigned(VK_SHIFT), unsigned(VK_RCONTROL), unsigned(VK_LWIN),
                         unsigned(VK_LBUTTON), 0x100u}) {
        g_taken.clear();
        probe.sendKeyCombination(kPress, GLO_KeyCtrl, key);
        EXPECT_EQ(g_taken, L"") << key;
    }
}

// The same through the system, as a program's window meets it: for the plug-in base's function
// with each side of each modifier held, the low-level hook sees the key with exactly Ctrl, and
// the user's key is down again afterwards; a zero event or a release sends nothing.
TEST_F(Keys, KeyCombinationReachesTheSystemWithItsModifiersOnly) {
    for (int side = -1; side < 6; ++side) {
        const int held = side < 0 ? 0 : 1 << side;
        hold(held, false);
        pump(10);
        input.clear();
        probe.sendKeyCombination(kZero, GLO_KeyCtrl, 'S');
        probe.sendKeyCombination(kRelease, GLO_KeyCtrl, 'S');
        probe.sendKeyCombination(kPress, GLO_KeyCtrl, 'S');
        input.waitFor(4, 2000);
        pump(30);
        Keyboard keyboard(false, held);
        unsigned atKey = ~0u;
        int presses = 0;
        for (const RecordedInput& e : input.events()) {
            if (e.kind != RecordedInput::Key)
                continue;
            EXPECT_TRUE(e.injected);
            const bool release = (e.flags & LLKHF_UP) != 0;
            if (e.vkCode == 'S' && !release) {
                atKey = keyboard.modifiers();
                ++presses;
            }
            keyboard.stroke(WORD(e.vkCode), release);
        }
        EXPECT_EQ(presses, 1) << side;
        EXPECT_EQ(atKey, unsigned(glo_functions::kCtrl)) << side;
        EXPECT_EQ(keyboard.held, held) << side;
        EXPECT_EQ(heldNow(), held) << side;
        hold(held, true);
    }
}
