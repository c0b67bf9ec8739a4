// The progress page's worker group and mailbox without any window: stop requests reach running
// bodies through their stop callbacks, ended workers are joined as new ones start, the group joins
// everything when it goes, and results cross to the receiving thread intact. Runs under
// ThreadSanitizer (the page itself is tested with Qt, which ThreadSanitizer cannot see into).
#include "platform/WorkerGroup.h"

#include "platform/Mailbox.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

// A stand-in for a blocked server call: waits until closed, as a closed connection ends a call.
class BlockedCall {
public:
    void wait() {
        std::unique_lock lock(m_mutex);
        m_waiting = true;
        m_changed.notify_all();
        m_changed.wait(lock, [&] { return m_closed; });
    }
    void close() {
        std::lock_guard lock(m_mutex);
        m_closed = true;
        m_changed.notify_all();
    }
    void waitUntilWaiting() {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return m_waiting; });
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_waiting = false;
    bool m_closed = false;
};

TEST(WorkerGroupTest, AStopRequestClosesEveryBlockedCall) {
    WorkerGroup group;
    std::vector<std::unique_ptr<BlockedCall>> calls;
    std::atomic<int> aborted = 0;
    for (int i = 0; i < 3; ++i) {
        calls.push_back(std::make_unique<BlockedCall>());
        BlockedCall* call = calls.back().get();
        ASSERT_TRUE(group.start([call, &aborted](std::stop_token stop) {
            std::stop_callback onStop(stop, [call] { call->close(); });
            call->wait();
            if (stop.stop_requested())
                ++aborted;
        }));
    }
    for (auto& call : calls)
        call->waitUntilWaiting();
    EXPECT_EQ(group.running(), 3u);

    group.requestStop();
    group.joinAll();
    EXPECT_EQ(aborted, 3);
    EXPECT_EQ(group.size(), 0u);
    EXPECT_EQ(group.running(), 0u);
}

TEST(WorkerGroupTest, AStopRequestedBeforeTheBodyRegistersItsCallbackStillArrives) {
    WorkerGroup group;
    std::mutex gate;
    gate.lock();
    std::atomic<bool> sawStop = false;
    BlockedCall call;
    ASSERT_TRUE(group.start([&](std::stop_token stop) {
        std::lock_guard wait(gate);
        // Registered after the request: the callback runs at once, on this thread.
        std::stop_callback onStop(stop, [&] { call.close(); });
        call.wait();
        sawStop = stop.stop_requested();
    }));
    group.requestStop();
    gate.unlock();
    group.joinAll();
    EXPECT_TRUE(sawStop);
}

TEST(WorkerGroupTest, EndedWorkersAreJoinedWhenTheNextOneStarts) {
    WorkerGroup group;
    for (int i = 0; i < 20; ++i) {
        ASSERT_TRUE(group.start([](std::stop_token) {}));
        while (group.running() > 0)
            std::this_thread::yield();
    }
    // Only the last one, ended but not yet joined, remains.
    EXPECT_EQ(group.size(), 1u);

    BlockedCall call;
    ASSERT_TRUE(group.start([&](std::stop_token stop) {
        std::stop_callback onStop(stop, [&] { call.close(); });
        call.wait();
    }));
    call.waitUntilWaiting();
    ASSERT_TRUE(group.start([](std::stop_token) {}));
    // The running one stays; the ended one went.
    EXPECT_GE(group.size(), 2u);
    EXPECT_LE(group.size(), 3u);
    EXPECT_GE(group.running(), 1u);
    // Joined here: `call` goes before the group, and the stopped worker still touches it.
    group.requestStop();
    group.joinAll();
}

TEST(WorkerGroupTest, DestructionStopsAndJoinsRunningWorkers) {
    std::atomic<int> ended = 0;
    auto calls = std::make_shared<std::vector<std::unique_ptr<BlockedCall>>>();
    {
        WorkerGroup group;
        for (int i = 0; i < 4; ++i) {
            calls->push_back(std::make_unique<BlockedCall>());
            BlockedCall* call = calls->back().get();
            ASSERT_TRUE(group.start([call, &ended](std::stop_token stop) {
                std::stop_callback onStop(stop, [call] { call->close(); });
                call->wait();
                ++ended;
            }));
        }
        for (auto& call : *calls)
            call->waitUntilWaiting();
    }
    EXPECT_EQ(ended, 4);
}

TEST(WorkerGroupTest, StartingAndStoppingFromTwoThreadsAtOnce) {
    // The page starts workers on the UI thread while earlier ones end on theirs; the group's lock
    // is all that guards its list.
    WorkerGroup group;
    std::atomic<int> bodies = 0;
    std::thread stopper([&] {
        for (int i = 0; i < 200; ++i) {
            group.requestStop();
            (void)group.size();
            (void)group.running();
        }
    });
    for (int i = 0; i < 100; ++i)
        ASSERT_TRUE(group.start([&](std::stop_token) { ++bodies; }));
    stopper.join();
    group.joinAll();
    EXPECT_EQ(bodies, 100);
}

TEST(WorkerGroupTest, AFailedStartLeavesTheGroupUsable) {
    WorkerGroup group;
    WorkerGroup::failNextStartsForTesting(2);
    std::atomic<int> bodies = 0;
    EXPECT_FALSE(group.start([&](std::stop_token) { ++bodies; }));
    EXPECT_FALSE(group.start([&](std::stop_token) { ++bodies; }));
    EXPECT_TRUE(group.start([&](std::stop_token) { ++bodies; }));
    group.joinAll();
    EXPECT_EQ(bodies, 1);
}

TEST(WorkerGroupTest, AnExceptionInABodyEndsOnlyThatWorker) {
    WorkerGroup group;
    ASSERT_TRUE(group.start([](std::stop_token) { throw std::runtime_error("lost"); }));
    group.joinAll();
    std::atomic<bool> ran = false;
    ASSERT_TRUE(group.start([&](std::stop_token) { ran = true; }));
    group.joinAll();
    EXPECT_TRUE(ran);
}

} // namespace

namespace {

// The receiving side of a mailbox as the UI thread runs it: rings arrive as queued wake-ups.
class Receiver {
public:
    void ring() {
        std::lock_guard lock(m_mutex);
        ++m_rings;
        m_changed.notify_all();
    }
    // Waits for a ring; false when none came in a generous while.
    bool waitForRing() {
        std::unique_lock lock(m_mutex);
        const bool rung = m_changed.wait_for(lock, 30s, [&] { return m_rings > 0; });
        m_rings = 0;
        return rung;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_rings = 0;
};

TEST(MailboxTest, EveryDeliveryArrivesOnceWithItsData) {
    Receiver receiver;
    Mailbox<std::unique_ptr<std::vector<int>>> mailbox([&] { receiver.ring(); });
    WorkerGroup group;
    constexpr int workers = 8;
    for (int w = 0; w < workers; ++w) {
        ASSERT_TRUE(group.start([&mailbox, w](std::stop_token) {
            // Built on the worker, read on the receiver: the lock carries it across.
            auto data = std::make_unique<std::vector<int>>(100, w);
            mailbox.deliver(std::move(data));
        }));
    }
    std::vector<int> seen(workers, 0);
    int taken = 0;
    while (taken < workers) {
        ASSERT_TRUE(receiver.waitForRing());
        for (auto& data : mailbox.take()) {
            ASSERT_EQ(data->size(), 100u);
            ++seen[std::size_t(data->front())];
            ++taken;
        }
    }
    group.joinAll();
    EXPECT_EQ(seen, std::vector<int>(workers, 1));
    EXPECT_TRUE(mailbox.take().empty());
}

TEST(MailboxTest, TheOwnerDetachesStopsAndJoinsWhileCallsAreBlocked) {
    // The progress page's destructor: no ring after detach, closed calls end, the join returns,
    // and what the workers delivered meanwhile is still there to be kept.
    std::atomic<int> rings = 0;
    Mailbox<int> mailbox([&] { ++rings; });
    std::vector<std::unique_ptr<BlockedCall>> calls;
    {
        WorkerGroup group;
        for (int i = 0; i < 4; ++i) {
            calls.push_back(std::make_unique<BlockedCall>());
            BlockedCall* call = calls.back().get();
            ASSERT_TRUE(group.start([call, &mailbox, i](std::stop_token stop) {
                std::stop_callback onStop(stop, [call] { call->close(); });
                call->wait();
                mailbox.deliver(stop.stop_requested() ? -i : i);
            }));
        }
        for (auto& call : calls)
            call->waitUntilWaiting();
        mailbox.detach();
        group.requestStop();
        group.joinAll();
    }
    EXPECT_EQ(rings, 0);
    const auto left = mailbox.take();
    EXPECT_EQ(left.size(), 4u);
    for (int value : left)
        EXPECT_LE(value, 0) << "every call ended by the stop request";
}

TEST(MailboxTest, DeliveriesRacingWithDetachEitherRingOrWait) {
    std::atomic<int> rings = 0;
    Mailbox<int> mailbox([&] { ++rings; });
    WorkerGroup group;
    for (int i = 0; i < 50; ++i)
        ASSERT_TRUE(group.start([&mailbox, i](std::stop_token) { mailbox.deliver(i); }));
    mailbox.detach();
    const int ringsAtDetach = rings;
    group.joinAll();
    // No ring once detach has returned; nothing is lost either way.
    EXPECT_EQ(rings, ringsAtDetach);
    EXPECT_EQ(mailbox.take().size(), 50u);
}

} // namespace
