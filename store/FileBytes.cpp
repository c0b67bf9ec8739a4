#include "store/FileBytes.h"

#include "platform/FileDescriptor.h"
#include "platform/ReadFile.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using platform::FileDescriptor;

std::error_code lastError() {
    return {errno, std::generic_category()};
}

std::error_code writeAll(int fd, std::span<const std::uint8_t> bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return lastError();
        }
        if (written == 0)
            return std::make_error_code(std::errc::no_space_on_device);
        bytes = bytes.subspan(static_cast<std::size_t>(written));
    }
    return {};
}

std::error_code writeTemporary(const std::string& temporary,
                               const std::function<std::error_code(const FilePieceWriter&)>& produce) {
    FileDescriptor file(
        ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (file.get() < 0)
        return lastError();
    // A stale temporary file from an earlier crash may carry another mode.
    if (::fchmod(file.get(), 0600) != 0)
        return lastError();
    const FilePieceWriter write = [&file](std::span<const std::uint8_t> piece) { return writeAll(file.get(), piece); };
    if (auto error = produce(write))
        return error;
    if (::fsync(file.get()) != 0)
        return lastError();
    if (!file.close())
        return lastError();
    return {};
}

// The file a save replaces: `path` itself, or the file a symbolic link there leads to, so that the
// link stays and keeps leading to the saved file. A link to nothing is an error (ENOENT).
std::optional<std::string> saveTarget(const std::string& path, std::error_code& error) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode))
        return path;
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (resolved == nullptr) {
        error = lastError();
        return std::nullopt;
    }
    std::string target(resolved);
    std::free(resolved);
    return target;
}

} // namespace

std::optional<std::string> missingLinkTarget(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode) || ::stat(path.c_str(), &info) == 0)
        return std::nullopt;
    std::string target(PATH_MAX, '\0');
    const ssize_t length = ::readlink(path.c_str(), target.data(), target.size());
    if (length < 0)
        return std::nullopt;
    target.resize(static_cast<std::size_t>(length));
    return target;
}

ReadableFile::ReadableFile(const std::string& path, std::error_code& error) {
    error.clear();
    const int fd = platform::openRegularFile(path, error);
    if (fd < 0)
        return;
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        error = lastError();
    } else if (static_cast<std::uint64_t>(info.st_size) > MaxFileSize) {
        error = std::make_error_code(std::errc::file_too_large);
    } else {
        fd_ = fd;
        size_ = static_cast<std::uint64_t>(info.st_size);
        return;
    }
    ::close(fd);
}

ReadableFile::~ReadableFile() {
    if (fd_ >= 0)
        ::close(fd_);
}

std::size_t ReadableFile::readAt(std::uint64_t offset, std::span<std::uint8_t> into, std::error_code& error) const {
    std::size_t filled = 0;
    while (filled < into.size()) {
        const ssize_t got = ::pread(fd_, into.data() + filled, into.size() - filled,
                                    static_cast<off_t>(offset + filled));
        if (got < 0) {
            if (errno == EINTR)
                continue;
            error = lastError();
            break;
        }
        if (got == 0)
            break;
        filled += static_cast<std::size_t>(got);
    }
    return filled;
}

std::optional<std::vector<std::uint8_t>> readFileBytes(const std::string& path, std::error_code& error) {
    return platform::readRegularFile(path, MaxFileSize, error);
}

std::optional<std::vector<std::uint8_t>> readFileBytes(const std::string& path) {
    std::error_code ignored;
    return readFileBytes(path, ignored);
}

std::error_code writeFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes) {
    return writeFileAtomically(path, [bytes](const FilePieceWriter& write) { return write(bytes); });
}

std::error_code writeFileAtomically(const std::string& link,
                                    const std::function<std::error_code(const FilePieceWriter&)>& produce) {
    std::error_code resolveError;
    const std::optional<std::string> target = saveTarget(link, resolveError);
    if (!target)
        return resolveError;
    const std::string& path = *target;
    const std::string temporary = path + ".new";
    std::error_code error = writeTemporary(temporary, produce);
    if (!error && ::rename(temporary.c_str(), path.c_str()) != 0)
        error = lastError();
    if (error) {
        ::unlink(temporary.c_str());
        return error;
    }
    // Flush the folder too, so the rename itself survives a power cut: otherwise the old file could
    // come back with a counter whose code was already shown.
    const std::string::size_type slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    FileDescriptor directory(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (directory.get() >= 0)
        ::fsync(directory.get());
    return {};
}
