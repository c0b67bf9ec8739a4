#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <system_error>
#include <vector>

// Whole-file reads and atomic whole-file writes for the store's files.

// The largest database or CSV file the store reads: a database holds about half a kilobyte per
// token, so this is far beyond any real one, and a larger file is refused before any is read.
inline constexpr std::uint64_t MaxFileSize = 256u * 1024u * 1024u;

// The file's bytes, or nothing when it cannot be opened or read, is not a regular file, or holds
// more than MaxFileSize bytes (std::errc::file_too_large); `error` says which. Other readers and
// writers are not locked out.
std::optional<std::vector<std::uint8_t>> readFileBytes(const std::string& path, std::error_code& error);
std::optional<std::vector<std::uint8_t>> readFileBytes(const std::string& path);

// A regular file opened for reading in pieces, never blocking on a FIFO or device; closed when
// it goes.
class ReadableFile {
public:
    // When the file cannot be opened, is not a regular file, or holds more than MaxFileSize bytes
    // (std::errc::file_too_large), it is not open and `error` says why.
    ReadableFile(const std::string& path, std::error_code& error);
    ~ReadableFile();
    ReadableFile(const ReadableFile&) = delete;
    ReadableFile& operator=(const ReadableFile&) = delete;

    bool isOpen() const { return fd_ >= 0; }
    // The size when it was opened.
    std::uint64_t size() const { return size_; }

    // Fills `into` from `offset`: fewer bytes only at the end of the file, or on a failure, which
    // `error` then holds.
    std::size_t readAt(std::uint64_t offset, std::span<std::uint8_t> into, std::error_code& error) const;

private:
    int fd_ = -1;
    std::uint64_t size_ = 0;
};

// Replaces the file at `path` with `bytes` so that a crash or power cut leaves either the old
// file or the new one: writes "<path>.new" (mode 0600), flushes it to disk, renames it over
// `path` and flushes the folder. On any failure the temporary file is removed, the old file is
// left as it was, and the result is the system's error (empty on success). When `path` is a
// symbolic link, all this happens beside the file it leads to, and the link stays; a link to
// nothing fails with ENOENT and is left alone.
std::error_code writeFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes);

// Writes the next piece of the file; the system's error, or empty.
using FilePieceWriter = std::function<std::error_code(std::span<const std::uint8_t>)>;

// The same, with the bytes made while they are written: `produce` is called once, with the
// temporary file open, and hands it its bytes in pieces through the writer it is given. Its
// error (one of the writer's, or its own) is the result, and the old file is left as it was.
std::error_code writeFileAtomically(const std::string& path,
                                    const std::function<std::error_code(const FilePieceWriter&)>& produce);

// When `path` is a symbolic link that leads nowhere, the link's text; otherwise nothing.
std::optional<std::string> missingLinkTarget(const std::string& path);

