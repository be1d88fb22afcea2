// Memory and threads of the driver's process: first without the core, then with the core and the
// ten shipped plug-ins loaded through the entry points, at rest and while the cap holds Wine's
// notepad scrolling (the road of scroll_cpu_bench), and again after the core was closed and
// unloaded. The bench loads the core itself (it does not import it), as the driver does.
//
// Private memory is what Windows counts as private bytes, or under Wine (which counts nothing) the
// resident memory that no file backs. Under Wine that includes copies of the libraries' images
// (a library whose sections are not page-aligned is read into anonymous memory) and the part of
// every thread's stack that Wine touches; both are printed apart, so that what the core itself
// holds (heap, worker stacks as committed) can be told from them.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/BenchDriver.h"
#include "bench/BenchFigures.h"
#include "bench/BenchHome.h"
#include "bench/BenchNotepad.h"
#include "bench/ProcessCounters.h"
#include "ZuVidDriver.h"

namespace {

typedef void(WINAPI* InitProc)(std::uint32_t, const ZuVidCallbackTable*);
typedef std::int32_t(WINAPI* SendEventProc)(HWND, const ZuVidEventRecord*);
typedef void(WINAPI* CloseProc)(HWND);

const int kPush = -200; // raw z: pushing the cap away, halfway

struct Snapshot {
    long long privateBytes;
    long long heapBytes;
    long threads;
};

Snapshot take(const process_counters::LinuxView& linux) {
    return {process_counters::privateBytes(linux), process_counters::heapBytes(),
            process_counters::threadCount()};
}

double kib(long long bytes) {
    return bytes / 1024.0;
}

// Size of the image of a loaded module, from its headers.
long long imageBytes(HMODULE module) {
    if (module == nullptr)
        return 0;
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(module);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(
        reinterpret_cast<const BYTE*>(module) + dos->e_lfanew);
    return nt->OptionalHeader.SizeOfImage;
}

// A thread's stack: what it reserves, and what of it the system reports committed.
struct Stack {
    SIZE_T reserved = 0;
    SIZE_T committed = 0;
};

Stack stackOf(DWORD threadId) {
    Stack stack;
    typedef LONG(NTAPI * QueryProc)(HANDLE, int, PVOID, ULONG, PULONG);
    const auto query = reinterpret_cast<QueryProc>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationThread")));
    const HANDLE thread = OpenThread(THREAD_QUERY_INFORMATION, FALSE, threadId);
    if (query == nullptr || thread == nullptr) {
        if (thread != nullptr)
            CloseHandle(thread);
        return stack;
    }
    struct BasicInformation {
        LONG exitStatus;
        PVOID teb;
        PVOID clientId[2];
        ULONG_PTR affinity;
        LONG priority, basePriority;
    } basic = {};
    const bool read =
        query(thread, 0 /* ThreadBasicInformation */, &basic, sizeof(basic), nullptr) == 0 &&
        basic.teb != nullptr;
    CloseHandle(thread);
    if (!read)
        return stack;
    // The stack's top from the thread's information block, its bottom (the whole reservation)
    // from the allocation that holds it.
    const BYTE* top = static_cast<const BYTE*>(static_cast<const NT_TIB*>(basic.teb)->StackBase);
    MEMORY_BASIC_INFORMATION region;
    if (VirtualQuery(top - 1, &region, sizeof(region)) == 0)
        return stack;
    const BYTE* bottom = static_cast<const BYTE*>(region.AllocationBase);
    stack.reserved = static_cast<SIZE_T>(top - bottom);
    for (const BYTE* at = bottom; at < top;) {
        if (VirtualQuery(at, &region, sizeof(region)) == 0)
            break;
        const BYTE* end = static_cast<const BYTE*>(region.BaseAddress) + region.RegionSize;
        if (region.State == MEM_COMMIT)
            stack.committed += static_cast<SIZE_T>((end < top ? end : top) - at);
        at = end;
    }
    return stack;
}

// What a thread costs the process by itself: threads that only wait, as idle workers do.
long long bareThreadBytes(const process_counters::LinuxView& linux, int count) {
    const HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    const long long before = process_counters::privateBytes(linux);
    std::vector<HANDLE> threads;
    for (int i = 0; i < count; ++i)
        threads.push_back(CreateThread(
            nullptr, 0, [](LPVOID event) -> DWORD { return WaitForSingleObject(event, INFINITE); },
            release, 0, nullptr));
    Sleep(300);
    const long long with = process_counters::privateBytes(linux);
    SetEvent(release);
    for (HANDLE thread : threads) {
        WaitForSingleObject(thread, 5000);
        CloseHandle(thread);
    }
    CloseHandle(release);
    return (with - before) / count;
}

struct Core {
    HMODULE module = nullptr;
    InitProc init = nullptr;
    SendEventProc sendEvent = nullptr;
    CloseProc close = nullptr;

    bool load() {
        module = LoadLibraryW(L"Glo_core_proxy.dll");
        init = reinterpret_cast<InitProc>(
            reinterpret_cast<void*>(GetProcAddress(module, "ZuVidInit")));
        sendEvent = reinterpret_cast<SendEventProc>(
            reinterpret_cast<void*>(GetProcAddress(module, "ZuVidSendEvent")));
        close = reinterpret_cast<CloseProc>(
            reinterpret_cast<void*>(GetProcAddress(module, "ZuVidCloseHdl")));
        return init != nullptr && sendEvent != nullptr && close != nullptr;
    }
    void start() {
        ZuVidCallbackTable table = {};
        table.size = sizeof(table);
        table.registerWindow = &bench::registerWindow;
        table.getDeviceName = &bench::getDeviceName;
        table.getVersion = &bench::getVersion;
        bench::coreWindow() = nullptr;
        init(1, &table);
    }
    void unload() {
        close(bench::coreWindow());
        FreeLibrary(module);
        module = nullptr;
    }
};

} // namespace

int main() {
    process_counters::LinuxView linux;
    if (!linux.available()) {
        std::printf("the process's threads are not visible in /proc (not under Wine?)\n");
        return 1;
    }
    bench::ShippedHome home(L"glo_memory_bench");
    if (!home.isComplete()) {
        std::printf("shipped plug-ins missing in ../plugins (build plugins/)\n");
        return 1;
    }
    bench::Notepad notepad(20000);
    if (!notepad.ready()) {
        std::printf("notepad did not come up in front under the cursor\n");
        return 1;
    }
    // Windows counts private bytes itself; under Wine the figure is resident anonymous memory,
    // which also holds the libraries' images.
    PROCESS_MEMORY_COUNTERS_EX counters = {};
    counters.cb = sizeof(counters);
    const bool imagesArePrivate =
        !K32GetProcessMemoryInfo(GetCurrentProcess(),
                                 reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                                 sizeof(counters)) ||
        counters.PrivateUsage == 0;
    const long long perThread = bareThreadBytes(linux, bench::kShippedCount);
    Sleep(300);
    const Snapshot without = take(linux);

    Core core;
    if (!core.load()) {
        std::printf("Glo_core_proxy.dll or its entry points not found\n");
        return 1;
    }
    const std::vector<DWORD> threadsBefore = process_counters::threadIds();
    // The threads the core added: at rest none (a worker starts with its plug-in's first event).
    const auto newThreads = [&threadsBefore] {
        std::vector<DWORD> added;
        for (DWORD id : process_counters::threadIds())
            if (std::find(threadsBefore.begin(), threadsBefore.end(), id) == threadsBefore.end())
                added.push_back(id);
        return added;
    };
    core.start();
    const std::vector<DWORD> atRest = newThreads();
    long long images = imageBytes(core.module);
    for (const wchar_t* plugin : bench::kShippedPlugins)
        images += imageBytes(GetModuleHandleW((std::wstring(plugin) + L".dll").c_str()));
    Sleep(1000);
    const Snapshot idle = take(linux);

    // Scrolling: the snapshot is taken while the cap is still pushed.
    const HWND text = notepad.textWindow();
    const ZuVidEventRecord push = {ZUVID_EVENT_MOTION, {}, 0, 0, {0, 0, kPush, 0, 0, 0}};
    const ZuVidEventRecord rest = {ZUVID_EVENT_ZERO, {}, 0, 0, {}};
    const long firstLine = notepad.firstVisibleLine();
    for (int i = 0; i < 375; ++i) { // 3 s
        core.sendEvent(text, &push);
        Sleep(8);
    }
    const Snapshot scrolling = take(linux);
    const std::vector<DWORD> workers = newThreads();
    core.sendEvent(text, &rest);
    const long lines = notepad.firstVisibleLine() - firstLine;

    Stack largest;
    for (DWORD id : workers) {
        const Stack stack = stackOf(id);
        if (stack.committed >= largest.committed)
            largest = stack;
    }

    core.unload();
    Sleep(1000);
    const Snapshot closed = take(linux);
    // Once more: what a second start and close leaves behind.
    core.load();
    core.start();
    Sleep(300);
    core.unload();
    Sleep(1000);
    const Snapshot again = take(linux);

    const long long gained = idle.privateBytes - without.privateBytes;
    // Scrolling starts the text editor plug-in's worker: its stack as Wine touches it is the
    // thread's, not what the gesture holds.
    const long long scrollingGained =
        scrolling.privateBytes - idle.privateBytes - perThread * (scrolling.threads - idle.threads);
    const long long own = gained - (imagesArePrivate ? images : 0) -
                          perThread * static_cast<long long>(atRest.size());
    std::printf("without the core: private %.0f KiB, heap %.0f KiB, %ld threads; a thread that "
                "only waits costs %.0f KiB\n",
                kib(without.privateBytes), kib(without.heapBytes), without.threads, kib(perThread));
    std::printf("ten plug-ins at rest: private +%.0f KiB (the libraries' images %.0f KiB%s, %zu "
                "worker threads), heap +%.0f KiB, +%ld threads; the core's own: %.0f KiB\n",
                kib(gained), kib(images), imagesArePrivate ? " of it" : ", not counted as private",
                atRest.size(), kib(idle.heapBytes - without.heapBytes),
                idle.threads - without.threads, kib(own));
    std::printf("while scrolling (%ld lines): private %+.0f KiB (%+.0f KiB beyond the started "
                "worker's thread), heap %+.0f KiB, %+ld threads over rest\n",
                lines, kib(scrolling.privateBytes - idle.privateBytes), kib(scrollingGained),
                kib(scrolling.heapBytes - idle.heapBytes), scrolling.threads - idle.threads);
    std::printf("a worker's stack: %.0f KiB reserved, %.0f KiB committed as the system reports "
                "it\n",
                kib(largest.reserved), kib(largest.committed));
    std::printf("after closing and unloading: private %+.0f KiB, heap %+.0f KiB, %+ld threads "
                "against the process without the core; a second start and close: heap %+.0f "
                "KiB more\n",
                kib(closed.privateBytes - without.privateBytes),
                kib(closed.heapBytes - without.heapBytes), closed.threads - without.threads,
                kib(again.heapBytes - closed.heapBytes));

    benchFigure("process without the core, private memory", kib(without.privateBytes), 0, "KiB");
    benchFigure("ten plug-ins at rest, private memory gained", kib(gained), 0, "KiB");
    // The ten applications (about 20 KiB each), their tables, the worker bookkeeping and the
    // core window: a few hundred KiB.
    benchFigure("ten plug-ins at rest, beyond images and thread stacks", kib(own), 0, "KiB",
                "<= 512");
    // A worker starts with its plug-in's first event: none at rest, one for the program
    // scrolled.
    benchFigure("ten plug-ins at rest, threads gained",
                static_cast<double>(idle.threads - without.threads), 0, "threads", "<= 0");
    benchFigure("while scrolling, threads gained over rest",
                static_cast<double>(scrolling.threads - idle.threads), 0, "threads", "<= 1");
    // Nothing is allocated per event: at most pages touched once by the gesture's code, and the
    // stack of the one worker started.
    benchFigure("while scrolling, private memory gained over rest, beyond the worker's thread",
                kib(scrollingGained), 0, "KiB", "<= 256");
    benchFigure("a worker's stack, reserved", kib(largest.reserved), 0, "KiB");
    benchFigure("a worker's stack, committed", kib(largest.committed), 0, "KiB");
    benchFigure("after closing, threads left",
                static_cast<double>(closed.threads - without.threads), 0, "threads", "<= 0");
    benchFigure("heap left by a second start and close", kib(again.heapBytes - closed.heapBytes), 0,
                "KiB");
    return lines > 0 && !workers.empty() ? 0 : 1;
}
