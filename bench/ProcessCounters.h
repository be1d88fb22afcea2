// Resource counts of the running process (handles, threads, windows, heap and private memory,
// CPU time) and the wake-ups of its threads, for the soak and idle measurements.
//
// Wake-ups: Windows keeps no per-thread count that Wine reports, but under Wine every Windows
// thread is a Linux thread, whose context switches Linux counts in /proc (reached through the
// Z: drive). The process is found there by a unique name of the calling thread: Wine hands the
// description a thread gives itself on to Linux as the thread's name.
#pragma once

#include <windows.h>
// (need the types of windows.h)
#include <psapi.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace process_counters {

// Open handles of this process, or -1 when the system does not say.
inline long handleCount() {
    DWORD count = 0;
    if (GetProcessHandleCount(GetCurrentProcess(), &count) && count != 0)
        return static_cast<long>(count);
    // Wine answers the call above with 0; its system handle table is right.
    struct Entry {
        PVOID object;
        ULONG_PTR process;
        ULONG_PTR handle;
        ULONG access;
        USHORT backTrace;
        USHORT type;
        ULONG attributes;
        ULONG reserved;
    };
    struct Table {
        ULONG_PTR count;
        ULONG_PTR reserved;
        Entry entries[1];
    };
    typedef LONG(NTAPI * QueryProc)(ULONG, PVOID, ULONG, PULONG);
    const auto query = reinterpret_cast<QueryProc>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
    if (query == nullptr)
        return -1;
    std::vector<char> buffer(1 << 20);
    const ULONG kExtendedHandleInformation = 64;
    LONG status;
    ULONG needed = 0;
    while ((status = query(kExtendedHandleInformation, buffer.data(),
                           static_cast<ULONG>(buffer.size()), &needed)) ==
               static_cast<LONG>(0xC0000004L) &&
           buffer.size() < (256u << 20))
        buffer.resize(buffer.size() * 2);
    if (status != 0)
        return -1;
    const Table* table = reinterpret_cast<const Table*>(buffer.data());
    long mine = 0;
    for (ULONG_PTR i = 0; i < table->count; ++i)
        mine += table->entries[i].process == GetCurrentProcessId();
    return mine;
}

inline long threadCount() {
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return -1;
    THREADENTRY32 thread = {};
    thread.dwSize = sizeof(thread);
    long count = 0;
    for (BOOL more = Thread32First(snapshot, &thread); more; more = Thread32Next(snapshot, &thread))
        count += thread.th32OwnerProcessID == GetCurrentProcessId();
    CloseHandle(snapshot);
    return count;
}

// Identifiers of this process's threads.
inline std::vector<DWORD> threadIds() {
    std::vector<DWORD> ids;
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return ids;
    THREADENTRY32 thread = {};
    thread.dwSize = sizeof(thread);
    for (BOOL more = Thread32First(snapshot, &thread); more; more = Thread32Next(snapshot, &thread))
        if (thread.th32OwnerProcessID == GetCurrentProcessId())
            ids.push_back(thread.th32ThreadID);
    CloseHandle(snapshot);
    return ids;
}

// Top-level windows of this process (message-only windows are not counted).
inline long windowCount() {
    long count = 0;
    EnumWindows(
        [](HWND window, LPARAM counter) -> BOOL {
            DWORD process = 0;
            GetWindowThreadProcessId(window, &process);
            if (process == GetCurrentProcessId())
                ++*reinterpret_cast<long*>(counter);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&count));
    return count;
}

// Bytes in use in every heap of the process.
inline long long heapBytes() {
    HANDLE heaps[256];
    const DWORD n = GetProcessHeaps(256, heaps);
    long long busy = 0;
    for (DWORD i = 0; i < n && i < 256; ++i) {
        if (!HeapLock(heaps[i]))
            continue;
        PROCESS_HEAP_ENTRY entry = {};
        while (HeapWalk(heaps[i], &entry))
            if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY)
                busy += static_cast<long long>(entry.cbData);
        HeapUnlock(heaps[i]);
    }
    return busy;
}

// Kernel and user time of the process, milliseconds.
inline double cpuMilliseconds() {
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user))
        return -1;
    const auto value = [](const FILETIME& t) {
        return (static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    };
    return static_cast<double>(value(kernel) + value(user)) / 1e4;
}

// The Linux side of this process and its threads, when running under Wine.
class LinuxView {
public:
    // Finds the process by a unique name given to the calling thread.
    LinuxView() {
        const std::string name = uniqueName();
        if (!nameThread(GetCurrentThread(), name))
            return;
        // The main thread's name is the process's; other threads are looked for in the tasks.
        std::vector<std::string> processes;
        for (const std::string& process : entries("Z:\\proc\\*"))
            if (process.find_first_not_of("0123456789") == std::string::npos)
                processes.push_back(process);
        for (const std::string& process : processes) {
            if (firstLine("Z:\\proc\\" + process + "\\comm") == name) {
                root = "Z:\\proc\\" + process;
                self = root + "\\task\\" + process;
                return;
            }
        }
        for (const std::string& process : processes) {
            const std::string base = "Z:\\proc\\" + process;
            for (const std::string& task : entries(base + "\\task\\*")) {
                if (firstLine(base + "\\task\\" + task + "\\comm") == name) {
                    root = base;
                    self = base + "\\task\\" + task;
                    return;
                }
            }
        }
    }

    bool available() const { return !root.empty(); }
    // The /proc folder of the thread that made this view.
    const std::string& selfFolder() const { return self; }

    // Linux thread ids of the process's threads (a thread started between two calls is the
    // one new id).
    std::vector<std::string> taskIds() const { return entries(root + "\\task\\*"); }
    std::string taskFolder(const std::string& id) const { return root + "\\task\\" + id; }
    // The thread that gave itself `name` (nameThread), or an empty id.
    std::string taskNamed(const std::string& name) const {
        for (const std::string& task : taskIds())
            if (firstLine(taskFolder(task) + "\\comm") == name)
                return task;
        return "";
    }

    // Voluntary and involuntary context switches of one thread (its folder), or -1.
    static long long switches(const std::string& folder) {
        FILE* file = std::fopen((folder + "\\status").c_str(), "r");
        if (file == nullptr)
            return -1;
        long long total = -1;
        char line[256];
        while (std::fgets(line, sizeof line, file)) {
            const char* value = std::strstr(line, "ctxt_switches:");
            if (value != nullptr)
                total = (total < 0 ? 0 : total) + std::atoll(value + 14);
        }
        std::fclose(file);
        return total;
    }

    // Context switches of every thread of the process, by Linux thread id.
    std::vector<std::pair<std::string, long long>> allSwitches() const {
        std::vector<std::pair<std::string, long long>> result;
        for (const std::string& task : entries(root + "\\task\\*"))
            result.emplace_back(task, switches(root + "\\task\\" + task));
        return result;
    }

    // CPU time a thread (its folder) has run, nanoseconds; -1 when unknown.
    static long long cpuNanoseconds(const std::string& folder) {
        FILE* file = std::fopen((folder + "\\schedstat").c_str(), "r");
        if (file == nullptr)
            return -1;
        long long running = -1;
        if (std::fscanf(file, "%lld", &running) != 1)
            running = -1;
        std::fclose(file);
        return running;
    }

    // CPU time of every thread of the process, nanoseconds (threads that ended are not counted).
    long long processCpuNanoseconds() const {
        long long total = 0;
        for (const std::string& task : taskIds()) {
            const long long running = cpuNanoseconds(taskFolder(task));
            if (running > 0)
                total += running;
        }
        return total;
    }

    // Resident memory that no file backs (the private bytes Windows would count), or -1.
    long long anonymousBytes() const {
        FILE* file = std::fopen((root + "\\status").c_str(), "r");
        if (file == nullptr)
            return -1;
        long long kb = -1;
        char line[256];
        while (std::fgets(line, sizeof line, file))
            if (std::strncmp(line, "RssAnon:", 8) == 0)
                kb = std::atoll(line + 8);
        std::fclose(file);
        return kb < 0 ? -1 : kb * 1024;
    }

    static bool nameThread(HANDLE thread, const std::string& name) {
        typedef HRESULT(WINAPI * SetProc)(HANDLE, PCWSTR);
        const auto set = reinterpret_cast<SetProc>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetThreadDescription")));
        if (set == nullptr)
            return false;
        const std::wstring wide(name.begin(), name.end());
        return SUCCEEDED(set(thread, wide.c_str()));
    }

    // 15 characters, the most Linux keeps of a thread's name.
    static std::string uniqueName() {
        static LONG serial = 0;
        LARGE_INTEGER counter;
        QueryPerformanceCounter(&counter);
        const unsigned long long mixed =
            (static_cast<unsigned long long>(GetCurrentProcessId()) << 40) ^
            (static_cast<unsigned long long>(counter.QuadPart) << 8) ^
            static_cast<unsigned long long>(InterlockedIncrement(&serial));
        char name[16];
        std::snprintf(name, sizeof name, "g%014llx", mixed & 0xFFFFFFFFFFFFFFull);
        return name;
    }

private:
    static std::vector<std::string> entries(const std::string& pattern) {
        std::vector<std::string> names;
        WIN32_FIND_DATAA found;
        const HANDLE find = FindFirstFileA(pattern.c_str(), &found);
        if (find == INVALID_HANDLE_VALUE)
            return names;
        do {
            if (found.cFileName[0] != '.')
                names.push_back(found.cFileName);
        } while (FindNextFileA(find, &found));
        FindClose(find);
        return names;
    }

    static std::string firstLine(const std::string& path) {
        FILE* file = std::fopen(path.c_str(), "r");
        if (file == nullptr)
            return "";
        char line[64] = "";
        if (!std::fgets(line, sizeof line, file))
            line[0] = '\0';
        std::fclose(file);
        std::string text = line;
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
            text.pop_back();
        return text;
    }

    std::string root; // Z:\proc\<pid>
    std::string self; // Z:\proc\<pid>\task\<tid> of the thread that made the view
};

// Private bytes: what Windows counts, or under Wine (which counts nothing) the resident memory
// that no file backs; -1 when neither is known.
inline long long privateBytes(const LinuxView& view) {
    PROCESS_MEMORY_COUNTERS_EX counters = {};
    counters.cb = sizeof(counters);
    if (K32GetProcessMemoryInfo(GetCurrentProcess(),
                                reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                                sizeof(counters)) &&
        counters.PrivateUsage != 0)
        return static_cast<long long>(counters.PrivateUsage);
    return view.anonymousBytes();
}

} // namespace process_counters
