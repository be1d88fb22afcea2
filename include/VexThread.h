// Thread class of the plug-in interface.
//
// A CThread is constructed without a thread; CreateThread attaches one. The thread runs either
// the procedure given at construction or InitInstance, the message loop Run and ExitInstance,
// then Delete(), which frees the object when m_bAutoDelete is set. The handle stays open until
// Close() or destruction. Objects cannot be copied (the handle would be closed twice).
#pragma once

#include <windows.h>

#include "GloExport.h"

namespace _Vex {

typedef UINT(WINAPI* VEX_THREADPROC)(LPVOID);

class GLO_API CThread {
public:
    CThread();
    CThread(VEX_THREADPROC pfnThreadProc, LPVOID pParam);
    CThread(const CThread&) = delete;
    CThread& operator=(const CThread&) = delete;

    // Starts the thread. With CREATE_SUSPENDED it returns with the thread suspended before it
    // ran any code of the caller; ResumeThread() lets it run. FALSE when a thread is attached
    // already or no thread could be started.
    BOOL CreateThread(DWORD dwCreateFlags = 0, UINT nStackSize = 0,
                      LPSECURITY_ATTRIBUTES lpSecurityAttrs = nullptr);

    // FALSE: a thread without procedure ends at once through ExitInstance().
    virtual BOOL InitInstance();
    // Message loop with idle processing; returns ExitInstance() after WM_QUIT.
    virtual int Run();
    // Nonzero when the message was handled and must not be dispatched.
    virtual BOOL PreTranslateMessage(MSG* pMsg);
    // Takes and dispatches one message; FALSE on WM_QUIT.
    virtual BOOL PumpMessage();
    // Called with 0, 1, 2, ... while the queue is empty; FALSE ends this idle phase.
    virtual BOOL OnIdle(LONG lCount);
    // Whether a message restarts idle processing (repeated mouse moves at one point do not).
    virtual BOOL IsIdleMessage(MSG* pMsg);
    // The exit code carried by WM_QUIT.
    virtual int ExitInstance();
    virtual ~CThread();
    // Frees the object when m_bAutoDelete is set; called last on the thread itself.
    virtual void Delete();

    BOOL Close();
    operator HANDLE() const;

    BOOL SetThreadPriority(int nPriority);
    int GetThreadPriority();
    DWORD ResumeThread();
    DWORD SuspendThread();
    BOOL PostThreadMessageW(UINT message, UINT wParam, LONG lParam);

    MSG m_msgCur;
    UINT m_nMsgLast;
    POINT m_ptCursorLast;
    BOOL m_bAutoDelete;
    UINT m_nThreadID;
    HANDLE m_hThread;
    LPVOID m_pThreadParams;
    VEX_THREADPROC m_pfnThreadProc;

protected:
    // Entry of every thread started by CreateThread; the argument is the creator's start record.
    static UINT WINAPI ThreadProc(LPVOID pParam);
};

} // namespace _Vex
