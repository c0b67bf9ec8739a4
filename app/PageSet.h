#pragma once

#include "ui/Page.h"

#include <memory>
#include <vector>

// The pages of the main window, made once, in their search order.
std::vector<std::shared_ptr<CPage>> createPageSet();
