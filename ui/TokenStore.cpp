#include "ui/TokenStore.h"

namespace {
CValdorixTokenDB* g_current = nullptr;
} // namespace

CValdorixTokenDB& tokenStore() {
    if (!g_current) {
        // Code that runs without a scope (a page tested alone) still gets a store.
        static CValdorixTokenDB fallback;
        return fallback;
    }
    return *g_current;
}

TokenStoreScope::TokenStoreScope() : m_store(std::make_unique<CValdorixTokenDB>()), m_previous(g_current) {
    g_current = m_store.get();
}

TokenStoreScope::~TokenStoreScope() {
    g_current = m_previous;
}
