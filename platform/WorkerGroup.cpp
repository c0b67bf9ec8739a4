#include "platform/WorkerGroup.h"

#include <system_error>

namespace {
std::atomic<int> g_failingStarts = 0;
} // namespace

WorkerGroup::~WorkerGroup() {
    requestStop();
    joinAll();
}

void WorkerGroup::failNextStartsForTesting(int count) {
    g_failingStarts = count;
}

bool WorkerGroup::start(Body body) {
    std::lock_guard lock(m_mutex);
    joinEnded();
    if (g_failingStarts > 0) {
        --g_failingStarts;
        return false;
    }
    auto worker = std::make_unique<Worker>();
    Worker* self = worker.get();
    try {
        worker->thread = std::jthread([self, body = std::move(body)](std::stop_token stop) {
            try {
                body(stop);
            } catch (...) {
                // A body reports through its own channel; nothing may escape a thread.
            }
            self->ended.store(true, std::memory_order_release);
        });
    } catch (const std::system_error&) {
        return false;
    }
    m_workers.push_back(std::move(worker));
    return true;
}

void WorkerGroup::joinEnded() {
    for (auto it = m_workers.begin(); it != m_workers.end();) {
        if ((*it)->ended.load(std::memory_order_acquire)) {
            // Past its body: the join waits only for the thread's own exit.
            (*it)->thread.join();
            it = m_workers.erase(it);
        } else {
            ++it;
        }
    }
}

void WorkerGroup::requestStop() {
    std::lock_guard lock(m_mutex);
    for (const auto& worker : m_workers)
        worker->thread.request_stop();
}

void WorkerGroup::joinAll() {
    std::list<std::unique_ptr<Worker>> workers;
    {
        std::lock_guard lock(m_mutex);
        workers.swap(m_workers);
    }
    for (const auto& worker : workers) {
        if (worker->thread.joinable())
            worker->thread.join();
    }
}

std::size_t WorkerGroup::size() const {
    std::lock_guard lock(m_mutex);
    return m_workers.size();
}

std::size_t WorkerGroup::running() const {
    std::lock_guard lock(m_mutex);
    std::size_t count = 0;
    for (const auto& worker : m_workers)
        count += worker->ended.load(std::memory_order_acquire) ? 0 : 1;
    return count;
}
