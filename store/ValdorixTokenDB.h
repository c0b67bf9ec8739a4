#pragma once

#include "store/FileTokenDB.h"

// The product's database: "Valdorix4.db" in the product folder, keyed to this machine.
// One instance lives for the whole process.
class CValdorixTokenDB : public CFileTokenDB {
public:
    // The machine identifier (empty when it cannot be read).
    std::u16string keySalt() override;

    // `path` when not empty; otherwise "<product folder>/Valdorix4.db". The folder is looked up,
    // and created when missing, at every call.
    std::string databasePath(const std::string& path) override;
};
