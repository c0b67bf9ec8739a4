#include "platform/ReadFile.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

std::error_code lastError() {
    return {errno, std::generic_category()};
}

// Fills `bytes` from the descriptor; a file that ends early leaves the vector shorter. The
// buffer is never grown, so a file that grows while being read costs no second copy.
bool readInto(int fd, std::vector<std::uint8_t>& bytes, std::error_code& error) {
    std::size_t filled = 0;
    while (filled < bytes.size()) {
        const ssize_t got = ::read(fd, bytes.data() + filled, bytes.size() - filled);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            error = lastError();
            return false;
        }
        if (got == 0)
            break;
        filled += static_cast<std::size_t>(got);
    }
    bytes.resize(filled);
    return true;
}

// Reads at most `limit` bytes; with `refuseLarger`, a larger file is refused unread instead.
std::optional<std::vector<std::uint8_t>> readBounded(const std::string& path, std::uint64_t limit,
                                                     bool refuseLarger, std::error_code& error) {
    error.clear();
    const int fd = openRegularFile(path, error);
    if (fd < 0)
        return std::nullopt;
    std::optional<std::vector<std::uint8_t>> result;
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        error = lastError();
    } else if (refuseLarger && static_cast<std::uint64_t>(info.st_size) > limit) {
        error = std::make_error_code(std::errc::file_too_large);
    } else {
        try {
            const auto size = std::min<std::uint64_t>(static_cast<std::uint64_t>(info.st_size), limit);
            std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
            if (readInto(fd, bytes, error))
                result = std::move(bytes);
        } catch (const std::bad_alloc&) {
            error = std::make_error_code(std::errc::not_enough_memory);
        }
    }
    ::close(fd);
    return result;
}

} // namespace

int openRegularFile(const std::string& path, std::error_code& error) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = lastError();
        return -1;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        error = lastError();
        ::close(fd);
        return -1;
    }
    if (!S_ISREG(info.st_mode)) {
        error = std::make_error_code(std::errc::invalid_argument);
        ::close(fd);
        return -1;
    }
    // Regular files ignore the flag, but a later reader of the descriptor should not see it.
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        error = lastError();
        ::close(fd);
        return -1;
    }
    return fd;
}

std::optional<std::vector<std::uint8_t>> readRegularFile(const std::string& path, std::uint64_t maxSize,
                                                         std::error_code& error) {
    return readBounded(path, maxSize, true, error);
}

std::optional<std::vector<std::uint8_t>> readFileHead(const std::string& path, std::size_t count,
                                                      std::error_code& error) {
    return readBounded(path, count, false, error);
}

} // namespace platform
