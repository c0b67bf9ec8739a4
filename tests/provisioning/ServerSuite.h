#pragma once

#include "ProvisioningServer.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>

// A test suite sharing one local provisioning server: started before the suite's first test and
// stopped after its last. Derived fixtures call ServerSuite::SetUp() first and return when it
// skipped or failed (IsSkipped() || HasFatalFailure()).
class ServerSuite : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        server_ = std::make_unique<ProvisioningServer>();
        if (!server_->start(startFailure_, skip_))
            server_.reset();
    }
    static void TearDownTestSuite() { server_.reset(); }

    // Each test starts with no behaviour set and an empty request log. A missing python3 or
    // openssl skips visibly; any other start failure fails.
    void SetUp() override {
        if (!server_) {
            if (skip_)
                GTEST_SKIP() << startFailure_;
            FAIL() << startFailure_;
        }
        server_->setBehaviour("");
        server_->clearRequests();
    }

    static inline std::unique_ptr<ProvisioningServer> server_;
    static inline std::string startFailure_;
    static inline bool skip_ = false;
};
