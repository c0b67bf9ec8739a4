#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace cli {

// Where the PINs come from. On a terminal the PIN is typed without echo after a prompt on
// standard error; otherwise each PIN is the next line of standard input (a script's pipe).
class CPinReader {
public:
    CPinReader();

    // The next PIN; std::nullopt at the end of the input or for a line longer than MaxLength.
    std::optional<std::u16string> read(std::string_view prompt);

    static constexpr std::size_t MaxLength = 1024;

private:
    bool m_terminal = false;
};

} // namespace cli
