#pragma once

#include <optional>
#include <string>
#include <string_view>

// Where the product keeps its files, and what identifies this computer.
namespace platform {

// The product folder: $XDG_DATA_HOME (else $HOME/.local/share) plus "/Valdorix", created with
// mode 0700 when missing; when no data folder can be found or created, a "Valdorix" folder beside
// the executable. Recomputed at every call, so tests can point XDG_DATA_HOME elsewhere.
std::string productFolder();

// The machine identifier that salts the database key: the trimmed text of /etc/machine-id,
// else /var/lib/dbus/machine-id; empty when neither can be read.
std::string machineId();

// Overrides machineId() (tests); std::nullopt returns to the files.
void setMachineIdForTesting(std::optional<std::string> id);

// The first "<dir>/<relativePath>" that exists among $XDG_CONFIG_DIRS (default /etc/xdg).
std::optional<std::string> findSystemConfigFile(std::string_view relativePath);

// The folder that holds the running executable.
std::string executableFolder();

} // namespace platform
