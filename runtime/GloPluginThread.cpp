#include "GloPluginThread.h"

#include <objbase.h>

#include <cmath>
#include <ostream>
#include <new>
#include <string>
#include <vector>

#include "GdrConfigFile.h"
#include "config/UserSettingsStore.h"
#include "events/GloConfigFiles.h"
#include "runtime/GloPreciseDelay.h"
#include "runtime/GloRepeatSchedule.h"
#include "runtime/GloSpeed.h"
#include "runtime/GloUserKeys.h"
#include "runtime/GloWorkerControl.h"

#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

namespace {
const LONGLONG kUnitsPerSecond = 10000000; // 100 ns units
const LONGLONG kStaleAfter = 2000000;      // 200 ms
const LONGLONG kDefaultPeriod = 100000;    // 10 ms

// c * scale / frequency without overflowing for large counter values.
LONGLONG scaleCounter(LONGLONG c, LONGLONG frequency, LONGLONG scale) {
    return (c / frequency) * scale + (c % frequency) * scale / frequency;
}

// Waits on objects are rounded up to whole milliseconds on some systems (Wine), short sleeps of
// the native call are not: there a repeat timer armed a little early and a short sleep for the
// rest meet the due time, where otherwise every tick would be up to a millisecond late and the
// grid would need a short period now and then to catch up. Where short sleeps are rounded to a
// clock tick instead (Windows without a raised timer resolution) the timer alone is used; its
// high-resolution variant is precise there.
const LONGLONG kFinishGuard = 20000; // 2 ms: the rounding and the usual wake-up delay

// Which signal a position of the worker's wait list stands for.
enum WaitKind { WaitStop, WaitTimer, WaitGiveBack, WaitReady };

// Holds a critical section for one scope.
class CScopedLock {
public:
    explicit CScopedLock(_Vex::CCriticalSection& section) : section(section) { section.Lock(); }
    ~CScopedLock() { section.Unlock(); }
    CScopedLock(const CScopedLock&) = delete;
    CScopedLock& operator=(const CScopedLock&) = delete;

private:
    _Vex::CCriticalSection& section;
};
} // namespace

// The worker's thread and its kernel objects are made for the first event, not with the object:
// the driver loads every plug-in as it starts, and most plug-ins see no event for a long time.
CGlo_PluginThread::CGlo_PluginThread()
    : workerThread(nullptr), workerThreadId(0), repeatTimer(nullptr),
      eventReady(_Vex::CEvent::Later), stopSignal(_Vex::CEvent::Later), counterFrequency(0),
      latestEventTime(0), zeroEventFlag(true), repeatPeriod(kDefaultPeriod), numberOfFunctions(0),
      lastFunction(nullptr), functionTable(nullptr), currentFunction(nullptr), eventCount(0),
      smallMovementThreshold(5.0), defaultConfiguration(nullptr), defaultConfigurationSize(0),
      buttonConfiguration(nullptr), buttonConfigurationSize(0), workerControl(nullptr) {
    LARGE_INTEGER frequency;
    if (QueryPerformanceFrequency(&frequency) && frequency.QuadPart > 0)
        counterFrequency = frequency.QuadPart;
    // Without the shared control the worker could not be stopped safely: no worker then.
    workerControl = CGlo_WorkerControl::create(this);
    CGlo_PluginThread::init();
}

CGlo_PluginThread::~CGlo_PluginThread() {
    stopWorkerThread();
    if (repeatTimer != nullptr) {
        CloseHandle(repeatTimer);
        repeatTimer = nullptr;
    }
}

// Under the event lock. Tried once: a worker that could not be made is not tried again, as
// one that has been stopped is not started again.
void CGlo_PluginThread::startWorker() {
    if (workerThread != nullptr || workerControl == nullptr)
        return;
    if (!eventReady.Create() || !stopSignal.Create())
        return; // out of kernel objects: tried again with the next event
    if (repeatTimer == nullptr) {
        // A high-resolution timer keeps the 10 ms period steady where the system offers one.
        repeatTimer = CreateWaitableTimerExW(
            nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION, TIMER_ALL_ACCESS);
        if (repeatTimer == nullptr)
            repeatTimer = CreateWaitableTimerW(nullptr, FALSE, nullptr);
    }
    if (!workerControl->beginWorker(stopSignal.m_hObject))
        return;
    SECURITY_ATTRIBUTES security = {sizeof(SECURITY_ATTRIBUTES), nullptr, FALSE};
    DWORD id = 0;
    const HANDLE thread = CreateThread(&security, 0, &CGlo_PluginThread::PluginThread,
                                       workerControl, CREATE_SUSPENDED, &id);
    if (thread == nullptr) {
        workerControl->workerNotStarted();
        return;
    }
    if (GetPriorityClass(GetCurrentProcess()) == REALTIME_PRIORITY_CLASS)
        SetThreadPriority(thread, -6);
    else
        SetThreadPriority(thread, THREAD_PRIORITY_ABOVE_NORMAL);
    SetThreadPriorityBoost(thread, TRUE);
    workerThread = thread;
    workerThreadId = id;
    ResumeThread(thread);
}

void CGlo_PluginThread::stopWorkerThread() {
    CGlo_WorkerControl* control;
    {
        // Taken from under a start that another thread's event may be making.
        CScopedLock lock(eventLock);
        control = workerControl;
        workerControl = nullptr;
    }
    if (control != nullptr) {
        control->unregister();
        // The worker's id stays until it has left: the core's code on the worker asks it to
        // know that the stop waits for it.
        if (GetCurrentThreadId() == workerThreadId) {
            control->abandonFromWorker();
        } else {
            control->requestStop();
            control->waitForLeave(CGlo_WorkerControl::kStopWaitMs);
        }
        control->release();
    }
    HANDLE thread;
    {
        CScopedLock lock(eventLock);
        thread = workerThread;
        workerThread = nullptr;
        workerThreadId = 0;
    }
    if (thread != nullptr)
        CloseHandle(thread);
}

int CGlo_PluginThread::init() {
    // The worker changes the current and last function only while it holds the configuration
    // lock; the event lock is always taken second.
    CScopedLock config(configLock);
    CScopedLock lock(eventLock);
    latestEvent.zeroEventData();
    latestEventTime = 0;
    currentFunction = nullptr;
    lastFunction = nullptr;
    eventCount = 0;
    zeroEventFlag = true;
    return 1;
}

int CGlo_PluginThread::sendevent(CGlo_Event& event) {
    CScopedLock lock(eventLock);
    startWorker();
    resetEventTimer();
    filterSmallMovements(event);
    const bool wasMoving = !zeroEventFlag;
    latestEvent = event;
    zeroEventFlag = event.getEventType() == GLO_NoEvent;
    eventCount = static_cast<int>(static_cast<unsigned>(eventCount) + 1u);
    // A repeating worker wakes on its timer only: the end of a gesture brings the tick forward,
    // so that what the gesture holds (a button, the cursor) is given back at once and not up to
    // a period later. A worker at rest ignores the early tick.
    if (wasMoving && zeroEventFlag && repeatTimer != nullptr) {
        LARGE_INTEGER now;
        now.QuadPart = -1;
        SetWaitableTimer(repeatTimer, &now, 0, nullptr, nullptr, FALSE);
    }
    // Signalled under the lock: a worker that took this event took its wake-up too.
    return eventReady.SetEvent();
}

int CGlo_PluginThread::getNumberOfFunctions() {
    return numberOfFunctions;
}

CGlo_PluginFunction* CGlo_PluginThread::queryFunction(const wchar_t* name) {
    if (name == nullptr || functionTable == nullptr)
        return nullptr;
    for (int i = 0; i < getNumberOfFunctions(); ++i)
        if (wcscmp(functionTable[i].getName(), name) == 0)
            return &functionTable[i];
    return nullptr;
}

CGlo_PluginFunction* CGlo_PluginThread::queryFunction(int index) {
    if (functionTable == nullptr || index < 0 || index >= numberOfFunctions)
        return nullptr;
    return &functionTable[index];
}

int CGlo_PluginThread::setFunctions(CGlo_PluginFunction* functions, int size) {
    CScopedLock lock(configLock);
    functionTable = functions;
    const int count = size / static_cast<int>(sizeof(CGlo_PluginFunction));
    numberOfFunctions = count > 0 ? count : 0;
    return 1;
}

int CGlo_PluginThread::initDefaultConfiguration(CGlo_FunctionSetup* setups, int size) {
    CScopedLock lock(configLock);
    defaultConfiguration = setups;
    defaultConfigurationSize = size;
    return 1;
}

int CGlo_PluginThread::initButtonConfiguration(CGlo_FunctionSetup* setups, int size) {
    CScopedLock lock(configLock);
    buttonConfiguration = setups;
    buttonConfigurationSize = size;
    return 1;
}

int CGlo_PluginThread::setDefaultConfiguration() {
    return setConfiguration(defaultConfiguration, defaultConfigurationSize);
}

// A setup whose function is unknown is handed over with null and adds nothing.
void CGlo_PluginThread::connect(CGlo_FunctionSetup* setups, int size) {
    const int count = size / static_cast<int>(sizeof(CGlo_FunctionSetup));
    if (setups == nullptr)
        return;
    for (int i = 0; i < count; ++i)
        multiplexer.addConnection(setups[i], queryFunction(setups[i].getName()));
}

int CGlo_PluginThread::setConfiguration(CGlo_FunctionSetup* setups, int size) {
    // The setups may be the multiplexer's own (queryFunctionSetup): copied before it is cleared.
    const int count =
        setups != nullptr && size > 0 ? size / static_cast<int>(sizeof(CGlo_FunctionSetup)) : 0;
    std::vector<CGlo_FunctionSetup> copy;
    try {
        copy.assign(setups, setups + count);
    } catch (const std::bad_alloc&) {
        return 0; // the configuration stays as it was
    }
    CScopedLock lock(configLock);
    multiplexer.clear();
    setButtonConfiguration();
    connect(copy.data(), count * static_cast<int>(sizeof(CGlo_FunctionSetup)));
    glo_runtime::connectUserKeys(name, multiplexer);
    return 1;
}

int CGlo_PluginThread::setButtonConfiguration() {
    CScopedLock lock(configLock);
    connect(buttonConfiguration, buttonConfigurationSize);
    return 1;
}

// The user's key combinations join whatever a load built (the default configuration included).
void CGlo_PluginThread::deserialize(CGdrProxy& proxy) {
    CScopedLock lock(configLock);
    CGlo_Application::deserialize(proxy);
    glo_runtime::connectUserKeys(name, multiplexer);
}

void CGlo_PluginThread::deserialize() {
    CScopedLock lock(configLock);
    CGlo_Application::deserialize();
    glo_runtime::connectUserKeys(name, multiplexer);
}

// Only the motion setups are written: the button setups are rebuilt on every load. Written
// also without any, so that a user who removed them all finds none at the next load.
void CGlo_PluginThread::serialize() {
    CScopedLock lock(configLock);
    glo_events::saveMotionSetups(*this, configFileName, multiplexer);
}

void CGlo_PluginThread::serialize(CGdrProxy& proxy) {
    CScopedLock lock(configLock);
    CGdrConfigFile configFile(proxy);
    if (!configFile.open())
        return;
    configFile.writeItem(std::wstring(name));
    configFile.writeItem(std::wstring(CGdrConfigFile::EndOfRecord));
    for (int i = 0; i < multiplexer.getNumberOfConnections(); ++i) {
        CGlo_FunctionSetup* setup = multiplexer.getFunctionSetup(i);
        if (!setup->isButton())
            setup->serialize(configFile);
    }
    configFile.clearRemaining();
    configFile.close();
}

long CGlo_PluginThread::getEventRate() {
    return repeatPeriod > 0 ? static_cast<long>(kUnitsPerSecond / repeatPeriod) : 0;
}

long CGlo_PluginThread::getMaxCapValue() {
    return 350;
}

long CGlo_PluginThread::getMinCapValue() {
    return 60;
}

LONGLONG CGlo_PluginThread::getMilliSeconds() {
    LARGE_INTEGER counter;
    if (counterFrequency == 0 || !QueryPerformanceCounter(&counter))
        return static_cast<LONGLONG>(GetTickCount64());
    return scaleCounter(counter.QuadPart, counterFrequency, 1000);
}

long CGlo_PluginThread::getEventCount() {
    return eventCount;
}

LONGLONG CGlo_PluginThread::now() {
    LARGE_INTEGER counter;
    if (counterFrequency == 0 || !QueryPerformanceCounter(&counter))
        return static_cast<LONGLONG>(GetTickCount64()) * 10000;
    return scaleCounter(counter.QuadPart, counterFrequency, kUnitsPerSecond);
}

void CGlo_PluginThread::resetEventTimer() {
    latestEventTime = now();
}

// The sum is formed in 64 bits: large raw values must not wrap into a short vector.
CGlo_Event& CGlo_PluginThread::filterSmallMovements(CGlo_Event& event) {
    if (event.getEventType() != GLO_MotionEvent)
        return event;
    long long sum = 0;
    for (int i = 0; i < 6; ++i) {
        const long long v = event.getAxis(i);
        sum += v * v;
    }
    if (std::sqrt(static_cast<double>(sum)) < smallMovementThreshold)
        event.zeroEventData();
    return event;
}

BOOL CGlo_PluginThread::isEventMissing() {
    if (zeroEventFlag)
        return TRUE;
    const LONGLONG elapsed = now() - latestEventTime;
    return elapsed > kStaleAfter ? TRUE : FALSE;
}

void CGlo_PluginThread::getEvent(CGlo_Event& event) {
    CScopedLock lock(eventLock);
    if (isEventMissing())
        latestEvent.zeroEventData();
    event = latestEvent;
}

LONGLONG CGlo_PluginThread::calculateTimeout() {
    return repeatPeriod;
}

CGlo_PluginFunction* CGlo_PluginThread::getFunction() {
    return currentFunction;
}

CGlo_PluginFunction* CGlo_PluginThread::getLastFunction() {
    return lastFunction;
}

// The selection happens under the configuration lock, the functions run outside it: a change of
// configuration never waits for a function, and no function sees a half-changed one. Every
// member is written before a function is called; once one has run, the control decides whether
// this object may be touched again.
//
// The user's speed acts on what a continuous function is handed, after the multiplexer chose it
// in device units: the dead zones and thresholds, and so where a motion starts, stay as they
// are. One-shot and button functions get their events unchanged.
GLO_EventType CGlo_PluginThread::execute(CGlo_Event& event, CGlo_WorkerControl& control,
                                         int speed) {
    control.giveBack(); // what an earlier event could not give back is tried again
    CGlo_PluginFunction* function;
    GLO_FunctionCallback previous = nullptr;
    {
        CScopedLock lock(configLock);
        function = multiplexer.getFunction(event);
        currentFunction = function;
        if (lastFunction != nullptr && lastFunction != function)
            previous = lastFunction->getFunction();
        lastFunction = function;
    }
    if (previous != nullptr) {
        // The previous function ends what it was doing.
        const CGlo_Event zero;
        if (!control.call(previous, zero))
            return GLO_NoEvent;
    }
    if (function == nullptr)
        return GLO_NoEvent;
    const bool once = function->getFunctionType() == GLO_TriggerFunction;
    const int applied = function->getFunctionType() > GLO_TriggerFunction && event.isMotionEvent()
                            ? speed
                            : glo_runtime::kNormalSpeed;
    glo_runtime::scaleMotion(event, applied);
    const glo_runtime::CSpeedScope scope(applied);
    if (!control.call(function->getFunction(), event))
        return GLO_NoEvent;
    return once ? GLO_ButtonEvent : event.getEventType();
}

void CGlo_PluginThread::work(CGlo_WorkerControl& control) {
    CGlo_Event event;
    const HANDLE timer = repeatTimer;

    // Stop signal, repeat timer, give-back timer, event-ready signal (last: a repeating worker
    // leaves it out). Without a timer the worker still runs every event once; without either
    // signal it could neither be woken nor stopped.
    HANDLE handles[4];
    WaitKind kinds[4];
    DWORD total = 0;
    const bool usable = stopSignal.m_hObject != nullptr && eventReady.m_hObject != nullptr;
    if (usable) {
        handles[total] = stopSignal.m_hObject;
        kinds[total++] = WaitStop;
        if (timer != nullptr) {
            handles[total] = timer;
            kinds[total++] = WaitTimer;
        }
        if (control.giveBackTimer() != nullptr) {
            handles[total] = control.giveBackTimer();
            kinds[total++] = WaitGiveBack;
        }
        handles[total] = eventReady.m_hObject;
        kinds[total++] = WaitReady;
    }

    const glo_runtime::DelayProc finish =
        usable && timer != nullptr ? glo_runtime::preciseDelay() : nullptr;
    const LONGLONG guard = finish != nullptr ? kFinishGuard : 0;
    // The latest event is a zero event: the gesture ends.
    auto endPending = [this] {
        CScopedLock lock(eventLock);
        return zeroEventFlag;
    };
    bool repeating = false; // repeating: new-event signals are ignored
    LONGLONG due = 0;       // when the armed tick is due, 100 ns units
    // The user's speed for this application, looked up again only when the settings changed.
    unsigned speedGeneration = glo_config::userSettingsGeneration() - 1;
    int speed = glo_runtime::kNormalSpeed;
    while (usable) {
        const DWORD count = repeating ? total - 1 : total;
        const DWORD result = WaitForMultipleObjects(count, handles, FALSE, INFINITE);
        if (result == WAIT_FAILED)
            break; // a handle went bad: waiting again would fail at once, forever
        if (result >= WAIT_OBJECT_0 + count)
            continue;
        const WaitKind kind = kinds[result - WAIT_OBJECT_0];
        if (kind == WaitStop)
            break;
        if (kind == WaitGiveBack) {
            // Between ticks and at rest alike; a repeating function keeps its grid.
            control.giveBack();
            continue;
        }
        if (kind == WaitTimer && !repeating)
            continue; // brought forward for an end that the worker has taken already
        if (kind == WaitTimer && finish != nullptr && !endPending()) {
            const LONGLONG left = due - now();
            if (left > 0) {
                LARGE_INTEGER interval;
                interval.QuadPart = -(left < guard ? left : guard);
                finish(FALSE, &interval);
            }
        }
        // A gesture's ticks are due on a grid that starts when its first run was woken.
        if (kind == WaitReady) {
            due = now();
            getEvent(event);
            if (event.getEventType() == GLO_NoEvent) {
                // At rest: the function that ran last ends (also one that never repeated), and
                // the multiplexer lets go of a held one-shot, so the next push fires.
                execute(event, control, glo_runtime::kNormalSpeed);
                if (control.isAbandoned())
                    return;
                continue;
            }
        }
        {
            // A wake-up left by an event that this read takes (one that came in while
            // repeating) would run it a second time: a button function twice per press.
            CScopedLock lock(eventLock);
            eventReady.ResetEvent();
            getEvent(event);
        }
        const unsigned generation = glo_config::userSettingsGeneration();
        if (generation != speedGeneration) {
            speedGeneration = generation;
            speed = glo_config::effectiveSpeed(name);
        }
        const GLO_EventType ran = execute(event, control, speed);
        if (control.isAbandoned())
            return;
        repeating = false;
        const LONGLONG period = calculateTimeout();
        if (ran != GLO_NoEvent && ran != GLO_ButtonEvent && timer != nullptr && period > 0) {
            // The timer is armed relative to the counter rather than at an absolute system
            // time, which a change of the clock would move.
            const LONGLONG current = now();
            due = glo_runtime::nextRepeatDue(due, current, period);
            const LONGLONG wait = due - guard - current;
            LARGE_INTEGER relative;
            relative.QuadPart = wait > 0 ? -wait : -1;
            // Under the lock with sendevent: an end that came in while the function ran (its
            // early tick overwritten by this arming) is taken at once through its wake-up.
            CScopedLock lock(eventLock);
            if (!zeroEventFlag && SetWaitableTimer(timer, &relative, 0, nullptr, nullptr, FALSE)) {
                // Wake-ups that came in while the function ran are covered by the next tick.
                eventReady.ResetEvent();
                repeating = true;
            }
        }
    }

    // Stopped mid-gesture: the function that ran last ends what it was doing (a held button,
    // a hidden cursor) before the worker leaves.
    GLO_FunctionCallback last = nullptr;
    {
        CScopedLock lock(configLock);
        if (lastFunction != nullptr)
            last = lastFunction->getFunction();
        lastFunction = nullptr;
        currentFunction = nullptr;
    }
    if (last != nullptr) {
        const CGlo_Event zero;
        if (!control.call(last, zero))
            return;
    }
    control.giveBack();
    if (timer != nullptr)
        CancelWaitableTimer(timer);
}

// The worker reports that it has left the object before anything that may need the loader lock
// (leaving the COM apartment, ending the thread): an application destroyed while a library is
// being unloaded waits for exactly that report.
DWORD WINAPI CGlo_PluginThread::PluginThread(LPVOID param) {
    // Started with the control: the object may already be stopping when the worker first runs.
    CGlo_WorkerControl& control = *static_cast<CGlo_WorkerControl*>(param);
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    {
        const glo_runtime::CWorkerScope scope(control.getApplication());
        control.getApplication()->work(control);
    }
    control.leave();
    control.runHandedOverUnload();
    if (SUCCEEDED(com))
        CoUninitialize();
    control.exitWorker(0);
}
