// Aborting a call from another thread, and workers sharing one caller. Runs under ThreadSanitizer.
#include "ServerSuite.h"
#include "engine/OtpToken.h"
#include "platform/CodePage.h"
#include "provisioning/RpcCaller.h"
#include "provisioning/ServerOperations.h"
#include "provisioning/XmlRpcSSLClient.h"
#include "provisioning/XmlRpcValue.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#include <iostream>
#include <memory>
#include <thread>
#include <unistd.h>

using namespace XmlRpc;
namespace fs = std::filesystem;
using std::chrono::milliseconds;
using SteadyClock = std::chrono::steady_clock;

namespace {

std::u16string u16(const std::string& ascii) {
    return std::u16string(ascii.begin(), ascii.end());
}

// Generous: the machine may be loaded, and sanitizers slow everything down.
constexpr milliseconds arrival(30000);
// The goal is 200 ms; the bound leaves room for a loaded machine.
constexpr milliseconds promptly(2000);

class AbortTest : public ServerSuite {
protected:
    void SetUp() override {
        ServerSuite::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        root_ = fs::temp_directory_path() / ("valdorix-abort-" + std::to_string(::getpid()));
        fs::remove_all(root_);
        fs::create_directories(root_);
        configDirs_ = std::make_unique<ScopedEnvironment>("XDG_CONFIG_DIRS", root_.string());
        dataHome_ = std::make_unique<ScopedEnvironment>("XDG_DATA_HOME", root_.string());
    }
    void TearDown() override {
        configDirs_.reset();
        dataHome_.reset();
        if (!root_.empty())
            fs::remove_all(root_);
    }

    fs::path root_;
    std::unique_ptr<ScopedEnvironment> configDirs_, dataHome_;
};

TEST_F(AbortTest, CloseFromAnotherThreadEndsABlockedInvoke) {
    for (const std::string& base : {server_->httpUrl, server_->httpsUrl}) {
        server_->clearRequests();
        XmlRpcSSLClient client(base + "/slow-60000");
        std::atomic<bool> returned = false;
        bool invoked = true;
        XmlRpcVariant result;
        SteadyClock::time_point end;
        std::thread worker([&] {
            invoked = client.invoke("oxa.syncToken", XmlRpcVariant("x"), result);
            end = SteadyClock::now();
            returned = true;
        });
        // The request has reached the server: the worker now waits for the answer.
        ASSERT_TRUE(server_->waitForRequests(1, arrival));
        std::this_thread::sleep_for(milliseconds(50));
        EXPECT_FALSE(returned);
        const auto start = SteadyClock::now();
        client.close();
        worker.join();
        const auto elapsed = std::chrono::duration_cast<milliseconds>(end - start);
        std::cout << "[          ] " << base.substr(0, 5) << ": invoke returned " << elapsed.count()
                  << " ms after close()\n";
        EXPECT_FALSE(invoked);
        EXPECT_LT(elapsed, promptly);
        EXPECT_FALSE(result["faultString"].asString().empty());
    }
}

TEST_F(AbortTest, CloseBeforeInvokeIsNotLost) {
    XmlRpcSSLClient client(server_->httpUrlFor("only-ok"));
    client.close();
    XmlRpcVariant result;
    EXPECT_FALSE(client.invoke("oxa.syncToken", XmlRpcVariant("x"), result));
    EXPECT_TRUE(server_->requests().empty());
}

TEST_F(AbortTest, NestedInvokeIsRefusedWhileACallRuns) {
    XmlRpcSSLClient client(server_->httpUrlFor("slow-60000"));
    XmlRpcVariant first;
    std::thread worker([&] { client.invoke("oxa.syncToken", XmlRpcVariant("x"), first); });
    ASSERT_TRUE(server_->waitForRequests(1, arrival));
    EXPECT_TRUE(client.executing());
    XmlRpcVariant second(5);
    EXPECT_FALSE(client.invoke("oxa.syncToken", XmlRpcVariant("y"), second));
    EXPECT_EQ(second.asInt(), 5) << "untouched";
    client.close();
    worker.join();
    EXPECT_FALSE(client.executing());
    EXPECT_EQ(server_->requests().size(), 1u);
}

TEST_F(AbortTest, CallerAbortEndsTheRunningOperation) {
    RpcCaller caller;
    Outcome outcome;
    std::thread worker(
        [&] { outcome = downloadToken(caller, u16(server_->httpUrlFor("slow-60000")), u"a", u"b"); });
    ASSERT_TRUE(server_->waitForRequests(1, arrival));
    const auto start = SteadyClock::now();
    caller.abort();
    worker.join();
    const auto elapsed = std::chrono::duration_cast<milliseconds>(SteadyClock::now() - start);
    std::cout << "[          ] the download ended " << elapsed.count() << " ms after abort()\n";
    EXPECT_LT(elapsed, promptly);
    EXPECT_EQ(outcome.kind, Outcome::Kind::Error);
    EXPECT_EQ(outcome.text, u"Failed to connect the server.");
}

TEST_F(AbortTest, TwoWorkersShareOneCaller) {
    // The first worker's client is replaced as the caller's current one while it still runs; it
    // must stay alive for its worker, and abort() reaches only the latest.
    RpcCaller caller;
    Outcome first, second;
    std::thread a([&] { first = downloadToken(caller, u16(server_->httpUrlFor("slow-1500")), u"a", u"b"); });
    ASSERT_TRUE(server_->waitForRequests(1, arrival));
    std::thread b([&] { second = syncToken(caller, u16(server_->httpUrlFor("slow-60000")), u"VX", u"1,2"); });
    ASSERT_TRUE(server_->waitForRequests(2, arrival));
    caller.abort();
    b.join();
    a.join();
    EXPECT_EQ(second.kind, Outcome::Kind::Error);
    EXPECT_EQ(second.text, u"Failed to connect the server.");
    EXPECT_EQ(first.kind, Outcome::Kind::Information) << platform::utf16ToUtf8(first.text);
    EXPECT_TRUE(first.token);
}

TEST_F(AbortTest, AbortsRacingWithCallsNeitherCrashNorHang) {
    RpcCaller caller;
    std::atomic<bool> done = false;
    std::atomic<int> finished = 0;
    auto work = [&] {
        for (int i = 0; i < 15; ++i) {
            Outcome outcome = syncToken(caller, u16(server_->httpUrlFor("only-ok")), u"VX", u"1");
            EXPECT_NE(outcome.kind, Outcome::Kind::Nothing);
        }
        ++finished;
    };
    std::thread a(work), b(work);
    std::thread aborter([&] {
        while (!done) {
            caller.abort();
            std::this_thread::sleep_for(milliseconds(3));
        }
    });
    a.join();
    b.join();
    done = true;
    aborter.join();
    EXPECT_EQ(finished, 2);
}

} // namespace
