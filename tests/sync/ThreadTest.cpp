// Thread class: start handshake, exit codes, deletion and the message loop.
#include <gtest/gtest.h>

#include <atomic>
#include <vector>

#include "VexThread.h"

using namespace _Vex;

namespace {

const DWORD kWait = 10000;

UINT WINAPI countAndReturn42(LPVOID param) {
    ++*static_cast<std::atomic<int>*>(param);
    return 42;
}

DWORD exitCodeOf(HANDLE thread) {
    DWORD code = 0xDEAD;
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, kWait));
    GetExitCodeThread(thread, &code);
    return code;
}

// Counts Delete() calls and destructions.
struct RecordingThread : CThread {
    RecordingThread(std::atomic<int>& deletes, std::atomic<int>& destroyed)
        : deletes_(deletes), destroyed_(destroyed) {}
    ~RecordingThread() override { ++destroyed_; }
    void Delete() override {
        ++deletes_;
        CThread::Delete();
    }
    std::atomic<int>& deletes_;
    std::atomic<int>& destroyed_;
};

} // namespace

TEST(Thread, ProcedureResultIsExitCodeWithAndWithoutSuspension) {
    std::atomic<int> runs{0};
    CThread thread(countAndReturn42, &runs);
    ASSERT_TRUE(thread.CreateThread());
    EXPECT_EQ(42u, exitCodeOf(thread));
    EXPECT_EQ(1, runs.load());
    EXPECT_FALSE(thread.CreateThread()); // one thread per object
    EXPECT_TRUE(thread.Close());
    EXPECT_EQ(nullptr, static_cast<HANDLE>(thread));

    ASSERT_TRUE(thread.CreateThread(CREATE_SUSPENDED));
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(thread, 200));
    EXPECT_EQ(1, runs.load());
    EXPECT_EQ(1u, thread.ResumeThread());
    EXPECT_EQ(42u, exitCodeOf(thread));
    EXPECT_EQ(2, runs.load());
}

TEST(Thread, WithoutProcedureEndsAtOnceThroughDeleteAndAutoDelete) {
    std::atomic<int> deletes{0};
    std::atomic<int> destroyed{0};
    {
        RecordingThread kept(deletes, destroyed); // Delete() must not free it
        ASSERT_TRUE(kept.CreateThread());
        EXPECT_EQ(0u, exitCodeOf(kept));
        EXPECT_EQ(1, deletes.load());
        EXPECT_EQ(0, destroyed.load());
    }
    auto* freed = new RecordingThread(deletes, destroyed);
    freed->m_bAutoDelete = TRUE;
    ASSERT_TRUE(freed->CreateThread(CREATE_SUSPENDED));
    HANDLE copy = nullptr; // the object and its handle go away with the thread
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), *freed, GetCurrentProcess(), &copy, 0, FALSE,
                                DUPLICATE_SAME_ACCESS));
    freed->ResumeThread();
    EXPECT_EQ(0u, exitCodeOf(copy));
    EXPECT_EQ(2, deletes.load());
    EXPECT_EQ(2, destroyed.load());
    CloseHandle(copy);
}

TEST(Thread, MessageLoopEndsWithQuitCode) {
    struct LoopThread : CThread {
        HANDLE idle = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        BOOL InitInstance() override { return TRUE; }
        BOOL OnIdle(LONG) override {
            SetEvent(idle);
            return FALSE;
        }
    } thread;
    ASSERT_TRUE(thread.CreateThread());
    // Idle processing runs after the loop's first look at the queue, so the queue exists.
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread.idle, kWait));
    EXPECT_TRUE(thread.PostThreadMessageW(WM_APP, 0, 0));
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread.idle, kWait)); // the message restarted idle
    EXPECT_TRUE(thread.PostThreadMessageW(WM_QUIT, 9, 0));
    EXPECT_EQ(9u, exitCodeOf(thread));
    CloseHandle(thread.idle);
}

TEST(Thread, IdleMessages) {
    CThread thread;
    MSG msg = {};
    for (UINT quiet : std::initializer_list<UINT>{WM_PAINT, WM_TIMER, 0x0118}) {
        msg.message = quiet;
        EXPECT_FALSE(thread.IsIdleMessage(&msg)) << quiet;
    }
    msg.message = WM_MOUSEMOVE;
    msg.pt = {thread.m_ptCursorLast.x + 1, thread.m_ptCursorLast.y};
    EXPECT_TRUE(thread.IsIdleMessage(&msg));
    msg.message = WM_NCMOUSEMOVE;
    EXPECT_TRUE(thread.IsIdleMessage(&msg)); // same point, other message
    EXPECT_FALSE(thread.IsIdleMessage(&msg));
}

namespace {

std::vector<UINT> g_dispatched;

LRESULT CALLBACK recordingWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_MOUSEMOVE || message == 0x036A || message == WM_APP ||
        message == WM_APP + 1) {
        g_dispatched.push_back(message);
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

// Runs the loop on the test's own thread. At the end of each idle phase (OnIdle returns FALSE
// on its second call) it posts the next messages, so the order of events is fixed.
class ScriptedThread : public CThread {
public:
    explicit ScriptedThread(HWND target) : target_(target) {}
    int phases = 0;
    std::vector<LONG> idleCounts;
    std::vector<UINT> pretranslated;

    BOOL OnIdle(LONG lCount) override {
        idleCounts.push_back(lCount);
        if (lCount == 0) {
            ++phases;
            return TRUE;
        }
        switch (phases) {
        case 1:
            PostMessageW(target_, WM_APP, 0, 0);
            PostMessageW(target_, 0x036A, 0, 0);     // never dispatched
            PostMessageW(target_, WM_APP + 1, 0, 0); // claimed by PreTranslateMessage
            break;
        case 2:
            PostMessageW(target_, WM_MOUSEMOVE, 0, MAKELPARAM(10, 10));
            break;
        case 3:
            // The repeat must not start a fourth phase; the timer ends the loop afterwards.
            PostMessageW(target_, WM_MOUSEMOVE, 0, MAKELPARAM(10, 10));
            SetTimer(nullptr, 0, 200, nullptr);
            break;
        }
        return FALSE;
    }

    BOOL PreTranslateMessage(MSG* pMsg) override {
        pretranslated.push_back(pMsg->message);
        if (pMsg->message == WM_MOUSEMOVE) {
            // The shared cursor may move under other tests: use the point the message carries.
            pMsg->pt = {LOWORD(pMsg->lParam), HIWORD(pMsg->lParam)};
        }
        if (pMsg->message == WM_TIMER) {
            KillTimer(nullptr, pMsg->wParam);
            PostThreadMessageW(WM_QUIT, 7, 0);
            return TRUE;
        }
        return pMsg->message == WM_APP + 1;
    }

private:
    HWND target_;
};

} // namespace

TEST(Thread, RunDispatchesAndRestartsIdleOnlyForNewInput) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = recordingWndProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"VexSyncTestTarget";
    RegisterClassW(&wc);
    HWND target = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  wc.hInstance, nullptr);
    ASSERT_NE(nullptr, target);
    g_dispatched.clear();

    ScriptedThread thread(target);
    thread.m_nThreadID = GetCurrentThreadId(); // the loop runs here, not on a thread of its own
    EXPECT_EQ(7, thread.Run());

    EXPECT_EQ(3, thread.phases);
    EXPECT_EQ((std::vector<LONG>{0, 1, 0, 1, 0, 1}), thread.idleCounts);
    EXPECT_EQ((std::vector<UINT>{WM_APP, WM_APP + 1, WM_MOUSEMOVE, WM_MOUSEMOVE, WM_TIMER}),
              thread.pretranslated);
    EXPECT_EQ((std::vector<UINT>{WM_APP, WM_MOUSEMOVE, WM_MOUSEMOVE}), g_dispatched);
    DestroyWindow(target);
}
