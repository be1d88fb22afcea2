// Multi-object lock holder on real semaphores, events and mutexes.
#include <gtest/gtest.h>

#include <future>
#include <memory>
#include <vector>

#include "VexSync.h"

using namespace _Vex;

namespace {

// Exposes which arrays the holder uses.
class InspectableMultiLock : public CMultiLock {
public:
    using CMultiLock::CMultiLock;
    bool usesInlineArrays() const {
        return m_pHandleArray == m_hPreallocated && m_bLockedArray == m_bPreallocated;
    }
    HANDLE handle(DWORD i) const { return m_pHandleArray[i]; }
};

// n semaphores of the given initial count (maximum 5) and the pointer array the holder needs.
struct Semaphores {
    explicit Semaphores(size_t n, LONG initial) {
        for (size_t i = 0; i < n; ++i) {
            owned.push_back(std::make_unique<CSemaphore>(initial, 5));
            objects.push_back(owned.back().get());
        }
    }
    LONG count(size_t i) {
        LONG previous = -1;
        objects[i]->Unlock(1, &previous);
        objects[i]->Lock(0);
        return previous;
    }
    std::vector<std::unique_ptr<CSemaphore>> owned;
    std::vector<CSyncObject*> objects;
};

} // namespace

TEST(MultiLock, EightObjectsInlineNineOnHeap) {
    for (size_t n : {8u, 9u}) {
        Semaphores sems(n, 1);
        {
            InspectableMultiLock lock(sems.objects.data(), static_cast<DWORD>(n), TRUE);
            EXPECT_EQ(n == 8, lock.usesInlineArrays()) << n;
            for (DWORD i = 0; i < n; ++i) {
                EXPECT_EQ(static_cast<HANDLE>(*sems.objects[i]), lock.handle(i));
                EXPECT_TRUE(lock.IsLocked(i)) << i;
                EXPECT_EQ(0, sems.count(i));
            }
            EXPECT_FALSE(lock.IsLocked(static_cast<DWORD>(n)));
        }
        for (size_t i = 0; i < n; ++i) {
            EXPECT_EQ(1, sems.count(i)) << "released by the destructor: " << i;
        }
    }
}

TEST(MultiLock, WaitForOneMarksOnlyThatObject) {
    Semaphores sems(3, 0);
    sems.objects[1]->Unlock();
    InspectableMultiLock lock(sems.objects.data(), 3);
    EXPECT_EQ(WAIT_OBJECT_0 + 1, lock.Lock(5000, FALSE));
    EXPECT_FALSE(lock.IsLocked(0));
    EXPECT_TRUE(lock.IsLocked(1));
    EXPECT_FALSE(lock.IsLocked(2));
    EXPECT_TRUE(lock.Unlock());
    EXPECT_EQ(1, sems.count(1));
    EXPECT_EQ(0, sems.count(0));
    EXPECT_EQ(0, sems.count(2));
}

TEST(MultiLock, TimeOutMarksNothingAndUnlockReleasesNothing) {
    Semaphores sems(2, 0);
    CEvent event;
    sems.objects.push_back(&event);
    sems.objects[0]->Unlock(); // one of three signalled: not enough for all
    InspectableMultiLock lock(sems.objects.data(), 3);
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), lock.Lock(20, TRUE));
    for (DWORD i = 0; i < 3; ++i) {
        EXPECT_FALSE(lock.IsLocked(i));
    }
    EXPECT_TRUE(lock.Unlock());
    EXPECT_FALSE(lock.Unlock(1, nullptr));
    EXPECT_EQ(1, sems.count(0));
    EXPECT_EQ(0, sems.count(1));
}

TEST(MultiLock, UnlockWithCountCallsEveryHeldObject) {
    Semaphores sems(2, 1);
    CMutex mutex;
    sems.objects.push_back(&mutex);
    InspectableMultiLock lock(sems.objects.data(), 3);
    EXPECT_EQ(WAIT_OBJECT_0, lock.Lock());
    LONG previous = -1;
    // The semaphores release two units each; the mutex has no counted release and stays held.
    EXPECT_TRUE(lock.Unlock(2, &previous));
    EXPECT_EQ(0, previous);
    EXPECT_FALSE(lock.IsLocked(0));
    EXPECT_FALSE(lock.IsLocked(1));
    EXPECT_TRUE(lock.IsLocked(2));
    EXPECT_EQ(2, sems.count(0));
    EXPECT_EQ(2, sems.count(1));
    EXPECT_TRUE(lock.Unlock(1, nullptr)); // only the mutex was called
    EXPECT_EQ(2, sems.count(0));
    EXPECT_TRUE(lock.Unlock());
    EXPECT_FALSE(lock.IsLocked(2));
    EXPECT_FALSE(lock.Unlock(1, nullptr));
    EXPECT_TRUE(std::async(std::launch::async, [&] { return mutex.Lock(0); }).get());
}

TEST(MultiLock, WakeMaskReturnsOnPostedMessageWithoutMarking) {
    Semaphores sems(2, 0);
    MSG msg;
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE); // make sure this thread has a queue
    ASSERT_TRUE(PostThreadMessageW(GetCurrentThreadId(), WM_APP, 0, 0));
    InspectableMultiLock lock(sems.objects.data(), 2);
    EXPECT_EQ(WAIT_OBJECT_0 + 2, lock.Lock(5000, FALSE, QS_POSTMESSAGE));
    EXPECT_FALSE(lock.IsLocked(0));
    EXPECT_FALSE(lock.IsLocked(1));
    EXPECT_TRUE(PeekMessageW(&msg, nullptr, WM_APP, WM_APP, PM_REMOVE));
}
