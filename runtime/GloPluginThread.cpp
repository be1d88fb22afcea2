#include "GloPluginThread.h"

#include <objbase.h>

#include <cmath>
#include <ostream>
#include <string>

#include "GdrConfigFile.h"

#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

namespace {
const LONGLONG kUnitsPerSecond = 10000000; // 100 ns units
const LONGLONG kStaleAfter = 2000000;      // 200 ms
const LONGLONG kDefaultPeriod = 100000;    // 10 ms
const DWORD kStopWait = 1000;

// c * scale / frequency without overflowing for large counter values.
LONGLONG scaleCounter(LONGLONG c, LONGLONG frequency, LONGLONG scale) {
    return (c / frequency) * scale + (c % frequency) * scale / frequency;
}

// Which signal a position of the worker's wait list stands for.
enum WaitKind { WaitStop, WaitTimer, WaitReady };

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

CGlo_PluginThread::CGlo_PluginThread()
    : workerThread(nullptr), workerThreadId(0), repeatTimer(nullptr), eventReady(FALSE, FALSE),
      stopSignal(FALSE, FALSE), counterFrequency(0), latestEventTime(0), zeroEventFlag(true),
      repeatPeriod(kDefaultPeriod), numberOfFunctions(0), lastFunction(nullptr),
      functionTable(nullptr), currentFunction(nullptr), eventCount(0), smallMovementThreshold(5.0),
      defaultConfiguration(nullptr), defaultConfigurationSize(0), buttonConfiguration(nullptr),
      buttonConfigurationSize(0), workerDone(FALSE, TRUE) {
    LARGE_INTEGER frequency;
    if (QueryPerformanceFrequency(&frequency) && frequency.QuadPart > 0)
        counterFrequency = frequency.QuadPart;

    // A high-resolution timer keeps the 10 ms period steady where the system offers one.
    repeatTimer = CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION,
                                         TIMER_ALL_ACCESS);
    if (repeatTimer == nullptr)
        repeatTimer = CreateWaitableTimerW(nullptr, FALSE, nullptr);

    SECURITY_ATTRIBUTES security = {sizeof(SECURITY_ATTRIBUTES), nullptr, FALSE};
    workerThread = CreateThread(&security, 0, &CGlo_PluginThread::PluginThread, this,
                                CREATE_SUSPENDED, &workerThreadId);
    if (workerThread != nullptr) {
        if (GetPriorityClass(GetCurrentProcess()) == REALTIME_PRIORITY_CLASS)
            SetThreadPriority(workerThread, -6);
        else
            SetThreadPriority(workerThread, THREAD_PRIORITY_ABOVE_NORMAL);
        SetThreadPriorityBoost(workerThread, TRUE);
    } else {
        workerThreadId = 0;
    }
    CGlo_PluginThread::init();
    if (workerThread != nullptr)
        ResumeThread(workerThread);
}

CGlo_PluginThread::~CGlo_PluginThread() {
    stopWorkerThread();
    if (repeatTimer != nullptr) {
        CloseHandle(repeatTimer);
        repeatTimer = nullptr;
    }
}

// After the usual 1000 ms the wait goes on: a worker still inside a function would otherwise
// run into a destroyed object. Messages sent to this thread are delivered meanwhile, so a
// function waiting on this thread's windows can finish. The worker reports that it has left
// the object before its thread ends, so this also returns under the loader lock.
void CGlo_PluginThread::stopWorkerThread() {
    if (workerThread == nullptr)
        return;
    if (GetCurrentThreadId() != workerThreadId) {
        stopSignal.SetEvent();
        HANDLE handles[2] = {workerThread, workerDone.m_hObject};
        const DWORD count = handles[1] != nullptr ? 2 : 1;
        DWORD result = WaitForMultipleObjects(count, handles, FALSE, kStopWait);
        while (result == WAIT_TIMEOUT || result == WAIT_OBJECT_0 + count) {
            MSG message;
            PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
            result = MsgWaitForMultipleObjects(count, handles, FALSE, INFINITE, QS_SENDMESSAGE);
        }
    }
    CloseHandle(workerThread);
    workerThread = nullptr;
    workerThreadId = 0;
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
    {
        CScopedLock lock(eventLock);
        resetEventTimer();
        filterSmallMovements(event);
        latestEvent = event;
        zeroEventFlag = event.getEventType() == GLO_NoEvent;
        eventCount = static_cast<int>(static_cast<unsigned>(eventCount) + 1u);
        // Signalled under the lock: a worker that took this event took its wake-up too.
        return eventReady.SetEvent();
    }
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
    CScopedLock lock(configLock);
    multiplexer.clear();
    setButtonConfiguration();
    connect(setups, size);
    return 1;
}

int CGlo_PluginThread::setButtonConfiguration() {
    CScopedLock lock(configLock);
    connect(buttonConfiguration, buttonConfigurationSize);
    return 1;
}

void CGlo_PluginThread::deserialize(CGdrProxy& proxy) {
    CScopedLock lock(configLock);
    CGlo_Application::deserialize(proxy);
}

void CGlo_PluginThread::deserialize() {
    CScopedLock lock(configLock);
    CGlo_Application::deserialize();
}

// Only the motion setups are written: the button setups are rebuilt on every load.
void CGlo_PluginThread::serialize() {
    CScopedLock lock(configLock);
    char fileName[260];
    if (WideCharToMultiByte(CP_ACP, 0, configFileName, -1, fileName, sizeof fileName, nullptr,
                            nullptr) <= 1)
        return;
    glo_config::writeFileAtomically(fileName, [this](std::ostream& out) {
        for (int i = 0; i < multiplexer.getNumberOfConnections(); ++i) {
            CGlo_FunctionSetup* setup = multiplexer.getFunctionSetup(i);
            if (!setup->isButton())
                setup->serialize(out);
        }
    });
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

GLO_EventType CGlo_PluginThread::execute(CGlo_Event& event) {
    CGlo_PluginFunction* function = multiplexer.getFunction(event);
    currentFunction = function;
    if (lastFunction != nullptr && lastFunction != function) {
        // The previous function ends what it was doing.
        const CGlo_Event zero;
        if (GLO_FunctionCallback callback = lastFunction->getFunction())
            callback(zero);
    }
    if (function == nullptr) {
        lastFunction = nullptr;
        return GLO_NoEvent;
    }
    if (GLO_FunctionCallback callback = function->getFunction())
        callback(event);
    lastFunction = function;
    if (function->getFunctionType() == GLO_TriggerFunction)
        return GLO_ButtonEvent; // run once
    return event.getEventType();
}

DWORD WINAPI CGlo_PluginThread::PluginThread(LPVOID param) {
    CGlo_PluginThread* self = static_cast<CGlo_PluginThread*>(param);
    CGlo_Event event;
    const HANDLE done = self->workerDone.m_hObject;
    const HANDLE timer = self->repeatTimer;

    // Stop signal, repeat timer, event-ready signal. Without a timer the worker still runs
    // every event once; without either signal it could neither be woken nor stopped.
    HANDLE handles[3];
    WaitKind kinds[3];
    DWORD total = 0;
    const bool usable =
        self->stopSignal.m_hObject != nullptr && self->eventReady.m_hObject != nullptr;
    if (usable) {
        handles[total] = self->stopSignal.m_hObject;
        kinds[total++] = WaitStop;
        if (timer != nullptr) {
            handles[total] = timer;
            kinds[total++] = WaitTimer;
        }
        handles[total] = self->eventReady.m_hObject;
        kinds[total++] = WaitReady;
    }
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);

    bool repeating = false;  // repeating: new-event signals are ignored
    LONGLONG deadline = 0;   // when the armed tick is due, 100 ns units
    LONGLONG usualDelay = 0; // running average of the timer's wake-up delay, 100 ns units
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
        // The timer wakes the worker somewhat late; the next tick is armed earlier by the usual
        // delay so that it does not stretch every period. One late wake-up moves the average
        // only a little, so ticks are not made up; the function's own time still adds.
        if (kind == WaitTimer) {
            LONGLONG delay = self->now() - deadline;
            const LONGLONG limit = self->calculateTimeout() / 4;
            delay = delay < 0 ? 0 : delay > limit ? limit : delay;
            usualDelay += (delay - usualDelay) / 8;
        }
        if (kind == WaitReady) {
            self->getEvent(event);
            if (event.getEventType() == GLO_NoEvent) {
                // At rest: the multiplexer lets go of a held one-shot, so the next push fires.
                CScopedLock lock(self->configLock);
                self->multiplexer.getFunction(event);
                continue;
            }
        }
        {
            // A wake-up left by an event that this read takes (one that came in while
            // repeating) would run it a second time: a button function twice per press.
            CScopedLock lock(self->eventLock);
            self->eventReady.ResetEvent();
            self->getEvent(event);
        }
        GLO_EventType ran;
        {
            // Configuration changes wait until the function has returned.
            CScopedLock lock(self->configLock);
            ran = self->execute(event);
        }
        repeating = false;
        if (ran != GLO_NoEvent && ran != GLO_ButtonEvent && timer != nullptr) {
            const LONGLONG wait = self->calculateTimeout() - usualDelay;
            LARGE_INTEGER due;
            due.QuadPart = -wait;
            deadline = self->now() + wait;
            if (SetWaitableTimer(timer, &due, 0, nullptr, nullptr, FALSE)) {
                // Wake-ups that came in while the function ran are covered by the next tick.
                self->eventReady.ResetEvent();
                repeating = true;
            }
        }
    }

    if (timer != nullptr)
        CancelWaitableTimer(timer);
    if (SUCCEEDED(com))
        CoUninitialize();
    // Last touch of the object's resources: the destructor may go on from here.
    if (done != nullptr)
        SetEvent(done);
    return 0;
}
