#pragma once

#include <string>
#include <system_error>

// What a save did: nothing to report, or the file it could not write and the system's reason.
// Marked nodiscard: a failed save the user is not told about loses tokens at the next start.
struct [[nodiscard]] SaveResult {
    std::string path;
    std::error_code error;

    explicit operator bool() const { return !error; }
    // The system's text for the failure, e.g. "No space left on device".
    std::string reason() const { return error.message(); }
};
