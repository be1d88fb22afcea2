// Cost of one function selection (CGlo_EventMultiplexer::getFunction) over a recorded-like
// stream of cap motion and button events, for tables of 1, 8 and 32 connections, and a check
// that selection makes no heap call inside the core library.
#include <windows.h>

#include "bench/BenchClock.h"
#include "bench/BenchFigures.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "GloEventMultiplexer.h"
#include "bench/HeapCallCounter.h"

namespace {

void noop(const CGlo_Event&) {}

// Deterministic pseudo-random numbers, so every run times the same stream.
struct Lcg {
    uint32_t state = 12345;
    int next(int range) {
        state = state * 1664525u + 1013904223u;
        return static_cast<int>((state >> 8) % static_cast<uint32_t>(range));
    }
};

// Gestures as the driver delivers them: the cap is pushed along one axis (sometimes two),
// rises, holds with tremor and cross-talk on the other axes, falls back and rests; now and
// then a button is pressed and released. Samples below the application's minimum length
// arrive as empty events.
std::vector<CGlo_Event> recordStream(int gestures) {
    Lcg rng;
    std::vector<CGlo_Event> stream;
    for (int g = 0; g < gestures; ++g) {
        const int axis = rng.next(6);
        const int second = rng.next(4) == 0 ? (axis + 1 + rng.next(5)) % 6 : -1;
        const int sign = rng.next(2) ? 1 : -1;
        const int peak = 80 + rng.next(300);
        const int rise = 10 + rng.next(20), hold = 20 + rng.next(60), fall = 10 + rng.next(20);
        const int total = rise + hold + fall;
        for (int t = 0; t < total; ++t) {
            int level = t < rise          ? peak * t / rise
                        : t < rise + hold ? peak
                                          : peak * (total - t) / fall;
            int v[6];
            for (int i = 0; i < 6; ++i)
                v[i] = rng.next(11) - 5; // cross-talk
            v[axis] += sign * (level + rng.next(9) - 4);
            if (second >= 0)
                v[second] += level / 2;
            CGlo_Event e(v[0], v[1], v[2], v[3], v[4], v[5], -1, 0);
            if (e.getVectorLength() < 5)
                e.zeroEventData();
            stream.push_back(e);
        }
        for (int t = 0; t < 5; ++t)
            stream.push_back(CGlo_Event());
        if (rng.next(3) == 0) {
            const int b = rng.next(8);
            stream.push_back(CGlo_Event(0, 0, 0, 0, 0, 0, b, 1));
            stream.push_back(CGlo_Event(0, 0, 0, 0, 0, 0, b, 0));
        }
    }
    return stream;
}

struct Table {
    std::vector<CGlo_PluginFunction> functions;
    CGlo_EventMultiplexer mux;
};

// A table as an office plug-in configures it: panning on x/y, scrolling, zooming, one-shots
// for pages and history, keys on buttons and a default button handler; larger tables repeat
// the pattern with other axes and dead zones.
void fill(Table& t, int size) {
    t.functions.reserve(size);
    for (int i = 0; i < size; ++i) {
        wchar_t name[32];
        swprintf(name, 32, L"Function%d", i);
        const int kind = i % 8;
        const int round = i / 8;
        const int threshold = (round * 25) % 150;
        GLO_FunctionType type = GLO_OneAxisFunction;
        CGlo_FunctionSetup setup(name, GLO_MotionEvent);
        switch (kind) {
        case 0: // pan: two axes
            type = GLO_TwoAxisFunction;
            setup = CGlo_FunctionSetup(name, GLO_MotionEvent, 2, (0 + round) % 6, (1 + round) % 6,
                                       0, 0, 0, 0, 1, -1, 1, 1, 1, 1, threshold);
            break;
        case 1: // scroll
        case 2: // zoom
        case 3: // rotate
            setup = CGlo_FunctionSetup(name, GLO_MotionEvent, 1, (kind + 1 + round) % 6, 0, 0, 0, 0,
                                       0, kind == 3 ? -1 : 1, 1, 1, 1, 1, 1, threshold);
            break;
        case 4: // next / previous page one-shots
        case 5:
            type = GLO_TriggerFunction;
            setup = CGlo_FunctionSetup(name, GLO_MotionEvent, 0, (3 + round) % 6, 0, 0, 0, 0, 0,
                                       kind == 4 ? 1 : -1, 1, 1, 1, 1, 1, threshold);
            break;
        case 6: // key on a button
            type = GLO_ButtonFunction;
            setup = CGlo_FunctionSetup(name, GLO_ButtonEvent, round, GLO_ButtonPress);
            break;
        default: // default button handler
            type = GLO_ButtonFunction;
            setup = CGlo_FunctionSetup(name, GLO_ButtonEvent, -2, GLO_AnyButtonEvent);
            break;
        }
        if (size == 1)
            type = GLO_TwoAxisFunction;
        t.functions.push_back(
            CGlo_PluginFunction(name, type, &noop, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0));
        t.mux.addConnection(setup, &t.functions.back());
    }
}

} // namespace

int main() {
    HMODULE core = GetModuleHandleW(L"Glo_core_proxy.dll");
    const int hooked = heap_call_counter::install(core);

    const std::vector<CGlo_Event> stream = recordStream(400);
    const int sizes[] = {1, 8, 32};
    const int repetitions = 7;
    LONG heapCallsDuringSelection = 0;

    std::printf("getFunction over %zu events (%d gestures), best and median of %d runs\n",
                stream.size(), 400, repetitions);
    std::printf("%12s %14s %14s %12s\n", "connections", "best ns/event", "median ns/event",
                "selected %");
    for (int size : sizes) {
        Table table;
        fill(table, size);
        std::vector<double> runs;
        size_t selected = 0;
        for (int r = 0; r < repetitions; ++r) {
            selected = 0;
            const LONG before = heap_call_counter::count();
            const double start = benchSeconds();
            for (int pass = 0; pass < 20; ++pass)
                for (const CGlo_Event& recorded : stream) {
                    CGlo_Event e = recorded;
                    if (table.mux.getFunction(e) != nullptr)
                        ++selected;
                }
            const double elapsed = benchSeconds() - start;
            heapCallsDuringSelection += heap_call_counter::count() - before;
            runs.push_back(elapsed * 1e9 / (20.0 * static_cast<double>(stream.size())));
        }
        std::sort(runs.begin(), runs.end());
        std::printf("%12d %14.1f %14.1f %12.1f\n", table.mux.getNumberOfConnections(), runs[0],
                    runs[runs.size() / 2],
                    100.0 * static_cast<double>(selected) /
                        (20.0 * static_cast<double>(stream.size())));
        char name[64];
        std::snprintf(name, sizeof name, "multiplexer, %d connection%s", size,
                      size == 1 ? "" : "s");
        // Selection runs for every event and every 10 ms while the cap is deflected: bound for
        // a table larger than any shipped plug-in configures.
        benchFigure(name, runs[runs.size() / 2], 0, "ns/event", size == 32 ? "<= 1500" : "");
    }
    std::printf("heap calls by the core during selection: %ld (allocator imports observed: %d)\n",
                static_cast<long>(heapCallsDuringSelection), hooked);
    benchFigure("heap calls during selection", heapCallsDuringSelection, 0, "calls", "<= 0");
    return heapCallsDuringSelection == 0 && hooked > 0 ? 0 : 1;
}
