#pragma once

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
};

// The relative name of the configuration file that holds the timeouts, looked up among the
// system configuration folders (our stand-in for the machine-wide registry key).
inline constexpr const char* networkTimeoutsFile = "Corvane Security/Agent.conf";

// Reads ResolveTimeout, ConnectTimeout, SendTimeout and ReceiveTimeout from the configuration
// file, outside any section or in [General]. No file: nullopt, and no timeout is to be set. A
// value that is not a whole number from 0 to 4294967295 keeps its default.
std::optional<NetworkTimeouts> readNetworkTimeouts();

// The same, from the text of such a file.
NetworkTimeouts parseNetworkTimeouts(const std::string& text);

} // namespace XmlRpc
