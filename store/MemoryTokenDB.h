#pragma once

#include "store/TokenDB.h"

// A token list with no file behind it, for tools and tests that only use the list operations:
// nothing loads, every save succeeds at once, and there is no PIN.
class CMemoryTokenDB : public CTokenDB {
public:
    bool load() override { return false; }
    SaveResult save() override { return {}; }
    bool exists() override { return false; }
    bool setPin(std::u16string_view) override { return true; }
    PinChange changePin(std::u16string_view, std::u16string_view) override { return {PinChange::WrongPin, {}}; }
};
