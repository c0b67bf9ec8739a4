#pragma once

#include "store/FileTokenDB.h"

#include <string>
#include <utility>

// The product's database: "Valdorix4.db" in the product folder, keyed to this machine.
// One instance lives for the whole process.
class CValdorixTokenDB : public CFileTokenDB {
public:
    CValdorixTokenDB() = default;
    // A database at `file` instead of the product folder's (the command line's --database).
    explicit CValdorixTokenDB(std::string file) : m_file(std::move(file)) {}

    // The machine identifier (empty when it cannot be read).
    std::u16string keySalt() override;

    // `path` when not empty; otherwise the file given at construction, else
    // "<product folder>/Valdorix4.db". The folder is looked up, and created when missing, at every call.
    std::string databasePath(const std::string& path) override;

private:
    std::string m_file;
};
