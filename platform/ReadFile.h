#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

// Reading the files the program is given (database, token pack, CSV, configuration): only
// regular files, never blocking on a FIFO or device, with a bound on what is read.
namespace platform {

// Opens `path` for reading. The open itself does not wait (O_NONBLOCK, cleared again once the
// file is known to be regular), so a FIFO whose other end nobody holds cannot hang the caller.
// The descriptor (close it), or -1 with `error` set: the system's error, or
// std::errc::invalid_argument for anything that is not a regular file.
int openRegularFile(const std::string& path, std::error_code& error);

// The whole file, read into one allocation of its size; nothing when it cannot be opened or
// read (`error` says why), and std::errc::file_too_large, without reading, when it holds more
// than `maxSize` bytes.
std::optional<std::vector<std::uint8_t>> readRegularFile(const std::string& path, std::uint64_t maxSize,
                                                         std::error_code& error);

// The first `count` bytes of the file, or fewer when it is shorter; the rest is not read.
std::optional<std::vector<std::uint8_t>> readFileHead(const std::string& path, std::size_t count,
                                                      std::error_code& error);

} // namespace platform
