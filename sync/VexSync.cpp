// Synchronisation objects and lock holders: thin wrappers over the system objects.
#include "VexSync.h"

#include <new>

namespace _Vex {

// ---- CSyncObject ----

CSyncObject::CSyncObject(LPCWSTR) : m_hObject(nullptr) {}

CSyncObject::~CSyncObject() {
    if (m_hObject != nullptr) {
        ::CloseHandle(m_hObject);
        m_hObject = nullptr;
    }
}

BOOL CSyncObject::Lock(DWORD dwTimeout) {
    DWORD result = ::WaitForSingleObject(m_hObject, dwTimeout);
    if (result == WAIT_ABANDONED_0) {
        // The wait made us owner of a mutex whose holder died. We answer FALSE, so nobody
        // would ever release it and every other waiter would hang: give it back at once.
        ::ReleaseMutex(m_hObject);
    }
    return result == WAIT_OBJECT_0;
}

BOOL CSyncObject::Unlock(LONG, LPLONG) {
    return TRUE;
}

// ---- CSemaphore ----

CSemaphore::CSemaphore(LONG lInitialCount, LONG lMaxCount, LPCWSTR pstrName,
                       LPSECURITY_ATTRIBUTES lpsaAttributes)
    : CSyncObject(pstrName) {
    m_hObject = ::CreateSemaphoreW(lpsaAttributes, lInitialCount, lMaxCount, pstrName);
}

CSemaphore::~CSemaphore() {}

BOOL CSemaphore::Unlock(LONG lCount, LPLONG lpPrevCount) {
    return ::ReleaseSemaphore(m_hObject, lCount, lpPrevCount);
}

BOOL CSemaphore::Unlock() {
    return Unlock(1, nullptr);
}

// ---- CMutex ----

CMutex::CMutex(BOOL bInitiallyOwn, LPCWSTR pstrName, LPSECURITY_ATTRIBUTES lpsaAttribute)
    : CSyncObject(pstrName) {
    m_hObject = ::CreateMutexW(lpsaAttribute, bInitiallyOwn, pstrName);
}

CMutex::~CMutex() {}

BOOL CMutex::Unlock() {
    return ::ReleaseMutex(m_hObject);
}

BOOL CMutex::Unlock(LONG, LPLONG) {
    return FALSE;
}

// ---- CEvent ----

CEvent::CEvent(BOOL bInitiallyOwn, BOOL bManualReset, LPCWSTR pstrName,
               LPSECURITY_ATTRIBUTES lpsaAttribute)
    : CSyncObject(pstrName) {
    m_hObject = ::CreateEventW(lpsaAttribute, bManualReset, bInitiallyOwn, pstrName);
}

CEvent::CEvent(MadeLater) : CSyncObject(nullptr) {}

BOOL CEvent::Create(BOOL bInitiallyOwn, BOOL bManualReset) {
    if (m_hObject == nullptr)
        m_hObject = ::CreateEventW(nullptr, bManualReset, bInitiallyOwn, nullptr);
    return m_hObject != nullptr;
}

CEvent::~CEvent() {}

BOOL CEvent::SetEvent() {
    return ::SetEvent(m_hObject);
}

BOOL CEvent::PulseEvent() {
    return ::PulseEvent(m_hObject);
}

BOOL CEvent::ResetEvent() {
    return ::ResetEvent(m_hObject);
}

BOOL CEvent::Unlock() {
    return TRUE;
}

// ---- CCriticalSection ----

CCriticalSection::CCriticalSection() : CSyncObject(nullptr) {
    ::InitializeCriticalSection(&m_sect);
}

CCriticalSection::~CCriticalSection() {
    ::DeleteCriticalSection(&m_sect);
}

BOOL CCriticalSection::Lock() {
    ::EnterCriticalSection(&m_sect);
    return TRUE;
}

BOOL CCriticalSection::Lock(DWORD) {
    return Lock();
}

BOOL CCriticalSection::Unlock() {
    ::LeaveCriticalSection(&m_sect);
    return TRUE;
}

BOOL CCriticalSection::Unlock(LONG, LPLONG) {
    return FALSE;
}

// ---- CSingleLock ----

CSingleLock::CSingleLock(CSyncObject* pObject, BOOL bInitialLock)
    : m_pObject(pObject), m_hObject(pObject != nullptr ? pObject->m_hObject : nullptr),
      m_bAcquired(FALSE) {
    if (bInitialLock) {
        Lock(INFINITE);
    }
}

CSingleLock::~CSingleLock() {
    Unlock();
}

BOOL CSingleLock::Lock(DWORD dwTimeOut) {
    if (m_pObject == nullptr) {
        return FALSE;
    }
    // A mutex or section this holder owns would only be entered once more, and this holder
    // releases it once. Events and semaphores are waited for again on every Lock.
    const bool owned = dynamic_cast<CMutex*>(m_pObject) != nullptr ||
                       dynamic_cast<CCriticalSection*>(m_pObject) != nullptr;
    if (m_bAcquired && owned) {
        return TRUE;
    }
    const BOOL acquired = m_pObject->Lock(dwTimeOut);
    // A failed wait does not forget a semaphore unit taken before.
    m_bAcquired = acquired || m_bAcquired;
    return acquired;
}

BOOL CSingleLock::Unlock() {
    if (m_bAcquired) {
        m_bAcquired = !m_pObject->Unlock();
    }
    return !m_bAcquired;
}

BOOL CSingleLock::Unlock(LONG lCount, LPLONG lPrevCount) {
    if (m_bAcquired) {
        m_bAcquired = !m_pObject->Unlock(lCount, lPrevCount);
    }
    return !m_bAcquired;
}

// ---- CMultiLock ----

CMultiLock::CMultiLock(CSyncObject* ppObjects[], DWORD dwCount, BOOL bInitialLock)
    : m_ppObjectArray(ppObjects), m_pHandleArray(m_hPreallocated), m_bLockedArray(m_bPreallocated),
      m_dwCount(ppObjects != nullptr ? dwCount : 0) {
    if (m_dwCount > kInlineObjects) {
        m_pHandleArray = new (std::nothrow) HANDLE[m_dwCount];
        m_bLockedArray = new (std::nothrow) BOOL[m_dwCount];
        if (m_pHandleArray == nullptr || m_bLockedArray == nullptr) {
            // No exception may leave the library: a holder of no objects fails every wait.
            delete[] m_pHandleArray;
            delete[] m_bLockedArray;
            m_pHandleArray = m_hPreallocated;
            m_bLockedArray = m_bPreallocated;
            m_dwCount = 0;
        }
    }
    for (DWORD i = 0; i < m_dwCount; ++i) {
        m_pHandleArray[i] = ppObjects[i] != nullptr ? ppObjects[i]->m_hObject : nullptr;
        m_bLockedArray[i] = FALSE;
    }
    if (bInitialLock) {
        Lock(INFINITE, TRUE, 0);
    }
}

CMultiLock::~CMultiLock() {
    Unlock();
    if (m_pHandleArray != m_hPreallocated) {
        delete[] m_pHandleArray;
        delete[] m_bLockedArray;
    }
}

DWORD CMultiLock::Lock(DWORD dwTimeOut, BOOL bWaitForAll, DWORD dwWakeMask) {
    DWORD result;
    if (dwWakeMask != 0) {
        result = ::MsgWaitForMultipleObjects(m_dwCount, m_pHandleArray, bWaitForAll, dwTimeOut,
                                             dwWakeMask);
    } else {
        result = ::WaitForMultipleObjects(m_dwCount, m_pHandleArray, bWaitForAll, dwTimeOut);
    }
    DWORD index = result - WAIT_OBJECT_0;
    if (index < m_dwCount) {
        if (bWaitForAll) {
            for (DWORD i = 0; i < m_dwCount; ++i) {
                m_bLockedArray[i] = TRUE;
            }
        } else {
            m_bLockedArray[index] = TRUE;
        }
    }
    return result;
}

BOOL CMultiLock::Unlock() {
    for (DWORD i = 0; i < m_dwCount; ++i) {
        if (m_bLockedArray[i] && m_ppObjectArray[i] != nullptr) {
            m_bLockedArray[i] = !m_ppObjectArray[i]->Unlock();
        }
    }
    return TRUE;
}

BOOL CMultiLock::Unlock(LONG lCount, LPLONG lPrevCount) {
    BOOL called = FALSE;
    for (DWORD i = 0; i < m_dwCount; ++i) {
        if (m_bLockedArray[i] && m_ppObjectArray[i] != nullptr) {
            m_bLockedArray[i] = !m_ppObjectArray[i]->Unlock(lCount, lPrevCount);
            called = TRUE;
        }
    }
    return called;
}

BOOL CMultiLock::IsLocked(DWORD dwObject) const {
    return dwObject < m_dwCount ? m_bLockedArray[dwObject] : FALSE;
}

} // namespace _Vex
