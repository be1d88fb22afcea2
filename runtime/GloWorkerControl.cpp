#include "runtime/GloWorkerControl.h"

#include <new>

#include "GloEvent.h"
#include "GloPluginThread.h"
#include "runtime/GloFaultGuard.h"

namespace {
SRWLOCK s_registryLock = SRWLOCK_INIT;
CGlo_WorkerControl* s_registry = nullptr;
// The core's own code ends soon after a stop's budget; beyond this something is broken, and the
// driver's thread goes on where the application can be left to the worker.
const DWORD kHardLimitMs = 10000;
const DWORD kPollMs = 20;

class CSection {
public:
    explicit CSection(CRITICAL_SECTION& section) : section(section) {
        EnterCriticalSection(&section);
    }
    ~CSection() { LeaveCriticalSection(&section); }
    CSection(const CSection&) = delete;
    CSection& operator=(const CSection&) = delete;

private:
    CRITICAL_SECTION& section;
};
} // namespace

CGlo_WorkerControl::CGlo_WorkerControl(CGlo_PluginThread* application)
    : references(1), leftSignal(nullptr), stopSignal(nullptr), retryTimer(nullptr),
      codeModule(nullptr), phase(NotBegun), ownCodeDepth(0), abandoned(false), stopRequested(false),
      stopDeadline(0), giveBackProc(nullptr), handedOverUnload(nullptr), handedOverLibrary(nullptr),
      application(application), owner(application), next(nullptr) {
    InitializeCriticalSection(&lock);
}

CGlo_WorkerControl::~CGlo_WorkerControl() {
    if (leftSignal != nullptr)
        CloseHandle(leftSignal);
    if (stopSignal != nullptr)
        CloseHandle(stopSignal);
    if (retryTimer != nullptr)
        CloseHandle(retryTimer);
    DeleteCriticalSection(&lock);
}

CGlo_WorkerControl* CGlo_WorkerControl::create(CGlo_PluginThread* application) {
    CGlo_WorkerControl* control = new (std::nothrow) CGlo_WorkerControl(application);
    if (control == nullptr)
        return nullptr;
    AcquireSRWLockExclusive(&s_registryLock);
    control->next = s_registry;
    s_registry = control;
    ReleaseSRWLockExclusive(&s_registryLock);
    return control;
}

bool CGlo_WorkerControl::beginWorker(HANDLE applicationStop) {
    CSection section(lock);
    if (phase != NotBegun || stopRequested || applicationStop == nullptr)
        return false;
    if (!DuplicateHandle(GetCurrentProcess(), applicationStop, GetCurrentProcess(), &stopSignal, 0,
                         FALSE, DUPLICATE_SAME_ACCESS)) {
        stopSignal = nullptr;
        return false;
    }
    // The worker runs this library's code to its very end: keep the library loaded until then.
    HMODULE module = nullptr;
    if (GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                           reinterpret_cast<LPCWSTR>(&CGlo_WorkerControl::create), &module)) {
        if (module == GetModuleHandleW(nullptr))
            FreeLibrary(module); // linked into the program: nothing to keep
        else
            codeModule = module;
    }
    InterlockedIncrement(&references);
    phase = InApplication;
    return true;
}

void CGlo_WorkerControl::workerNotStarted() {
    HMODULE module;
    {
        CSection section(lock);
        phase = Left;
        module = codeModule;
        codeModule = nullptr;
        if (leftSignal != nullptr)
            SetEvent(leftSignal);
    }
    if (module != nullptr)
        FreeLibrary(module);
    release();
}

CGlo_WorkerControl* CGlo_WorkerControl::find(const CGlo_Application* owner) {
    if (owner == nullptr)
        return nullptr;
    AcquireSRWLockShared(&s_registryLock);
    CGlo_WorkerControl* found = s_registry;
    while (found != nullptr && found->owner != owner)
        found = found->next;
    if (found != nullptr)
        InterlockedIncrement(&found->references);
    ReleaseSRWLockShared(&s_registryLock);
    return found;
}

void CGlo_WorkerControl::unregister() {
    AcquireSRWLockExclusive(&s_registryLock);
    for (CGlo_WorkerControl** link = &s_registry; *link != nullptr; link = &(*link)->next) {
        if (*link == this) {
            *link = next;
            break;
        }
    }
    owner = nullptr;
    next = nullptr;
    ReleaseSRWLockExclusive(&s_registryLock);
}

void CGlo_WorkerControl::release() {
    if (InterlockedDecrement(&references) != 0)
        return;
    unregister();
    delete this;
}

void CGlo_WorkerControl::requestStop() {
    {
        CSection section(lock);
        if (!stopRequested) {
            stopRequested = true;
            stopDeadline = GetTickCount64() + kStopWaitMs;
        }
        if (stopSignal != nullptr)
            SetEvent(stopSignal); // no worker before beginWorker(): nobody waits on it
    }
}

void CGlo_WorkerControl::setGiveBack(GiveBackProc proc) {
    CSection section(lock);
    giveBackProc = proc;
}

void CGlo_WorkerControl::giveBack() {
    GiveBackProc proc;
    {
        CSection section(lock);
        proc = abandoned ? nullptr : giveBackProc;
    }
    if (proc != nullptr && proc(*application))
        giveBackSoon();
}

void CGlo_WorkerControl::giveBackSoon() {
    CSection section(lock);
    if (retryTimer == nullptr)
        return;
    LARGE_INTEGER due;
    due.QuadPart = -static_cast<LONGLONG>(kGiveBackRetryMs) * 10000; // relative, 100 ns units
    SetWaitableTimer(retryTimer, &due, 0, nullptr, nullptr, FALSE);
}

// Made by the worker rather than with the control: the thread that makes the application (the
// driver's, loading every plug-in as it starts) is spared one kernel object per plug-in.
HANDLE CGlo_WorkerControl::giveBackTimer() {
    CSection section(lock);
    if (retryTimer == nullptr)
        retryTimer = CreateWaitableTimerW(nullptr, FALSE, nullptr);
    return retryTimer;
}

bool CGlo_WorkerControl::enterApplication() {
    CSection section(lock);
    if (abandoned)
        return false;
    ++ownCodeDepth;
    return true;
}

void CGlo_WorkerControl::leaveApplication() {
    CSection section(lock);
    if (ownCodeDepth > 0)
        --ownCodeDepth;
}

DWORD CGlo_WorkerControl::timeBeforeStop() {
    CSection section(lock);
    if (!stopRequested)
        return INFINITE;
    const ULONGLONG now = GetTickCount64();
    return now < stopDeadline ? static_cast<DWORD>(stopDeadline - now) : 0;
}

bool CGlo_WorkerControl::call(void (*function)(const CGlo_Event&), const CGlo_Event& event) {
    {
        CSection section(lock);
        if (abandoned)
            return false;
        phase = InFunction;
    }
    struct Call {
        void (*function)(const CGlo_Event&);
        const CGlo_Event& event;
        void operator()() const { function(event); }
    } invocation = {function, event};
    glo_guard::Fault fault;
    const bool completed =
        function == nullptr ||
        glo_guard::call(invocation, fault, reinterpret_cast<const void*>(function));
    CSection section(lock);
    phase = InApplication;
    ownCodeDepth = 0; // a function that faulted inside the core's own code did not leave it
    if (!completed && !abandoned) {
        // Still owned by the application (it waits for this worker to leave): its name can be
        // read once more for the report.
        glo_guard::postReport(application, application->getName(), nullptr, L"a function", fault);
        abandoned = true;
    }
    return !abandoned;
}

void CGlo_WorkerControl::leave() {
    CSection section(lock);
    phase = Left;
    if (leftSignal != nullptr)
        SetEvent(leftSignal);
}

bool CGlo_WorkerControl::isAbandoned() {
    CSection section(lock);
    return abandoned;
}

void CGlo_WorkerControl::abandonFromWorker() {
    CSection section(lock);
    abandoned = true;
}

void CGlo_WorkerControl::runHandedOverUnload() {
    UnloadProc unload;
    HMODULE library;
    {
        CSection section(lock);
        unload = handedOverUnload;
        library = handedOverLibrary;
        handedOverUnload = nullptr;
        handedOverLibrary = nullptr;
    }
    glo_guard::Fault fault;
    if (unload != nullptr &&
        !glo_guard::call(unload, fault, reinterpret_cast<const void*>(unload))) {
        // Its code may still be in use: the library stays.
        glo_guard::postReport(nullptr, nullptr, library, L"unload", fault);
        return;
    }
    if (library != nullptr)
        FreeLibrary(library);
}

void CGlo_WorkerControl::exitWorker(DWORD code) {
    HMODULE module = codeModule;
    release();
    if (module != nullptr)
        FreeLibraryAndExitThread(module, code);
    ExitThread(code);
}

CGlo_WorkerControl::StopResult CGlo_WorkerControl::waitForLeave(DWORD timeoutMs, UnloadProc unload,
                                                                HMODULE library) {
    const DWORD start = GetTickCount();
    // Made only when someone waits: most workers are made and started without ever being waited
    // for until the end. Without it the wait looks again every kPollMs.
    HANDLE left;
    {
        CSection section(lock);
        if (phase == Left || phase == NotBegun)
            return WorkerLeft;
        if (leftSignal == nullptr)
            leftSignal = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        left = leftSignal;
    }
    for (;;) {
        const DWORD elapsed = GetTickCount() - start;
        DWORD wait = elapsed < timeoutMs ? timeoutMs - elapsed : 0;
        if (wait == 0) {
            CSection section(lock);
            if (phase == Left)
                return WorkerLeft;
            // Plug-in code may never come back. The core's own code touches the application
            // and ends soon after the stop's budget: giving up on it would let it write into a
            // destroyed object, unless the object's unload is left to the worker.
            const bool handOver = unload != nullptr || library != nullptr;
            if ((phase == InFunction && ownCodeDepth == 0) ||
                (handOver && elapsed >= kHardLimitMs)) {
                if (handOver) {
                    handedOverUnload = unload;
                    handedOverLibrary = library;
                } else {
                    abandoned = true;
                }
                return WorkerInFunction;
            }
            wait = kPollMs;
        }
        if (left == nullptr) {
            CSection section(lock);
            if (phase == Left)
                return WorkerLeft;
            if (wait > kPollMs)
                wait = kPollMs;
        }
        const DWORD count = left != nullptr ? 1 : 0;
        const DWORD result = MsgWaitForMultipleObjects(count, &left, FALSE, wait, QS_SENDMESSAGE);
        if (count == 1 && result == WAIT_OBJECT_0)
            return WorkerLeft;
        if (result == WAIT_OBJECT_0 + count) {
            MSG message; // delivers the messages sent to this thread
            PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        } else if (result == WAIT_FAILED) {
            Sleep(kPollMs);
        }
    }
}
