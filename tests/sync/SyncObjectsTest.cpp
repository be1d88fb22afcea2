// Synchronisation objects and the single-object lock holder, on real system objects.
#include <gtest/gtest.h>

#include <thread>
#include <type_traits>

#include "VexSync.h"
#include "VexThread.h"

using namespace _Vex;

static_assert(!std::is_copy_constructible_v<CSemaphore> && !std::is_copy_assignable_v<CMutex> &&
                  !std::is_copy_constructible_v<CCriticalSection> &&
                  !std::is_copy_constructible_v<CSingleLock> &&
                  !std::is_copy_assignable_v<CMultiLock> && !std::is_copy_constructible_v<CThread>,
              "wrappers owning a handle must not be copied");

namespace {

// Whether another thread can take the object now (mutexes and sections belong to a thread).
bool lockableFromOtherThread(CSyncObject& object) {
    BOOL locked = FALSE;
    std::thread([&] {
        CCriticalSection* section = dynamic_cast<CCriticalSection*>(&object);
        locked = section != nullptr ? TryEnterCriticalSection(*section) : object.Lock(0);
        if (locked) {
            object.Unlock();
        }
    }).join();
    return locked != FALSE;
}

// Units a semaphore holds (its maximum must be above that), read by releasing one and taking
// it back.
LONG semaphoreCount(CSemaphore& semaphore) {
    LONG previous = -1;
    semaphore.Unlock(1, &previous);
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
    }
    EXPECT_EQ(1, semaphoreCount(semaphore));
    CSingleLock none(nullptr);
    EXPECT_FALSE(none.Lock(0));
}

TEST(SingleLock, TimedOutLockIsNotHeld) {
    CEvent event;
    CSingleLock lock(&event);
    EXPECT_FALSE(lock.Lock(20));
    EXPECT_FALSE(lock.IsLocked());
    event.SetEvent();
    EXPECT_TRUE(lock.Lock(0));
}

TEST(SingleLock, SecondLockNeitherAcquiresAgainNorForgets) {
    CSemaphore semaphore(1, 2);
    {
        CSingleLock lock(&semaphore, TRUE);
        EXPECT_TRUE(lock.Lock(0)); // would time out on the empty semaphore and drop the unit
        EXPECT_TRUE(lock.IsLocked());
        EXPECT_EQ(0, semaphoreCount(semaphore));
    }
    EXPECT_EQ(1, semaphoreCount(semaphore));
}

TEST(SingleLock, CountedUnlockReleasesSemaphoreButKeepsMutexAndSection) {
    CSemaphore semaphore(1, 5);
    CSingleLock semaphoreLock(&semaphore, TRUE);
    LONG previous = -1;
    EXPECT_TRUE(semaphoreLock.Unlock(3, &previous));
    EXPECT_EQ(0, previous);
    EXPECT_FALSE(semaphoreLock.IsLocked());
    EXPECT_EQ(3, semaphoreCount(semaphore));

    CMutex mutex;
    CCriticalSection section;
    {
        CSingleLock mutexLock(&mutex, TRUE);
        CSingleLock sectionLock(&section, TRUE);
        EXPECT_FALSE(mutexLock.Unlock(1, nullptr));
        EXPECT_FALSE(sectionLock.Unlock(1, nullptr));
        EXPECT_TRUE(mutexLock.IsLocked() && sectionLock.IsLocked());
    }
    EXPECT_TRUE(lockableFromOtherThread(mutex));
    EXPECT_TRUE(lockableFromOtherThread(section));
}

TEST(SyncObject, UnlockSemanticsPerKind) {
    CSemaphore semaphore(0, 5);
    EXPECT_TRUE(semaphore.Unlock()); // exactly one unit
    EXPECT_TRUE(semaphore.Lock(0));
    EXPECT_FALSE(semaphore.Lock(0));

    CEvent signalled(TRUE, TRUE);
    CEvent reset(FALSE, TRUE);
    EXPECT_TRUE(signalled.Unlock());
    EXPECT_TRUE(reset.Unlock());
    EXPECT_TRUE(signalled.Lock(0));
    EXPECT_FALSE(reset.Lock(0));

    CSemaphore invalid(2, 1); // initial above maximum: creation fails
    EXPECT_EQ(nullptr, static_cast<HANDLE>(invalid));
    EXPECT_FALSE(invalid.Lock(0));
}

TEST(SyncObject, AbandonedMutexAnswersFalseAndStaysAvailable) {
    CMutex mutex;
    std::thread([&] { ASSERT_TRUE(mutex.Lock(0)); }).join(); // ends while owning it
    EXPECT_FALSE(mutex.Lock(1000));
    EXPECT_TRUE(lockableFromOtherThread(mutex));
}
