#include "cli/Arguments.h"
#include "cli/Commands.h"

#include <exception>
#include <iostream>
#include <new>
#include <string_view>
#include <vector>

int main(int argc, char** argv) {
    std::vector<std::string_view> words(argv + 1, argv + argc);
    const cli::ParsedArguments parsed = cli::parseArguments(words);
    if (!parsed.error.empty()) {
        std::cerr << "valdorix-cli: " << parsed.error << '\n' << cli::usageText();
        return cli::ExitUsage;
    }
    switch (parsed.arguments.command) {
    case cli::Command::Help:
        std::cout << cli::usageText() << '\n' << cli::helpText();
        return cli::ExitSuccess;
    case cli::Command::Version:
        std::cout << "valdorix-cli " VALDORIX_VERSION "\n";
        return cli::ExitSuccess;
    default:
        break;
    }
    try {
        cli::CPinReader pins;
        const int status = cli::runCommand(parsed.arguments, pins, std::cout, std::cerr);
        std::cout.flush();
        if (!std::cout) {
            std::cerr << "valdorix-cli: standard output could not be written\n";
            return cli::ExitFailure;
        }
        return status;
    } catch (const std::bad_alloc&) {
        std::cerr << "valdorix-cli: out of memory\n";
    } catch (const std::exception& error) {
        std::cerr << "valdorix-cli: " << error.what() << '\n';
    }
    return cli::ExitFailure;
}
