#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace cli {

enum class Command { Help, Version, Init, List, Add, Code, Respond, Export };

// What the command line asked for. Options may stand anywhere; "--" ends them, so a challenge
// may start with "-".
struct Arguments {
    Command command = Command::Help;
    std::string database;           // --database FILE; empty: the window's database
    std::string token;              // TOKEN of code, respond and export
    std::string uri;                // add URI
    std::string qrImage;            // add --qr IMAGE
    std::string qrOutput;           // export --qr FILE.png
    std::optional<std::int64_t> at; // code --at UNIX_SECONDS
    std::string challenge;          // respond TOKEN CHALLENGE
};

// The arguments, or why they are wrong usage (`error` empty on success).
struct ParsedArguments {
    Arguments arguments;
    std::string error;
};

// Reads the arguments after the program name.
ParsedArguments parseArguments(std::span<const std::string_view> words);

// The synopsis printed with a usage error and at the head of --help.
std::string_view usageText();

// The whole --help text.
std::string_view helpText();

} // namespace cli
