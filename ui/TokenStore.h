#pragma once

#include "store/ValdorixTokenDB.h"

#include <memory>

// The one process-wide token store that every page uses directly.
CValdorixTokenDB& tokenStore();

// Owns the store for its lifetime: the process entry makes one before the main window and drops
// it at exit; each test makes its own, so no state leaks from one test to the next.
class TokenStoreScope {
public:
    TokenStoreScope();
    ~TokenStoreScope();
    TokenStoreScope(const TokenStoreScope&) = delete;
    TokenStoreScope& operator=(const TokenStoreScope&) = delete;

    CValdorixTokenDB& store() { return *m_store; }

private:
    std::unique_ptr<CValdorixTokenDB> m_store;
    CValdorixTokenDB* m_previous;
};
