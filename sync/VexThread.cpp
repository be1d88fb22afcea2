// Thread class: start handshake, message loop with idle processing.
#include "VexThread.h"

#include <process.h>

#include <new>

#include "VexSync.h"

namespace _Vex {

namespace {

// Lives on the creator's stack; the new thread stops reading it once it signals the start event.
struct ThreadStartup {
    CThread* pThread;
    DWORD dwCreateFlags;
    CEvent* pStartEvent;
    CEvent* pReleaseEvent;
    BOOL bError;
};

// Sent by frameworks to kick idle processing; it carries nothing to dispatch.
const UINT kKickIdleMessage = 0x036A;
// Sent while a caret blinks; no reason to restart idle processing.
const UINT kSysTimerMessage = 0x0118;

} // namespace

CThread::CThread()
    : m_msgCur(), m_nMsgLast(0), m_ptCursorLast(), m_bAutoDelete(FALSE), m_nThreadID(0),
      m_hThread(nullptr), m_pThreadParams(nullptr), m_pfnThreadProc(nullptr) {
    ::GetCursorPos(&m_ptCursorLast);
}

CThread::CThread(VEX_THREADPROC pfnThreadProc, LPVOID pParam) : CThread() {
    m_pfnThreadProc = pfnThreadProc;
    m_pThreadParams = pParam;
}

CThread::~CThread() {
    Close();
}

BOOL CThread::CreateThread(DWORD dwCreateFlags, UINT nStackSize,
                           LPSECURITY_ATTRIBUTES lpSecurityAttrs) {
    // A second thread on one object would leak the first handle and share the message fields.
    if (m_hThread != nullptr) {
        return FALSE;
    }
    CEvent startEvent(FALSE, TRUE);
    // The new thread destroys this one after it was released, so it must outlive our frame.
    CEvent* pReleaseEvent = new (std::nothrow) CEvent(FALSE, TRUE);
    ThreadStartup startup = {this, dwCreateFlags, &startEvent, pReleaseEvent, FALSE};
    if (startEvent.m_hObject == nullptr) {
        delete pReleaseEvent;
        return FALSE;
    }
    if (pReleaseEvent == nullptr) {
        return FALSE;
    }
    if (pReleaseEvent->m_hObject == nullptr) {
        // Without it the thread could run before we decided on suspension.
        delete pReleaseEvent;
        return FALSE;
    }

    UINT nThreadID = 0;
    uintptr_t hThread = ::_beginthreadex(lpSecurityAttrs, nStackSize, &CThread::ThreadProc,
                                         &startup, dwCreateFlags | CREATE_SUSPENDED, &nThreadID);
    if (hThread == 0) {
        delete pReleaseEvent;
        return FALSE;
    }
    m_nThreadID = nThreadID;
    m_hThread = reinterpret_cast<HANDLE>(hThread);

    ::ResumeThread(m_hThread);
    startEvent.Lock(INFINITE);
    if (dwCreateFlags & CREATE_SUSPENDED) {
        ::SuspendThread(m_hThread);
    }
    // From here on the thread may run its course and, with auto-delete, free this object.
    pReleaseEvent->SetEvent();
    return TRUE;
}

UINT WINAPI CThread::ThreadProc(LPVOID pParam) {
    ThreadStartup* pStartup = static_cast<ThreadStartup*>(pParam);
    CThread* pThread = pStartup->pThread;
    CEvent* pReleaseEvent = pStartup->pReleaseEvent;
    pStartup->pStartEvent->SetEvent();
    // pStartup is gone now: the creator returns as soon as it has released us.
    pReleaseEvent->Lock(INFINITE);
    delete pReleaseEvent;

    UINT nResult;
    if (pThread->m_pfnThreadProc != nullptr) {
        nResult = pThread->m_pfnThreadProc(pThread->m_pThreadParams);
    } else if (pThread->InitInstance()) {
        nResult = static_cast<UINT>(pThread->Run());
    } else {
        nResult = static_cast<UINT>(pThread->ExitInstance());
    }
    pThread->Delete();
    ::_endthreadex(nResult);
    return nResult;
}

BOOL CThread::InitInstance() {
    return FALSE;
}

int CThread::Run() {
    BOOL bIdle = TRUE;
    LONG lIdleCount = 0;
    for (;;) {
        while (bIdle && !::PeekMessageW(&m_msgCur, nullptr, 0, 0, PM_NOREMOVE)) {
            if (!OnIdle(lIdleCount++)) {
                bIdle = FALSE;
            }
        }
        do {
            if (!PumpMessage()) {
                return ExitInstance();
            }
            if (IsIdleMessage(&m_msgCur)) {
                bIdle = TRUE;
                lIdleCount = 0;
            }
        } while (::PeekMessageW(&m_msgCur, nullptr, 0, 0, PM_NOREMOVE));
    }
}

BOOL CThread::PreTranslateMessage(MSG*) {
    return FALSE;
}

BOOL CThread::PumpMessage() {
    // -1 (a failed call) would leave m_msgCur stale and spin the loop: end it like WM_QUIT.
    if (::GetMessageW(&m_msgCur, nullptr, 0, 0) <= 0) {
        return FALSE;
    }
    if (m_msgCur.message == kKickIdleMessage) {
        return TRUE;
    }
    if (PreTranslateMessage(&m_msgCur)) {
        return TRUE;
    }
    ::TranslateMessage(&m_msgCur);
    ::DispatchMessageW(&m_msgCur);
    return TRUE;
}

BOOL CThread::OnIdle(LONG) {
    return FALSE;
}

BOOL CThread::IsIdleMessage(MSG* pMsg) {
    switch (pMsg->message) {
    case WM_PAINT:
    case WM_TIMER:
    case kSysTimerMessage:
        return FALSE;
    case WM_MOUSEMOVE:
    case WM_NCMOUSEMOVE:
        if (m_nMsgLast == pMsg->message && m_ptCursorLast.x == pMsg->pt.x &&
            m_ptCursorLast.y == pMsg->pt.y) {
            return FALSE;
        }
        m_ptCursorLast = pMsg->pt;
        m_nMsgLast = pMsg->message;
        return TRUE;
    default:
        return TRUE;
    }
}

int CThread::ExitInstance() {
    return static_cast<int>(m_msgCur.wParam);
}

void CThread::Delete() {
    if (m_bAutoDelete) {
        delete this;
    }
}

BOOL CThread::Close() {
    if (m_hThread != nullptr) {
        ::CloseHandle(m_hThread);
        m_hThread = nullptr;
    }
    return TRUE;
}

CThread::operator HANDLE() const {
    // Callers test thread pointers they never checked; a null object answers null. The
    // volatile copy keeps the compiler from assuming 'this' is never null.
    const CThread* volatile self = this;
    return self != nullptr ? self->m_hThread : nullptr;
}

BOOL CThread::SetThreadPriority(int nPriority) {
    return ::SetThreadPriority(m_hThread, nPriority);
}

int CThread::GetThreadPriority() {
    return ::GetThreadPriority(m_hThread);
}

DWORD CThread::ResumeThread() {
    return ::ResumeThread(m_hThread);
}

DWORD CThread::SuspendThread() {
    return ::SuspendThread(m_hThread);
}

BOOL CThread::PostThreadMessageW(UINT message, UINT wParam, LONG lParam) {
    return ::PostThreadMessageW(m_nThreadID, message, wParam, lParam);
}

} // namespace _Vex
