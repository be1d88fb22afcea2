// The plug-in author's tools as an author runs them, in processes of their own: glo_driver
// --list-plugins on good and bad libraries (and its answer against the core's own choice), on
// a plug-in with an author's mistakes (and --verbose on it), the
// driver's refusal to start without a home, and a gesture recorded by glo_monitor and replayed
// by glo_driver reaching the same functions in the same order.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "tests/support/DriverTest.h"
#include "GdrProxy.h"
#include "GloPluginKit.h"
#include "tests/support/FakeDriver.h"
#include "tests/support/PluginHome.h"
#include "tests/support/TestProgram.h"
#include "tests/support/TestWindow.h"
#include "tests/fixtures/e2e_recorder/E2eRecording.h"
#include "host/GloPluginHost.h"
#include "tools/driver/TraceParser.h"

namespace {

using glotest::PluginHome;

struct ToolRun {
    DWORD code;
    std::string output;
};

// Runs a tool of the build with its output to a file, pumping this thread's messages meanwhile.
ToolRun runTool(const std::wstring& commandLine, const PluginHome& home, int limitMs = 30000) {
    const std::wstring output = home.home + L"\\tool.out";
    DWORD code = STILL_ACTIVE;
    {
        glotest::TestProgram tool(commandLine, output);
        EXPECT_TRUE(tool.started())
            << "cannot start " << std::string(commandLine.begin(), commandLine.end());
        for (int waited = 0; tool.started() && waited < limitMs && code == STILL_ACTIVE;
             waited += 5) {
            glotest::pumpMessages(5);
            code = tool.wait(0);
        }
        EXPECT_NE(code, DWORD(STILL_ACTIVE)) << "did not finish";
    }
    ToolRun run = {code, glotest::readFile(output)};
    DeleteFileW(output.c_str());
    return run;
}

// The line of the report that starts with `start`, "" if none.
std::string lineOf(const std::string& report, const std::string& start) {
    for (size_t at = 0; at < report.size();) {
        size_t end = report.find('\n', at);
        end = end == std::string::npos ? report.size() : end;
        std::string line = report.substr(at, end - at);
        const size_t first = line.find_first_not_of(' ');
        if (first != std::string::npos && line.compare(first, start.size(), start) == 0)
            return line;
        at = end + 1;
    }
    return "";
}

// The plug-in glo_driver names as the core's choice, "" for none.
std::string toolsChoice(const std::string& report) {
    const std::string line = lineOf(report, "The core chooses \"");
    return line.empty() ? "" : line.substr(18, line.find('"', 18) - 18);
}

TEST(ListPlugins, SaysForEveryLibraryWhyItIsUsedOrNot) {
    PluginHome home(L"glo_kit_list");
    home.add(L"host_alpha");
    home.add(L"host_loadonly");
    home.add(L"kit_noload");
    home.add(L"e2e_recorder", home.plugins + L"crash_load.dll");
    home.add(L"e2e_recorder", home.plugins + L"crash_match.dll");
    glotest::writeFile(home.plugins + L"junk.dll", "not a library\r\n");
    home.files.push_back(home.plugins + L"junk.dll");
    // A window in front, which every plug-in that loads is asked about.
    HWND front = glotest::makeWindow(L"Kit_plain", WS_POPUP | WS_VISIBLE, 150, 150, 300, 200);
    ASSERT_TRUE(glotest::focusAndPoint(front));

    const ToolRun run = runTool(L"glo_driver.exe --list-plugins", home);
    EXPECT_EQ(run.code, 0u) << run.output;
    EXPECT_NE(lineOf(run.output, "host_alpha.dll").find("loaded: \"Alpha\""), std::string::npos)
        << run.output;
    EXPECT_NE(lineOf(run.output, "host_loadonly.dll").find("exports \"load\" but no \"unload\""),
              std::string::npos);
    EXPECT_NE(lineOf(run.output, "kit_noload.dll").find("exports \"unload\" but no \"load\""),
              std::string::npos);
    EXPECT_NE(lineOf(run.output, "crash_load.dll").find("\"load\" crashed (exception 0xc0000005)"),
              std::string::npos);
    EXPECT_NE(lineOf(run.output, "junk.dll").find("not a Windows library"), std::string::npos);
    // A match() that crashes is asked no more; the others are still asked.
    EXPECT_NE(lineOf(run.output, "crash_match.dll").find("match() crashed"), std::string::npos);
    EXPECT_NE(lineOf(run.output, "Alpha").find(" 0"), std::string::npos) << run.output;
    // What the core itself said about the crash, from its log.
    EXPECT_NE(run.output.find("Plug-in crash_load.dll crashed in load"), std::string::npos);

    // Without any plug-in that loads there is nothing to choose from: an error.
    for (const wchar_t* file : {L"host_alpha.dll", L"crash_match.dll"})
        DeleteFileW((home.plugins + file).c_str());
    const ToolRun none = runTool(L"glo_driver.exe --list-plugins", home);
    EXPECT_EQ(none.code, 4u) << none.output;
    EXPECT_NE(none.output.find("No plug-in loads"), std::string::npos);
    DestroyWindow(front);
}

// A library that ends the process or hangs while it loads (in DllMain or a global constructor)
// is named, and the others are still listed; the core itself is not run, as it would take the
// tool down with it.
TEST(ListPlugins, NamesALibraryThatBreaksItsOwnLoading) {
    PluginHome home(L"glo_kit_breaks");
    home.add(L"kit_loading_fault", home.plugins + L"exit_ctor.dll");
    home.add(L"kit_loading_fault", home.plugins + L"hang_ctor.dll");
    home.add(L"host_alpha");
    // Loading takes 15 s before the hanging library is given up.
    const ToolRun run = runTool(L"glo_driver.exe --list-plugins", home, 90000);
    EXPECT_EQ(run.code, 0u) << run.output;
    EXPECT_NE(lineOf(run.output, "exit_ctor.dll")
                  .find("not used: its library ended the process (exit code 3) while it loaded"),
              std::string::npos)
        << run.output;
    EXPECT_NE(lineOf(run.output, "hang_ctor.dll")
                  .find("not used: its library did not finish loading within 15 s"),
              std::string::npos)
        << run.output;
    EXPECT_NE(lineOf(run.output, "host_alpha.dll").find("loaded: \"Alpha\""), std::string::npos);
    EXPECT_NE(run.output.find("The core itself was not run"), std::string::npos);
}

TEST(ListPlugins, ChoosesWhatTheCoreChooses) {
    PluginHome home(L"glo_kit_choice");
    for (const wchar_t* plugin : {L"host_alpha", L"host_beta", L"host_nullapp"})
        home.add(plugin);
    CGlo_PluginHost& host = getPluginHost();
    host.loadPlugins(L"Office/Plugins");
    ASSERT_EQ(host.getNumberOfPlugins(), 3);

    // Beta scores higher; equal scores go to the first loaded; nobody claims the last one.
    const wchar_t* const classes[] = {L"Kit_a5_b7", L"Kit_a5_b5", L"Kit_a3", L"Kit_none"};
    std::vector<HWND> windows;
    for (const wchar_t* name : classes) {
        windows.push_back(glotest::makeWindow(name, WS_POPUP | WS_VISIBLE, 100, 100, 200, 150));
        CGlo_DLLApplication* entry = host.matchApplication(windows.back());
        const std::wstring core = entry ? entry->getName() : L"";
        const ToolRun run =
            runTool(std::wstring(L"glo_driver.exe --list-plugins --window ") + name, home);
        EXPECT_EQ(run.code, 0u) << run.output;
        EXPECT_EQ(toolsChoice(run.output), std::string(core.begin(), core.end()))
            << "for " << std::string(name, name + wcslen(name)) << ":\n"
            << run.output;
    }
    EXPECT_EQ(
        toolsChoice(runTool(L"glo_driver.exe --list-plugins --window Kit_a5_b7", home).output),
        "Beta");

    // The window in the foreground, found as the core finds it.
    HWND front = glotest::makeWindow(L"Kit_a2_b9", WS_POPUP | WS_VISIBLE, 150, 150, 300, 200);
    ASSERT_TRUE(glotest::focusAndPoint(front));
    const ToolRun run = runTool(L"glo_driver.exe --list-plugins", home);
    EXPECT_EQ(toolsChoice(run.output), "Beta") << run.output;
    EXPECT_NE(run.output.find("Kit_a2_b9"), std::string::npos);
    // Under the cursor a control framed by a group box: the core looks through the frame, and
    // so must the tool.
    HWND frame = CreateWindowExW(0, L"Button", L"frame", WS_CHILD | WS_VISIBLE | BS_GROUPBOX, 10,
                                 10, 280, 180, front, nullptr, nullptr, nullptr);
    HWND framed = glotest::makeWindow(L"Kit_a8_b1", WS_CHILD | WS_VISIBLE, 100, 60, 100, 80, front);
    ASSERT_TRUE(glotest::focusAndPoint(front, framed));
    const ToolRun throughFrame = runTool(L"glo_driver.exe --list-plugins", home);
    EXPECT_EQ(toolsChoice(throughFrame.output), "Alpha") << throughFrame.output;
    DestroyWindow(frame);
    host.freeAllPlugins();
    DestroyWindow(front);
    for (HWND window : windows)
        DestroyWindow(window);
}

// Window classes are one class whatever the letter case: the kit's tests all agree, also on a
// top-level class of a long name.
TEST(KitClassTests, IgnoreTheLetterCase) {
    const wchar_t frame[] = L"Kit_Frame_of_a_program_whose_class_name_is_longer_than_most_are_76";
    HWND top = glotest::makeWindow(frame, WS_POPUP, 0, 0, 100, 100);
    HWND pane = glotest::makeWindow(L"Kit_Pane", WS_CHILD, 0, 0, 50, 50, top);
    EXPECT_TRUE(glo_kit::classIs(pane, L"KIT_PANE"));
    EXPECT_TRUE(glo_kit::hasClassAbove(pane, L"KIT_FRAME_of"));
    EXPECT_TRUE(glo_kit::topLevelIs(pane, L"KIT_FRAME_OF_A_PROGRAM_WHOSE_CLASS_NAME_IS_LONGER_THAN_"
                                          L"MOST_ARE_76"));
    EXPECT_FALSE(glo_kit::topLevelIs(pane, L"Kit_Pane"));
    DestroyWindow(top);
}

size_t occurrences(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

// An author's mistakes, as glo_driver must point them out: each setup that does not fit its
// function once, with the plug-in's, the function's and the setup's names (a fitting one-shot
// and button setup not at all); what match() compared the window's classes with, and that only
// the letter case differs. Once chosen, --verbose names the functions by their texts (its own
// text for the author's function) and gives the figures the dead zone works on.
TEST(MistakenPlugin, IsPointedOutByTheDriver) {
    PluginHome home(L"glo_kit_mistaken");
    home.add(L"kit_mistaken");
    HWND front = glotest::makeWindow(L"Kit_Mistaken", WS_POPUP | WS_VISIBLE, 150, 150, 300, 200);
    ASSERT_TRUE(glotest::focusAndPoint(front));
    const ToolRun list = runTool(L"glo_driver.exe --list-plugins", home);
    EXPECT_EQ(list.code, 0u) << list.output;
    EXPECT_EQ(occurrences(list.output, " does not fit the function "), 2u) << list.output;
    for (const char* misfit :
         {"Plug-in Mistaken (kit_mistaken.dll): the setup of \"Step\" (motion of 2 axes: x+ z+, "
          "dead zone 0) does not fit the function \"Step\" (Count Steps; continuous, 1 axis): 2 "
          "axes feed a function of 1 axis",
          "Plug-in Mistaken (kit_mistaken.dll): the setup of \"Copy\" (motion of 1 axis: b+, dead "
          "zone 0) does not fit the function \"Copy\" (Button; button only): a motion runs a "
          "function meant for a button only"})
        EXPECT_EQ(occurrences(list.output, misfit), 1u) << misfit << "\n" << list.output;
    EXPECT_NE(list.output.find("No plug-in scores above 0"), std::string::npos) << list.output;
    EXPECT_NE(list.output.find("compared them with \"notepad\", \"KIT_MISTAKEN\"."),
              std::string::npos)
        << list.output;
    EXPECT_NE(list.output.find("Hint: \"KIT_MISTAKEN\" and the class \"Kit_Mistaken\" differ "
                               "only in letter case"),
              std::string::npos)
        << list.output;
    DestroyWindow(front);
    UnregisterClassW(L"Kit_Mistaken", GetModuleHandleW(nullptr));

    // The class it looks for, exactly: now it is chosen.
    front = glotest::makeWindow(L"KIT_MISTAKEN", WS_POPUP | WS_VISIBLE, 150, 150, 300, 200);
    ASSERT_TRUE(glotest::focusAndPoint(front));
    const std::wstring trace = home.home + L"\\mistaken.trace";
    // Slid right; then tilted right (a negative c in a trace) a little, and further.
    glotest::writeFile(trace, "rate 16\nwait 300\n" + glotest::hold(5, "200 0 0 0 0 0") +
                                  "zero\nwait 250\n" + glotest::hold(5, "0 0 0 0 0 -60") +
                                  "zero\nwait 250\n" + glotest::hold(5, "0 0 0 0 0 -400") +
                                  "zero\n");
    const ToolRun verbose = runTool(L"glo_driver.exe --verbose \"" + trace + L"\"", home);
    EXPECT_EQ(verbose.code, 0u) << verbose.output;
    EXPECT_NE(verbose.output.find(": Step (Count Steps), len="), std::string::npos)
        << verbose.output;
    EXPECT_NE(verbose.output.find("zone=0 start=61"), std::string::npos) << verbose.output;
    // The small tilt: its length beyond the dead zone but short of the start.
    const std::string nearest = ": no function runs; nearest PageDown (Page Down): len=";
    const size_t small = verbose.output.find(nearest);
    ASSERT_NE(small, std::string::npos) << verbose.output;
    const int length = std::atoi(verbose.output.c_str() + small + nearest.size());
    EXPECT_TRUE(length > 60 && length < 111) << verbose.output;
    EXPECT_NE(verbose.output.find(": PageDown (Page Down), len="), std::string::npos)
        << verbose.output;
    // Where a push of the one-shot's direction starts to count beyond its dead zone of 60.
    EXPECT_NE(verbose.output.find("zone=60 start=111"), std::string::npos) << verbose.output;
    DeleteFileW(trace.c_str());
    DestroyWindow(front);
    UnregisterClassW(L"KIT_MISTAKEN", GetModuleHandleW(nullptr));
}

TEST(Driver, WithoutAHomeEndsAtOnceInsteadOfWaitingOnAMessageBox) {
    PluginHome home(L"glo_kit_home");
    glotest::writeFile(home.home + L"\\rest.trace", "zero\n");
    const std::wstring trace = L" \"" + home.home + L"\\rest.trace\"";

    PluginHome::removeHome();
    ToolRun run = runTool(L"glo_driver.exe" + trace, home);
    EXPECT_EQ(run.code, 3u) << run.output;
    EXPECT_NE(run.output.find("Home Directory"), std::string::npos) << run.output;
    EXPECT_EQ(runTool(L"glo_driver.exe --list-plugins", home).code, 3u);

    PluginHome::setHome(home.home + L"\\gone");
    run = runTool(L"glo_driver.exe" + trace, home);
    EXPECT_EQ(run.code, 3u) << run.output;
    EXPECT_NE(run.output.find("which is no folder"), std::string::npos) << run.output;

    PluginHome::setHome(home.home);
    EXPECT_EQ(runTool(L"glo_driver.exe" + trace, home).code, 0u);
}

// The recorder's functions with events, in order, a run of the same function counted once:
// 'P'an, 'F'lip, 'C'lick.
std::string functionsRun(const std::string& recording) {
    std::string functions;
    for (size_t i = 0; i + 1 < recording.size(); i += 2) {
        const char function = recording[i], kind = recording[i + 1];
        if ((kind == 'm' || kind == 'b') && (functions.empty() || functions.back() != function))
            functions += function;
    }
    return functions;
}

// The same from glo_driver --verbose.
std::string functionsReported(const std::string& report) {
    std::string functions;
    for (size_t at = 0; at < report.size();) {
        size_t end = report.find('\n', at);
        end = end == std::string::npos ? report.size() : end;
        std::string line = report.substr(at, end - at);
        at = end + 1;
        while (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.compare(0, 17, "glo_driver: event") != 0)
            continue;
        // "glo_driver: events 3-27: motion x=168: Pan (...), len=...": the name after the event.
        const size_t event = line.find(": ", 12);
        const size_t named = event == std::string::npos ? event : line.find(": ", event + 2);
        if (named == std::string::npos || line.compare(event + 2, 4, "rest") == 0)
            continue;
        const std::string function =
            line.substr(named + 2, line.find_first_of(" ,", named + 2) - (named + 2));
        const char letter = function == "Pan"     ? 'P'
                            : function == "Flip"  ? 'F'
                            : function == "Click" ? 'C'
                                                  : 0;
        if (letter && (functions.empty() || functions.back() != letter))
            functions += letter;
    }
    return functions;
}

// The events of a trace, without its timing.
std::vector<std::vector<long long>> eventsOf(const std::string& text) {
    const trace::Result parsed = trace::parse(text);
    EXPECT_TRUE(parsed.ok) << parsed.errorLine << ": " << parsed.error << "\n" << text;
    std::vector<std::vector<long long>> events;
    for (const trace::Step& step : parsed.steps)
        if (step.isEvent)
            events.push_back({step.type, step.pressed, step.released, step.motion[0],
                              step.motion[1], step.motion[2], step.motion[3], step.motion[4],
                              step.motion[5]});
    return events;
}

// Plays `trace` with glo_driver while glo_monitor records what the core passed on; the
// recorder plug-in's functions go to `functions`.
std::string playAndRecord(const PluginHome& home, const std::wstring& trace,
                          const std::wstring& recorded, std::string& functions) {
    const std::wstring file = home.home + L"\\functions.txt";
    SetEnvironmentVariableW(L"GLO_E2E_RECORDING", file.c_str());
    glotest::TestProgram monitor(L"glo_monitor.exe --timeout 20000 --record \"" + recorded + L"\"");
    EXPECT_TRUE(monitor.started());
    const ToolRun driver = runTool(L"glo_driver.exe \"" + trace + L"\"", home);
    EXPECT_EQ(driver.code, 0u) << driver.output;
    EXPECT_EQ(monitor.wait(10000), 0u) << "the monitor ends with the core";
    SetEnvironmentVariableW(L"GLO_E2E_RECORDING", nullptr);
    functions = functionsRun(glotest::readFile(file));
    return glotest::readFile(recorded);
}

TEST(RecordedGesture, ReplaysToTheSameFunctionsInTheSameOrder) {
    PluginHome home(L"glo_kit_record");
    home.add(L"e2e_recorder");
    HWND window = glotest::makeWindow(e2e::kTargetClass, WS_POPUP | WS_VISIBLE, 150, 120, 400, 300);
    ASSERT_TRUE(glotest::focusAndPoint(window));
    // A user's gesture, as the device reports it: pan, a tilt that flips once, a click, a push.
    const std::wstring gesture = home.home + L"\\gesture.trace";
    glotest::writeFile(gesture, "rate 16\nwait 400\n" + glotest::hold(20, "200 0 0 0 0 0") +
                                    "zero\nwait 250\n" + glotest::hold(10, "0 0 0 250 0 0") +
                                    "zero\nwait 250\npress 0\nwait 100\nrelease 0\nwait 100\n" +
                                    glotest::hold(15, "0 0 -300 0 0 0") + "zero\nwait 200\n");

    std::string live, replayed;
    const std::wstring first = home.home + L"\\first.trace", second = home.home + L"\\second.trace";
    const std::string recorded = playAndRecord(home, gesture, first, live);
    EXPECT_EQ(live, "PFCP") << "the gesture itself";
    const std::string again = playAndRecord(home, first, second, replayed);
    EXPECT_EQ(replayed, live);
    // The raw values written give the core's values again, exactly.
    EXPECT_EQ(eventsOf(again), eventsOf(recorded));
    EXPECT_EQ(eventsOf(recorded).size(), eventsOf(glotest::readFile(gesture)).size());

    // And glo_driver --verbose names the same functions.
    const ToolRun verbose = runTool(L"glo_driver.exe --verbose \"" + first + L"\"", home);
    EXPECT_EQ(functionsReported(verbose.output), live) << verbose.output;
    EXPECT_NE(verbose.output.find("\"E2eRecorder\" (e2e_recorder.dll), score 10"),
              std::string::npos)
        << verbose.output;
    for (const std::wstring& file : {gesture, first, second, home.home + L"\\functions.txt"})
        DeleteFileW(file.c_str());
    DestroyWindow(window);
}

// A console control event delivered as the system delivers it: a thread in the process at the
// system's CtrlRoutine, which calls the process's handlers.
HANDLE sendControlEvent(HANDLE process, DWORD event) {
    const auto routine = reinterpret_cast<LPTHREAD_START_ROUTINE>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "CtrlRoutine")));
    return routine ? CreateRemoteThread(process, nullptr, 0, routine,
                                        reinterpret_cast<LPVOID>(static_cast<ULONG_PTR>(event)), 0,
                                        nullptr)
                   : nullptr;
}

BOOL CALLBACK endSession(HWND window, LPARAM pid) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != DWORD(pid))
        return TRUE;
    DWORD_PTR answer = 0;
    SendMessageTimeoutW(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_NORMAL, 5000,
                        &answer);
    SendMessageTimeoutW(window, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_NORMAL, 5000, &answer);
    return TRUE;
}

class SetupFit : public glotest::DriverTest {};

// The core's report of setups that do not fit their functions: once per load of the plug-in,
// not again when its configuration is reloaded, and never about the shipped plug-ins, whose
// setups drive fewer axes than their functions take, or fire one-shots from one direction.
TEST_F(SetupFit, IsReportedOncePerLoadAndNeverForTheShippedPlugins) {
    home.addShipped();
    home.add(L"kit_mistaken");
    const std::wstring misfit = L" does not fit the function ";
    start();
    std::vector<std::wstring> lines = logLines(misfit);
    ASSERT_EQ(lines.size(), 2u);
    for (const std::wstring& line : lines)
        EXPECT_EQ(line.find(L"Vex_Core_Proxy.dll: Plug-in Mistaken (kit_mistaken.dll): "), 0u);
    SendMessageW(core(), RegisterWindowMessageW(GDR_MSG_CONFIGCHANGED), 0, 0);
    EXPECT_EQ(logLines(misfit).size(), 2u);
    close();
    start();
    EXPECT_EQ(logLines(misfit).size(), 4u);
}

class MonitorRecording : public glotest::DriverTest {};

// glo_monitor --record holds back a run of equal events until it ends, to write them as one
// block: whichever way it ends, they are in the trace. After a close, logoff or shutdown event
// the system ends the process as soon as the handler returns, and after the end of the session
// as soon as WM_ENDSESSION returns: the test ends it there.
TEST_F(MonitorRecording, KeepsWhatItHeldBackHoweverItEnds) {
    start();
    const struct {
        const char* way;
        DWORD event; // a console event, or -1: the session ends
        bool endsProcess;
    } ways[] = {{"Ctrl+C", CTRL_C_EVENT, false},
                {"Ctrl+Break", CTRL_BREAK_EVENT, false},
                {"console closed", CTRL_CLOSE_EVENT, true},
                {"logoff", CTRL_LOGOFF_EVENT, true},
                {"shutdown", CTRL_SHUTDOWN_EVENT, true},
                {"end of session", DWORD(-1), true}};
    const std::wstring trace = home.home + L"\\held.trace", output = home.home + L"\\monitor.out";
    for (const auto& way : ways) {
        SCOPED_TRACE(way.way);
        DeleteFileW(trace.c_str());
        glotest::TestProgram monitor(L"glo_monitor.exe --timeout 20000 --record \"" + trace + L"\"",
                                     output);
        ASSERT_TRUE(monitor.started());
        auto seen = [&](const char* text) {
            const std::string out = glotest::readFile(output);
            size_t n = 0;
            for (size_t at = out.find(text); at != std::string::npos; at = out.find(text, at + 1))
                ++n;
            return n;
        };
        ASSERT_TRUE(glotest::eventually([&] { return seen("registered") == 1; }, 15000));
        for (int i = 0; i < 5; ++i)
            send(ZUVID_EVENT_MOTION, 200);
        ASSERT_TRUE(glotest::eventually([&] { return seen("motion a=") == 5; }, 5000));

        HANDLE process = OpenProcess(PROCESS_ALL_ACCESS, FALSE, monitor.id());
        ASSERT_NE(process, nullptr);
        if (way.event == DWORD(-1)) {
            EnumWindows(endSession, LPARAM(monitor.id()));
        } else {
            HANDLE thread = sendControlEvent(process, way.event);
            ASSERT_NE(thread, nullptr);
            EXPECT_TRUE(glotest::eventually(
                [&] { return WaitForSingleObject(thread, 0) == WAIT_OBJECT_0; }, 10000));
            CloseHandle(thread);
        }
        if (way.endsProcess)
            TerminateProcess(process, 0xC000013A);
        CloseHandle(process);
        EXPECT_TRUE(glotest::eventually([&] { return monitor.wait(0) != STILL_ACTIVE; }, 10000));
        EXPECT_EQ(eventsOf(glotest::readFile(trace)).size(), 5u) << glotest::readFile(trace);
    }
    DeleteFileW(trace.c_str());
    DeleteFileW(output.c_str());
}

} // namespace
