// CPU the driver's process spends while the cap holds a document scrolling: the ten shipped
// plug-ins are loaded through the entry points, Wine's notepad (another process) holds a long
// document in front under the cursor, and the bench, as the driver, reports the cap pushed
// halfway every 8 ms, as the device does. The text editor plug-in's worker scrolls notepad line
// by line on the whole road (dispatch, worker, pan focus search, WM_VSCROLL).
//
// The bare road runs in the same process at the same rate, in rounds alternating with the core's:
// this thread makes the window queries and the descent to the window under the cursor that every
// event needs and hands the event over (a lock and an event set), and a thread of its own wakes
// every 10 ms, asks the same pan focus search and sends notepad as many line-scroll messages as
// the core sent in its last round, spread evenly. The process's CPU time (every thread, as Linux
// counts it, in nanoseconds) per second of scrolling is reported as a ratio of the two, with the
// share of the core's own threads (the workers) in the core's figure.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "bench/BenchDriver.h"
#include "bench/BenchFigures.h"
#include "bench/BenchHome.h"
#include "bench/BenchNotepad.h"
#include "GloPlugin.h"
#include "GloWindowFromPoint.h"
#include "bench/ProcessCounters.h"
#include "ZuVidDriver.h"

namespace {

const int kRounds = 6;
const DWORD kRoundMs = 2000;
const LONG kReportMs = 8; // the device's report period
const int kPush = -200;   // raw z: pushing the cap away, halfway

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

class SearchPlugin : public CGlo_Plugin {
public:
    int match(HWND) override { return 0; }
    using CGlo_Plugin::forgetPanFocusSearch;
    using CGlo_Plugin::getMouseCursorPanFocus;
};

// Paces a loop on the device's grid of report periods.
class ReportClock {
public:
    ReportClock() : timer(CreateWaitableTimerExW(nullptr, nullptr, 2, TIMER_ALL_ACCESS)) {
        if (timer == nullptr)
            timer = CreateWaitableTimerW(nullptr, FALSE, nullptr);
        LARGE_INTEGER due;
        due.QuadPart = -10000LL * kReportMs;
        SetWaitableTimer(timer, &due, kReportMs, nullptr, nullptr, FALSE);
    }
    ~ReportClock() {
        CancelWaitableTimer(timer);
        CloseHandle(timer);
    }
    void wait() { WaitForSingleObject(timer, 1000); }

private:
    HANDLE timer;
};

// The worker's side of the bare road: from the first hand-over on, every 10 ms one pan focus
// search and, spread evenly over the round, `lines` line-scroll messages to the window found.
class BareWorker {
public:
    BareWorker()
        : handOver(CreateEventW(nullptr, FALSE, FALSE, nullptr)),
          stop(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
          tick(CreateWaitableTimerExW(nullptr, nullptr, 2, TIMER_ALL_ACCESS)),
          thread([this] { run(); }) {
        InitializeCriticalSection(&lock);
    }
    ~BareWorker() {
        SetEvent(stop);
        thread.join();
        CloseHandle(tick);
        CloseHandle(stop);
        CloseHandle(handOver);
        DeleteCriticalSection(&lock);
    }

    // The driver's hand-over of one event, as sendevent makes it.
    void send() {
        EnterCriticalSection(&lock);
        ++events;
        SetEvent(handOver);
        LeaveCriticalSection(&lock);
    }
    void startRound(int lineMessages, int ticks) {
        lines = lineMessages;
        roundTicks = ticks;
        ticked = 0;
        sent = 0;
        running = true;
    }
    // Ends the round; the messages sent in it.
    int endRound() {
        running = false;
        Sleep(30); // the last tick has passed
        return sent;
    }

private:
    void run() {
        const HANDLE handles[] = {stop, handOver, tick};
        bool ticking = false;
        for (;;) {
            const DWORD woken = WaitForMultipleObjects(ticking ? 3 : 2, handles, FALSE, INFINITE);
            if (woken == WAIT_OBJECT_0)
                return;
            if (!running) {
                if (ticking)
                    CancelWaitableTimer(tick);
                ticking = false;
                search.forgetPanFocusSearch(); // the gesture ended
                continue;
            }
            if (!ticking) {
                LARGE_INTEGER due;
                due.QuadPart = -100000;
                SetWaitableTimer(tick, &due, 10, nullptr, nullptr, FALSE);
                ticking = true;
            }
            if (woken != WAIT_OBJECT_0 + 2)
                continue;
            CGloWindow focus;
            const HWND found = search.getMouseCursorPanFocus(focus, WS_HSCROLL | WS_VSCROLL);
            const int t = ticked++;
            const int due = roundTicks > 0 ? static_cast<int>((t + 1LL) * lines / roundTicks) : 0;
            if (found != nullptr && sent < due && sent < lines) {
                DWORD_PTR answer = 0;
                SendMessageTimeoutW(found, WM_VSCROLL, SB_LINEDOWN, 0,
                                    SMTO_NORMAL | SMTO_ABORTIFHUNG, 200, &answer);
                ++sent;
            }
        }
    }

    HANDLE handOver, stop, tick;
    CRITICAL_SECTION lock;
    long events = 0; // counted under the lock, as sendevent counts
    SearchPlugin search;
    std::atomic<bool> running{false};
    std::atomic<int> lines{0}, roundTicks{0}, ticked{0}, sent{0};
    std::thread thread;
};

// The driver's side of the bare road for one event: the queries and the descent of the
// dispatch, then the hand-over.
void bareEvent(BareWorker& worker) {
    const HWND foreground = GetForegroundWindow();
    POINT cursor;
    GUITHREADINFO info;
    info.cbSize = sizeof(info);
    if (foreground != nullptr && GetCursorPos(&cursor) && GetGUIThreadInfo(0, &info))
        gloWindowFromPoint(info.hwndActive, cursor);
    worker.send();
}

struct Round {
    double cpuPerSecond;     // ms of CPU per second, the whole process
    double workersPerSecond; // ms of CPU per second, the core's worker threads
    long lines;
};

// One round of `kRoundMs`: `event` runs every report period; CPU is counted from the first
// event to the end of the round.
template <typename Event>
Round runRound(const process_counters::LinuxView& linux,
               const std::vector<std::string>& workerTasks, const bench::Notepad& notepad,
               Event event) {
    notepad.toTop();
    Sleep(100);
    const long firstLine = notepad.firstVisibleLine();
    long long workersBefore = 0;
    for (const std::string& task : workerTasks)
        workersBefore += process_counters::LinuxView::cpuNanoseconds(linux.taskFolder(task));
    const long long before = linux.processCpuNanoseconds();
    const ULONGLONG start = GetTickCount64();
    ReportClock clock;
    while (GetTickCount64() - start < kRoundMs) {
        event();
        clock.wait();
    }
    const double seconds = (GetTickCount64() - start) / 1000.0;
    const long long after = linux.processCpuNanoseconds();
    long long workersAfter = 0;
    for (const std::string& task : workerTasks)
        workersAfter += process_counters::LinuxView::cpuNanoseconds(linux.taskFolder(task));
    return {(after - before) / 1e6 / seconds, (workersAfter - workersBefore) / 1e6 / seconds,
            notepad.firstVisibleLine() - firstLine};
}

} // namespace

int main() {
    process_counters::LinuxView linux;
    if (!linux.available()) {
        std::printf("the process's threads are not visible in /proc (not under Wine?)\n");
        return 1;
    }
    bench::ShippedHome home(L"glo_scroll_cpu_bench");
    if (!home.isComplete()) {
        std::printf("shipped plug-ins missing in ../plugins (build plugins/)\n");
        return 1;
    }
    bench::Notepad notepad(20000);
    if (!notepad.ready()) {
        std::printf("notepad did not come up in front under the cursor\n");
        return 1;
    }
    BareWorker bare;

    const std::vector<std::string> tasksBefore = linux.taskIds();
    bench::startCore();
    // The Linux threads the core started: its workers, found once the warm-up round has started
    // the one that scrolls notepad (a worker starts with its plug-in's first event).
    std::vector<std::string> workerTasks;

    const HWND text = notepad.textWindow();
    const ZuVidEventRecord push = {ZUVID_EVENT_MOTION, {}, 0, 0, {0, 0, kPush, 0, 0, 0}};
    const ZuVidEventRecord rest = {ZUVID_EVENT_ZERO, {}, 0, 0, {}};
    auto coreRound = [&] {
        const Round round =
            runRound(linux, workerTasks, notepad, [&] { ZuVidSendEvent(text, &push); });
        ZuVidSendEvent(text, &rest);
        Sleep(100);
        return round;
    };
    auto bareRound = [&](long lines) {
        bare.startRound(static_cast<int>(lines), static_cast<int>(kRoundMs / 10));
        Round round = runRound(linux, {}, notepad, [&] { bareEvent(bare); });
        bare.endRound();
        bare.send(); // the rest: the bare worker's gesture ends
        Sleep(100);
        return round;
    };

    // A first round warms up and gives the first bare round its number of lines. Rounds then
    // alternate which of the two goes first.
    Round last = coreRound();
    for (const std::string& task : linux.taskIds())
        if (std::find(tasksBefore.begin(), tasksBefore.end(), task) == tasksBefore.end())
            workerTasks.push_back(task);
    std::vector<double> core, floor, shares;
    std::vector<long> coreLines, bareLines;
    for (int round = 0; round < kRounds; ++round) {
        for (int half = 0; half < 2; ++half) {
            if ((round + half) % 2 == 0) {
                last = coreRound();
                core.push_back(last.cpuPerSecond);
                shares.push_back(100.0 * last.workersPerSecond / last.cpuPerSecond);
                coreLines.push_back(last.lines);
            } else {
                const Round bareOne = bareRound(last.lines);
                floor.push_back(bareOne.cpuPerSecond);
                bareLines.push_back(bareOne.lines);
            }
        }
    }
    ZuVidCloseHdl(bench::coreWindow());

    const double coreCpu = median(core), floorCpu = median(floor);
    const long lines =
        static_cast<long>(median(std::vector<double>(coreLines.begin(), coreLines.end())));
    const long bareLinesMedian =
        static_cast<long>(median(std::vector<double>(bareLines.begin(), bareLines.end())));
    std::printf("scrolling notepad at half deflection, medians of %d rounds of %.0f s: the core "
                "scrolled %ld lines a round, the process spent %.2f ms of CPU per second, its "
                "workers %.0f %% of it; the bare road scrolled %ld lines and spent %.2f ms per "
                "second; ratio %.2f (target <= 1.3)\n",
                kRounds, kRoundMs / 1000.0, lines, coreCpu, median(shares), bareLinesMedian,
                floorCpu, coreCpu / floorCpu);
    benchFigure("CPU while scrolling, the driver's process", coreCpu, 2, "ms/s");
    benchFigure("CPU of the bare road at the same rate", floorCpu, 2, "ms/s");
    benchFigure("CPU while scrolling / bare road", coreCpu / floorCpu, 2, "x", "<= 1.3");
    benchFigure("CPU while scrolling, the core's workers' share", median(shares), 0, "%");
    // Without lines scrolled, or with the bare road scrolling fewer, the figures compare nothing.
    return lines > 0 && bareLinesMedian >= lines - 1 && !workerTasks.empty() ? 0 : 1;
}
