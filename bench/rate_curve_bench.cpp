// The rate curve: how fast each family of continuous functions moves a window for a deflection of
// the cap held steady, at the user's speeds 0.5x, 1x and 2x, on the whole road: ZuVidSendEvent
// every 8 ms as a device reports, the core, the worker, the shipped navigation functions of the
// bench's plug-in (../plugins/rate_plugin.dll), and a window of the bench's own on a thread of
// its own, which counts what arrives: line steps (WM_VSCROLL), the thumb's travel (positions of
// SB_THUMBTRACK in a range of 20000, a whole traverse of any document), wheel turns
// (WM_MOUSEWHEEL, in notches of 120), arrow keys (WM_KEYDOWN) and zoom notches (the wheel with
// Ctrl down). The window is the bench's own
// so that everything is counted: under Wine's display driver of the tests a program like
// notepad ignores injected wheel turns.
//
// Printed: the table (per family and deflection the rate at each speed, the ratio of 2x to 1x,
// and the jitter of the count per 100 ms), its rules as figures, and rate_curve.dat in the
// working folder, which scripts/bench plots.
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "bench/BenchClock.h"
#include "bench/BenchDriver.h"
#include "bench/BenchFigures.h"
#include "GloUserSettings.h"
#include "ZuVidDriver.h"

namespace {

const wchar_t kKey[] = L"SOFTWARE\\Veltrana\\Halcyra";
const wchar_t kProgram[] = L"RateBench"; // the plug-in's application

// A family of continuous functions: one row of the table per deflection. `axis` is the device
// axis the bench's plug-in puts it on; `unit` what one counted amount is; `cap` the rate at
// which it saturates (a repeat trigger fires at most once per 10 ms tick), 0 for none.
enum Counter { LineSteps, ThumbTravel, WheelTurns, ArrowKeys, ZoomNotches, Counters };
struct Family {
    const char* name;
    int axis;
    Counter counter;
    const char* unit;
    double perUnit; // counted amount per unit
    double cap;
};
const Family kFamilies[] = {
    {"line scroll", 0, LineSteps, "lines/s", 1, 100},
    {"smooth pan", 1, ThumbTravel, "positions/s", 1, 0},
    {"wheel", 3, WheelTurns, "notches/s", 120, 0},
    {"cursor", 4, ArrowKeys, "keys/s", 1, 100},
    {"zoom", 2, ZoomNotches, "notches/s", 120, 10},
};
const int kFamilyCount = sizeof(kFamilies) / sizeof(kFamilies[0]);

// Raw device values: just past the multiplexer's dead zone of 60 to full deflection.
const int kDeflections[] = {70, 100, 150, 200, 275, 350};
const int kDeflectionCount = sizeof(kDeflections) / sizeof(kDeflections[0]);
const double kSpeeds[] = {0.5, 1, 2};

const double kSettle = 0.3;   // s from the push until counting starts
const double kShortest = 1.5; // s counted at least
const double kLongest = 6;    // s counted at most, for slow rates
const int kEnoughEvents = 6;  // counted before a hold may end
const int kThumbRange = 20000;

// What the window received: the time and the amount of each message, per counter.
struct Arrival {
    double at;
    double amount;
};
CRITICAL_SECTION gLock;
std::vector<Arrival> gArrivals[Counters];

void arrived(Counter counter, double amount) {
    const double now = benchSeconds();
    EnterCriticalSection(&gLock);
    if (gArrivals[counter].size() < gArrivals[counter].capacity())
        gArrivals[counter].push_back({now, amount});
    LeaveCriticalSection(&gLock);
}

LRESULT CALLBACK targetProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_VSCROLL:
        if (LOWORD(wParam) == SB_LINEDOWN) {
            arrived(LineSteps, 1);
        } else if (LOWORD(wParam) == SB_THUMBTRACK) {
            const int position = HIWORD(wParam);
            arrived(ThumbTravel, std::abs(position - GetScrollPos(window, SB_VERT)));
            // Back to the middle now and then, so that the thumb never meets an end.
            const bool nearEnd = position < kThumbRange / 4 || position > kThumbRange * 3 / 4;
            SetScrollPos(window, SB_VERT, nearEnd ? kThumbRange / 2 : position, FALSE);
        }
        return 0;
    case WM_MOUSEWHEEL:
        arrived((GET_KEYSTATE_WPARAM(wParam) & MK_CONTROL) != 0 ? ZoomNotches : WheelTurns,
                std::abs(static_cast<short>(HIWORD(wParam))));
        return 0;
    case WM_KEYDOWN:
        if (wParam == VK_DOWN)
            arrived(ArrowKeys, 1);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

struct Measured {
    double rate = 0;    // per second, in the family's unit
    int events = 0;     // messages counted
    double jitter = -1; // largest deviation of a 100 ms count from their mean, over the mean;
                        // -1 where fewer than 4 events fall in 100 ms (a count cannot split one)
};

// From the arrivals between `from` and `to`: the rate over the span, or for a slow one between
// its first and its last arrival (so that it is timed by its own steps, not by where the span
// happens to cut them), and the counts of the 100 ms slices that lie wholly inside.
Measured measure(Counter counter, double perUnit, double from, double to) {
    std::vector<Arrival> in;
    EnterCriticalSection(&gLock);
    for (const Arrival& a : gArrivals[counter])
        if (a.at >= from && a.at <= to)
            in.push_back(a);
    LeaveCriticalSection(&gLock);
    Measured m;
    m.events = static_cast<int>(in.size());
    double total = 0;
    for (const Arrival& a : in)
        total += a.amount;
    if (in.size() >= 3 && in.size() < 20)
        m.rate = (total - in.front().amount) / (in.back().at - in.front().at) / perUnit;
    else
        m.rate = total / (to - from) / perUnit;
    const int slices = static_cast<int>((to - from) / 0.1);
    if (slices >= 3 && m.events >= 4 * slices) {
        std::vector<double> counts(static_cast<std::size_t>(slices), 0.0);
        for (const Arrival& a : in) {
            const int slice = static_cast<int>((a.at - from) / 0.1);
            if (slice < slices)
                counts[static_cast<std::size_t>(slice)] += a.amount;
        }
        double mean = 0;
        for (double c : counts)
            mean += c / slices;
        double worst = 0;
        for (double c : counts)
            worst = std::max(worst, std::fabs(c - mean));
        m.jitter = mean > 0 ? worst / mean : 0;
    }
    return m;
}

// The device as the driver delivers it: a report every 8 ms while the cap is held.
class Cap {
public:
    explicit Cap(HWND window) : window(window) {}
    void rest() {
        ZuVidEventRecord zero = {};
        zero.type = ZUVID_EVENT_ZERO;
        ZuVidSendEvent(window, &zero);
        Sleep(250); // the worker ends the gesture; a trigger starts afresh
    }
    // Holds `value` on `axis` until the counter has enough; the counted span.
    std::pair<double, double> hold(int axis, int value, Counter counter) {
        ZuVidEventRecord push = {};
        push.type = ZUVID_EVENT_MOTION;
        push.motion[axis] = value;
        const double start = benchSeconds();
        double next = start, from = start + kSettle;
        for (;;) {
            ZuVidSendEvent(window, &push);
            next += 0.008;
            const double now = benchSeconds();
            if (now >= from + kShortest) {
                EnterCriticalSection(&gLock);
                int counted = 0;
                for (const Arrival& a : gArrivals[counter])
                    counted += a.at >= from;
                LeaveCriticalSection(&gLock);
                if (counted >= kEnoughEvents || now >= from + kLongest)
                    return {from, now};
            }
            if (next > now)
                Sleep(static_cast<DWORD>((next - now) * 1000));
        }
    }

private:
    HWND window;
};

// The gnuplot script of the plot (rate-curve.png from rate_curve.dat, both in the working
// folder), one panel per family; scripts/bench runs it.
void writePlot() {
    FILE* plot = std::fopen("rate_curve.gp", "w");
    if (!plot)
        return;
    const int columns = 2, rows = (kFamilyCount + columns - 1) / columns;
    std::fprintf(plot,
                 "if (strstrt(GPVAL_TERMINALS, 'pngcairo') > 0) {\n"
                 "    set terminal pngcairo size 960,%d font 'DejaVu Sans,10'\n"
                 "} else {\n"
                 "    set terminal png size 960,%d\n"
                 "}\n"
                 "set output 'rate-curve.png'\n"
                 "set multiplot layout %d,%d title 'Rate against deflection at the speeds 0.5x, "
                 "1x and 2x (cap held steady, whole road)'\n"
                 "set logscale y\nset grid\nset key top left\nset xrange [50:360]\n"
                 "set xlabel 'deflection (device units; a motion starts past 60)'\n",
                 rows * 330 + 40, rows * 330 + 40, rows, columns);
    for (int f = 0; f < kFamilyCount; ++f)
        std::fprintf(plot,
                     "set title '%s'\nset ylabel '%s'\n"
                     "plot 'rate_curve.dat' index %d using 1:2 with linespoints title '0.5x', "
                     "'' index %d using 1:3 with linespoints title '1x', "
                     "'' index %d using 1:4 with linespoints title '2x'\n",
                     kFamilies[f].name, kFamilies[f].unit, f, f, f);
    std::fprintf(plot, "unset multiplot\n");
    std::fclose(plot);
}

std::string fixed(double value, int decimals) {
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

} // namespace

int main() {
    InitializeCriticalSection(&gLock);
    for (std::vector<Arrival>& arrivals : gArrivals)
        arrivals.reserve(100000);

    // A driver home holding the bench's plug-in, and a user folder of the bench's own: the
    // user's own speeds must not count here.
    wchar_t temp[MAX_PATH], exe[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring plugins = exe;
    plugins = plugins.substr(0, plugins.find_last_of(L'\\') + 1) + L"..\\plugins\\";
    const std::wstring home = std::wstring(temp) + L"glo_rate_curve_bench";
    const std::wstring folder = home + L"\\Office\\Plugins\\";
    const std::wstring copy = folder + L"rate_plugin.dll";
    CreateDirectoryW(home.c_str(), nullptr);
    CreateDirectoryW((home + L"\\Office").c_str(), nullptr);
    CreateDirectoryW(folder.c_str(), nullptr);
    CreateDirectoryW((home + L"\\AppData").c_str(), nullptr);
    SetEnvironmentVariableW(L"APPDATA", (home + L"\\AppData").c_str());
    if (!CopyFileW((plugins + L"rate_plugin.dll").c_str(), copy.c_str(), FALSE)) {
        std::printf("the bench's plug-in is missing in ../plugins\n");
        return 1;
    }
    RegSetKeyValueW(HKEY_LOCAL_MACHINE, kKey, L"Home Directory", REG_SZ, home.c_str(),
                    DWORD((home.size() + 1) * sizeof(wchar_t)));

    // The window: a vertical bar of its own, on a thread of its own, in the foreground with the
    // keyboard's focus and the cursor on it.
    HWND target = nullptr;
    HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread program([&] {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = targetProc;
        wc.lpszClassName = L"GloRateTarget";
        RegisterClassW(&wc);
        target = CreateWindowExW(0, wc.lpszClassName, L"rate curve",
                                 WS_OVERLAPPEDWINDOW | WS_VSCROLL | WS_VISIBLE, 100, 100, 500, 400,
                                 nullptr, nullptr, nullptr, nullptr);
        SCROLLINFO info = {
            sizeof(info), SIF_RANGE | SIF_POS | SIF_PAGE, 0, kThumbRange, 0, kThumbRange / 2, 0};
        SetScrollInfo(target, SB_VERT, &info, FALSE);
        SetForegroundWindow(target);
        SetFocus(target);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
        SetEvent(ready);
        while (MsgWaitForMultipleObjects(1, &stop, FALSE, INFINITE, QS_ALLINPUT) != WAIT_OBJECT_0)
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
                DispatchMessageW(&msg);
        DestroyWindow(target);
    });
    WaitForSingleObject(ready, 10000);
    Sleep(50);
    SetCursorPos(350, 300);

    bench::startCore();
    Cap cap(target);
    cap.rest();

    // rates[family][deflection][speed]
    Measured rates[kFamilyCount][kDeflectionCount][3];
    int status = 0;
    for (int s = 0; s < 3; ++s) {
        CGlo_UserSettings::setSpeed(kProgram, kSpeeds[s]);
        for (int f = 0; f < kFamilyCount; ++f)
            for (int d = 0; d < kDeflectionCount; ++d) {
                const Family& family = kFamilies[f];
                EnterCriticalSection(&gLock);
                gArrivals[family.counter].clear();
                LeaveCriticalSection(&gLock);
                const std::pair<double, double> span =
                    cap.hold(family.axis, kDeflections[d], family.counter);
                cap.rest();
                rates[f][d][s] = measure(family.counter, family.perUnit, span.first, span.second);
                if (rates[f][d][s].events == 0) {
                    std::printf("nothing arrived: %s at %d, speed %.1fx\n", family.name,
                                kDeflections[d], kSpeeds[s]);
                    status = 1;
                }
            }
    }
    CGlo_UserSettings::setSpeed(kProgram, 1);

    // The table, the rules and the data of the plot.
    std::printf("\n| family | deflection | 0.5x | 1x | 2x | unit | 2x / 1x | jitter "
                "(0.5x, 1x, 2x) |\n| --- | ---: | ---: | ---: | ---: | --- | ---: | --- |\n");
    FILE* data = std::fopen("rate_curve.dat", "w");
    double lowest = 1e9, highest = 0, worstJitter = 0;
    int falling = 0, compared = 0;
    for (int f = 0; f < kFamilyCount; ++f) {
        const Family& family = kFamilies[f];
        if (data)
            std::fprintf(data, "# %s (%s)\n", family.name, family.unit);
        for (int d = 0; d < kDeflectionCount; ++d) {
            const Measured* m = rates[f][d];
            // Compared where the 2x rate is below where the family saturates, and the 1x rate
            // was timed by at least three of its own steps.
            const bool saturates = family.cap > 0 && m[2].rate >= 0.95 * family.cap;
            const bool timed = m[1].events >= 3 && m[1].rate > 0;
            std::string ratio = "saturated";
            if (!saturates && timed) {
                const double r = m[2].rate / m[1].rate;
                lowest = std::min(lowest, r);
                highest = std::max(highest, r);
                ++compared;
                ratio = fixed(r, 2);
            } else if (!timed) {
                ratio = "too slow to time";
            }
            std::string jitter;
            for (int s = 0; s < 3; ++s) {
                jitter +=
                    (s ? ", " : "") + (m[s].jitter < 0 ? std::string("-") : fixed(m[s].jitter, 2));
                worstJitter = std::max(worstJitter, m[s].jitter);
                // Monotonic in the deflection, within the timing's noise (5 %), where both
                // rates were timed by their own steps.
                const Measured& before = rates[f][d - (d > 0 ? 1 : 0)][s];
                if (d > 0 && m[s].events >= 3 && before.events >= 3 &&
                    m[s].rate < before.rate * 0.95)
                    ++falling;
            }
            std::printf("| %s | %d | %s | %s | %s | %s | %s | %s |\n", family.name, kDeflections[d],
                        fixed(m[0].rate, 1).c_str(), fixed(m[1].rate, 1).c_str(),
                        fixed(m[2].rate, 1).c_str(), family.unit, ratio.c_str(), jitter.c_str());
            if (data)
                std::fprintf(data, "%d %.3f %.3f %.3f\n", kDeflections[d], m[0].rate, m[1].rate,
                             m[2].rate);
        }
        if (data)
            std::fprintf(data, "\n\n");
    }
    if (data)
        std::fclose(data);
    writePlot();
    std::printf("\n");
    for (int f = 0; f < kFamilyCount; ++f) {
        const std::string name = std::string(kFamilies[f].name) + ", full deflection, 1x";
        benchFigure(name.c_str(), rates[f][kDeflectionCount - 1][1].rate, 1, kFamilies[f].unit);
    }
    benchFigure("2x / 1x where nothing saturates, lowest", compared ? lowest : 0, 2, "x",
                "1.6 .. 2.4");
    benchFigure("2x / 1x where nothing saturates, highest", compared ? highest : 0, 2, "x",
                "1.6 .. 2.4");
    benchFigure("rates that fall with a larger deflection", falling, 0, "steps", "<= 0");
    benchFigure("jitter of the count per 100 ms, worst", worstJitter, 2, "x mean", "<= 0.25");

    ZuVidCloseHdl(bench::coreWindow());
    SetEvent(stop);
    program.join();
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, kKey);
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Veltrana");
    DeleteFileW(copy.c_str());
    for (const wchar_t* name : {L"RateBench.cfg", L"Settings.ini"})
        DeleteFileW((home + L"\\AppData\\Glidora\\" + name).c_str());
    for (const std::wstring& path :
         {home + L"\\AppData\\Glidora", home + L"\\AppData", folder, home + L"\\Office", home})
        RemoveDirectoryW(path.c_str());
    DeleteCriticalSection(&gLock);
    return status;
}
