#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <regex>
#include <string>

#include "GloPluginThread.h"

namespace {

using Clock = std::chrono::steady_clock;
using ms = std::chrono::milliseconds;

// What the worker ran, in order: a function letter ('P'an, 'F'lip, 'K'ey) and the event kind
// ('m'otion, 'b'utton, 'z'ero).
std::mutex gMutex;
std::string gTrace;
Clock::time_point gLastCall;
std::atomic<int> gPanSleepMs{0};
std::atomic<bool> gPanInside{false};

std::string trace() {
    std::lock_guard<std::mutex> lock(gMutex);
    return gTrace;
}

int count(const char* call) {
    const std::string t = trace();
    int n = 0;
    for (size_t i = 0; i + 1 < t.size(); i += 2)
        n += t.compare(i, 2, call) == 0;
    return n;
}

template <char F> void record(const CGlo_Event& e) {
    {
        std::lock_guard<std::mutex> lock(gMutex);
        gTrace += std::string{F, e.isMotionEvent() ? 'm' : e.isButtonEvent() ? 'b' : 'z'};
        gLastCall = Clock::now();
    }
    if (F == 'P' && e.isMotionEvent()) {
        gPanInside = true;
        Sleep(gPanSleepMs);
        gPanInside = false;
    }
}

CGlo_PluginFunction gFunctions[] = {
    {L"Pan", GLO_OneAxisFunction, &record<'P'>, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
    {L"Flip", GLO_TriggerFunction, &record<'F'>, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
    {L"Key", GLO_TriggerFunction, &record<'K'>, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
};

// Pan on device axis 0, Flip fires on axis 5 pushed positive; buttons 1 and 2 run Key and Pan.
CGlo_FunctionSetup gDefaults[] = {
    {L"Pan", GLO_MotionEvent, 1, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1, 0},
    {L"Flip", GLO_MotionEvent, 0, 5, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1, 0},
};
CGlo_FunctionSetup gButtons[] = {
    {L"Key", GLO_ButtonEvent, 1, GLO_ButtonPress},
    {L"Pan", GLO_ButtonEvent, 2, GLO_ButtonPress},
};

class Worker : public CGlo_PluginThread {
public:
    Worker() {
        gTrace.clear();
        gPanSleepMs = 0;
        setName(L"PluginThreadTestNoFile");
        setFunctions(gFunctions, sizeof gFunctions);
        initButtonConfiguration(gButtons, sizeof gButtons);
        initDefaultConfiguration(gDefaults, sizeof gDefaults);
        setDefaultConfiguration();
    }
    int match(HWND) override { return 0; }
    int send(int a0, int a5 = 0, int button = -1, int state = 0) {
        CGlo_Event e(a0, 0, 0, 0, 0, a5, button, state);
        return sendevent(e);
    }
    using CGlo_PluginThread::repeatTimer;
    using CGlo_PluginThread::workerThread;
};

// Waits (up to a generous limit) until the condition holds.
template <class F> bool eventually(F condition) {
    for (int waited = 0; waited < 3000 && !condition(); waited += 5)
        Sleep(5);
    return condition();
}

// A continuous function repeats about every 10 ms while deflected, however often events come,
// and hears a zero when it ends; triggers and buttons run once per event; a change of function
// first ends the old one; 200 ms without events end the repetition like a zero event.
TEST(PluginThread, FunctionsOneAfterAnother) {
    Worker worker;
    CGlo_Event exact(3, 4, 0, 0, 0, 0, -1, 0), small(3, 3, 0, 0, 0, 0, -1, 0);
    worker.sendevent(exact); // the shortest movement that counts
    EXPECT_EQ(exact.getEventType(), GLO_MotionEvent);
    EXPECT_NE(worker.sendevent(small), 0);
    EXPECT_TRUE(small.isZeroEvent());
    const Clock::time_point start = Clock::now();
    int sent = 0;
    for (; Clock::now() - start < ms(300); ++sent) { // an event every millisecond
        worker.send(150 + sent % 50);
        Sleep(1);
    }
    EXPECT_GE(count("Pm"), 10);
    EXPECT_LE(count("Pm"), 60);
    EXPECT_LT(count("Pm"), sent / 2 + 10);
    worker.send(0, 200); // Flip
    ASSERT_TRUE(eventually([] { return count("Fm") == 1; }));
    Sleep(150);
    for (int i = 0; i < 3; ++i) {
        worker.send(0, 0, 1, 1);
        Sleep(40);
    }
    worker.send(0, 0, 1, 0); // a release selects nothing
    ASSERT_TRUE(eventually([] { return count("Kz") == 1; }));
    worker.send(0, 0, 2, 1); // a continuous function given a button
    ASSERT_TRUE(eventually([] { return count("Pb") == 1; }));
    Sleep(150);
    worker.send(200);
    Sleep(100);
    worker.send(0);
    ASSERT_TRUE(eventually([] { return count("Pz") == 2; }));
    Sleep(150);
    const std::string t = trace();
    EXPECT_TRUE(std::regex_match(t, std::regex("(Pm)+PzFmFzKbKbKbKzPb(Pm)+Pz"))) << t;

    const Clock::time_point stale = Clock::now();
    worker.send(200);
    ASSERT_TRUE(eventually([] { return count("Pz") == 3; }));
    Sleep(100);
    EXPECT_TRUE(std::regex_match(trace().substr(t.size()), std::regex("(Pm)+Pz"))) << trace();
    std::lock_guard<std::mutex> lock(gMutex);
    EXPECT_GE(gLastCall - stale, ms(199)); // the event stays current for 200 ms
}

TEST(PluginThread, ConfigurationChangesWaitForTheRunningFunction) {
    Worker worker;
    gPanSleepMs = 200;
    worker.send(200);
    ASSERT_TRUE(eventually([] { return gPanInside.load(); }));
    worker.setConfiguration(gDefaults, sizeof gDefaults);
    EXPECT_FALSE(gPanInside.load());
    worker.send(200);
    ASSERT_TRUE(eventually([] { return gPanInside.load(); }));
    worker.deserialize(); // no file: the default configuration
    EXPECT_FALSE(gPanInside.load());
}

TEST(PluginThread, DestructionWaitsForAFunctionRunningLongerThanASecond) {
    Worker* worker = new Worker;
    gPanSleepMs = 1500;
    worker->send(200);
    ASSERT_TRUE(eventually([] { return gPanInside.load(); }));
    const DWORD start = GetTickCount();
    delete worker;
    EXPECT_FALSE(gPanInside.load());
    EXPECT_GE(GetTickCount() - start, 1000u);
    EXPECT_EQ(trace(), "Pm"); // and the worker left without another run
}

TEST(PluginThread, AFailedWaitEndsTheWorkerInsteadOfSpinning) {
    Worker worker;
    // Once the worker has run a function it waits with its list of handles built.
    worker.send(0, 0, 1, 1);
    ASSERT_TRUE(eventually([] { return count("Kb") == 1; }));
    // The timer's handle value comes to stand for an object nobody can wait on (handle values
    // are reused lowest first), so every later wait of the worker fails.
    const HANDLE timer = worker.repeatTimer;
    CloseHandle(timer);
    worker.repeatTimer = // closed by the destructor
        CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, nullptr);
    if (worker.repeatTimer != timer)
        GTEST_SKIP() << "the handle value was not reused";
    worker.send(0, 0, 1, 1);
    ASSERT_TRUE(eventually([] { return count("Kb") == 2; }));
    // The worker ends rather than retrying the wait; destruction then returns at once.
    EXPECT_EQ(WaitForSingleObject(worker.workerThread, 3000), WAIT_OBJECT_0);
    FILETIME created, exited, kernel, user;
    ASSERT_TRUE(GetThreadTimes(worker.workerThread, &created, &exited, &kernel, &user));
    EXPECT_LT(user.dwLowDateTime + kernel.dwLowDateTime, 5000000u); // under 0.5 s of CPU
}

} // namespace
