// The transport against the local provisioning server (127.0.0.1 only).
#include "ServerSuite.h"
#include "platform/ServerClock.h"
#include "provisioning/HttpSession.h"
#include "provisioning/XmlRpcSSLClient.h"
#include "provisioning/XmlRpcUtil.h"
#include "provisioning/XmlRpcValue.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>
#include <set>
#include <sstream>
#include <unistd.h>

using namespace XmlRpc;
namespace fs = std::filesystem;
using std::chrono::milliseconds;
using SteadyClock = std::chrono::steady_clock;

namespace {

class CapturingErrorHandler : public XmlRpcErrorHandler {
public:
    void report(const char* message) override { messages.emplace_back(message); }
    bool saw(const std::string& part) const {
        return std::any_of(messages.begin(), messages.end(),
                           [&](const std::string& m) { return m.find(part) != std::string::npos; });
    }
    std::vector<std::string> messages;
};

std::u16string u16(const std::string& ascii) {
    return std::u16string(ascii.begin(), ascii.end());
}

class TransportTest : public ServerSuite {
protected:
    void SetUp() override {
        ServerSuite::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        config_ = fs::temp_directory_path() / ("valdorix-transport-" + std::to_string(::getpid()));
        fs::remove_all(config_);
        fs::create_directories(config_);
        configDirs_ = std::make_unique<ScopedEnvironment>("XDG_CONFIG_DIRS", config_.string());
        setErrorHandler(&errors_);
    }
    void TearDown() override {
        setErrorHandler(nullptr);
        configDirs_.reset();
        if (!config_.empty())
            fs::remove_all(config_);
    }

    void writeTimeouts(const std::string& text) {
        fs::create_directories(config_ / "Corvane Security");
        std::ofstream(config_ / "Corvane Security" / "Agent.conf") << text;
    }

    // One call through a fresh client; `result` gets the reply or the failure.
    bool call(const std::string& url, XmlRpcVariant& result,
              const XmlRpcVariant& params = XmlRpcVariant("x")) {
        XmlRpcSSLClient client(url);
        return client.invoke("oxa.syncToken", params, result);
    }

    static std::string faultString(XmlRpcVariant& result) {
        return result.type() == XmlRpcVariant::TypeStruct ? result["faultString"].asString() : "<no fault>";
    }

    fs::path config_;
    std::unique_ptr<ScopedEnvironment> configDirs_;
    CapturingErrorHandler errors_;
};

TEST(FramingTest, BodyIsFramedByteForByte) {
    XmlRpcVariant params;
    params[0] = "serial";
    params[1] = 7;
    EXPECT_EQ(XmlRpcSSLClient::frameCall("oxa.syncToken", params),
              "<?xml version=\"1.0\"?>\r\n<methodCall><methodName>oxa.syncToken</methodName>\r\n"
              "<params><param><value>serial</value></param><param><value><i4>7</i4></value></param>"
              "</params></methodCall>\r\n");
    EXPECT_EQ(XmlRpcSSLClient::frameCall("m", XmlRpcVariant(true)),
              "<?xml version=\"1.0\"?>\r\n<methodCall><methodName>m</methodName>\r\n"
              "<params><param><value><boolean>1</boolean></value></param></params></methodCall>\r\n");
    EXPECT_EQ(XmlRpcSSLClient::frameCall("m", XmlRpcVariant()),
              "<?xml version=\"1.0\"?>\r\n<methodCall><methodName>m</methodName>\r\n</methodCall>\r\n");
    XmlRpcVariant empty;
    empty.resize(0);
    EXPECT_EQ(XmlRpcSSLClient::frameCall("m", empty),
              "<?xml version=\"1.0\"?>\r\n<methodCall><methodName>m</methodName>\r\n<params></params>"
              "</methodCall>\r\n");
}

TEST_F(TransportTest, ServerReceivesTheFramedBodyWithOnlyOurHeaders) {
    // Large enough that an HTTP library would normally ask "Expect: 100-continue".
    XmlRpcVariant params;
    params[0] = std::string(100000, 'a');
    params[1] = "b&c";
    XmlRpcVariant result;
    ASSERT_TRUE(call(server_->httpUrlFor("only-ok"), result, params)) << faultString(result);

    auto requests = server_->requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].body, XmlRpcSSLClient::frameCall("oxa.syncToken", params));
    std::istringstream head(requests[0].head);
    std::string line;
    std::getline(head, line);
    EXPECT_EQ(line, "POST /rpc/only-ok HTTP/1.1");
    std::set<std::string> names;
    while (std::getline(head, line)) {
        if (line.empty())
            continue;
        names.insert(line.substr(0, line.find(':')));
        if (line.starts_with("User-Agent:")) {
            EXPECT_EQ(line, "User-Agent: corvane xmlrpc 1.0");
        } else if (line.starts_with("Content-Type:")) {
            EXPECT_EQ(line, "Content-Type: text/xml; charset=utf-8");
        } else if (line.starts_with("Content-Length:")) {
            EXPECT_EQ(line, "Content-Length: " + std::to_string(requests[0].body.size()));
        }
    }
    EXPECT_EQ(names, (std::set<std::string>{"Host", "User-Agent", "Content-Type", "Content-Length"}));
}

TEST_F(TransportTest, ReplyValueBecomesTheResult) {
    XmlRpcVariant result;
    ASSERT_TRUE(call(server_->httpUrlFor("refuse-explained"), result)) << faultString(result);
    ASSERT_EQ(result.type(), XmlRpcVariant::TypeArray);
    ASSERT_EQ(result.size(), 2u);
    EXPECT_EQ(std::as_const(result)[0].asString(), "REFUSED");
    EXPECT_EQ(std::as_const(result)[1].asString(), "Your account is locked.");
}

TEST_F(TransportTest, EachDatedReplyTellsHowFarOurClockIsFromTheServers) {
    platform::resetServerTimeForTesting();
    XmlRpcVariant result;
    ASSERT_TRUE(call(server_->httpUrlFor("date-ahead"), result)) << faultString(result);
    const std::optional<std::int64_t> offset = platform::clockOffset();
    ASSERT_TRUE(offset.has_value());
    // The date has whole seconds, and the reply is not sent in the same second as it is read.
    EXPECT_NEAR(double(*offset), -300.0, 2.0);

    ASSERT_TRUE(call(server_->httpUrlFor("only-ok"), result)) << faultString(result);
    EXPECT_FALSE(platform::clockOffset().has_value());
}

TEST_F(TransportTest, LargeReplyArrivesWhole) {
    XmlRpcVariant result;
    ASSERT_TRUE(call(server_->httpUrlFor("large"), result)) << faultString(result);
    EXPECT_EQ(std::as_const(result)[1].asString(), std::string(1000000, 'x'));
}

TEST_F(TransportTest, SelfSignedCertificatesForAnotherNameOrExpiredAreAccepted) {
    for (const std::string& url : {server_->httpsUrl, server_->expiredHttpsUrl}) {
        XmlRpcVariant result;
        EXPECT_TRUE(call(url + "/only-ok", result)) << url << ": " << faultString(result);
    }
    ASSERT_EQ(server_->requests().size(), 2u);
}

TEST_F(TransportTest, CertificateErrorsFailWithoutTheIgnoreFlag) {
    HttpSession session(u"test");
    std::string sink;
    EXPECT_FALSE(session.send(u16(server_->httpsUrl), u"POST", "<x/>", sink));
    EXPECT_FALSE(session.lastErrorText().empty());
    session.setIgnoreCertificateErrors(true);
    EXPECT_TRUE(session.send(u16(server_->httpsUrl), u"POST", "<x/>", sink)) << "after the flag";
}

TEST_F(TransportTest, SchemeInCapitalsStillSelectsTls) {
    std::string url = server_->httpsUrl;
    url.replace(0, 5, "HTTPS");
    XmlRpcVariant result;
    EXPECT_TRUE(call(url + "/only-ok", result)) << faultString(result);
    // Plain HTTP to the TLS port is no handshake: proves TLS was in use above.
    std::string plain = server_->httpsUrl;
    plain.replace(0, 5, "http");
    EXPECT_FALSE(call(plain + "/only-ok", result));
}

TEST_F(TransportTest, PortAndQueryReachTheServer) {
    XmlRpcVariant result;
    ASSERT_TRUE(call(server_->httpUrlFor("only-ok") + "?y=1&z=%41", result)) << faultString(result);
    auto requests = server_->requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_TRUE(requests[0].head.starts_with("POST /rpc/only-ok?y=1&z=%41 HTTP/1.1\n")) << requests[0].head;
}

TEST_F(TransportTest, FaultDocumentIsASuccessfulInvoke) {
    XmlRpcSSLClient client(server_->httpUrlFor("fault"));
    XmlRpcVariant result;
    ASSERT_TRUE(client.invoke("oxa.syncToken", XmlRpcVariant("x"), result));
    EXPECT_TRUE(client.isFault());
    ASSERT_EQ(result.type(), XmlRpcVariant::TypeStruct);
    EXPECT_EQ(result["faultString"].asString(), "Unknown user or wrong password");
    EXPECT_EQ(result["faultCode"].asInt(), 4);
}

TEST_F(TransportTest, EmptyUrlFailsWithoutTouchingTheResult) {
    XmlRpcSSLClient client("");
    XmlRpcVariant result(5);
    EXPECT_FALSE(client.invoke("m", XmlRpcVariant(), result));
    EXPECT_EQ(result.asInt(), 5);
}

TEST_F(TransportTest, UrlThatCannotBeSplitGivesAnEmptyFaultString) {
    XmlRpcVariant result;
    EXPECT_FALSE(call("http://127.0.0.1:99999/rpc", result));
    EXPECT_EQ(faultString(result), "");
}

TEST_F(TransportTest, UnreachableServerGivesTheLibraryMessage) {
    XmlRpcVariant result;
    EXPECT_FALSE(call("http://127.0.0.1:" + std::to_string(unusedLocalPort()) + "/rpc", result));
    EXPECT_NE(faultString(result).find("connect"), std::string::npos) << faultString(result);
    EXPECT_TRUE(errors_.saw(faultString(result)));
}

TEST_F(TransportTest, AuthenticationIsRetriedFiveTimesThenAccessDenied) {
    for (const char* behaviour : {"unauthorized", "proxy-auth"}) {
        server_->clearRequests();
        XmlRpcVariant result;
        EXPECT_FALSE(call(server_->httpUrlFor(behaviour), result));
        EXPECT_EQ(faultString(result), "Access is denied.") << behaviour;
        auto requests = server_->requests();
        ASSERT_EQ(requests.size(), 6u) << behaviour;
        for (const auto& request : requests)
            EXPECT_EQ(request.body, requests[0].body);
        // A 401 is answered with the empty user name and password.
        if (behaviour == std::string("unauthorized")) {
            EXPECT_EQ(requests[0].head.find("Authorization:"), std::string::npos);
            EXPECT_NE(requests[5].head.find("\nAuthorization: Basic Og==\n"), std::string::npos);
        }
    }
}

TEST_F(TransportTest, StatusFrom400FailsWithCodeAndText) {
    const std::pair<const char*, const char*> cases[] = {
        {"error500", "500 Internal Server Error"},
        {"notfound", "404 Not Found"},
    };
    for (const auto& [behaviour, text] : cases) {
        XmlRpcVariant result;
        EXPECT_FALSE(call(server_->httpUrlFor(behaviour), result));
        EXPECT_EQ(faultString(result), text);
    }
}

TEST_F(TransportTest, RedirectIsFollowed) {
    server_->setBehaviour("");
    XmlRpcVariant result;
    // /rpc/redirect answers 307 to /rpc, whose normal sync answer is ["OK"].
    ASSERT_TRUE(call(server_->httpUrlFor("redirect"), result)) << faultString(result);
    EXPECT_EQ(std::as_const(result)[0].asString(), "OK");
}

TEST_F(TransportTest, RedirectsThatWouldSendThePasswordElsewhereAreNotFollowed) {
    const std::pair<std::string, const char*> cases[] = {
        {server_->httpsUrl + "/redirect-http", "a redirect from https to http is not followed"},
        {server_->httpUrlFor("redirect-host"), "a redirect to another host (localhost) is not followed"},
    };
    for (const auto& [url, reason] : cases) {
        server_->clearRequests();
        XmlRpcVariant result;
        EXPECT_FALSE(call(url, result)) << url;
        EXPECT_NE(faultString(result).find(reason), std::string::npos) << faultString(result);
        EXPECT_EQ(server_->requests().size(), 1u) << url << ": the body was posted again";
    }
}

TEST_F(TransportTest, RepliesThatAreNoMethodResponseFailWithTheirDiagnostic) {
    const std::pair<const char*, const char*> cases[] = {
        {"html", "Invalid response - no methodResponse"},
        {"no-methodresponse", "Invalid response - no methodResponse"},
        {"no-params", "Invalid response - no param or fault tag"},
        {"bad-value", "Invalid response value"},
    };
    for (const auto& [behaviour, diagnostic] : cases) {
        errors_.messages.clear();
        XmlRpcVariant result;
        EXPECT_FALSE(call(server_->httpUrlFor(behaviour), result)) << behaviour;
        EXPECT_FALSE(result.isValid()) << behaviour;
        EXPECT_TRUE(errors_.saw(std::string("Error in XmlRpcClient::parseResponse: ") + diagnostic))
            << behaviour;
    }
}

TEST_F(TransportTest, ReferenceBeyondUnicodeFailsWithBadConversion) {
    XmlRpcVariant result;
    EXPECT_FALSE(call(server_->httpUrlFor("beyond-unicode"), result));
    EXPECT_EQ(faultString(result), "bad conversion");
}

TEST_F(TransportTest, ConnectionDroppedWithoutAnswerFails) {
    XmlRpcVariant result;
    EXPECT_FALSE(call(server_->httpUrlFor("hangup"), result));
    EXPECT_NE(faultString(result), "");
}

TEST_F(TransportTest, BodyOver64MiBFailsInsteadOfGrowing) {
    for (const char* behaviour : {"oversize", "oversize-chunked"}) {
        XmlRpcVariant result;
        EXPECT_FALSE(call(server_->httpUrlFor(behaviour), result)) << behaviour;
        EXPECT_NE(faultString(result).find("Maximum file size exceeded"), std::string::npos)
            << faultString(result);
    }
}

TEST_F(TransportTest, ProxyVariablesOfTheEnvironmentAreIgnored) {
    const std::string nowhere = "http://127.0.0.1:" + std::to_string(unusedLocalPort());
    ScopedEnvironment a("http_proxy", nowhere), b("HTTPS_PROXY", nowhere), c("https_proxy", nowhere),
        d("ALL_PROXY", nowhere), e("all_proxy", nowhere), f("no_proxy", "");
    for (const std::string& url : {server_->httpUrl, server_->httpsUrl}) {
        XmlRpcVariant result;
        EXPECT_TRUE(call(url + "/only-ok", result)) << url << ": " << faultString(result);
    }
}

TEST_F(TransportTest, ConnectionIsKeptWhileTheUrlStaysTheSame) {
    XmlRpcSSLClient client(server_->httpUrlFor("only-ok"));
    XmlRpcVariant result;
    ASSERT_TRUE(client.invoke("oxa.syncToken", XmlRpcVariant("1"), result));
    ASSERT_TRUE(client.invoke("oxa.syncToken", XmlRpcVariant("2"), result));
    auto requests = server_->requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].peerPort, requests[1].peerPort);
}

TEST_F(TransportTest, SessionFollowsAChangeOfUrl) {
    HttpSession session(u"test");
    std::string sink;
    ASSERT_TRUE(session.send(u16(server_->httpUrlFor("only-ok")), u"POST", "<x/>", sink));
    ASSERT_TRUE(session.send(u16(server_->httpUrlFor("refuse")), u"POST", "<x/>", sink));
    EXPECT_NE(sink.find("REFUSED"), std::string::npos);
    auto requests = server_->requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_NE(requests[0].peerPort, requests[1].peerPort) << "a new URL opens a new connection";
}

TEST_F(TransportTest, ReceiveTimeoutFromTheConfigurationFileEndsASlowCall) {
    writeTimeouts("[General]\nReceiveTimeout=500\n");
    XmlRpcVariant result;
    const auto start = SteadyClock::now();
    // The server would answer after 5 s; the receive timeout ends the call long before.
    EXPECT_FALSE(call(server_->httpUrlFor("slow-5000"), result));
    const auto elapsed = std::chrono::duration_cast<milliseconds>(SteadyClock::now() - start);
    std::cout << "[          ] receive timeout 500 ms: the call failed after " << elapsed.count() << " ms\n";
    EXPECT_LT(elapsed, milliseconds(4000));
    EXPECT_NE(faultString(result).find("Timeout was reached"), std::string::npos) << faultString(result);
}

TEST_F(TransportTest, AServerThatTricklesItsAnswerIsCutOffAtTheCallLimit) {
    // The call limit is 0 + 500 + 500 + 3000 ms; a byte every 200 ms never trips the 3 s
    // receive limit, and the whole answer would take half a minute.
    writeTimeouts("ConnectTimeout=500\nSendTimeout=500\nReceiveTimeout=3000\n");
    XmlRpcVariant result;
    EXPECT_FALSE(call(server_->httpUrlFor("trickle-200"), result));
    EXPECT_NE(faultString(result).find("the call took longer than 4000 ms"), std::string::npos)
        << faultString(result);
}

TEST_F(TransportTest, WithoutTheConfigurationFileTheLibraryDefaultsApply) {
    XmlRpcVariant result;
    EXPECT_TRUE(call(server_->httpUrlFor("slow-1500"), result)) << faultString(result);
}

TEST_F(TransportTest, SendTimeoutDoesNotLimitTheWaitForTheAnswer) {
    writeTimeouts("SendTimeout=300\nResolveTimeout=100\n");
    XmlRpcVariant result;
    EXPECT_TRUE(call(server_->httpUrlFor("slow-1500"), result)) << faultString(result);
}

} // namespace
