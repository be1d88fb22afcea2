#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <regex>
#include <string>
#include <thread>

#include "GloPlugin.h"
#include "GloPluginThread.h"
#include "GloUserSettings.h"
#include "tests/support/HungWindow.h"
#include "tests/support/InputRecorder.h"
#include "tests/support/TestProgram.h"
#include "tests/support/TestWindow.h"
#include "bench/ProcessCounters.h"
#include "tests/fixtures/autoscroll_target/AutoscrollTarget.h"

// Opened by the plug-in base for the core's tests: here to slow its input down.
struct CGlo_PluginTestAccess {
    typedef UINT(WINAPI* Sender)(UINT, LPINPUT, int);
    static void setSender(CGlo_Plugin& p, Sender sender) { p.inputSender = sender; }
};

namespace {

using Clock = std::chrono::steady_clock;
using ms = std::chrono::milliseconds;

// What the worker ran, in order: a function letter ('P'an, 'F'lip, 'K'ey) and the event kind
// ('m'otion, 'b'utton, 'z'ero).
std::mutex gMutex;
std::string gTrace;

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
    std::lock_guard<std::mutex> lock(gMutex);
    gTrace += std::string{F, e.isMotionEvent() ? 'm' : e.isButtonEvent() ? 'b' : 'z'};
}

template <class T> struct InStorage;
class Worker;
HWND gHungWindow = nullptr;
std::atomic<bool> gHangReturned{false};
InStorage<Worker>* gSelf = nullptr;
Worker* gSelfWorker = nullptr;

// Blocks in a message to a window whose thread does not answer.
void hang(const CGlo_Event& e) {
    record<'H'>(e);
    if (e.isMotionEvent()) {
        SendMessageW(gHungWindow, WM_USER, 0, 0);
        gHangReturned = true;
    }
}
void destroyOwnApplication(const CGlo_Event& e);
void stopOwnWorker(const CGlo_Event& e);

CGlo_PluginFunction gFunctions[] = {
    {L"Pan", GLO_OneAxisFunction, &record<'P'>, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
    {L"Flip", GLO_TriggerFunction, &record<'F'>, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
    {L"Key", GLO_TriggerFunction, &record<'K'>, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
    {L"Hang", GLO_OneAxisFunction, &hang, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
    {L"Destroy", GLO_ButtonFunction, &destroyOwnApplication, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
    {L"Stop", GLO_ButtonFunction, &stopOwnWorker, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
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
CGlo_FunctionSetup gHangSetup[] = {
    {L"Hang", GLO_MotionEvent, 1, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1, 0},
};
CGlo_FunctionSetup gEndSetups[] = {
    {L"Destroy", GLO_ButtonEvent, 3, GLO_ButtonPress},
    {L"Stop", GLO_ButtonEvent, 4, GLO_ButtonPress},
};

class Worker : public CGlo_PluginThread {
public:
    explicit Worker(bool startNow = true) {
        gTrace.clear();
        gHangReturned = false;
        setName(L"PluginThreadTestNoFile");
        setFunctions(gFunctions, sizeof gFunctions);
        initButtonConfiguration(gButtons, sizeof gButtons);
        initDefaultConfiguration(gDefaults, sizeof gDefaults);
        setDefaultConfiguration();
        if (!startNow)
            return;
        CGlo_Event zero; // the worker starts with the first event
        sendevent(zero);
        DuplicateHandle(GetCurrentProcess(), workerThread, GetCurrentProcess(), &workerThreadCopy,
                        0, FALSE, DUPLICATE_SAME_ACCESS);
    }
    int match(HWND) override { return 0; }
    int send(int a0, int a5 = 0, int button = -1, int state = 0) {
        CGlo_Event e(a0, 0, 0, 0, 0, a5, button, state);
        return sendevent(e);
    }
    ~Worker() override {
        if (workerThreadCopy)
            CloseHandle(workerThreadCopy);
    }
    void stop() { stopWorkerThread(); }
    void setPeriod(LONGLONG units) { repeatPeriod = units; }
    using CGlo_PluginThread::repeatTimer;
    using CGlo_PluginThread::workerThread;
    // Kept past the worker's own handle, which stopping closes.
    HANDLE workerThreadCopy = nullptr;
};

void stopOwnWorker(const CGlo_Event& e) {
    record<'S'>(e);
    if (e.isButtonEvent())
        gSelfWorker->stop();
}

using glotest::eventually;

// Below a length of 5 a motion is none; events every millisecond do not speed up the
// repetition; a button function runs once per press and hears the zero at a release, which
// selects nothing; a continuous function may be given a button. (Repetition, one-shots and the
// 200 ms limit on the whole road: tests/e2e.)
TEST(PluginThread, FunctionsOneAfterAnother) {
    Worker worker;
    CGlo_Event exact(3, 4, 0, 0, 0, 0, -1, 0), small(3, 3, 0, 0, 0, 0, -1, 0);
    worker.sendevent(exact);
    EXPECT_EQ(exact.getEventType(), GLO_MotionEvent);
    EXPECT_NE(worker.sendevent(small), 0);
    EXPECT_TRUE(small.isZeroEvent());
    const Clock::time_point start = Clock::now();
    int sent = 0;
    for (; Clock::now() - start < ms(300); ++sent) {
        worker.send(150 + sent % 50);
        Sleep(1);
    }
    EXPECT_GE(count("Pm"), 10);
    EXPECT_LE(count("Pm"), 60);
    EXPECT_LT(count("Pm"), sent / 2 + 10);
    for (int i = 0; i < 3; ++i) {
        worker.send(0, 0, 1, 1);
        Sleep(40);
    }
    worker.send(0, 0, 1, 0);
    ASSERT_TRUE(eventually([] { return count("Kz") == 1; }));
    worker.send(0, 0, 2, 1);
    ASSERT_TRUE(eventually([] { return count("Pb") == 1; }));
    EXPECT_TRUE(std::regex_match(trace(), std::regex("(Pm)+PzKbKbKbKzPb"))) << trace();
}

// The end of a gesture reaches a repeating function at once, not at its next tick (here 10 s
// away); further motion still waits for the tick.
TEST(PluginThread, AGesturesEndDoesNotWaitForTheNextTick) {
    Worker worker;
    worker.setPeriod(100000000);
    worker.send(200);
    ASSERT_TRUE(eventually([] { return count("Pm") == 1; }));
    worker.send(220);
    Sleep(50);
    worker.send(0);
    EXPECT_TRUE(eventually([] { return count("Pz") == 1; }, 2000)) << trace();
    EXPECT_EQ(trace(), "PmPz");
}

// An application in storage of the test's own, so that the test can see whether anything
// writes into it after it was destroyed.
template <class T> struct InStorage {
    InStorage() : worker(new (bytes) T) {}
    ~InStorage() {
        if (worker)
            worker->~T();
    }
    void destroy() {
        worker->~T();
        worker = nullptr;
        std::memset(bytes, 0xAB, sizeof bytes);
    }
    bool untouched() const {
        return std::all_of(bytes, bytes + sizeof bytes, [](unsigned char b) { return b == 0xAB; });
    }
    alignas(T) unsigned char bytes[sizeof(T)];
    T* worker;
};

void destroyOwnApplication(const CGlo_Event& e) {
    record<'D'>(e);
    if (e.isButtonEvent())
        gSelf->destroy();
}

// Closes the worker's repeat timer and makes another object, which takes the timer's handle
// value (values are reused lowest first; the destructor closes it); false when it did not.
bool replaceTimer(Worker& worker, HANDLE (*make)()) {
    const HANDLE timer = worker.repeatTimer;
    CloseHandle(timer);
    worker.repeatTimer = make();
    return worker.repeatTimer == timer;
}

DWORD msSince(DWORD start) {
    return GetTickCount() - start;
}

// A function blocked in a message to a program that does not answer holds up neither
// configuration changes nor the application's destruction; when it returns at last, the worker
// leaves without touching the destroyed object.
TEST(PluginThread, AFunctionBlockedInAMessageHoldsNothingUp) {
    glotest::HungWindow hung;
    gHungWindow = hung.window();
    InStorage<Worker> storage;
    Worker& worker = *storage.worker;
    worker.setConfiguration(gHangSetup, sizeof gHangSetup);
    worker.send(200);
    ASSERT_TRUE(eventually([] { return count("Hm") == 1; }));
    Sleep(50);
    DWORD start = GetTickCount();
    worker.setConfiguration(gDefaults, sizeof gDefaults);
    worker.deserialize(); // no file: the default configuration
    worker.serialize();
    EXPECT_LT(msSince(start), 500u);
    EXPECT_EQ(worker.getNumberOfConnections(), 4);

    start = GetTickCount();
    storage.destroy();
    EXPECT_GE(msSince(start), 900u);
    EXPECT_LT(msSince(start), 3000u);
    hung.answer();
    ASSERT_TRUE(eventually([] { return gHangReturned.load(); }));
    Sleep(100);
    EXPECT_TRUE(storage.untouched());
    EXPECT_EQ(trace(), "Hm"); // the worker ran nothing more
}

// A function that stops or destroys its own application: the worker leaves as soon as the
// function returns and touches nothing of the object.
TEST(PluginThread, AFunctionMayEndItsOwnApplication) {
    InStorage<Worker> storage;
    gSelf = &storage;
    storage.worker->setConfiguration(gEndSetups, sizeof gEndSetups);
    storage.worker->send(0, 0, 3, 1); // destroys its application
    ASSERT_TRUE(eventually([] { return count("Db") == 1; }));
    Sleep(100);
    EXPECT_TRUE(storage.untouched());

    Worker worker;
    gSelfWorker = &worker;
    worker.setConfiguration(gEndSetups, sizeof gEndSetups);
    worker.send(0, 0, 4, 1); // stops its own worker
    ASSERT_TRUE(eventually([] { return count("Sb") == 1; }));
    ASSERT_TRUE(eventually(
        [&] { return WaitForSingleObject(worker.workerThreadCopy, 0) == WAIT_OBJECT_0; }));
    worker.send(0, 0, 4, 1);
    Sleep(50);
    EXPECT_EQ(count("Sb"), 1); // nothing runs any more; destruction returns at once
}

// An application on the plug-in base whose one function is autoScroll.
class Scroller : public CGlo_Plugin {
public:
    Scroller();
    int match(HWND) override { return 0; }
    static void scroll(const CGlo_Event& e);
};

Scroller* gScroller = nullptr;
HANDLE gScrollerThread = nullptr; // outlives the object
void Scroller::scroll(const CGlo_Event& e) {
    gScroller->autoScroll(e);
}

CGlo_PluginFunction gScrollFunctions[] = {
    {L"Scroll", GLO_TwoAxisFunction, &Scroller::scroll, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
};
CGlo_FunctionSetup gScrollSetups[] = {
    {L"Scroll", GLO_MotionEvent, 2, 0, 1, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1, 0},
};

Scroller::Scroller() {
    setName(L"PluginThreadTestNoFile");
    setFunctions(gScrollFunctions, sizeof gScrollFunctions);
    initDefaultConfiguration(gScrollSetups, sizeof gScrollSetups);
    setDefaultConfiguration();
    CGlo_Event zero; // the worker starts with the first event
    sendevent(zero);
    DuplicateHandle(GetCurrentProcess(), workerThread, GetCurrentProcess(), &gScrollerThread, 0,
                    FALSE, DUPLICATE_SAME_ACCESS);
}

// A system slow to take input: every call takes 300 ms.
UINT WINAPI slowSend(UINT count, LPINPUT inputs, int size) {
    Sleep(300);
    return SendInput(count, inputs, size);
}

// An application deleted in the middle of an autoscroll gesture, outside the host's unload,
// with an end slowed down on purpose (a program that keeps the capture, a system slow to take
// input): the end still gives the user everything back, and once the destruction returns
// nothing touches the object.
TEST(PluginThread, AGestureEndsBeforeItsApplicationIsGone) {
    using namespace autoscroll_target;
    glotest::TestProgram program(std::wstring(kProgram) + L" --parent " +
                                 std::to_wstring(GetCurrentProcessId()) +
                                 L" GloAutoscrollView:click:100:100:500:400");
    const HWND view = findView(program.id(), 0);
    ASSERT_NE(view, nullptr);
    ASSERT_TRUE(glotest::bringToFront(GetParent(view)));
    SetCursorPos(900, 700);
    ask(view, kSetSticky, 1);
    InStorage<Scroller> storage;
    gScroller = storage.worker;
    CGlo_PluginTestAccess::setSender(*storage.worker, &slowSend);
    CGlo_Event deflected(200, 0, 0, 0, 0, 0, -1, 0);
    ASSERT_TRUE(eventually(
        [&] {
            storage.worker->sendevent(deflected);
            return (ask(view, kQueryState) & Scrolling) != 0;
        },
        5000));
    storage.worker->sendevent(deflected);
    const DWORD start = GetTickCount();
    storage.destroy();
    EXPECT_LT(msSince(start), 3000u);
    EXPECT_EQ(WaitForSingleObject(gScrollerThread, 5000), WAIT_OBJECT_0);
    CloseHandle(gScrollerThread);
    EXPECT_TRUE(storage.untouched());
    POINT cursor;
    GetCursorPos(&cursor);
    EXPECT_TRUE(cursor.x == 900 && cursor.y == 700) << cursor.x << "," << cursor.y;
    for (int vk : {VK_LBUTTON, VK_MBUTTON})
        EXPECT_FALSE(GetAsyncKeyState(vk) & 0x8000) << vk;
    ask(view, kSetSticky, 0);
}

// An application on the plug-in base whose one function is IPanWindow; its own pan focus search
// may be made to block in a message to a program that does not answer.
class Panner : public CGlo_Plugin {
public:
    Panner();
    int match(HWND) override { return 0; }
    static void pan(const CGlo_Event& e);

protected:
    HWND getMouseCursorPanFocus(CGloWindow& focus, unsigned long bars) override;
};

Panner* gPanner = nullptr;
HANDLE gPannerThread = nullptr; // outlives the object
std::atomic<bool> gHangInSearch{false};
std::atomic<bool> gSearching{false};

void Panner::pan(const CGlo_Event& e) {
    gPanner->IPanWindow(e);
}

HWND Panner::getMouseCursorPanFocus(CGloWindow& focus, unsigned long bars) {
    if (!gHangInSearch)
        return CGlo_Plugin::getMouseCursorPanFocus(focus, bars);
    gSearching = true;
    SendMessageW(gHungWindow, WM_USER, 0, 0);
    gHangReturned = true;
    return nullptr; // nothing of the object is touched once the message returns
}

CGlo_PluginFunction gPanFunctions[] = {
    {L"Scroll", GLO_TwoAxisFunction, &Panner::pan, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
};

Panner::Panner() {
    setName(L"PluginThreadTestNoFile");
    setFunctions(gPanFunctions, sizeof gPanFunctions);
    initDefaultConfiguration(gScrollSetups, sizeof gScrollSetups);
    setDefaultConfiguration();
    CGlo_Event zero; // the worker starts with the first event
    sendevent(zero);
    DuplicateHandle(GetCurrentProcess(), workerThread, GetCurrentProcess(), &gPannerThread, 0,
                    FALSE, DUPLICATE_SAME_ACCESS);
}

// A plug-in's own pan focus search is plug-in code, even when the core's gesture calls it: a stop
// gives up on it after its second, and the core's code around it touches nothing of the object
// once it returns.
TEST(PluginThread, APluginsOwnSearchIsGivenUpLikeAnyPluginCode) {
    glotest::HungWindow hung;
    gHungWindow = hung.window();
    gHangReturned = false;
    gSearching = false;
    gHangInSearch = true;
    InStorage<Panner> storage;
    gPanner = storage.worker;
    // Should the stop wait for the search, the program answers after a while.
    const HANDLE answerNow = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread answer([&] {
        WaitForSingleObject(answerNow, 5000);
        hung.answer();
    });
    CGlo_Event deflected(200, 0, 0, 0, 0, 0, -1, 0);
    storage.worker->sendevent(deflected);
    EXPECT_TRUE(eventually([] { return gSearching.load(); }));
    const DWORD start = GetTickCount();
    storage.destroy();
    EXPECT_GE(msSince(start), 900u);
    EXPECT_LT(msSince(start), 3000u);
    SetEvent(answerNow);
    answer.join();
    CloseHandle(answerNow);
    EXPECT_EQ(WaitForSingleObject(gPannerThread, 5000), WAIT_OBJECT_0);
    CloseHandle(gPannerThread);
    EXPECT_TRUE(gHangReturned);
    EXPECT_TRUE(storage.untouched());
    gHangInSearch = false;
}

// A browser view on a thread of its own whose pointer is never the arrow: the search for a point
// to click probes all of it.
class BrowserView {
public:
    BrowserView() : ready(CreateEventW(nullptr, TRUE, FALSE, nullptr)), thread([this] { run(); }) {
        WaitForSingleObject(ready, 5000);
    }
    ~BrowserView() {
        PostThreadMessageW(threadId, WM_QUIT, 0, 0);
        thread.join();
        CloseHandle(ready);
    }
    HWND frame = nullptr;
    HWND view = nullptr;

private:
    void run() {
        threadId = GetCurrentThreadId();
        for (const wchar_t* name : {L"GloBusyFrame", L"Internet Explorer_Server"}) {
            WNDCLASSW wc = {};
            wc.lpfnWndProc = DefWindowProcW;
            wc.hInstance = GetModuleHandleW(nullptr);
            wc.hCursor = LoadCursorW(nullptr, IDC_WAIT);
            wc.lpszClassName = name;
            RegisterClassW(&wc);
        }
        frame = CreateWindowExW(0, L"GloBusyFrame", L"", WS_POPUP | WS_VISIBLE, 100, 100, 600, 500,
                                nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        view = CreateWindowExW(0, L"Internet Explorer_Server", L"", WS_CHILD | WS_VISIBLE, 0, 0,
                               600, 500, frame, nullptr, GetModuleHandleW(nullptr), nullptr);
        SetFocus(view);
        SetEvent(ready);
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0) > 0)
            DispatchMessageW(&msg);
        DestroyWindow(frame);
    }
    DWORD threadId = 0;
    HANDLE ready;
    std::thread thread;
};

std::atomic<int> gSlowInputs{0};
UINT WINAPI slowProbe(UINT count, LPINPUT inputs, int size) {
    ++gSlowInputs;
    Sleep(30);
    return SendInput(count, inputs, size);
}

// The search for a browser's safe click point takes hundreds of probes (seconds where each
// sleeps a clock tick): a stop asked meanwhile ends it within the stop's budget, nothing is
// clicked, and the user's cursor is back.
TEST(PluginThread, AStopEndsTheSearchForASafeClickPoint) {
    BrowserView browser;
    ASSERT_NE(browser.view, nullptr);
    ASSERT_TRUE(glotest::bringToFront(browser.frame));
    SetCursorPos(400, 350); // on the view
    InStorage<Panner> storage;
    gPanner = storage.worker;
    CGlo_PluginTestAccess::setSender(*storage.worker, &slowProbe);
    gSlowInputs = 0;
    CGlo_Event deflected(200, 0, 0, 0, 0, 0, -1, 0);
    storage.worker->sendevent(deflected);
    ASSERT_TRUE(eventually([] { return gSlowInputs >= 3; }));
    const DWORD start = GetTickCount();
    storage.destroy();
    EXPECT_LT(msSince(start), 3000u);
    EXPECT_EQ(WaitForSingleObject(gPannerThread, 15000), WAIT_OBJECT_0);
    CloseHandle(gPannerThread);
    EXPECT_TRUE(storage.untouched());
    POINT cursor;
    GetCursorPos(&cursor);
    EXPECT_TRUE(cursor.x == 400 && cursor.y == 350) << cursor.x << "," << cursor.y;
    EXPECT_FALSE(GetAsyncKeyState(VK_MBUTTON) & 0x8000);
}

// Every function hears the zero event at rest, once: one-shots too, and continuous functions
// whose repetition could not be armed. (Destroyed mid-gesture, the last function hears its
// zero first: EventRoad.CloseMidGestureEndsTheGestureFirst.)
TEST(PluginThread, TheRestingZeroReachesTheLastFunctionOnceInEveryMode) {
    {
        Worker worker;
        worker.send(0, 200); // Flip
        ASSERT_TRUE(eventually([] { return count("Fm") == 1; }));
        worker.send(0);
        ASSERT_TRUE(eventually([] { return count("Fz") == 1; }));
    }
    EXPECT_EQ(count("Fz"), 1) << trace(); // destroyed at rest, nothing is ended twice

    Worker worker;

    // An event can be waited on but not armed.
    if (!replaceTimer(worker, [] { return CreateEventW(nullptr, FALSE, FALSE, nullptr); }))
        GTEST_SKIP() << "the handle value was not reused";
    worker.send(200);
    ASSERT_TRUE(eventually([] { return count("Pm") == 1; }));
    Sleep(50);
    EXPECT_EQ(count("Pm"), 1); // not repeated
    worker.send(0);
    ASSERT_TRUE(eventually([] { return count("Pz") == 1; })) << trace();
}

// The setups handed over may be the application's own, which the change empties first.
TEST(PluginThread, ConfigurationFromItsOwnSetups) {
    Worker worker; // buttons Key and Pan, then motion Pan and Flip
    ASSERT_EQ(worker.getNumberOfConnections(), 4);
    worker.setConfiguration(worker.queryFunctionSetup(3), sizeof(CGlo_FunctionSetup));
    ASSERT_EQ(worker.getNumberOfConnections(), 3);
    EXPECT_STREQ(worker.queryFunctionSetup(2)->getName(), L"Flip");
}

// A key combination the user put on a button takes that button from the plug-in's own function,
// in every configuration the application builds, and is sent on the worker with a press only;
// without it the plug-in's function is back.
TEST(PluginThread, AUsersKeysTakeTheirButtonFromThePlugin) {
    const wchar_t* program = L"PluginThreadTestNoFile";
    ASSERT_TRUE(CGlo_UserSettings::setButtonKeys(program, 1, GLO_KeyCtrl, 'S'));
    ASSERT_TRUE(CGlo_UserSettings::setButtonKeys(program, 5, 0, VK_F5));
    Worker worker; // buttons Key (1) and Pan (2), then motion Pan and Flip
    auto names = [&worker] {
        std::string text;
        for (int i = 0; i < worker.getNumberOfConnections(); ++i) {
            char name[64];
            std::snprintf(name, sizeof name, "%ls ", worker.queryFunctionSetup(i)->getName());
            text += name;
        }
        return text;
    };
    const std::string withKeys = "UserKeyCombination UserKeyCombination Pan Pan Flip ";
    EXPECT_EQ(names(), withKeys);
    worker.deserialize(); // no file: the defaults
    EXPECT_EQ(names(), withKeys);

    glotest::InputRecorder input(false);
    ASSERT_TRUE(input.active());
    auto pressed = [&](int button) {
        input.clear();
        worker.send(0, 0, button, 1);
        Sleep(60); // only the latest event is kept: the press first has to be taken
        worker.send(0, 0, button, 0);
        Sleep(60);
        std::string keys;
        for (const glotest::RecordedInput& e : input.events())
            keys += ((e.flags & LLKHF_UP) ? "-" : "+") + std::to_string(e.vkCode) + " ";
        return keys;
    };
    EXPECT_EQ(pressed(1), "+17 +83 -83 -17 "); // Ctrl+S, once
    EXPECT_EQ(pressed(5), "+116 -116 ");       // F5
    EXPECT_EQ(pressed(2), "");
    EXPECT_EQ(count("Kb"), 0) << trace();
    EXPECT_EQ(count("Pb"), 1) << trace();

    CGlo_UserSettings::setButtonKeys(program, 1, 0, 0);
    CGlo_UserSettings::setButtonKeys(program, 5, 0, 0);
    worker.setDefaultConfiguration();
    EXPECT_EQ(names(), "Key Pan Pan Flip ");
    EXPECT_EQ(pressed(1), "");
    ASSERT_TRUE(eventually([] { return count("Kb") == 1; })) << trace();
}

// At rest the worker sleeps until the next event: no polling, no timer left running. Counted as
// the worker's context switches, which a thread that polls every 10 ms shows at once.
TEST(PluginThread, NoWakeUpsAtRest) {
    process_counters::LinuxView linux;
    if (!linux.available())
        GTEST_SKIP() << "thread switches are not visible (not under Wine)";
    // The one thread that starts with the worker, and one that polls and names itself.
    const std::vector<std::string> before = linux.taskIds();
    Worker worker;
    static std::atomic<bool> stop;
    static std::string pollerName;
    stop = false;
    pollerName = process_counters::LinuxView::uniqueName();
    const HANDLE poller = CreateThread(
        nullptr, 0,
        [](LPVOID) -> DWORD {
            process_counters::LinuxView::nameThread(GetCurrentThread(), pollerName);
            while (!stop)
                Sleep(10);
            return 0;
        },
        nullptr, 0, nullptr);
    ASSERT_NE(poller, nullptr);
    std::string pollerTask;
    ASSERT_TRUE(eventually([&] { return !(pollerTask = linux.taskNamed(pollerName)).empty(); }));
    std::vector<std::string> started;
    for (const std::string& id : linux.taskIds())
        if (id != pollerTask && std::find(before.begin(), before.end(), id) == before.end())
            started.push_back(id);
    ASSERT_EQ(started.size(), 1u);
    const std::string folder = linux.taskFolder(started[0]);
    const std::string pollerFolder = linux.taskFolder(pollerTask);

    worker.send(200); // a gesture that repeats, then rest
    ASSERT_TRUE(eventually([] { return count("Pm") >= 5; }));
    worker.send(0);
    ASSERT_TRUE(eventually([] { return count("Pz") == 1; }));
    Sleep(50);

    const long long workerBefore = process_counters::LinuxView::switches(folder);
    const long long pollerBefore = process_counters::LinuxView::switches(pollerFolder);
    Sleep(400);
    const long long workerAfter = process_counters::LinuxView::switches(folder);
    const long long pollerAfter = process_counters::LinuxView::switches(pollerFolder);
    stop = true;
    WaitForSingleObject(poller, 2000);
    CloseHandle(poller);
    EXPECT_GE(pollerAfter - pollerBefore, 10); // the count sees a polling thread
    EXPECT_EQ(workerAfter, workerBefore);
    EXPECT_EQ(trace().back(), 'z') << trace();
}

// The worker starts with the first event, not with the object: a plug-in that never sees one
// costs no thread. One stopped before any event starts none afterwards: it would run on an
// object that is going away.
TEST(PluginThread, TheWorkerStartsWithTheFirstEventAndNotAfterAStop) {
    {
        Worker idle(false);
        EXPECT_EQ(idle.workerThread, nullptr);
        idle.send(0, 0, 1, 1);
        ASSERT_TRUE(eventually([] { return count("Kb") == 1; })) << trace();
        EXPECT_NE(idle.workerThread, nullptr);
    }
    Worker stopped(false);
    stopped.stop();
    stopped.send(0, 0, 1, 1);
    Sleep(100);
    EXPECT_EQ(stopped.workerThread, nullptr);
    EXPECT_EQ(count("Kb"), 0) << trace();
}

TEST(PluginThread, AFailedWaitEndsTheWorkerInsteadOfSpinning) {
    Worker worker;
    // Once the worker has run a function it waits with its list of handles built.
    worker.send(0, 0, 1, 1);
    ASSERT_TRUE(eventually([] { return count("Kb") == 1; }));
    // Nobody can wait on a file mapping: every later wait of the worker fails.
    if (!replaceTimer(worker, [] {
            return CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096,
                                      nullptr);
        }))
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
