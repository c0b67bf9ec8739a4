#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <system_error>
#include <vector>

// Whole-file reads and atomic whole-file writes for the store's files.

// The file's bytes, or nothing when it cannot be opened or read. Other readers and writers are
// not locked out.
std::optional<std::vector<std::uint8_t>> readFileBytes(const std::string& path);

// Replaces the file at `path` with `bytes` so that a crash or power cut leaves either the old
// file or the new one: writes "<path>.new" (mode 0600), flushes it to disk, renames it over
// `path` and flushes the folder. On any failure the temporary file is removed, the old file is
// left as it was, and the result is the system's error (empty on success).
std::error_code writeFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes);
