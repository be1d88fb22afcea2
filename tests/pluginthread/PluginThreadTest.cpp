#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "GloPluginThread.h"

namespace {

double nowMs() {
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return now.QuadPart * 1000.0 / frequency.QuadPart;
}

// What the worker ran, in order: a function letter ('P'an, 'T'ilt, 'F'lip, 'K'ey, 'H'old) and
// the event type ('m'otion, 'b'utton, 'z'ero), with the time of each call.
class Recorder {
public:
    void clear() {
        std::lock_guard<std::mutex> lock(mutex);
        calls.clear();
        times.clear();
    }
    void add(char function, const CGlo_Event& e) {
        std::lock_guard<std::mutex> lock(mutex);
        calls += function;
        calls += e.isMotionEvent() ? 'm' : e.isButtonEvent() ? 'b' : 'z';
        times.push_back(nowMs());
    }
    std::string trace() {
        std::lock_guard<std::mutex> lock(mutex);
        return calls;
    }
    std::vector<double> callTimes() {
        std::lock_guard<std::mutex> lock(mutex);
        return times;
    }
    int count(const char* call) {
        const std::string t = trace();
        int n = 0;
        for (size_t i = 0; i + 1 < t.size(); i += 2)
            n += t.compare(i, 2, call) == 0;
        return n;
    }

private:
    std::mutex mutex;
    std::string calls;
    std::vector<double> times;
};

Recorder gRecorder;
std::atomic<int> gPanSleepMs{0};
std::atomic<bool> gPanInside{false};
std::atomic<int> gHoldComResult{-1};

void pan(const CGlo_Event& e) {
    gRecorder.add('P', e);
    if (e.getEventType() == GLO_MotionEvent && gPanSleepMs > 0) {
        gPanInside = true;
        Sleep(gPanSleepMs);
        gPanInside = false;
    }
}
void tilt(const CGlo_Event& e) {
    gRecorder.add('T', e);
}
void flip(const CGlo_Event& e) {
    gRecorder.add('F', e);
}
void key(const CGlo_Event& e) {
    gRecorder.add('K', e);
}
void CoUninitialize_(HMODULE ole) {
    typedef void(WINAPI * Uninit)();
    reinterpret_cast<Uninit>(reinterpret_cast<void*>(GetProcAddress(ole, "CoUninitialize")))();
}

void hold(const CGlo_Event& e) {
    // The worker lives in a single-threaded apartment already: joining it again says S_FALSE.
    typedef HRESULT(WINAPI * Init)(void*, DWORD);
    HMODULE ole = GetModuleHandleW(L"ole32.dll");
    if (Init init = reinterpret_cast<Init>(
            reinterpret_cast<void*>(GetProcAddress(ole, "CoInitializeEx")))) {
        gHoldComResult = init(nullptr, 2 /* COINIT_APARTMENTTHREADED */);
        if (gHoldComResult >= 0)
            CoUninitialize_(ole);
    }
    gRecorder.add('H', e);
}

CGlo_PluginFunction gFunctions[] = {
    {L"Pan", GLO_OneAxisFunction, &pan, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
    {L"Tilt", GLO_OneAxisFunction, &tilt, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
    {L"Flip", GLO_TriggerFunction, &flip, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
    {L"Key", GLO_TriggerFunction, &key, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
    {L"Hold", GLO_OneAxisFunction, &hold, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
};

// Pan on device axis 0, Tilt on axis 2, Flip fires on axis 5 pushed positive.
CGlo_FunctionSetup gDefaults[] = {
    {L"Pan", GLO_MotionEvent, 1, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1, 0},
    {L"Tilt", GLO_MotionEvent, 1, 2, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1, 0},
    {L"Missing", GLO_MotionEvent, 1, 3, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1, 0},
    {L"Flip", GLO_MotionEvent, 0, 5, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1, 0},
};

CGlo_FunctionSetup gButtons[] = {
    {L"Key", GLO_ButtonEvent, 1, GLO_ButtonPress},
    {L"Hold", GLO_ButtonEvent, 2, GLO_ButtonPress},
};

class Worker : public CGlo_PluginThread {
public:
    Worker() {
        setFunctions(gFunctions, sizeof gFunctions);
        initButtonConfiguration(gButtons, sizeof gButtons);
        initDefaultConfiguration(gDefaults, sizeof gDefaults);
        setDefaultConfiguration();
    }
    int match(HWND) override { return 0; }

    int send(int a0, int a2 = 0, int a5 = 0) {
        CGlo_Event e(a0, 0, a2, 0, 0, a5, -1, 0);
        return sendevent(e);
    }
    int press(int button, int state = 1) {
        CGlo_Event e(0, 0, 0, 0, 0, 0, button, state);
        return sendevent(e);
    }
    std::wstring connections() {
        std::wstring s;
        for (int i = 0; i < getNumberOfConnections(); ++i)
            s += std::wstring(i ? L" " : L"") + queryFunctionSetup(i)->getName();
        return s;
    }
    using CGlo_PluginThread::getEventCount;
    using CGlo_PluginThread::repeatTimer;
    using CGlo_PluginThread::workerThread;
};

// Waits (up to a generous limit) until the condition holds.
template <class F> bool eventually(F condition) {
    for (int waited = 0; waited < 3000 && !condition(); waited += 5)
        Sleep(5);
    return condition();
}

class PluginThread : public ::testing::Test {
protected:
    void SetUp() override {
        gRecorder.clear();
        gPanSleepMs = 0;
    }
    Worker worker;
};

TEST_F(PluginThread, SmallMovementFilter) {
    CGlo_Event exact(3, 4, 0, 0, 0, 0, -1, 0);
    worker.sendevent(exact);
    EXPECT_EQ(exact.getEventType(), GLO_MotionEvent);
    CGlo_Event small(3, 3, 0, 0, 0, 0, -1, 0);
    EXPECT_NE(worker.sendevent(small), 0);
    EXPECT_EQ(small.getEventType(), GLO_NoEvent);
    EXPECT_EQ(small.getAxis(0), 0);

    CGlo_Event button(0, 0, 0, 0, 0, 0, 7, 1);
    button.setData(1, 1, 0, 0, 0, 0, 7, 1);
    const CGlo_Event before = button;
    worker.sendevent(button);
    EXPECT_EQ(memcmp(&button, &before, sizeof button), 0);
    // Squares that do not fit 32 bits still make a long vector.
    CGlo_Event huge(40000, 40000, 0, 0, 0, 0, -1, 0);
    worker.sendevent(huge);
    EXPECT_EQ(huge.getEventType(), GLO_MotionEvent);

    EXPECT_EQ(worker.getEventCount(), 4);
    worker.init();
    EXPECT_EQ(worker.getEventCount(), 0);
}

TEST_F(PluginThread, FunctionTableAndConfiguration) {
    EXPECT_EQ(worker.getNumberOfFunctions(), 5);
    EXPECT_EQ(worker.queryFunction(4), &gFunctions[4]);
    EXPECT_EQ(worker.queryFunction(5), nullptr);
    EXPECT_EQ(worker.queryFunction(-1), nullptr);
    EXPECT_EQ(worker.queryFunction(L"Flip"), &gFunctions[2]);
    EXPECT_EQ(worker.queryFunction(L"flip"), nullptr);
    EXPECT_EQ(worker.getEventRate(), 100);
    const LONGLONG ms = worker.getMilliSeconds();
    Sleep(50);
    EXPECT_GE(worker.getMilliSeconds() - ms, 40);

    // Button setups first, then the given ones whose function exists.
    EXPECT_EQ(worker.connections(), L"Key Hold Pan Tilt Flip");
    EXPECT_EQ(worker.setConfiguration(&gDefaults[1], -5), 1);
    EXPECT_EQ(worker.connections(), L"Key Hold");
    worker.setConfiguration(&gDefaults[1], sizeof(CGlo_FunctionSetup) * 2 + 7);
    EXPECT_EQ(worker.connections(), L"Key Hold Tilt");

    // The file keeps the motion setups only; the button setups come back from the table.
    worker.setName(L"PluginThreadTestFile");
    const wchar_t* file = L"PluginThreadTestFile.cfg";
    worker.serialize();
    worker.setConfiguration(nullptr, 0);
    worker.deserialize();
    EXPECT_EQ(worker.connections(), L"Key Hold Tilt");
    // Without motion setups the file is still rewritten, empty.
    worker.getMultiplexer().clear();
    worker.serialize();
    worker.deserialize();
    EXPECT_EQ(worker.connections(), L"Key Hold");
    EXPECT_TRUE(DeleteFileW(file));

    // Only whole records count.
    worker.setFunctions(gFunctions, sizeof(CGlo_PluginFunction) * 2 - 1);
    EXPECT_EQ(worker.getNumberOfFunctions(), 1);
    EXPECT_EQ(worker.queryFunction(L"Tilt"), nullptr);
}

TEST_F(PluginThread, ContinuousFunctionRepeatsWhileDeflectedAndStopsOnZeroEvent) {
    // 500 ms of deflection, refreshed every 50 ms: about 50 runs at 10 ms.
    for (int i = 0; i < 10; ++i) {
        worker.send(200);
        Sleep(50);
    }
    EXPECT_GE(gRecorder.count("Pm"), 20);
    EXPECT_LE(gRecorder.count("Pm"), 70);

    worker.send(0);
    ASSERT_TRUE(eventually([] { return gRecorder.count("Pz") == 1; }));
    Sleep(150);
    const std::string trace = gRecorder.trace();
    EXPECT_EQ(trace.find_first_not_of("Pm"), trace.size() - 1) << trace; // ends in "Pz"
}

TEST_F(PluginThread, StaleEventEndsRepetitionAfter200Ms) {
    const double sent = nowMs();
    worker.send(200);
    ASSERT_TRUE(eventually([] { return gRecorder.count("Pz") == 1; }));
    Sleep(100);
    const std::string trace = gRecorder.trace();
    EXPECT_EQ(trace.find_first_not_of("Pm"), trace.size() - 1) << trace;
    EXPECT_GE(gRecorder.count("Pm"), 5);
    EXPECT_LE(gRecorder.count("Pm"), 30);
    // The event stays current for 200 ms.
    EXPECT_GE(gRecorder.callTimes().back() - sent, 199.0);
}

TEST_F(PluginThread, NewEventsDoNotWakeARepeatingWorker) {
    // Events every millisecond for 300 ms: the worker still runs once per tick.
    const double start = nowMs();
    int sent = 0;
    for (; nowMs() - start < 300; ++sent) {
        worker.send(150 + sent % 50);
        Sleep(1);
    }
    worker.send(0);
    ASSERT_TRUE(eventually([] { return gRecorder.count("Pz") == 1; }));
    EXPECT_EQ(worker.getEventCount(), sent + 1);
    EXPECT_GE(gRecorder.count("Pm"), 5);
    EXPECT_LE(gRecorder.count("Pm"), 60);
    EXPECT_LT(gRecorder.count("Pm"), sent / 2 + 10);
}

TEST_F(PluginThread, TriggersAndButtonsRunOncePerEvent) {
    worker.send(0, 0, 200); // Flip
    ASSERT_TRUE(eventually([] { return gRecorder.count("Fm") == 1; }));
    Sleep(150);
    // Each press of button 1 runs Key once; Flip, which ran last, first hears a zero. A
    // release selects nothing, so Key hears a zero.
    for (int i = 0; i < 3; ++i) {
        worker.press(1, 1);
        Sleep(40);
    }
    worker.press(1, 0);
    ASSERT_TRUE(eventually([] { return gRecorder.count("Kz") == 1; }));
    // A continuous function given a button runs once too, in the worker's apartment.
    worker.press(2);
    ASSERT_TRUE(eventually([] { return gRecorder.count("Hb") == 1; }));
    Sleep(150);
    EXPECT_EQ(gRecorder.trace(), "FmFzKbKbKbKzHb");
    EXPECT_EQ(gHoldComResult, S_FALSE);
}

TEST_F(PluginThread, ChangeOfFunctionEndsThePreviousOneFirst) {
    worker.send(200);
    ASSERT_TRUE(eventually([] { return gRecorder.count("Pm") >= 2; }));
    worker.send(0, 200); // Tilt
    ASSERT_TRUE(eventually([] { return gRecorder.count("Tm") >= 1; }));
    worker.send(0);
    ASSERT_TRUE(eventually([] { return gRecorder.count("Tz") == 1; }));
    const std::string trace = gRecorder.trace();
    const size_t firstTilt = trace.find("Tm");
    ASSERT_GE(firstTilt, 2u);
    EXPECT_EQ(trace.substr(firstTilt - 2, 4), "PzTm") << trace;
    EXPECT_EQ(gRecorder.count("Pz"), 1) << trace;
    EXPECT_EQ(trace.substr(trace.size() - 2), "Tz") << trace;
}

TEST_F(PluginThread, ConfigurationChangesWaitForTheRunningFunction) {
    worker.setName(L"PluginThreadTestNoFile");
    gPanSleepMs = 200;
    worker.send(200);
    ASSERT_TRUE(eventually([] { return gPanInside.load(); }));
    worker.setConfiguration(gDefaults, sizeof gDefaults);
    EXPECT_FALSE(gPanInside.load());
    worker.send(200);
    ASSERT_TRUE(eventually([] { return gPanInside.load(); }));
    worker.deserialize(); // no file: the default configuration
    EXPECT_FALSE(gPanInside.load());
    worker.send(0);
    ASSERT_TRUE(eventually([] { return gRecorder.count("Pz") == 1; }));
}

TEST(PluginThreadLifetime, DestructionWaitsForAFunctionRunningLongerThanASecond) {
    gRecorder.clear();
    gPanSleepMs = 1500;
    Worker* worker = new Worker;
    worker->send(200);
    ASSERT_TRUE(eventually([] { return gPanInside.load(); }));
    const DWORD start = GetTickCount();
    delete worker;
    EXPECT_FALSE(gPanInside.load());
    EXPECT_GE(GetTickCount() - start, 1000u);
    EXPECT_EQ(gRecorder.trace(), "Pm"); // and the worker left without another run
    gPanSleepMs = 0;
}

TEST(PluginThreadLifetime, AFailedWaitEndsTheWorkerInsteadOfSpinning) {
    gRecorder.clear();
    Worker worker;
    // Once the worker has run a function it waits with its list of handles built.
    worker.press(1);
    ASSERT_TRUE(eventually([] { return gRecorder.count("Kb") == 1; }));
    // The timer's handle value comes to stand for an object nobody can wait on (handle values
    // are reused lowest first), so every later wait of the worker fails.
    const HANDLE timer = worker.repeatTimer;
    CloseHandle(timer);
    worker.repeatTimer = nullptr;
    HANDLE mapping =
        CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, nullptr);
    if (mapping != timer) {
        CloseHandle(mapping);
        GTEST_SKIP() << "the handle value was not reused";
    }
    worker.press(1);
    ASSERT_TRUE(eventually([] { return gRecorder.count("Kb") == 2; }));
    // The worker ends rather than retrying the wait; destruction then returns at once.
    EXPECT_EQ(WaitForSingleObject(worker.workerThread, 3000), WAIT_OBJECT_0);
    FILETIME created, exited, kernel, user;
    ASSERT_TRUE(GetThreadTimes(worker.workerThread, &created, &exited, &kernel, &user));
    EXPECT_LT(user.dwLowDateTime + kernel.dwLowDateTime, 5000000u); // under 0.5 s of CPU
    CloseHandle(mapping);
}

} // namespace
