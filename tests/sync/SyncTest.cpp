// Synchronisation objects, lock holders and the thread class, on real system objects.
#include <gtest/gtest.h>

#include <atomic>
#include <deque>
#include <thread>
#include <vector>

#include "VexSync.h"
#include "VexThread.h"

using namespace _Vex;

namespace {

const DWORD kWait = 10000;

// Whether another thread can take the object now (mutexes and sections belong to a thread).
bool lockableFromOtherThread(CSyncObject& object) {
    BOOL locked = FALSE;
    std::thread([&] {
        CCriticalSection* section = dynamic_cast<CCriticalSection*>(&object);
        if ((locked = section != nullptr ? TryEnterCriticalSection(*section) : object.Lock(0)))
            object.Unlock();
    }).join();
    return locked != FALSE;
}

// Units a semaphore holds (below its maximum), read by releasing one and taking it back.
LONG units(CSyncObject* semaphore) {
    LONG previous = -1;
    semaphore->Unlock(1, &previous);
    return semaphore->Lock(0) ? previous : -1;
}

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

} // namespace

TEST(SingleLock, RepeatedLocksWaitAgainUnlessTheObjectIsOwned) {
    CSemaphore semaphore(1, 2);
    {
        CSingleLock never(&semaphore); // never acquired: its unlocks release nothing
        EXPECT_TRUE(never.Unlock() && never.Unlock(1, nullptr));
        EXPECT_EQ(1, units(&semaphore));
        CSingleLock lock(&semaphore, TRUE);
        // Each Lock takes a unit: a second one times out on the empty semaphore, without
        // forgetting the unit held.
        EXPECT_FALSE(lock.Lock(0));
        EXPECT_TRUE(lock.IsLocked());
        EXPECT_EQ(0, units(&semaphore));
    }
    EXPECT_EQ(1, units(&semaphore));

    // Each Lock waits for the event again: a loop over an automatic-reset event must block.
    CEvent event;
    CSingleLock eventLock(&event);
    event.SetEvent();
    EXPECT_TRUE(eventLock.Lock(0));
    EXPECT_FALSE(eventLock.Lock(50));

    // A counted unlock cannot release a mutex or section; the destructor does.
    CMutex mutex;
    CCriticalSection section;
    {
        CSingleLock mutexLock(&mutex, TRUE);
        CSingleLock sectionLock(&section, TRUE);
        // Owned already: a second Lock takes nothing more, so one release will do.
        EXPECT_TRUE(mutexLock.Lock(0) && sectionLock.Lock(0));
        EXPECT_FALSE(mutexLock.Unlock(1, nullptr) || sectionLock.Unlock(1, nullptr));
        EXPECT_TRUE(mutexLock.IsLocked() && sectionLock.IsLocked());
        EXPECT_FALSE(lockableFromOtherThread(mutex) || lockableFromOtherThread(section));
    }
    EXPECT_TRUE(lockableFromOtherThread(mutex) && lockableFromOtherThread(section));

    // A mutex abandoned by its owner answers FALSE and stays available.
    std::thread([&] { ASSERT_TRUE(mutex.Lock(0)); }).join();
    EXPECT_FALSE(mutex.Lock(1000));
    EXPECT_TRUE(lockableFromOtherThread(mutex));
}

// Beyond eight objects the lock keeps its arrays elsewhere: all are still taken and released.
TEST(MultiLock, NineObjectsAllTakenAndReleased) {
    std::deque<CSemaphore> semaphores;
    std::vector<CSyncObject*> list;
    while (list.size() < 9)
        list.push_back(&semaphores.emplace_back(1, 5));
    {
        CMultiLock lock(list.data(), 9, TRUE);
        for (DWORD i = 0; i < 9; ++i)
            EXPECT_TRUE(lock.IsLocked(i) && units(list[i]) == 0) << i;
        EXPECT_FALSE(lock.IsLocked(9));
    }
    for (DWORD i = 0; i < 9; ++i)
        EXPECT_EQ(1, units(list[i])) << i;
}

TEST(MultiLock, WaitsMarkAndReleaseOnlyWhatTheyAcquired) {
    std::deque<CSemaphore> semaphores;
    std::vector<CSyncObject*> list;
    while (list.size() < 3)
        list.push_back(&semaphores.emplace_back(0, 5));
    CMultiLock lock(list.data(), 3);
    list[1]->Unlock();
    EXPECT_EQ(WAIT_OBJECT_0 + 1, lock.Lock(kWait, FALSE));
    EXPECT_TRUE(!lock.IsLocked(0) && lock.IsLocked(1) && !lock.IsLocked(2));
    EXPECT_TRUE(lock.Unlock());

    // Wait-for-all with one semaphore still empty times out, takes and marks nothing.
    list[0]->Unlock();
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), lock.Lock(20, TRUE));
    EXPECT_TRUE(!lock.IsLocked(0) && !lock.IsLocked(1));
    EXPECT_FALSE(lock.Unlock(1, nullptr));
    EXPECT_TRUE(units(list[0]) == 1 && units(list[1]) == 1 && units(list[2]) == 0);

    list[2]->Unlock();
    EXPECT_EQ(WAIT_OBJECT_0, lock.Lock(kWait, TRUE));
    EXPECT_TRUE(lock.IsLocked(0) && lock.IsLocked(1) && lock.IsLocked(2));
    LONG previous = -1;
    EXPECT_TRUE(lock.Unlock(2, &previous) && previous == 0 && !lock.IsLocked(2));
    EXPECT_TRUE(units(list[0]) == 2 && units(list[2]) == 2);
}

TEST(Thread, StartHandshakeWithAndWithoutSuspension) {
    std::atomic<int> runs{0};
    CThread thread(countAndReturn42, &runs);
    ASSERT_TRUE(thread.CreateThread());
    EXPECT_EQ(42u, exitCodeOf(thread));
    EXPECT_FALSE(thread.CreateThread()); // one thread per object
    EXPECT_TRUE(thread.Close());

    ASSERT_TRUE(thread.CreateThread(CREATE_SUSPENDED));
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(thread, 200));
    EXPECT_EQ(1, runs.load());
    EXPECT_EQ(1u, thread.ResumeThread());
    EXPECT_EQ(42u, exitCodeOf(thread));
}

// Runs the loop on the test's own thread. At the end of each idle phase (OnIdle returns FALSE
// on its second call) it posts the next messages, so the order of events is fixed.
TEST(Thread, IdleRestartsOnlyForNewInput) {
    struct Scripted : CThread {
        std::vector<LONG> idleCounts;
        std::vector<UINT> pretranslated;
        void post(UINT message, WPARAM w = 0) { PostThreadMessageW(message, w, 0); }
        BOOL OnIdle(LONG lCount) override {
            idleCounts.push_back(lCount);
            const size_t phase = idleCounts.size() / 2;
            if (lCount == 0 || phase > 3)
                return lCount == 0;
            // 1: any message, and the kick-idle one (never pretranslated); 2: a move; 3: the same
            // move again and a caret timer, which start no fourth phase before the timer ends it.
            post(phase == 1 ? WM_APP : WM_MOUSEMOVE);
            if (phase == 1)
                post(0x036A);
            if (phase == 3)
                post(0x0118), SetTimer(nullptr, 0, 200, nullptr);
            return FALSE;
        }
        BOOL PreTranslateMessage(MSG* pMsg) override {
            pretranslated.push_back(pMsg->message);
            pMsg->pt = {}; // the shared cursor may move under other tests
            if (pMsg->message == WM_TIMER && KillTimer(nullptr, pMsg->wParam))
                post(WM_QUIT, 7);
            return FALSE;
        }
    } thread;
    thread.m_nThreadID = GetCurrentThreadId();
    EXPECT_EQ(7, thread.Run());
    EXPECT_EQ((std::vector<LONG>{0, 1, 0, 1, 0, 1}), thread.idleCounts);
    EXPECT_EQ((std::vector<UINT>{WM_APP, WM_MOUSEMOVE, WM_MOUSEMOVE, 0x0118, WM_TIMER}),
              thread.pretranslated);
}
