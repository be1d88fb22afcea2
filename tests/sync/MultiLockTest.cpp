// Multi-object lock holder on real semaphores, events and mutexes.
#include <gtest/gtest.h>

#include <future>
#include <memory>
#include <vector>

#include "VexSync.h"

using namespace _Vex;

namespace {

class InspectableMultiLock : public CMultiLock {
public:
    using CMultiLock::CMultiLock;
    bool usesInlineArrays() const {
        return m_pHandleArray == m_hPreallocated && m_bLockedArray == m_bPreallocated;
    }
};

// n semaphores (maximum 5) and the pointer array a holder needs; more objects can be appended.
struct Objects {
    Objects(size_t n, LONG initial) {
        for (size_t i = 0; i < n; ++i) {
            semaphores.push_back(std::make_unique<CSemaphore>(initial, 5));
            list.push_back(semaphores.back().get());
        }
    }
    LONG count(size_t i) {
        LONG previous = -1;
        semaphores[i]->Unlock(1, &previous);
        semaphores[i]->Lock(0);
        return previous;
    }
    std::vector<std::unique_ptr<CSemaphore>> semaphores;
    std::vector<CSyncObject*> list;
};

} // namespace

TEST(MultiLock, EightObjectsInlineNineOnHeapAllReleased) {
    for (DWORD n : {8u, 9u}) {
        Objects objects(n, 1);
        {
            InspectableMultiLock lock(objects.list.data(), n, TRUE);
            EXPECT_EQ(n == 8, lock.usesInlineArrays()) << n;
            for (DWORD i = 0; i < n; ++i) {
                EXPECT_TRUE(lock.IsLocked(i)) << i;
                EXPECT_EQ(0, objects.count(i));
            }
            EXPECT_FALSE(lock.IsLocked(n));
        }
        for (DWORD i = 0; i < n; ++i) {
            EXPECT_EQ(1, objects.count(i)) << i;
        }
    }
}

TEST(MultiLock, WaitForOneMarksOnlyThatObject) {
    Objects objects(3, 0);
    objects.list[1]->Unlock();
    CMultiLock lock(objects.list.data(), 3);
    EXPECT_EQ(WAIT_OBJECT_0 + 1, lock.Lock(5000, FALSE));
    EXPECT_TRUE(!lock.IsLocked(0) && lock.IsLocked(1) && !lock.IsLocked(2));
    EXPECT_TRUE(lock.Unlock());
    EXPECT_EQ(1, objects.count(1));
    EXPECT_EQ(0, objects.count(2));
}

TEST(MultiLock, TimeOutOrMessageMarksNothingAndUnlockReleasesNothing) {
    Objects objects(2, 0);
    CEvent event;
    objects.list.push_back(&event);
    CMultiLock lock(objects.list.data(), 3);

    MSG msg;
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE); // gives this thread its queue
    ASSERT_TRUE(PostThreadMessageW(GetCurrentThreadId(), WM_APP, 0, 0));
    EXPECT_EQ(WAIT_OBJECT_0 + 3, lock.Lock(5000, FALSE, QS_POSTMESSAGE));
    EXPECT_TRUE(PeekMessageW(&msg, nullptr, WM_APP, WM_APP, PM_REMOVE));
    objects.list[0]->Unlock(); // one of three signalled: not enough for all
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), lock.Lock(20, TRUE));

    EXPECT_TRUE(!lock.IsLocked(0) && !lock.IsLocked(1) && !lock.IsLocked(2));
    EXPECT_TRUE(lock.Unlock());
    EXPECT_FALSE(lock.Unlock(1, nullptr));
    EXPECT_EQ(1, objects.count(0));
    EXPECT_EQ(0, objects.count(1));
}

TEST(MultiLock, UnlockWithCountCallsEveryHeldObject) {
    Objects objects(2, 1);
    CMutex mutex;
    objects.list.push_back(&mutex);
    CMultiLock lock(objects.list.data(), 3);
    EXPECT_EQ(WAIT_OBJECT_0, lock.Lock());
    LONG previous = -1;
    // Two units back to each semaphore; the mutex has no counted release and stays held.
    EXPECT_TRUE(lock.Unlock(2, &previous));
    EXPECT_EQ(0, previous);
    EXPECT_TRUE(!lock.IsLocked(0) && !lock.IsLocked(1) && lock.IsLocked(2));
    EXPECT_EQ(2, objects.count(0));
    EXPECT_EQ(2, objects.count(1));
    EXPECT_TRUE(lock.Unlock(1, nullptr)); // the mutex alone was called
    EXPECT_EQ(2, objects.count(0));
    EXPECT_TRUE(lock.Unlock());
    EXPECT_FALSE(lock.Unlock(1, nullptr));
    EXPECT_TRUE(std::async(std::launch::async, [&] { return mutex.Lock(0); }).get());
}
