// Event pacing of the plug-in worker thread: latency from sendevent to the start of the chosen
// function's callback (10,000 button events, each run once), and the period at which a
// continuous function is repeated during 5 s of steady cap deflection.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "bench/BenchFigures.h"
#include "GloPluginThread.h"

namespace {

LONGLONG gFrequency = 1;
HANDLE gStarted = nullptr;
LARGE_INTEGER gStartedAt;
std::vector<LONGLONG> gRepeats;
const int kHoldMs = 5000;

LONGLONG counter() {
    LARGE_INTEGER c;
    QueryPerformanceCounter(&c);
    return c.QuadPart;
}

double toMs(LONGLONG ticks) {
    return ticks * 1000.0 / gFrequency;
}

void key(const CGlo_Event& e) {
    if (e.getEventType() == GLO_NoEvent)
        return;
    QueryPerformanceCounter(&gStartedAt);
    SetEvent(gStarted);
}

void pan(const CGlo_Event& e) {
    if (e.getEventType() == GLO_MotionEvent && gRepeats.size() < gRepeats.capacity())
        gRepeats.push_back(counter());
}

CGlo_PluginFunction gFunctions[] = {
    {L"Key", GLO_TriggerFunction, &key, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
    {L"Pan", GLO_OneAxisFunction, &pan, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
};
CGlo_FunctionSetup gSetups[] = {
    {L"Key", GLO_ButtonEvent, 1, GLO_ButtonPress},
    {L"Pan", GLO_MotionEvent, 1, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1, 0},
};

class BenchApplication : public CGlo_PluginThread {
public:
    BenchApplication() {
        setFunctions(gFunctions, sizeof gFunctions);
        setConfiguration(gSetups, sizeof gSetups);
    }
    int match(HWND) override { return 0; }
};

} // namespace

int main() {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    gFrequency = f.QuadPart;
    gStarted = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    gRepeats.reserve(kHoldMs / 5);
    BenchApplication app;

    // Latency: one button press at a time, the next only after the callback has started.
    const int kEvents = 10000;
    std::vector<double> latency;
    latency.reserve(kEvents);
    for (int i = 0; i < kEvents; ++i) {
        CGlo_Event press(0, 0, 0, 0, 0, 0, 1, 1);
        const LONGLONG sent = counter();
        app.sendevent(press);
        if (WaitForSingleObject(gStarted, 1000) != WAIT_OBJECT_0) {
            printf("event %d: callback did not start\n", i);
            return 1;
        }
        latency.push_back(toMs(gStartedAt.QuadPart - sent));
    }
    double sum = 0;
    for (double l : latency)
        sum += l;
    printf("sendevent -> callback start, %d events: p50 %.3f ms, p99 %.3f ms, mean %.3f ms, "
           "max %.3f ms (targets: p50 <= 0.2 ms, p99 <= 2 ms)\n",
           kEvents, percentile(latency, 0.5), percentile(latency, 0.99), sum / kEvents,
           percentile(latency, 1.0));

    // Repeat period: the cap held at a steady deflection, refreshed about every 8 ms as the
    // device reports, so the event never goes stale.
    const LONGLONG start = counter();
    while (toMs(counter() - start) < kHoldMs) {
        CGlo_Event motion(200, 0, 0, 0, 0, 0, -1, 0);
        app.sendevent(motion);
        Sleep(8);
    }
    CGlo_Event zero;
    app.sendevent(zero);
    Sleep(100);

    std::vector<double> periods;
    for (size_t i = 1; i < gRepeats.size(); ++i)
        periods.push_back(toMs(gRepeats[i] - gRepeats[i - 1]));
    if (periods.empty()) {
        printf("no repetition measured\n");
        return 1;
    }
    double total = 0;
    for (double p : periods)
        total += p;
    const double mean = total / periods.size();
    printf("repeat period over %.0f ms, %zu runs: mean %.3f ms, p1 %.3f ms, p50 %.3f ms, "
           "p99 %.3f ms, min %.3f ms, max %.3f ms\n",
           toMs(gRepeats.back() - gRepeats.front()), gRepeats.size(), mean,
           percentile(periods, 0.01), percentile(periods, 0.5), percentile(periods, 0.99),
           percentile(periods, 0.0), percentile(periods, 1.0));
    benchFigure("sendevent to callback, p50", percentile(latency, 0.5), 3, "ms", "<= 0.2");
    benchFigure("sendevent to callback, p99", percentile(latency, 0.99), 3, "ms", "<= 2");
    benchFigure("repeat period, mean", mean, 3, "ms", "9.9 .. 10.1");
    benchFigure("repeat period, p1", percentile(periods, 0.01), 3, "ms", ">= 9.5");
    benchFigure("repeat period, p99", percentile(periods, 0.99), 3, "ms", "<= 10.8");
    CloseHandle(gStarted);
    return 0;
}
