// Counts the heap calls a loaded module makes, by redirecting the entries of its import table
// for the C runtime's allocators and the Win32 heap functions. Unlike a replaced operator new
// in the calling executable, this sees what the DLL itself allocates (it carries its own
// statically linked C++ runtime). Tests can also make those allocations fail, and have the
// blocks the module frees filled with a pattern: the heap hands small freed blocks back
// unchanged, so a read after free would otherwise go unnoticed.
#pragma once

#include <windows.h>

#include <malloc.h>
#include <cstring>

namespace heap_call_counter {

inline volatile LONG& calls() {
    static volatile LONG n = 0;
    return n;
}

// Only the installing thread's calls count (0: every thread's): other threads of the process may
// allocate freely.
inline DWORD& countedThread() {
    static DWORD id = 0;
    return id;
}

// When not 0, the counted thread's allocations of at least this many bytes fail, as when
// memory runs out. Smaller ones still succeed: throwing std::bad_alloc needs them.
inline volatile size_t& failingFrom() {
    static volatile size_t bytes = 0;
    return bytes;
}

// While set, every block the module frees is filled with 0xFE first.
inline volatile bool& poisoning() {
    static volatile bool poison = false;
    return poison;
}

// Counts the call; true when it is to fail.
inline bool note(size_t bytes) {
    if (countedThread() != 0 && GetCurrentThreadId() != countedThread())
        return false;
    InterlockedIncrement(&calls());
    return failingFrom() != 0 && bytes >= failingFrom();
}

struct Originals {
    void* (*malloc_)(size_t) = nullptr;
    void* (*calloc_)(size_t, size_t) = nullptr;
    void* (*realloc_)(void*, size_t) = nullptr;
    LPVOID(WINAPI* heapAlloc)(HANDLE, DWORD, SIZE_T) = nullptr;
    LPVOID(WINAPI* heapReAlloc)(HANDLE, DWORD, LPVOID, SIZE_T) = nullptr;
    void (*free_)(void*) = nullptr;
};

inline Originals& originals() {
    static Originals o;
    return o;
}

inline void* countedMalloc(size_t n) {
    return note(n) ? nullptr : originals().malloc_(n);
}
inline void* countedCalloc(size_t n, size_t size) {
    return note(n * size) ? nullptr : originals().calloc_(n, size);
}
inline void* countedRealloc(void* p, size_t n) {
    return note(n) ? nullptr : originals().realloc_(p, n);
}
inline LPVOID WINAPI countedHeapAlloc(HANDLE heap, DWORD flags, SIZE_T n) {
    return note(n) ? nullptr : originals().heapAlloc(heap, flags, n);
}
inline LPVOID WINAPI countedHeapReAlloc(HANDLE heap, DWORD flags, LPVOID p, SIZE_T n) {
    return note(n) ? nullptr : originals().heapReAlloc(heap, flags, p, n);
}
// Not counted: releasing memory is no allocation.
inline void poisonedFree(void* p) {
    if (p != nullptr && poisoning())
        std::memset(p, 0xFE, _msize(p));
    originals().free_(p);
}

template <typename F> inline void patch(void** slot, F replacement, F& original) {
    DWORD old = 0;
    if (!VirtualProtect(slot, sizeof(void*), PAGE_READWRITE, &old))
        return;
    if (original == nullptr)
        original = reinterpret_cast<F>(*slot);
    *slot = reinterpret_cast<void*>(replacement);
    VirtualProtect(slot, sizeof(void*), old, &old);
}

// Redirects the allocators that module imports and counts the calling thread's calls (with
// `allThreads`, the module's calls on any thread); returns how many import entries were
// redirected (0 means nothing could be observed).
inline int install(HMODULE module, bool allThreads = false) {
    if (module == nullptr)
        return 0;
    BYTE* base = reinterpret_cast<BYTE*>(module);
    auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (dir.VirtualAddress == 0)
        return 0;
    countedThread() = allThreads ? 0 : GetCurrentThreadId();
    int patched = 0;
    Originals& o = originals();
    for (auto* d = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress);
         d->Name != 0; ++d) {
        if (d->OriginalFirstThunk == 0)
            continue;
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->OriginalFirstThunk);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->FirstThunk);
        for (; names->u1.AddressOfData != 0; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal))
                continue;
            const char* name = reinterpret_cast<const char*>(
                reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData)->Name);
            void** slot = reinterpret_cast<void**>(&slots->u1.Function);
            if (std::strcmp(name, "malloc") == 0) {
                patch(slot, &countedMalloc, o.malloc_);
            } else if (std::strcmp(name, "calloc") == 0) {
                patch(slot, &countedCalloc, o.calloc_);
            } else if (std::strcmp(name, "realloc") == 0) {
                patch(slot, &countedRealloc, o.realloc_);
            } else if (std::strcmp(name, "HeapAlloc") == 0) {
                patch(slot, &countedHeapAlloc, o.heapAlloc);
            } else if (std::strcmp(name, "HeapReAlloc") == 0) {
                patch(slot, &countedHeapReAlloc, o.heapReAlloc);
            } else if (std::strcmp(name, "free") == 0) {
                patch(slot, &poisonedFree, o.free_);
            } else {
                continue;
            }
            ++patched;
        }
    }
    return patched;
}

inline LONG count() {
    return calls();
}

} // namespace heap_call_counter
