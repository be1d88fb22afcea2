// Owners of the kernel and registry handles the navigation functions open.
#pragma once

#include <windows.h>

namespace glo_functions {

class CScopedHandle {
public:
    explicit CScopedHandle(HANDLE handle = nullptr) : handle(handle) {}
    ~CScopedHandle() {
        if (handle != nullptr && handle != INVALID_HANDLE_VALUE)
            CloseHandle(handle);
    }
    CScopedHandle(const CScopedHandle&) = delete;
    CScopedHandle& operator=(const CScopedHandle&) = delete;
    HANDLE get() const { return handle; }

private:
    HANDLE handle;
};

class CScopedKey {
public:
    CScopedKey() : key(nullptr) {}
    ~CScopedKey() {
        if (key != nullptr)
            RegCloseKey(key);
    }
    CScopedKey(const CScopedKey&) = delete;
    CScopedKey& operator=(const CScopedKey&) = delete;
    HKEY* receive() { return &key; }
    HKEY get() const { return key; }

private:
    HKEY key;
};

} // namespace glo_functions
