#pragma once

#include <string>

// The two codes of one operation: `first` from the primary key, `second` from the secondary key.
// Both empty means "no code".
struct OtpPair {
    std::u16string first;
    std::u16string second;

    bool empty() const { return first.empty() && second.empty(); }
    bool operator==(const OtpPair&) const = default;
};
