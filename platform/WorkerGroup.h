#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <stop_token>
#include <thread>

// The progress page's worker threads: each runs one body with a stop token. The page asks them
// all to stop when it is left (a body's stop callbacks then run on the asking thread) and joins
// them when it goes. No body may wait for the thread that owns the group, so joining never
// deadlocks. The group's lock guards only its own list.
class WorkerGroup {
public:
    using Body = std::function<void(std::stop_token)>;

    WorkerGroup() = default;
    // Asks every worker to stop, then joins them all.
    ~WorkerGroup();
    WorkerGroup(const WorkerGroup&) = delete;
    WorkerGroup& operator=(const WorkerGroup&) = delete;

    // Starts `body` on a new thread; false when no thread can be made. Workers that have ended
    // are joined first (they no longer run anything), so a long session does not pile them up.
    bool start(Body body);

    // Sets the stop request of every worker; returns at once.
    void requestStop();

    // Waits for every worker to end. Call after requestStop() and after whatever ends their calls.
    void joinAll();

    // Workers not yet joined (some may have ended already).
    std::size_t size() const;
    // Workers whose body is still running.
    std::size_t running() const;

    // Test hook: the next `count` calls of start() fail as if no thread could be made.
    static void failNextStartsForTesting(int count);

private:
    struct Worker {
        std::atomic<bool> ended = false;
        std::jthread thread;
    };

    void joinEnded(); // with m_mutex held

    mutable std::mutex m_mutex;
    std::list<std::unique_ptr<Worker>> m_workers;
};
