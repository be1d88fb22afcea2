// The user's speed as the worker applies it: a continuous function gets its motion, and its
// repeat triggers their rate, scaled by the program's speed times the speed of all programs; a
// one-shot gets its event as the multiplexer made it; a change of the speed reaches a running
// worker at its next event.
#include <gtest/gtest.h>

#include <mutex>
#include <vector>

#include "GloPluginThread.h"
#include "GloTrigger.h"
#include "GloUserSettings.h"
#include "tests/support/TestWindow.h"

namespace {

const wchar_t kName[] = L"SpeedTestApplication";

struct Call {
    char function; // 'P'an or 'F'lip
    char kind;     // 'm'otion, 'z'ero, 'b'utton
    int axis0;
    int fires; // Pan: firings of a line trigger in 1000 calls with axis 0 (10 s at 100 a second)
};
std::mutex gMutex;
std::vector<Call> gCalls;

// The line trigger of the plug-in base: 1 to 50 repeats a second over the deflections 60 to 350.
int lineFires(int deflection) {
    CTrigger trigger;
    trigger.SetRepeatRate(1, 50);
    trigger.SetEventRate(100);
    trigger.SetInputRange(60, 350);
    int fires = 0;
    for (int i = 0; i < 1000; ++i)
        fires += trigger.IsTriggered(deflection);
    return fires;
}

template <char F> void record(const CGlo_Event& e) {
    const bool motion = e.isMotionEvent();
    const int fires = F == 'P' && motion ? lineFires(e.getAxis(0)) : 0;
    std::lock_guard<std::mutex> lock(gMutex);
    gCalls.push_back({F, motion ? 'm' : e.isButtonEvent() ? 'b' : 'z', e.getAxis(0), fires});
}

CGlo_PluginFunction gFunctions[] = {
    {L"Pan", GLO_OneAxisFunction, &record<'P'>, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
    {L"Flip", GLO_TriggerFunction, &record<'F'>, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
};
// Pan on device axis 0, Flip when axis 5 is pushed positive; no dead zones of their own.
CGlo_FunctionSetup gSetups[] = {
    {L"Pan", GLO_MotionEvent, 1, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1, 0},
    {L"Flip", GLO_MotionEvent, 0, 5, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1, 0},
};

class Application : public CGlo_PluginThread {
public:
    Application() {
        setName(kName);
        setFunctions(gFunctions, sizeof gFunctions);
        initDefaultConfiguration(gSetups, sizeof gSetups);
        setDefaultConfiguration();
    }
    ~Application() override { stopWorkerThread(); }
    int match(HWND) override { return 0; }

    // The first call of `function` with a motion after sending (a0, 0, 0, 0, 0, a5), then the
    // cap back at rest.
    Call push(char function, int a0, int a5 = 0) {
        {
            std::lock_guard<std::mutex> lock(gMutex);
            gCalls.clear();
        }
        CGlo_Event event(a0, 0, 0, 0, 0, a5, -1, 0);
        sendevent(event);
        Call found = {0, 0, 0, 0};
        glotest::eventually([&] {
            std::lock_guard<std::mutex> lock(gMutex);
            for (const Call& call : gCalls)
                if (call.function == function && call.kind == 'm') {
                    found = call;
                    return true;
                }
            return false;
        });
        CGlo_Event rest;
        sendevent(rest);
        glotest::eventually([] {
            std::lock_guard<std::mutex> lock(gMutex);
            return !gCalls.empty() && gCalls.back().kind == 'z';
        });
        return found;
    }
};

// The speeds go back to normal however the test ends: they live in the core's memory.
struct NormalSpeedsAfterwards {
    ~NormalSpeedsAfterwards() {
        CGlo_UserSettings::setSpeed(kName, 1);
        CGlo_UserSettings::setSpeed(nullptr, 1);
    }
};

// A push of 160 reaches Pan as 120 at the normal speed ((160 - 60) x 350 / 290, the
// multiplexer's own dead zone taken out), a push of 70 as 12: below where the line trigger's
// rate starts to rise, so it fires once a second there. A push of 200 fires Flip with 168.
TEST(Speed, ScalesContinuousMotionAndItsRateButNotOneShots) {
    NormalSpeedsAfterwards restore;
    Application application;
    struct Case {
        double own, all;
        int axis120, fires120, axis12, fires12;
    };
    // Rates: 10 x (1 + 49 x (d - 60) / 290) firings in 1000 calls, times the speed.
    const Case cases[] = {
        {1, 1, 120, 111, 12, 10}, {2, 1, 240, 223, 24, 20}, {0.5, 1, 60, 56, 6, 5},
        {2, 2, 480, 446, 48, 40}, {1, 0.35, 42, 39, 4, 4},  {4, 4, 480, 446, 48, 40},
        {0.25, 1, 30, 28, 3, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "speed " << c.own << " x " << c.all);
        CGlo_UserSettings::setSpeed(kName, c.own);
        CGlo_UserSettings::setSpeed(nullptr, c.all);
        const Call strong = application.push('P', 160);
        EXPECT_EQ(strong.axis0, c.axis120);
        EXPECT_EQ(strong.fires, c.fires120);
        const Call weak = application.push('P', 70);
        EXPECT_EQ(weak.axis0, c.axis12);
        EXPECT_EQ(weak.fires, c.fires12);
        EXPECT_EQ(application.push('F', 0, 200).axis0, 168);
    }
    // Just past the dead zone at the slowest speed the motion goes on: a quarter of 1 is not 0.
    CGlo_UserSettings::setSpeed(nullptr, 1);
    const Call slowest = application.push('P', 61);
    EXPECT_EQ(slowest.kind, 'm');
    EXPECT_EQ(slowest.axis0, 1);
    // Outside a function the trigger keeps its own rate.
    EXPECT_EQ(lineFires(12), 10);
}

} // namespace
