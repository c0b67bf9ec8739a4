#pragma once

#include <string>

namespace platform {

// The advisory lock on "<database>.lock" that says which process may write the database: the
// window for as long as it runs, the command-line client for the one command it runs. The system
// releases it when the process ends, after a crash too. Record locks belong to the process, so a
// second holder in the same process is not refused.
class DatabaseLock {
public:
    enum class State {
        Held,          // this process holds it
        HeldElsewhere, // another process does
        Unavailable,   // no lock file can be made (a blocked folder: the first save says why)
    };

    explicit DatabaseLock(const std::string& databasePath);
    ~DatabaseLock();
    DatabaseLock(const DatabaseLock&) = delete;
    DatabaseLock& operator=(const DatabaseLock&) = delete;

    State state() const { return m_state; }
    bool heldElsewhere() const { return m_state == State::HeldElsewhere; }

private:
    int m_file = -1;
    State m_state = State::Unavailable;
};

} // namespace platform
