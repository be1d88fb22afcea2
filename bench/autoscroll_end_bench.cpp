// The end of an autoscroll gesture on the whole road: how long from the zero event (the cap at
// rest) until the button is released, the cursor is back where the user left it and the worker's
// input is detached. The core with the autoscroll_plugin test plug-in (tests/fixtures, built in
// ../plugins) runs IPanWindow (click mode) and mbuttonPan (held mode) against views of
// glo_autoscroll_target, which scroll on a middle click (and stop on any click) or while the
// middle button is held, as office programs do. Each of 1,000 click-mode and 300 held-mode
// gestures starts from rest, scrolls until the program scrolls, then rests; after each the bench
// checks that nothing was left behind. The plug-in stamps the performance counter around the
// function's zero-event call and around each input it sends, the program when it lets go of the
// capture: together they split each end into its steps and waits. The heap calls the core makes
// meanwhile, on any thread, are counted: the gestures need none.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bench/BenchDriver.h"
#include "bench/BenchFigures.h"
#include "bench/HeapCallCounter.h"
#include "ZuVidDriver.h"
#include "tests/fixtures/autoscroll_plugin/AutoscrollRecord.h"
#include "tests/fixtures/autoscroll_target/AutoscrollTarget.h"

namespace {

using autoscroll_fixture::Record;
namespace target = autoscroll_target;

const wchar_t kKey[] = L"SOFTWARE\\Veltrana\\Halcyra";
const int kWarmUp = 20;

LONGLONG gFrequency = 1;

LONGLONG counter() {
    LARGE_INTEGER c;
    QueryPerformanceCounter(&c);
    return c.QuadPart;
}

double ms(LONGLONG from, LONGLONG to) {
    return (to - from) * 1000.0 / gFrequency;
}

bool isDown(int vk) {
    return (GetAsyncKeyState(vk) & 0x8000) != 0;
}

// Where the time of one mode's ends goes, gesture by gesture, from the stamps of the plug-in (its
// call with the zero event and each SendInput call in it) and of the program (when it let go).
class Phases {
public:
    explicit Phases(bool held) : held(held) {}

    // False when the end's input was not what the mode sends: click mode the end's click and the
    // move back, held mode the release and the Ctrl tap.
    bool add(const Record& record, LONGLONG sent, LONGLONG letGo) {
        const Record::Input* release = nullptr;
        const Record::Input* tap = nullptr;
        const Record::Input* move = nullptr;
        const DWORD ups = MOUSEEVENTF_LEFTUP | MOUSEEVENTF_RIGHTUP | MOUSEEVENTF_MIDDLEUP;
        for (LONG i = 0; i < record.endInputs && i < 8; ++i) {
            const Record::Input& input = record.endInput[i];
            if (input.flags & ups)
                release = &input;
            else if (input.flags & MOUSEEVENTF_MOVE)
                move = &input;
            else if (input.flags == 0)
                tap = &input;
        }
        if (release == nullptr || letGo == 0 || (held ? tap == nullptr : move == nullptr))
            return false;
        const LONGLONG sentAll = held ? tap->after : release->after;
        const LONGLONG seen = (std::max)(letGo, sentAll);
        steps[0].push_back(ms(sent, record.zeroStart));
        steps[1].push_back(ms(record.zeroStart, release->after));
        steps[2].push_back(held ? ms(release->after, tap->after) : 0.0);
        steps[3].push_back(ms(sentAll, seen));
        steps[4].push_back(ms(seen, held ? record.zeroEnd : move->before));
        steps[5].push_back(held ? 0.0 : ms(move->before, record.zeroEnd));
        return true;
    }
    void print() const {
        if (steps[0].empty())
            return;
        std::printf("where the time goes (p50 / p99 in ms, over %zu gestures):\n", steps[0].size());
        row("the worker takes the zero event (the driver's dispatch, the worker woken)", 0);
        row(held ? "the release (cursor beside the origin, the middle button up)"
                 : "the end's click (cursor beside the origin, button down and up)",
            1);
        if (held)
            row("the Ctrl tap", 2);
        row("wait: the program handles the input and lets go of the capture", 3);
        if (held) {
            row("the worker sees it let go (polled), the cursor back, the input detached", 4);
        } else {
            row("the worker sees it let go (polled)", 4);
            row("the cursor back (a move in the input stream), shown, the input detached", 5);
        }
    }

private:
    void row(const char* what, int step) const {
        std::printf("  %-76s %6.3f / %6.3f\n", what, percentile(steps[step], 0.50),
                    percentile(steps[step], 0.99));
    }
    const bool held;
    std::vector<double> steps[6];
};

// One mode's gestures: `push` deflects the cap until `view` scrolls and has seen the cursor
// move, `rest` ends the gesture.
struct Series {
    const char* mode;
    HWND view;
    ZuVidEventRecord push;
    int gestures;
    std::vector<double> totals, ends;
    Phases phases;
    int notStarted, lost, leftBehind, unexpectedInput;
    LONG heapCalls; // by the core, on any thread, after the warm-up
};

void run(Series& series, Record& record, POINT user) {
    const HWND view = series.view;
    for (int i = 0; i < 100 && GetForegroundWindow() != GetParent(view); ++i) {
        SetForegroundWindow(GetParent(view));
        Sleep(20);
    }
    SetCursorPos(user.x, user.y);
    ZuVidEventRecord rest = {};
    rest.type = ZUVID_EVENT_ZERO;
    LONG heapBefore = 0;
    for (int gesture = 0; gesture < series.gestures + kWarmUp; ++gesture) {
        if (gesture == kWarmUp) // the first ones warm up the plug-in's searches
            heapBefore = heap_call_counter::count();
        // Scroll until the program scrolls and has seen the cursor move, then two events more.
        int extra = -1;
        for (int i = 0; i < 200 && extra != 0; ++i) {
            ZuVidSendEvent(view, &series.push);
            Sleep(10);
            const LRESULT state = target::ask(view, target::kQueryState);
            if (extra < 0 && (state & target::Scrolling) &&
                target::askPoint(view, target::kQueryOffset).x > 0)
                extra = 2;
            else if (extra > 0)
                --extra;
        }
        if (extra != 0) {
            ++series.notStarted;
            ZuVidSendEvent(view, &rest);
            Sleep(300);
            continue;
        }
        const LONG before = record.zeroCalls;
        const LONGLONG sent = counter();
        ZuVidSendEvent(view, &rest);
        while (record.zeroCalls == before && ms(sent, counter()) < 3000)
            Sleep(0);
        if (record.zeroCalls == before) {
            ++series.lost;
            continue;
        }
        if (gesture >= kWarmUp) {
            series.totals.push_back(ms(sent, record.zeroEnd));
            series.ends.push_back(ms(record.zeroStart, record.zeroEnd));
            const LONGLONG letGo = target::ask(view, target::kQueryLetGo);
            if (!series.phases.add(record, sent, letGo))
                ++series.unexpectedInput;
        }
        // Nothing left behind: the program has stopped, no button or Ctrl is down, the cursor is
        // back, the worker's cursor shown and its input detached.
        LRESULT state = 0;
        for (int i = 0; i < 50; ++i, Sleep(2))
            if (((state = target::ask(view, target::kQueryState)) &
                 (target::Scrolling | target::HasCapture)) == 0)
                break;
        POINT cursor;
        GetCursorPos(&cursor);
        if ((state & (target::Scrolling | target::HasCapture)) != 0 || isDown(VK_LBUTTON) ||
            isDown(VK_MBUTTON) || isDown(VK_CONTROL) || cursor.x != user.x || cursor.y != user.y ||
            record.cursorCount != 0 || record.attached != 0)
            ++series.leftBehind;
        Sleep(20);
    }
    series.heapCalls = heap_call_counter::count() - heapBefore;
}

// Its figures; false when it lost an end, left something behind or sent other input.
bool report(const Series& series) {
    if (series.totals.empty()) {
        std::printf("%s: no gesture ended (plug-in not loaded, program not scrolling)\n",
                    series.mode);
        return false;
    }
    std::printf("%s end, zero event to button released, cursor back and input detached, over "
                "%zu gestures: p50 %.3f ms, p99 %.3f ms, max %.3f ms\n",
                series.mode, series.totals.size(), percentile(series.totals, 0.50),
                percentile(series.totals, 0.99), percentile(series.totals, 1.0));
    std::printf("of which the function's own end (after the worker took the zero event): p50 "
                "%.3f ms, p99 %.3f ms, max %.3f ms\n",
                percentile(series.ends, 0.50), percentile(series.ends, 0.99),
                percentile(series.ends, 1.0));
    series.phases.print();
    std::printf("gestures that did not start: %d, ends not seen: %d, ends that left something "
                "behind: %d, ends with other input than the mode's: %d\n",
                series.notStarted, series.lost, series.leftBehind, series.unexpectedInput);
    const std::string mode = series.mode;
    benchFigure((mode + " end to all given back, p50").c_str(), percentile(series.totals, 0.50), 3,
                "ms", "<= 5");
    benchFigure((mode + " end to all given back, p99").c_str(), percentile(series.totals, 0.99), 3,
                "ms", "<= 8");
    benchFigure((mode + " end, the function's own share, p50").c_str(),
                percentile(series.ends, 0.50), 3, "ms");
    benchFigure((mode + " end, the function's own share, p99").c_str(),
                percentile(series.ends, 0.99), 3, "ms");
    benchFigure((mode + " ends that left something behind").c_str(),
                series.leftBehind + series.lost, 0, "gestures", "<= 0");
    return series.lost == 0 && series.leftBehind == 0 && series.unexpectedInput == 0;
}

} // namespace

int main() {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    gFrequency = f.QuadPart;

    // The plug-in's record, shared through the environment it inherits.
    SetEnvironmentVariableW(autoscroll_fixture::kRecordVariable, L"Local\\GloAutoscrollEndBench");
    Record* record = autoscroll_fixture::openRecord();

    // A driver home holding the test plug-in.
    wchar_t temp[MAX_PATH], exe[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring folder = exe;
    folder = folder.substr(0, folder.find_last_of(L'\\') + 1);
    const std::wstring home = std::wstring(temp) + L"glo_autoscroll_end_bench";
    const std::wstring plugins = home + L"\\Office\\Plugins\\";
    CreateDirectoryW(home.c_str(), nullptr);
    CreateDirectoryW((home + L"\\Office").c_str(), nullptr);
    CreateDirectoryW(plugins.c_str(), nullptr);
    const std::wstring copy = plugins + L"autoscroll_plugin.dll";
    if (record == nullptr ||
        !CopyFileW((folder + L"..\\plugins\\autoscroll_plugin.dll").c_str(), copy.c_str(), FALSE)) {
        std::printf("test plug-in missing in ../plugins (build tests/fixtures)\n");
        return 1;
    }
    RegSetKeyValueW(HKEY_LOCAL_MACHINE, kKey, L"Home Directory", REG_SZ, home.c_str(),
                    DWORD((home.size() + 1) * sizeof(wchar_t)));

    // The program with a view of each mode.
    std::wstring command = folder + target::kProgram + L" --parent " +
                           std::to_wstring(GetCurrentProcessId()) +
                           L" GloAutoscrollView:click:100:100:500:400"
                           L" GloAutoscrollView:held:560:100:960:400";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION program = {};
    int status = 0;
    if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &program)) {
        std::printf("glo_autoscroll_target did not start\n");
        return 1;
    }
    const HWND clickView = target::findView(program.dwProcessId, 0);
    const HWND heldView = target::findView(program.dwProcessId, 1);

    bench::startCore();

    // The plug-in pans in click mode on device x, in held mode on rotation a: to the right.
    Series click = {"autoscroll", clickView, {}, 1000, {}, {}, Phases(false), 0, 0, 0, 0, 0};
    click.push.type = ZUVID_EVENT_MOTION;
    click.push.motion[0] = 300;
    Series held = {"held pan", heldView, {}, 300, {}, {}, Phases(true), 0, 0, 0, 0, 0};
    held.push.type = ZUVID_EVENT_MOTION;
    held.push.motion[3] = 300;

    const int hooked = heap_call_counter::install(GetModuleHandleW(L"Glo_core_proxy.dll"), true);
    if (clickView != nullptr && heldView != nullptr) {
        run(click, *record, POINT{300, 300});
        run(held, *record, POINT{760, 300});
    }
    const bool clickWell = report(click);
    const bool heldWell = report(held);
    if (!clickWell || !heldWell)
        status = 1;
    const LONG heapCalls = click.heapCalls + held.heapCalls;
    std::printf("heap calls by the core in the gestures of both modes: %ld (allocator imports "
                "observed: %d)\n",
                static_cast<long>(heapCalls), hooked);
    benchFigure("heap calls in 1300 autoscroll gestures", heapCalls, 0, "calls", "<= 0");
    if (heapCalls != 0 || hooked == 0)
        status = 1;

    ZuVidCloseHdl(bench::coreWindow()); // unloads the plug-in
    TerminateProcess(program.hProcess, 0);
    WaitForSingleObject(program.hProcess, 5000);
    CloseHandle(program.hProcess);
    CloseHandle(program.hThread);
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, kKey);
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Veltrana");
    DeleteFileW(copy.c_str());
    RemoveDirectoryW(plugins.c_str());
    RemoveDirectoryW((home + L"\\Office").c_str());
    RemoveDirectoryW(home.c_str());
    return status;
}
