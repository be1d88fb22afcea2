// The event path must not allocate: the library's calls into the C runtime's
// allocator are counted by redirecting its import table entries.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "FakeDriver.h"

using namespace fake;

namespace {

long g_allocations = 0;
void* (*g_malloc)(size_t) = nullptr;
void* (*g_calloc)(size_t, size_t) = nullptr;
void* (*g_realloc)(void*, size_t) = nullptr;
LPVOID(WINAPI* g_heapAlloc)(HANDLE, DWORD, SIZE_T) = nullptr;

void* countMalloc(size_t n) {
    ++g_allocations;
    return g_malloc(n);
}
void* countCalloc(size_t n, size_t size) {
    ++g_allocations;
    return g_calloc(n, size);
}
void* countRealloc(void* p, size_t n) {
    ++g_allocations;
    return g_realloc(p, n);
}
LPVOID WINAPI countHeapAlloc(HANDLE heap, DWORD flags, SIZE_T n) {
    ++g_allocations;
    return g_heapAlloc(heap, flags, n);
}

// Replaces the import `name` of `module` by `replacement`; returns the old entry.
void* patchImport(HMODULE module, const char* name, void* replacement) {
    auto* base = reinterpret_cast<BYTE*>(module);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(
        base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    auto* desc = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress);
    for (; desc->Name; ++desc) {
        if (!desc->OriginalFirstThunk)
            continue;
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + desc->OriginalFirstThunk);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + desc->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal))
                continue;
            auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (std::strcmp(reinterpret_cast<const char*>(byName->Name), name) != 0)
                continue;
            DWORD old;
            VirtualProtect(&slots->u1.Function, sizeof(void*), PAGE_READWRITE, &old);
            void* previous = reinterpret_cast<void*>(slots->u1.Function);
            slots->u1.Function = reinterpret_cast<ULONG_PTR>(replacement);
            VirtualProtect(&slots->u1.Function, sizeof(void*), old, &old);
            return previous;
        }
    }
    return nullptr;
}

template <typename F> void patch(HMODULE dll, const char* name, F& original, F replacement) {
    void* previous = patchImport(dll, name, reinterpret_cast<void*>(replacement));
    if (previous)
        original = reinterpret_cast<F>(previous);
}

template <typename F> void unpatch(HMODULE dll, const char* name, F original) {
    if (original)
        patchImport(dll, name, reinterpret_cast<void*>(original));
}

class NoHeap : public ProxyTest {};

TEST_F(NoHeap, SendEventPathAllocatesNothing) {
    HMODULE dll = GetModuleHandleW(L"Glo_core_proxy.dll");
    ASSERT_TRUE(dll);
    driver().deviceType = 21; // the non-linear curve too
    start();
    HWND clone = CreateWindowExW(0, L"STATIC", L"clone", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                 nullptr, nullptr);
    SendMessageW(coreWindow(), message(GDR_MSG_REGISTERCLONE), reinterpret_cast<WPARAM>(clone), 0);
    HWND target = CreateWindowExW(0, L"STATIC", L"Document", WS_POPUP, 0, 0, 10, 10, nullptr,
                                  nullptr, nullptr, nullptr);
    driver().lines.reserve(1000);

    patch(dll, "malloc", g_malloc, &countMalloc);
    patch(dll, "calloc", g_calloc, &countCalloc);
    patch(dll, "realloc", g_realloc, &countRealloc);
    patch(dll, "HeapAlloc", g_heapAlloc, &countHeapAlloc);
    // The library's operator new ends in its malloc import, so this slot sees every allocation.
    ASSERT_TRUE(g_malloc) << "the library no longer imports malloc: adjust the test";
    g_allocations = 0;

    ZuVidEventRecord records[4] = {};
    records[0].type = 2;
    for (int i = 0; i < 6; ++i)
        records[0].motion[i] = 300 * (i - 3);
    records[1].type = 1;
    records[1].pressed = 0x8;
    records[2].type = 1;
    records[2].released = 0x8;
    records[3].type = 4;
    for (int round = 0; round < 50; ++round) {
        for (const ZuVidEventRecord& r : records)
            ZuVidSendEvent(target, &r);
    }
    SendMessageW(coreWindow(), message(GDR_MSG_DEBUGEVENT), 0x00010203, 0x04050607);
    const long counted = g_allocations;

    unpatch(dll, "malloc", g_malloc);
    unpatch(dll, "calloc", g_calloc);
    unpatch(dll, "realloc", g_realloc);
    unpatch(dll, "HeapAlloc", g_heapAlloc);
    EXPECT_EQ(counted, 0);
    EXPECT_EQ(driver().lines.size(), 400u);
    DestroyWindow(target);
    DestroyWindow(clone);
}

} // namespace
