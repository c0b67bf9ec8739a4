#include "cli/Arguments.h"

#include <charconv>
#include <vector>

namespace cli {
namespace {

struct CommandName {
    std::string_view name;
    Command command;
    std::size_t operands; // words after the command, options aside
};

constexpr CommandName kCommands[] = {
    {"init", Command::Init, 0}, {"list", Command::List, 0},       {"add", Command::Add, 1},
    {"code", Command::Code, 1}, {"respond", Command::Respond, 2}, {"export", Command::Export, 1},
    {"help", Command::Help, 0},
};

// The value of "--name VALUE" or "--name=VALUE" at words[at]; advances `at` past it.
std::optional<std::string_view> optionValue(std::span<const std::string_view> words, std::size_t& at,
                                            std::string_view name, std::string& error) {
    const std::string_view word = words[at];
    if (word.size() > name.size() && word.substr(0, name.size()) == name && word[name.size()] == '=')
        return word.substr(name.size() + 1);
    if (at + 1 >= words.size()) {
        error = std::string(name) + " needs a value";
        return std::nullopt;
    }
    return words[++at];
}

bool isOption(std::string_view word, std::string_view name) {
    return word == name ||
           (word.size() > name.size() && word.substr(0, name.size()) == name && word[name.size()] == '=');
}

std::optional<std::int64_t> parseSeconds(std::string_view text) {
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

} // namespace

std::string_view usageText() {
    return "usage: valdorix-cli [--database FILE] init\n"
           "       valdorix-cli [--database FILE] list\n"
           "       valdorix-cli [--database FILE] add URI\n"
           "       valdorix-cli [--database FILE] add --qr IMAGE\n"
           "       valdorix-cli [--database FILE] code [--at UNIX_SECONDS] TOKEN\n"
           "       valdorix-cli [--database FILE] respond TOKEN CHALLENGE\n"
           "       valdorix-cli [--database FILE] export [--qr FILE.png] TOKEN\n"
           "       valdorix-cli --help | --version\n";
}

std::string_view helpText() {
    return "Valdorix Desktop's tokens from the command line: the same database, PIN and\n"
           "rules as the window.\n"
           "\n"
           "Commands:\n"
           "  init             set the PIN of a new database\n"
           "  list             show the tokens with the index TOKEN may give\n"
           "  add URI          add the token of an otpauth:// URI\n"
           "  add --qr IMAGE   add the tokens of the QR codes in a PNG or JPEG picture\n"
           "  code TOKEN       print the token's code; an event token's counter is\n"
           "                   advanced and saved before the code is printed\n"
           "  respond TOKEN CHALLENGE\n"
           "                   print the answer to a challenge\n"
           "  export TOKEN     print the token's otpauth:// URI\n"
           "\n"
           "Options:\n"
           "  --database FILE  use FILE instead of ~/.local/share/Valdorix/Valdorix4.db\n"
           "  --at SECONDS     the code of a time token at SECONDS since 1970 (UTC)\n"
           "  --qr FILE.png    export: also write the URI as a QR code picture\n"
           "  -h, --help       show this help\n"
           "  --version        show the version\n"
           "\n"
           "TOKEN is the index that 'list' prints, or text matched against the label,\n"
           "account name and serial: an exact match first, else a unique substring in\n"
           "any letter case.\n"
           "\n"
           "The PIN is read from the terminal without echo; when standard input is not a\n"
           "terminal, from its first line (init: the PIN and its repetition on the first\n"
           "two lines). While the window has the database open, commands that change it\n"
           "refuse; list, export and the codes of time tokens still work.\n"
           "\n"
           "Exit status: 0 success, 1 failure (the reason on standard error), 2 wrong usage.\n";
}

ParsedArguments parseArguments(std::span<const std::string_view> words) {
    ParsedArguments result;
    Arguments& arguments = result.arguments;
    std::string& error = result.error;
    std::vector<std::string_view> operands;
    bool optionsEnded = false;
    bool help = false, version = false, qr = false;
    std::optional<std::string_view> qrValue;

    for (std::size_t at = 0; at < words.size() && error.empty(); ++at) {
        const std::string_view word = words[at];
        if (optionsEnded || word.empty() || word.front() != '-' || word == "-") {
            operands.push_back(word);
        } else if (word == "--") {
            optionsEnded = true;
        } else if (word == "-h" || word == "--help") {
            help = true;
        } else if (word == "--version") {
            version = true;
        } else if (isOption(word, "--database")) {
            if (const auto value = optionValue(words, at, "--database", error)) {
                if (value->empty())
                    error = "--database needs a file name";
                arguments.database = std::string(*value);
            }
        } else if (isOption(word, "--at")) {
            if (const auto value = optionValue(words, at, "--at", error)) {
                arguments.at = parseSeconds(*value);
                if (!arguments.at)
                    error = "--at takes whole seconds since 1970, not '" + std::string(*value) + "'";
            }
        } else if (isOption(word, "--qr")) {
            qr = true;
            qrValue = optionValue(words, at, "--qr", error);
            if (qrValue && qrValue->empty())
                error = "--qr needs a file name";
        } else {
            error = "unknown option '" + std::string(word) + "'";
        }
    }
    if (!error.empty())
        return result;
    // Help and the version stand alone: whatever else was given is not taken.
    if (help || version) {
        arguments = Arguments{};
        arguments.command = help ? Command::Help : Command::Version;
        return result;
    }
    if (operands.empty()) {
        error = "no command given";
        return result;
    }

    const CommandName* command = nullptr;
    for (const CommandName& entry : kCommands) {
        if (entry.name == operands.front())
            command = &entry;
    }
    if (!command) {
        error = "unknown command '" + std::string(operands.front()) + "'";
        return result;
    }
    arguments.command = command->command;
    const std::span<const std::string_view> rest = std::span(operands).subspan(1);

    if (qr && command->command != Command::Add && command->command != Command::Export) {
        error = "--qr belongs to add and export";
        return result;
    }
    if (arguments.at && command->command != Command::Code) {
        error = "--at belongs to code";
        return result;
    }
    // add --qr IMAGE takes the picture instead of the URI.
    const std::size_t wanted = command->command == Command::Add && qr ? 0 : command->operands;
    if (rest.size() > wanted) {
        error = std::string(command->name) + ": too many arguments";
        return result;
    }
    if (rest.size() < wanted) {
        const bool respondWithout = command->command == Command::Respond && rest.empty();
        error = std::string(command->name) + ": missing " +
                (command->command == Command::Add       ? "URI"
                 : respondWithout                       ? "TOKEN and CHALLENGE"
                 : command->command == Command::Respond ? "CHALLENGE"
                                                        : "TOKEN");
        return result;
    }
    switch (command->command) {
    case Command::Add:
        if (qr)
            arguments.qrImage = std::string(*qrValue);
        else
            arguments.uri = std::string(rest[0]);
        break;
    case Command::Code:
        arguments.token = std::string(rest[0]);
        break;
    case Command::Respond:
        arguments.token = std::string(rest[0]);
        arguments.challenge = std::string(rest[1]);
        break;
    case Command::Export:
        arguments.token = std::string(rest[0]);
        if (qr)
            arguments.qrOutput = std::string(*qrValue);
        break;
    default:
        break;
    }
    return result;
}

} // namespace cli
