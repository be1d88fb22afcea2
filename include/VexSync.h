// Synchronisation objects and lock holders of the plug-in interface.
//
// Each object wraps one system object (semaphore, mutex, event, critical section) and keeps
// nothing beyond its handle. The lock holders remember what they acquired and release it when
// they are destroyed. None of these classes can be copied: a copy would close the handle twice.
#pragma once

#include <windows.h>

#include "GloExport.h"

namespace _Vex {

// Base of the waitable objects; the handle is null when the object could not be created.
class GLO_API CSyncObject {
public:
    explicit CSyncObject(LPCWSTR pstrName);
    CSyncObject(const CSyncObject&) = delete;
    CSyncObject& operator=(const CSyncObject&) = delete;

    // TRUE only when the wait reports the object signalled; time-out and failure give FALSE.
    virtual BOOL Lock(DWORD dwTimeout = INFINITE);
    // Objects that count (semaphores) release lCount units; the base does nothing.
    virtual BOOL Unlock(LONG lCount, LPLONG lpPrevCount = nullptr);
    virtual BOOL Unlock() = 0;
    virtual ~CSyncObject();

    operator HANDLE() const { return m_hObject; }

    HANDLE m_hObject;
};

class GLO_API CSemaphore : public CSyncObject {
public:
    explicit CSemaphore(LONG lInitialCount = 1, LONG lMaxCount = 1, LPCWSTR pstrName = nullptr,
                        LPSECURITY_ATTRIBUTES lpsaAttributes = nullptr);

    // Releases lCount units; the previous count goes through lpPrevCount when it is not null.
    BOOL Unlock(LONG lCount, LPLONG lpPrevCount = nullptr) override;
    // Releases one unit.
    BOOL Unlock() override;
    ~CSemaphore() override;
};

class GLO_API CMutex : public CSyncObject {
public:
    explicit CMutex(BOOL bInitiallyOwn = FALSE, LPCWSTR pstrName = nullptr,
                    LPSECURITY_ATTRIBUTES lpsaAttribute = nullptr);

    // A mutex has no counted release: FALSE, so that a lock holder keeps it and releases it
    // with Unlock() (a TRUE here would make the holder forget a mutex it still owns).
    BOOL Unlock(LONG lCount, LPLONG lpPrevCount = nullptr) override;
    BOOL Unlock() override;
    ~CMutex() override;
};

class GLO_API CEvent : public CSyncObject {
public:
    explicit CEvent(BOOL bInitiallyOwn = FALSE, BOOL bManualReset = FALSE,
                    LPCWSTR pstrName = nullptr, LPSECURITY_ATTRIBUTES lpsaAttribute = nullptr);
    // An event made only when Create() is called: the handle stays null until then (an owner
    // that may never need it spares the system call).
    enum MadeLater { Later };
    explicit CEvent(MadeLater);

    // Makes the unnamed event of a CEvent(Later); TRUE when it has a handle (also one it had).
    BOOL Create(BOOL bInitiallyOwn = FALSE, BOOL bManualReset = FALSE);

    BOOL SetEvent();
    BOOL PulseEvent();
    BOOL ResetEvent();

    using CSyncObject::Unlock;
    // Waiting on an event takes nothing, so there is nothing to give back: the state stays.
    BOOL Unlock() override;
    ~CEvent() override;
};

// Re-entrant for the owning thread. Has no handle; a time-out is not supported and ignored.
class GLO_API CCriticalSection : public CSyncObject {
public:
    CCriticalSection();

    operator CRITICAL_SECTION*() { return &m_sect; }

    BOOL Lock();
    // Waits without limit whatever the time-out says.
    BOOL Lock(DWORD dwTimeout) override;
    // No counted release, as for a mutex: FALSE.
    BOOL Unlock(LONG lCount, LPLONG lpPrevCount = nullptr) override;
    BOOL Unlock() override;
    ~CCriticalSection() override;

    CRITICAL_SECTION m_sect;
};

// Holds one object for the thread that created the holder; releases it on destruction.
class GLO_API CSingleLock {
public:
    explicit CSingleLock(CSyncObject* pObject, BOOL bInitialLock = FALSE);
    CSingleLock(const CSingleLock&) = delete;
    CSingleLock& operator=(const CSingleLock&) = delete;
    ~CSingleLock();

    // Waits for the object; a holder that already owns its mutex or critical section answers
    // TRUE at once. Events and semaphores are waited for on every call; a failed wait keeps
    // what was held before.
    BOOL Lock(DWORD dwTimeOut = INFINITE);
    // TRUE when nothing is held any more (also when nothing was held).
    BOOL Unlock();
    BOOL Unlock(LONG lCount, LPLONG lPrevCount = nullptr);
    BOOL IsLocked() const { return m_bAcquired; }

protected:
    CSyncObject* m_pObject;
    HANDLE m_hObject;
    BOOL m_bAcquired;
};

// Waits on several objects at once. The caller's object array must outlive the holder.
// Up to eight objects need no heap memory.
class GLO_API CMultiLock {
public:
    CMultiLock(CSyncObject* ppObjects[], DWORD dwCount, BOOL bInitialLock = FALSE);
    CMultiLock(const CMultiLock&) = delete;
    CMultiLock& operator=(const CMultiLock&) = delete;
    ~CMultiLock();

    // Returns the system wait result unchanged. WAIT_OBJECT_0 + i below the count marks the
    // objects acquired: all of them when bWaitForAll is set, else object i. A nonzero wake mask
    // also returns when such input arrives (result WAIT_OBJECT_0 + count).
    DWORD Lock(DWORD dwTimeOut = INFINITE, BOOL bWaitForAll = TRUE, DWORD dwWakeMask = 0);
    // Releases every acquired object; TRUE.
    BOOL Unlock();
    // TRUE when at least one acquired object was asked to release lCount units.
    BOOL Unlock(LONG lCount, LPLONG lPrevCount = nullptr);
    BOOL IsLocked(DWORD dwObject) const;

protected:
    enum { kInlineObjects = 8 };

    HANDLE m_hPreallocated[kInlineObjects];
    BOOL m_bPreallocated[kInlineObjects];
    CSyncObject* const* m_ppObjectArray;
    HANDLE* m_pHandleArray;
    BOOL* m_bLockedArray;
    DWORD m_dwCount;
};

} // namespace _Vex
