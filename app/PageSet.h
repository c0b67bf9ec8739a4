#pragma once

#include "ui/Page.h"

#include <memory>
#include <optional>
#include <vector>

// The page registry: one row per page, with the menu command that shows it and when that command
// can be chosen. A new page adds its row in PageSet.cpp, its own files and its dialog template.
enum class CommandEnabled {
    Unlocked,  // whenever a PIN has opened the database
    WithToken, // only when there is a current token as well
};

// The pages of the main window, made once, in their search order.
std::vector<std::shared_ptr<CPage>> createPageSet();

// The page that menu command `command` shows; none for a command that shows no page.
std::optional<unsigned> pageForCommand(int command);

// When menu command `command` can be chosen (Unlocked for a command of no page).
CommandEnabled commandEnabled(int command);
