#include "provisioning/NetworkTimeouts.h"

#include "platform/Folders.h"
#include "platform/ReadFile.h"
#include "platform/Trim.h"

#include <sstream>
#include <string_view>

namespace XmlRpc {
namespace {

std::string_view trimmed(std::string_view text) {
    return platform::trimmed(text, platform::isLineBlank);
}

std::optional<std::uint32_t> parseMilliseconds(std::string_view text) {
    if (text.empty() || text.size() > 10)
        return std::nullopt;
    std::uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    if (value > 0xFFFFFFFFu)
        return std::nullopt;
    return static_cast<std::uint32_t>(value);
}

} // namespace

NetworkTimeouts parseNetworkTimeouts(const std::string& text) {
    NetworkTimeouts timeouts;
    bool inGeneral = true; // keys before any section header count
    std::istringstream lines(text);
    std::string raw;
    while (std::getline(lines, raw)) {
        std::string_view line = trimmed(raw);
        if (line.empty() || line.front() == ';' || line.front() == '#')
            continue;
        if (line.front() == '[') {
            inGeneral = line == "[General]";
            continue;
        }
        size_t equals = line.find('=');
        if (!inGeneral || equals == std::string_view::npos)
            continue;
        std::string_view key = trimmed(line.substr(0, equals));
        auto value = parseMilliseconds(trimmed(line.substr(equals + 1)));
        if (!value)
            continue;
        if (key == "ResolveTimeout")
            timeouts.resolve = *value;
        else if (key == "ConnectTimeout")
            timeouts.connect = *value;
        else if (key == "SendTimeout")
            timeouts.send = *value;
        else if (key == "ReceiveTimeout")
            timeouts.receive = *value;
    }
    return timeouts;
}

NetworkTimeouts readNetworkTimeouts() {
    auto path = platform::findSystemConfigFile(networkTimeoutsFile);
    if (!path)
        return {};
    // Four short lines are all the file should hold; anything past 64 KiB is not read.
    std::error_code error;
    auto bytes = platform::readFileHead(*path, 64 * 1024, error);
    if (!bytes)
        return {};
    return parseNetworkTimeouts(std::string(bytes->begin(), bytes->end()));
}

} // namespace XmlRpc
