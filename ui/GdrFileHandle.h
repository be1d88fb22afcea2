// Owner of a file handle the dialog opens (the cap model, a saved configuration file).
#pragma once

#include <windows.h>

class CGdrFileHandle {
public:
    explicit CGdrFileHandle(HANDLE handle) : m_handle(handle) {}
    ~CGdrFileHandle() {
        if (m_handle != INVALID_HANDLE_VALUE && m_handle != nullptr)
            CloseHandle(m_handle);
    }
    CGdrFileHandle(const CGdrFileHandle&) = delete;
    CGdrFileHandle& operator=(const CGdrFileHandle&) = delete;
    HANDLE get() const { return m_handle; }

private:
    HANDLE m_handle;
};
