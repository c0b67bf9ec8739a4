#include "platform/DatabaseLock.h"

#include <fcntl.h>
#include <unistd.h>

namespace platform {

DatabaseLock::DatabaseLock(const std::string& databasePath) {
    m_file = ::open((databasePath + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (m_file < 0)
        return;
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    if (::fcntl(m_file, F_SETLK, &lock) != 0) {
        m_state = State::HeldElsewhere;
        ::close(m_file);
        m_file = -1;
        return;
    }
    m_state = State::Held;
}

DatabaseLock::~DatabaseLock() {
    // Closing the file releases the lock.
    if (m_file >= 0)
        ::close(m_file);
}

} // namespace platform
