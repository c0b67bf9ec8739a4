#pragma once

#include "cli/Arguments.h"
#include "cli/PinReader.h"

#include <ostream>

namespace cli {

// Exit statuses.
inline constexpr int ExitSuccess = 0;
inline constexpr int ExitFailure = 1;
inline constexpr int ExitUsage = 2;

// Runs one command on the database: codes, URIs and lists go to `out`, every failure as one
// line "valdorix-cli: <reason>" to `err` (a TOKEN that matches none or several tokens is
// followed by the candidates). Returns the exit status.
int runCommand(const Arguments& arguments, CPinReader& pins, std::ostream& out, std::ostream& err);

} // namespace cli
