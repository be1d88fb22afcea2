// The whole road of a device event: the test plays the driver (ZuVidInit, ZuVidSendEvent,
// ZuVidCloseHdl), the core loads the e2e_recorder plug-in from the home folder named in the
// registry, matches the test's window to it and runs the plug-in's functions on its worker.
#include <chrono>
#include <regex>
#include <string>

#include "tests/support/DriverTest.h"
#include "tests/support/HungWindow.h"
#include "host/GloPluginHost.h"

namespace {

using Clock = std::chrono::steady_clock;

class EventRoad : public glotest::DriverTest {
protected:
    void SetUp() override {
        DriverTest::SetUp();
        startWithRecorder();
    }
    // The same deflection about every 16 ms (a device's report rate).
    void hold(int x, int a, int ms) {
        for (int i = 0; i < ms / 16; ++i) {
            send(ZUVID_EVENT_MOTION, x, a);
            glotest::pumpMessages(16);
        }
    }
    // Milliseconds from `start` until the trace matches (2000 or more: it did not).
    int msUntil(const char* pattern, Clock::time_point start = Clock::now()) {
        while (!std::regex_match(trace(), std::regex(pattern)) &&
               Clock::now() - start < std::chrono::seconds(2))
            glotest::pumpMessages(2);
        return int((Clock::now() - start) / std::chrono::milliseconds(1));
    }
};

TEST_F(EventRoad, ContinuousFunctionRepeatsUntilTheZeroEventOrAButton) {
    hold(200, 0, 320);
    send(ZUVID_EVENT_ZERO);
    EXPECT_LT(msUntil("(Pm)+Pz"), 180) << trace(); // the zero event ends it, not staleness
    glotest::pumpMessages(150);
    // About 32 runs in 320 ms, not faster than the period, and none after the zero.
    ASSERT_TRUE(std::regex_match(trace(), std::regex("(Pm){10,70}Pz"))) << trace();
    EXPECT_EQ(recording->panAxis0, 168); // x 200 scaled: (200 - 60) * 350 / 290
    // A button runs its function once, also when pressed while a function repeats.
    hold(200, 0, 100);
    for (int i = 0; i < 2; ++i) {
        send(ZUVID_EVENT_BUTTON, 0, 0, 1);
        glotest::pumpMessages(50);
        send(ZUVID_EVENT_BUTTON, 0, 0, 0, 1);
        glotest::pumpMessages(50);
    }
    glotest::pumpMessages(100);
    EXPECT_TRUE(std::regex_match(trace(), std::regex("(Pm)+Pz(Pm)+PzCbCzCbCz"))) << trace();
}

TEST_F(EventRoad, ContinuousFunctionStopsAfter200MsWithoutEvents) {
    const Clock::time_point sent = Clock::now();
    send(ZUVID_EVENT_MOTION, 200);
    const int ms = msUntil("(Pm){5,40}Pz", sent);
    EXPECT_GE(ms, 199) << trace();
    EXPECT_LT(ms, 450) << trace();
}

// The first push takes over from the repeating function, which first hears a zero; the others
// start from rest, and the last fades through small values before it comes back.
TEST_F(EventRoad, OneShotTakesOverAndRunsOncePerPush) {
    hold(200, 0, 150);
    for (int push = 0; push < 3; ++push) {
        hold(0, 300, 100);
        send(ZUVID_EVENT_ZERO);
        glotest::pumpMessages(60);
    }
    hold(0, 300, 100);
    hold(0, 30, 50);
    hold(0, 300, 100);
    send(ZUVID_EVENT_ZERO);
    glotest::pumpMessages(100);
    EXPECT_TRUE(std::regex_match(trace(), std::regex("(Pm)+Pz(FmFz){5}"))) << trace();
}

// Closed mid-gesture, the repeating function hears its zero before the plug-in is unloaded.
TEST_F(EventRoad, CloseMidGestureEndsTheGestureFirst) {
    hold(200, 0, 100);
    close();
    EXPECT_TRUE(std::regex_match(trace(), std::regex("(Pm)+PzU-"))) << trace();
}

// A function blocked in a message to a program that does not answer: configuration calls and
// the driver's close return at once or within about a second; the function later returns to
// its intact application, which is unloaded only then.
TEST_F(EventRoad, ABlockedFunctionHoldsNothingUp) {
    glotest::HungWindow hung;
    recording->hangWindow = hung.window();
    send(ZUVID_EVENT_MOTION, 0, 0, 0, 0, 200);
    ASSERT_LT(msUntil("Hm"), 2000) << trace();
    CGlo_Application* application = getPluginHost().getLoadedPlugin(0);
    ASSERT_NE(application, nullptr);
    Clock::time_point start = Clock::now();
    application->setDefaultConfiguration();
    application->deserialize(); // no file: the default configuration
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(500));

    start = Clock::now();
    close();
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(900));
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(3000));
    EXPECT_EQ(trace(), "Hm");
    hung.answer();
    EXPECT_LT(msUntil("HmHrHzU-"), 2000) << trace();
}

} // namespace
