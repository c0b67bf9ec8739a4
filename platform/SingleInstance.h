#pragma once

#include "platform/DatabaseLock.h"

#include <string>

namespace platform {

// One running copy per database. The first copy holds the database lock (DatabaseLock) and
// listens on a local socket named after the database, through which a second start asks it to
// show its window.
class SingleInstance {
public:
    explicit SingleInstance(const std::string& databasePath);
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // True when this process holds the lock, or when no lock file can be made at all (a blocked
    // folder: nothing can be saved then either, and the program must start to say so).
    bool isPrimary() const { return m_primary; }

    // For a second copy: asks the running one to bring its window to the front. True when it
    // answered within `timeoutMs`.
    bool askPrimaryToShow(int timeoutMs) const;

    // For the primary: the listening socket (-1 when there is none); readable when a second
    // start asks for the window.
    int requestSocket() const { return m_listener; }

    // For the primary: takes one waiting request. True when it asked for the window and came
    // from this user; the caller shows the window, then calls answerRequest().
    bool takeRequest();
    void answerRequest();

private:
    std::string m_socketName;
    DatabaseLock m_lock;
    int m_listener = -1;
    int m_request = -1;
    bool m_primary = true;
};

} // namespace platform
