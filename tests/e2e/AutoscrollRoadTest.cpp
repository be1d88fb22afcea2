// Autoscroll on the whole road: the substitute driver (glo_driver) replays a trace in a process
// of its own, the core loads the autoscroll_plugin test plug-in, and its worker drives the views
// of glo_autoscroll_target. However a gesture ends (the cap at rest, a driver that stalls, another
// function taking over, ZuVidCloseHdl or ZuVidTerm in the middle of it), the program has left its
// scrolling, no button is down, the cursor is back where the user left it, and the worker ended
// with its cursor shown and its input detached.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <regex>
#include <string>

#include "tests/support/PluginHome.h"
#include "tests/support/TestProgram.h"
#include "tests/fixtures/autoscroll_plugin/AutoscrollRecord.h"
#include "tests/fixtures/autoscroll_target/AutoscrollTarget.h"

using namespace autoscroll_target;
using glotest::hold;

namespace {

template <class Text> size_t occurrences(const Text& text, const Text& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != Text::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

} // namespace

TEST(AutoscrollRoad, EveryEndOfAGestureGivesEverythingBack) {
    const std::wstring name =
        L"Local\\GloAutoscrollRecord_" + std::to_wstring(GetCurrentProcessId());
    SetEnvironmentVariableW(autoscroll_fixture::kRecordVariable, name.c_str());
    autoscroll_fixture::Record* record = autoscroll_fixture::openRecord();
    ASSERT_NE(record, nullptr);
    glotest::PluginHome home{L"glo_e2e_autoscroll"};
    home.add(L"autoscroll_plugin");
    glotest::TestProgram program(std::wstring(kProgram) + L" --parent " +
                                 std::to_wstring(GetCurrentProcessId()) +
                                 L" GloAutoscrollView:click:100:100:500:400"
                                 L" GloAutoscrollView:held:560:100:960:400");
    const HWND views[2] = {findView(program.id(), 0), findView(program.id(), 1)};
    ASSERT_TRUE(views[0] && views[1]);

    // A driver that stalls longer than the core's idle limit (200 ms, which a loaded machine
    // sometimes takes) has its gesture ended there and begun again on its next event: each
    // function's calls and the view's log may come more than once, every time complete.
    const std::string start = "rate 16\nwait 200\n";
    const struct Way {
        const char* name;
        int view;
        std::string trace;
        const wchar_t* options;
        const char* calls;  // what the plug-in's functions received, as a pattern
        const wchar_t* log; // what the view saw of one gesture, as a pattern
    } ways[] = {
        {"the cap at rest", 0, start + hold(40, "200 0 0 0 0 0") + "zero\nwait 300\n", L"",
         "((Pm)+Pz)+", L"M400,250 m L396,246 l"},
        {"the driver stalls mid-gesture", 0,
         start + hold(20, "200 0 0 0 0 0") + "wait 400\n" + hold(20, "200 0 0 0 0 0") +
             "zero\nwait 300\n",
         L"", "(Pm)+Pz((Pm)+Pz)+", L"M400,250 m L396,246 l"},
        {"another function takes over", 0,
         start + hold(30, "200 0 0 0 0 0") + hold(30, "0 300 0 0 0 0") + "zero\nwait 300\n", L"",
         "((Pm)+Pz)+((Lm)+Lz)+", L"M400,250 m L396,246 l"},
        {"ZuVidCloseHdl mid-gesture", 1, start + hold(40, "0 0 0 200 0 0"), L"", "((Mm)+Mz)+",
         L"M860,250 m"},
        {"ZuVidTerm mid-gesture", 0, start + hold(40, "200 0 0 0 0 0"), L" --term", "((Pm)+Pz)+",
         L"M400,250 m L396,246 l"},
    };
    for (const Way& way : ways) {
        SCOPED_TRACE(way.name);
        std::memset(record, 0, sizeof(*record));
        const HWND view = views[way.view];
        ASSERT_TRUE(glotest::bringToFront(GetParent(view)));
        RECT r;
        GetWindowRect(view, &r);
        const POINT user = {r.left + 200, r.top + 200}; // on the view, away from the origin
        SetCursorPos(user.x, user.y);
        ask(view, kClearLog);
        const LPARAM linesBefore = ask(view, kQueryLines);

        LRESULT scrolling = 0; // the latest state seen while the view scrolled
        LONG right = 0;        // the farthest the cursor went right of the origin meanwhile
        EXPECT_EQ(glotest::runDriver(home.home, way.trace, way.options,
                                     [&] {
                                         const LRESULT state = ask(view, kQueryState);
                                         if (state & Scrolling) {
                                             scrolling = state;
                                             right =
                                                 std::max(right, askPoint(view, kQueryOffset).x);
                                         }
                                     }),
                  0u);
        EXPECT_EQ(scrolling & (Scrolling | HasCapture | MarkerShown), Scrolling | HasCapture);
        EXPECT_GT(right, 0); // the cap went right
        const std::string calls(record->trace, record->length);
        EXPECT_TRUE(std::regex_match(calls, std::regex(way.calls))) << calls;
        if (std::strchr(way.calls, 'L') != nullptr) { // the line function scrolled the view
            EXPECT_GT(HIWORD(ask(view, kQueryLines)), HIWORD(linesBefore));
        }

        // The worker's own state after its last zero event.
        EXPECT_GE(record->zeroCalls, 1);
        EXPECT_EQ(record->cursorCount, 0);
        EXPECT_EQ(record->attached, 0);
        // The program's and the system's. A program on a busy machine has been seen seconds
        // behind with its input: it is given that long, and asked at a gentle pace.
        const std::wregex log(std::wstring(L"(") + way.log + L")( " + way.log + L")*");
        const LRESULT busy = Scrolling | HasCapture | MiddleDown | LeftDown;
        for (int i = 0;
             i < 300 && ((ask(view, kQueryState) & busy) || !std::regex_match(logOf(view), log));
             ++i)
            Sleep(50);
        EXPECT_EQ(ask(view, kQueryState) & busy, 0);
        const std::wstring seen = logOf(view);
        EXPECT_TRUE(std::regex_match(seen, log)) << std::string(seen.begin(), seen.end());
        // One start and end in the view for each gesture the autoscroll function ended.
        const std::string ended = way.view == 0 ? "Pz" : "Mz";
        const std::wstring started(way.log, std::wcscspn(way.log, L" "));
        EXPECT_EQ(occurrences(calls, ended), occurrences(seen, started)) << calls;
        for (int vk : {VK_LBUTTON, VK_MBUTTON, VK_CONTROL})
            EXPECT_FALSE(GetAsyncKeyState(vk) & 0x8000) << vk;
        POINT cursor;
        GetCursorPos(&cursor);
        EXPECT_TRUE(cursor.x == user.x && cursor.y == user.y) << cursor.x << "," << cursor.y;
    }
}
