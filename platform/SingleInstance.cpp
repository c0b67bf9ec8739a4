#include "platform/SingleInstance.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace platform {
namespace {

constexpr char ShowRequest = 'S';
constexpr char ShowAnswer = 'K';

// An abstract socket name (no file to clean up after a crash) for this user and database.
std::string socketNameFor(const std::string& databasePath) {
    std::uint64_t hash = 14695981039346656037ull; // FNV-1a: the same in every build
    for (unsigned char c : databasePath)
        hash = (hash ^ c) * 1099511628211ull;
    return "valdorix/" + std::to_string(::getuid()) + "/" + std::to_string(hash);
}

socklen_t fillAddress(const std::string& name, sockaddr_un& address) {
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    // Leading NUL: the abstract namespace.
    const std::size_t length = std::min(name.size(), sizeof address.sun_path - 1);
    std::memcpy(address.sun_path + 1, name.data(), length);
    return static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + length);
}

bool waitFor(int fd, short events, int timeoutMs) {
    pollfd entry{fd, events, 0};
    return ::poll(&entry, 1, timeoutMs) == 1 && (entry.revents & events) != 0;
}

} // namespace

SingleInstance::SingleInstance(const std::string& databasePath)
    : m_socketName(socketNameFor(databasePath)), m_lock(databasePath) {
    if (m_lock.state() == DatabaseLock::State::Unavailable)
        return; // no lock possible: start, and let the first save say why
    if (m_lock.heldElsewhere()) {
        m_primary = false;
        return;
    }
    m_listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    const socklen_t length = fillAddress(m_socketName, address);
    if (m_listener >= 0 &&
        (::bind(m_listener, reinterpret_cast<sockaddr*>(&address), length) != 0 || ::listen(m_listener, 4) != 0)) {
        ::close(m_listener);
        m_listener = -1;
    }
}

SingleInstance::~SingleInstance() {
    if (m_request >= 0)
        ::close(m_request);
    if (m_listener >= 0)
        ::close(m_listener);
}

bool SingleInstance::askPrimaryToShow(int timeoutMs) const {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    sockaddr_un address{};
    const socklen_t length = fillAddress(m_socketName, address);
    char answer = 0;
    const bool shown = ::connect(fd, reinterpret_cast<sockaddr*>(&address), length) == 0 &&
                       ::write(fd, &ShowRequest, 1) == 1 && waitFor(fd, POLLIN, timeoutMs) &&
                       ::read(fd, &answer, 1) == 1 && answer == ShowAnswer;
    ::close(fd);
    return shown;
}

bool SingleInstance::takeRequest() {
    const int fd = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0)
        return false;
    // Only this user's own second start may ask.
    ucred peer{};
    socklen_t size = sizeof peer;
    char request = 0;
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0 || peer.uid != ::getuid() ||
        !waitFor(fd, POLLIN, 1000) || ::read(fd, &request, 1) != 1 || request != ShowRequest) {
        ::close(fd);
        return false;
    }
    if (m_request >= 0)
        ::close(m_request);
    m_request = fd;
    return true;
}

void SingleInstance::answerRequest() {
    if (m_request < 0)
        return;
    [[maybe_unused]] const ssize_t written = ::write(m_request, &ShowAnswer, 1);
    ::close(m_request);
    m_request = -1;
}

} // namespace platform
