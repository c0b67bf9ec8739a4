#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace XmlRpc {

// The four network timeouts in milliseconds (0: no limit). These defaults apply to every value
// the configuration file leaves out.
struct NetworkTimeouts {
    std::uint32_t resolve = 0;
    std::uint32_t connect = 60000;
    std::uint32_t send = 30000;
    std::uint32_t receive = 30000;

    // The longest one call may take however slowly the server trickles its bytes: the sum of the
    // four (two minutes with the defaults). None when SendTimeout or ReceiveTimeout is 0, which
    // asks for no limit.
    std::optional<std::chrono::milliseconds> callLimit() const {
        if (send == 0 || receive == 0)
            return std::nullopt;
        return std::chrono::milliseconds(std::uint64_t(resolve) + connect + send + receive);
    }

    bool operator==(const NetworkTimeouts&) const = default;
};

// The relative name of the configuration file that holds the timeouts, looked up among the
// system configuration folders (our stand-in for the machine-wide registry key).
inline constexpr const char* networkTimeoutsFile = "Corvane Security/Agent.conf";

// Reads ResolveTimeout, ConnectTimeout, SendTimeout and ReceiveTimeout from the configuration
// file, outside any section or in [General]. A value that is not a whole number from 0 to
// 4294967295 keeps its default. No file (or none that can be read): the defaults, which are the
// platform HTTP library's own, so a silent server can never hold a call for ever.
NetworkTimeouts readNetworkTimeouts();

// The same, from the text of such a file.
NetworkTimeouts parseNetworkTimeouts(const std::string& text);

} // namespace XmlRpc
