#pragma once

#include <deque>
#include <functional>
#include <mutex>
#include <utility>

// Where worker threads leave their results for the UI thread. A worker delivers under the lock
// and, while the receiver is attached, rings it (the progress page queues a call to itself); the
// receiver takes everything on its own thread. The ring must only post, never wait for the
// receiver, so the receiver can join its workers without a deadlock. Once detached, deliveries
// wait here unrung until the owner takes them.
template <class T>
class Mailbox {
public:
    using Ring = std::function<void()>;

    explicit Mailbox(Ring ring) : m_ring(std::move(ring)) {}

    // Any thread.
    void deliver(T item) {
        std::lock_guard lock(m_mutex);
        m_items.push_back(std::move(item));
        if (m_ring)
            m_ring();
    }

    // Everything delivered so far, oldest first.
    std::deque<T> take() {
        std::lock_guard lock(m_mutex);
        return std::exchange(m_items, {});
    }

    // No ring after this returns: the receiver is going.
    void detach() {
        std::lock_guard lock(m_mutex);
        m_ring = nullptr;
    }

private:
    std::mutex m_mutex;
    Ring m_ring;
    std::deque<T> m_items;
};
