// Synchronisation objects and the single-object lock holder, on real system objects.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <type_traits>

#include "VexSync.h"
#include "VexThread.h"

using namespace _Vex;

static_assert(!std::is_copy_constructible_v<CSemaphore> && !std::is_copy_assignable_v<CMutex> &&
                  !std::is_copy_constructible_v<CEvent> &&
                  !std::is_copy_constructible_v<CCriticalSection> &&
                  !std::is_copy_constructible_v<CSingleLock> &&
                  !std::is_copy_assignable_v<CSingleLock> &&
                  !std::is_copy_constructible_v<CMultiLock> &&
                  !std::is_copy_constructible_v<CThread> && !std::is_copy_assignable_v<CThread>,
              "wrappers owning a handle must not be copied");

namespace {

// Whether another thread can take the object right now (mutex ownership is per thread).
bool lockableFromOtherThread(CSyncObject& object) {
    BOOL locked = FALSE;
    std::thread([&] {
        locked = object.Lock(0);
        if (locked) {
            object.Unlock();
        }
    }).join();
    return locked != FALSE;
}

// A critical section would block instead of timing out: try it.
bool lockableFromOtherThread(CCriticalSection& section) {
    BOOL locked = FALSE;
    std::thread([&] {
        locked = TryEnterCriticalSection(section);
        if (locked) {
            LeaveCriticalSection(section);
        }
    }).join();
    return locked != FALSE;
}

// Units a semaphore holds, read through a release of one unit that is taken back at once.
LONG semaphoreCount(CSemaphore& semaphore) {
    LONG previous = -1;
    if (!semaphore.Unlock(1, &previous)) {
        return -1; // at its maximum
    }
    semaphore.Lock(0);
    return previous;
}

} // namespace

TEST(SingleLock, DestructorReleasesMutexForOtherThreads) {
    CMutex mutex;
    {
        CSingleLock lock(&mutex, TRUE);
        EXPECT_TRUE(lock.IsLocked());
        EXPECT_FALSE(lockableFromOtherThread(mutex));
    }
    EXPECT_TRUE(lockableFromOtherThread(mutex));
}

TEST(SingleLock, UnlockWithoutAcquisitionReleasesNothing) {
    CSemaphore semaphore(1, 2);
    {
        CSingleLock lock(&semaphore);
        EXPECT_TRUE(lock.Unlock());
        EXPECT_TRUE(lock.Unlock(1, nullptr));
        EXPECT_FALSE(lock.IsLocked());
    }
    EXPECT_EQ(1, semaphoreCount(semaphore));
}

TEST(SingleLock, TimedOutLockIsNotHeld) {
    CEvent event;
    CSingleLock lock(&event);
    EXPECT_FALSE(lock.Lock(20));
    EXPECT_FALSE(lock.IsLocked());
    event.SetEvent();
    EXPECT_TRUE(lock.Lock(0));
    EXPECT_TRUE(lock.IsLocked());
}

TEST(SingleLock, SecondLockDoesNotAcquireAgainNorForget) {
    CSemaphore semaphore(1, 2);
    {
        CSingleLock lock(&semaphore, TRUE);
        EXPECT_EQ(0, semaphoreCount(semaphore));
        EXPECT_TRUE(lock.Lock(0)); // would time out on the empty semaphore and drop the unit
        EXPECT_TRUE(lock.IsLocked());
    }
    EXPECT_EQ(1, semaphoreCount(semaphore));
}

TEST(SingleLock, UnlockWithCountReportsPreviousCount) {
    CSemaphore semaphore(1, 5);
    CSingleLock lock(&semaphore, TRUE);
    LONG previous = -1;
    EXPECT_TRUE(lock.Unlock(3, &previous));
    EXPECT_EQ(0, previous);
    EXPECT_FALSE(lock.IsLocked());
    EXPECT_EQ(3, semaphoreCount(semaphore));
}

TEST(SingleLock, CountedUnlockKeepsMutexAndSectionHeld) {
    CMutex mutex;
    CCriticalSection section;
    {
        CSingleLock mutexLock(&mutex, TRUE);
        CSingleLock sectionLock(&section, TRUE);
        EXPECT_FALSE(mutexLock.Unlock(1, nullptr));
        EXPECT_FALSE(sectionLock.Unlock(1, nullptr));
        EXPECT_TRUE(mutexLock.IsLocked());
        EXPECT_TRUE(sectionLock.IsLocked());
    }
    EXPECT_TRUE(lockableFromOtherThread(mutex));
    EXPECT_TRUE(lockableFromOtherThread(section));
}

TEST(SingleLock, ObjectWithoutHandleNeverLocks) {
    CSemaphore invalid(2, 1); // initial above maximum: creation fails
    EXPECT_EQ(nullptr, static_cast<HANDLE>(invalid));
    CSingleLock lock(&invalid, TRUE);
    EXPECT_FALSE(lock.IsLocked());
    CSingleLock none(nullptr);
    EXPECT_FALSE(none.Lock(0));
    EXPECT_TRUE(none.Unlock());
}

TEST(Semaphore, UnlockReleasesExactlyOneUnit) {
    CSemaphore semaphore(0, 5);
    EXPECT_TRUE(semaphore.Unlock());
    EXPECT_TRUE(semaphore.Lock(0));
    EXPECT_FALSE(semaphore.Lock(0));
    CSemaphore full(1, 1);
    EXPECT_FALSE(full.Unlock()); // the system's answer at the maximum
}

TEST(Event, UnlockLeavesStateUnchanged) {
    CEvent signalled(TRUE, TRUE);
    EXPECT_TRUE(signalled.Unlock());
    EXPECT_TRUE(signalled.Unlock(1, nullptr));
    EXPECT_TRUE(signalled.Lock(0));
    CEvent reset(FALSE, TRUE);
    EXPECT_TRUE(reset.Unlock());
    EXPECT_FALSE(reset.Lock(0));
    EXPECT_TRUE(reset.SetEvent());
    EXPECT_TRUE(reset.Lock(0));
    EXPECT_TRUE(reset.ResetEvent());
    EXPECT_FALSE(reset.Lock(0));
}

TEST(Mutex, AbandonedMutexAnswersFalseAndStaysAvailable) {
    CMutex mutex;
    std::thread([&] { ASSERT_TRUE(mutex.Lock(0)); }).join(); // ends while owning it
    EXPECT_FALSE(mutex.Lock(1000));
    EXPECT_TRUE(lockableFromOtherThread(mutex));
}

TEST(CriticalSection, ReentrantAndTimeoutWaitsUntilFree) {
    CCriticalSection section;
    EXPECT_EQ(nullptr, section.m_hObject);
    EXPECT_TRUE(section.Lock());
    EXPECT_TRUE(section.Lock(0)); // re-entrant for the owner
    std::atomic<bool> released{false};
    std::atomic<bool> entered{false};
    std::thread other([&] {
        CSingleLock lock(&section);
        EXPECT_TRUE(lock.Lock(0)); // blocks despite the time-out
        EXPECT_TRUE(released.load());
        entered = true;
    });
    Sleep(50);
    EXPECT_FALSE(entered.load());
    section.Unlock();
    EXPECT_FALSE(entered.load()); // still held once
    released = true;
    section.Unlock();
    other.join();
    EXPECT_TRUE(entered.load());
}
