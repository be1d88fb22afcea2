// A slot of each thread's own storage: unlike a thread_local of the compiler's, reading and
// writing it never allocates, also on a thread's first use. Null until set; where the system had
// no slot to give, writes do nothing and reads give null.
#pragma once

#include <windows.h>

namespace glo_runtime {

class CThreadSlot {
public:
    CThreadSlot() : index(TlsAlloc()) {}
    ~CThreadSlot() {
        if (index != TLS_OUT_OF_INDEXES)
            TlsFree(index);
    }
    CThreadSlot(const CThreadSlot&) = delete;
    CThreadSlot& operator=(const CThreadSlot&) = delete;

    // Keeps the thread's last error: it may be read between a plug-in's failing call and its
    // GetLastError, and TlsGetValue clears it.
    void* get() const {
        if (index == TLS_OUT_OF_INDEXES)
            return nullptr;
        const DWORD error = GetLastError();
        void* value = TlsGetValue(index);
        SetLastError(error);
        return value;
    }
    void set(void* value) const {
        if (index != TLS_OUT_OF_INDEXES)
            TlsSetValue(index, value);
    }

private:
    const DWORD index;
};

} // namespace glo_runtime
