// The driver's process runs in the realtime class so that device events are
// never starved; its threads are remapped so that only the event path is high.
#include "GdrProxy.h"

#include <tlhelp32.h>

int CGdrProxy::priorityForBasePriority(int basePriority) {
    switch (basePriority) {
    case 14:
        return -5;
    case 15:
        return -4;
    default:
        return THREAD_PRIORITY_IDLE;
    }
}

int CGdrProxy::adjustedThreadPriority(int currentPriority) {
    switch (currentPriority) {
    case THREAD_PRIORITY_IDLE:
    case THREAD_PRIORITY_LOWEST:
    case THREAD_PRIORITY_BELOW_NORMAL:
    case THREAD_PRIORITY_NORMAL:
        return THREAD_PRIORITY_IDLE;
    case THREAD_PRIORITY_ABOVE_NORMAL:
        return -5;
    case THREAD_PRIORITY_HIGHEST:
    case THREAD_PRIORITY_TIME_CRITICAL:
        return -4;
    default:
        return currentPriority;
    }
}

int CGdrProxy::raiseProcessPriority() {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return 0;
    const DWORD processId = GetCurrentProcessId();
    HANDLE process = GetCurrentProcess();
    SetPriorityClass(process, REALTIME_PRIORITY_CLASS);
    if (GetPriorityClass(process) != REALTIME_PRIORITY_CLASS) {
        CloseHandle(snapshot);
        return 0;
    }
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof(entry);
    if (!Thread32First(snapshot, &entry)) {
        CloseHandle(snapshot);
        return 0;
    }
    int result = 1;
    do {
        if (entry.th32OwnerProcessID != processId)
            continue;
        HANDLE thread = OpenThread(THREAD_SET_INFORMATION, FALSE, entry.th32ThreadID);
        if (!thread) {
            result = 0;
            continue;
        }
        if (!SetThreadPriority(thread, priorityForBasePriority(entry.tpBasePri)))
            result = 0;
        CloseHandle(thread);
    } while (Thread32Next(snapshot, &entry));
    CloseHandle(snapshot);
    return result;
}

// Runs under the loader lock, which every thread that starts or loads a library waits for: a
// level the table keeps (a plug-in's worker, given its level before it first ran) is left without
// asking for the process's class or setting it again.
void CGdrProxy::adjustThreadPriority() {
    HANDLE thread = GetCurrentThread();
    const int current = GetThreadPriority(thread);
    if (current == THREAD_PRIORITY_ERROR_RETURN)
        return;
    const int adjusted = adjustedThreadPriority(current);
    if (adjusted == current || GetPriorityClass(GetCurrentProcess()) != REALTIME_PRIORITY_CLASS)
        return;
    SetThreadPriority(thread, adjusted);
}
