#include "util/worker_thread.h"

#include <gtest/gtest.h>

namespace {

// A mailbox of one value between the test and a helper thread.
struct TMailbox {
    WorkerLock Lock;
    WorkerCondition Changed;
    int Value = 0;
    bool Full = false;
    bool Closed = false;
    long long Sum = 0; // the helper's, read after Join
    int Received = 0;
};

void Consume(void* context)
{
    auto& box = *static_cast<TMailbox*>(context);
    for (;;) {
        std::lock_guard<WorkerLock> lock(box.Lock);
        box.Changed.Wait(box.Lock, [&] { return box.Full || box.Closed; });
        if (!box.Full) return;
        box.Sum += box.Value;
        ++box.Received;
        box.Full = false;
        box.Changed.NotifyAll();
    }
}

TEST(WorkerThread, HandsEveryValueOverThroughLockAndConditionAndJoins)
{
    TMailbox box;
    TMailbox second; // outlives the thread, which ends on it below
    second.Closed = true;
    WorkerThread thread;
    ASSERT_TRUE(thread.Start(Consume, &box));
    EXPECT_FALSE(thread.Start(Consume, &box)) << "a second start while the thread runs";
    for (int value = 1; value <= 2000; ++value) {
        std::lock_guard<WorkerLock> lock(box.Lock);
        box.Changed.Wait(box.Lock, [&] { return !box.Full; });
        box.Value = value;
        box.Full = true;
        box.Changed.NotifyOne();
    }
    {
        std::lock_guard<WorkerLock> lock(box.Lock);
        box.Changed.Wait(box.Lock, [&] { return !box.Full; });
        box.Closed = true;
        box.Changed.NotifyAll();
    }
    thread.Join();
    EXPECT_EQ(box.Received, 2000);
    EXPECT_EQ(box.Sum, 2000LL * 2001 / 2);

    // Joined, the object starts a new thread; its destructor waits for it.
    EXPECT_TRUE(thread.Start(Consume, &second));
}

} // namespace
