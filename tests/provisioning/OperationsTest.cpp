// The three server operations and RpcCaller against the local provisioning server.
#include "ServerSuite.h"
#include "engine/Descriptor.h"
#include "engine/OtpToken.h"
#include "engine/Sha1.h"
#include "platform/CodePage.h"
#include "provisioning/RpcCaller.h"
#include "provisioning/ServerOperations.h"
#include "provisioning/XmlRpcException.h"
#include "provisioning/XmlRpcUtil.h"
#include "provisioning/XmlRpcValue.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <unistd.h>

using XmlRpc::XmlRpcVariant;
namespace fs = std::filesystem;

namespace {

std::u16string u16(const std::string& ascii) {
    return std::u16string(ascii.begin(), ascii.end());
}

std::string narrow(const std::u16string& text) {
    return platform::utf16ToUtf8(text);
}

const char* kindName(Outcome::Kind kind) {
    switch (kind) {
    case Outcome::Kind::Nothing:
        return "nothing";
    case Outcome::Kind::Information:
        return "information";
    case Outcome::Kind::Error:
        return "error";
    case Outcome::Kind::PackHandOff:
        return "pack hand-off";
    }
    return "?";
}

::testing::AssertionResult ends(const Outcome& outcome, Outcome::Kind kind, const std::u16string& text) {
    if (outcome.kind == kind && outcome.text == text)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "got " << kindName(outcome.kind) << " \"" << narrow(outcome.text) << "\", expected "
           << kindName(kind) << " \"" << narrow(text) << "\"";
}

const std::string prologue = "<?xml version=\"1.0\"?>\r\n<methodCall><methodName>";

class OperationsTest : public ServerSuite {
protected:
    void SetUp() override {
        ServerSuite::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        root_ = fs::temp_directory_path() / ("valdorix-operations-" + std::to_string(::getpid()));
        fs::remove_all(root_);
        fs::create_directories(root_ / "config");
        fs::create_directories(root_ / "data");
        configDirs_ = std::make_unique<ScopedEnvironment>("XDG_CONFIG_DIRS", (root_ / "config").string());
        dataHome_ = std::make_unique<ScopedEnvironment>("XDG_DATA_HOME", (root_ / "data").string());
        platform::setCodePageForTesting(1252);
    }
    void TearDown() override {
        platform::setCodePageForTesting(0);
        configDirs_.reset();
        dataHome_.reset();
        if (!root_.empty())
            fs::remove_all(root_);
    }

    static std::u16string url(const std::string& behaviour = {}) {
        return u16(behaviour.empty() ? server_->httpUrl : server_->httpUrlFor(behaviour));
    }

    Outcome download(const std::string& behaviour, std::u16string login = u"alice") {
        return downloadToken(caller_, url(behaviour), login, u"secret");
    }

    RpcCaller caller_;
    fs::path root_;
    std::unique_ptr<ScopedEnvironment> configDirs_, dataHome_;
};

TEST_F(OperationsTest, DownloadWithAuthorisationCodeGivesTheProvisionedToken) {
    Outcome outcome = downloadToken(caller_, url(), u"alice", u"p<a&ss");
    ASSERT_TRUE(ends(outcome, Outcome::Kind::Information, u"The token has been successfully downloaded."));
    ASSERT_TRUE(outcome.token);
    const COtpToken& token = *outcome.token;
    EXPECT_EQ(token.provisioned, 1);
    EXPECT_EQ(token.userName, u"alice");
    EXPECT_EQ(token.tokenName, u"Demo token");
    EXPECT_EQ(token.serial.size(), 10u);
    EXPECT_EQ(token.label, u"Valdorix Demo:" + token.serial);
    EXPECT_EQ(token.serviceUrl, u16(server_->httpUrl));
    EXPECT_EQ(token.kind, TokenKind::Event);
    EXPECT_EQ(token.primaryKeyLength, 20);

    // Three separate structs, members in name order, the password's < and & as entities.
    auto requests = server_->requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].body,
              prologue +
                  "oxa.downloadTokenV5</methodName>\r\n<params>"
                  "<param><value><struct><member><name>loginName</name><value>alice</value></member>"
                  "</struct></value></param>"
                  "<param><value><struct><member><name>password</name><value>p&lt;a&amp;ss</value>"
                  "</member></struct></value></param>"
                  "<param><value><struct><member><name>manufacturerCode</name><value>CV</value></member>"
                  "<member><name>productCode</name><value>QZ</value></member></struct></value></param>"
                  "</params></methodCall>\r\n");
}

TEST_F(OperationsTest, LoginDataGoesInTheAnsiCodePage) {
    download("", u"J\u00f6rg \u20ac");
    auto requests = server_->requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_NE(requests[0].body.find("<name>loginName</name><value>J\xf6rg \x80</value>"), std::string::npos);
}

TEST_F(OperationsTest, DownloadWithoutAuthorisationCodeHandsThePackOver) {
    Outcome outcome = download("noac");
    ASSERT_EQ(outcome.kind, Outcome::Kind::PackHandOff) << narrow(outcome.text);
    EXPECT_FALSE(outcome.token);

    // Lines of 72 characters, each ended by CR LF; the last may be shorter and unended.
    const std::u16string& text = outcome.text;
    std::size_t start = 0, lines = 0;
    while (start < text.size()) {
        std::size_t end = text.find(u"\r\n", start);
        if (end == std::u16string::npos) {
            EXPECT_LT(text.size() - start, 72u);
            break;
        }
        EXPECT_EQ(end - start, 72u);
        start = end + 2;
        ++lines;
    }
    EXPECT_GE(lines, 2u);

    // The text is the pack: the code typed later deciphers it.
    auto pack = XmlRpc::base64Decode(narrow(text));
    auto token = decryptDescriptor("12345678", pack);
    ASSERT_TRUE(token);
    EXPECT_EQ(token->userName, u"alice");
}

TEST(PackTextTest, BreaksAfterEvery72Characters) {
    EXPECT_EQ(packText({}), u"");
    EXPECT_EQ(packText({'a', 'b', 'c'}), u"YWJj");
    const XmlRpc::BinaryData exactly54(54, 0); // 72 Base64 characters
    EXPECT_EQ(packText(exactly54), std::u16string(72, u'A') + u"\r\n");
    const XmlRpc::BinaryData longer(55, 0);
    EXPECT_EQ(packText(longer), std::u16string(72, u'A') + u"\r\nAA==");
}

TEST_F(OperationsTest, ReplyOutcomesOfTheDownload) {
    struct Case {
        const char* behaviour;
        Outcome::Kind kind;
        std::u16string text;
    };
    const Case cases[] = {
        {"badac", Outcome::Kind::Error, u"Invalid token data"},
        {"lowercase-ok", Outcome::Kind::Information, u"The token has been successfully downloaded."},
        {"refuse", Outcome::Kind::Error, u"REFUSED"},
        {"refuse-explained", Outcome::Kind::Error, u"Your account is locked."},
        {"fault", Outcome::Kind::Error, u"Unknown user or wrong password"},
        {"fault-nostring", Outcome::Kind::Error, u""},
        {"only-ok", Outcome::Kind::Nothing, u""},
        {"number", Outcome::Kind::Error, u"type error: expected a struct"},
        {"wrong-shape", Outcome::Kind::Error, u"type error: expected a struct"},
        {"secret-string", Outcome::Kind::Error, u"type error"},
        {"fault-number", Outcome::Kind::Error, u"type error"},
        {"notfound", Outcome::Kind::Error, u"Failed to connect the server."},
        {"html", Outcome::Kind::Error, u"Failed to connect the server."},
        {"error500", Outcome::Kind::Error, u"Failed to connect the server."},
        {"unauthorized", Outcome::Kind::Error, u"Failed to connect the server."},
        {"beyond-unicode", Outcome::Kind::Error, u"Failed to connect the server."},
    };
    for (const auto& c : cases) {
        RpcCaller caller;
        Outcome outcome = downloadToken(caller, url(c.behaviour), u"alice", u"secret");
        EXPECT_TRUE(ends(outcome, c.kind, c.text)) << c.behaviour;
        EXPECT_EQ(outcome.token != nullptr, c.kind == Outcome::Kind::Information) << c.behaviour;
    }
}

TEST_F(OperationsTest, LoginNameCanPickTheBehaviour) {
    EXPECT_TRUE(ends(download("", u"refuse"), Outcome::Kind::Error, u"REFUSED"));
}

TEST_F(OperationsTest, UnreachableServerFailsToConnect) {
    Outcome outcome =
        downloadToken(caller_, u"http://127.0.0.1:" + u16(std::to_string(unusedLocalPort())) + u"/rpc",
                      u"alice", u"secret");
    EXPECT_TRUE(ends(outcome, Outcome::Kind::Error, u"Failed to connect the server."));
    EXPECT_EQ(caller_.errorText(), u"Failed to connect the server.");
}

TEST_F(OperationsTest, EmptyArrayKeepsThePreviousErrorText) {
    EXPECT_TRUE(ends(download("empty-array"), Outcome::Kind::Error, u""));
    EXPECT_TRUE(ends(download("refuse"), Outcome::Kind::Error, u"REFUSED"));
    EXPECT_TRUE(ends(download("empty-array"), Outcome::Kind::Error, u"REFUSED"));
}

TEST_F(OperationsTest, ActivationSendsTheDigestOfTheCodeNeverTheCode) {
    Outcome outcome = activateToken(caller_, url(), u"REF-1", u"C0DE-4711");
    EXPECT_TRUE(ends(outcome, Outcome::Kind::Information, u"Token successfully activated"));

    std::uint8_t digest[Sha1DigestLength];
    sha1("C0DE-4711", 9, digest);
    auto requests = server_->requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].body, prologue +
                                    "oxa.activateToken</methodName>\r\n<params>"
                                    "<param><value>REF-1</value></param>"
                                    "<param><value><base64>" +
                                    XmlRpc::base64Encode(digest, sizeof digest) +
                                    "</base64></value></param>"
                                    "<param><value></value></param>"
                                    "</params></methodCall>\r\n");
    EXPECT_EQ(requests[0].body.find("C0DE-4711"), std::string::npos);
}

TEST_F(OperationsTest, ReplyOutcomesOfTheActivation) {
    const std::pair<const char*, std::u16string> cases[] = {
        {"refuse", u"REFUSED"},
        {"fault", u"Unknown user or wrong password"},
        {"notfound", u"Failed to connect the server."},
        // A reply of the wrong shape raises inside the call; the activation shows its message.
        {"number", u"type error: expected a struct"},
        {"wrong-shape", u"type error: expected a struct"},
    };
    for (const auto& [behaviour, text] : cases) {
        RpcCaller caller;
        EXPECT_TRUE(ends(activateToken(caller, url(behaviour), u"REF", u"1234"), Outcome::Kind::Error, text))
            << behaviour;
    }
}

TEST_F(OperationsTest, SynchronisationSendsSerialAndCodes) {
    Outcome outcome = syncToken(caller_, url(), u"VX0001", u"123456,654321");
    EXPECT_TRUE(ends(outcome, Outcome::Kind::Information, u"The token has been successfully synchronised."));
    auto requests = server_->requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].body, prologue + "oxa.syncToken</methodName>\r\n<params>"
                                           "<param><value>VX0001</value></param>"
                                           "<param><value>123456,654321</value></param>"
                                           "</params></methodCall>\r\n");
}

TEST_F(OperationsTest, ReplyOutcomesOfTheSynchronisation) {
    const std::pair<const char*, std::u16string> cases[] = {
        {"lowercase-ok", u"The token has been successfully synchronised."},
        {"refuse-explained", u"Your account is locked."},
        {"fault", u"Unknown user or wrong password"},
        {"html", u"Failed to connect the server."},
        {"wrong-shape", u"Synchronise failed."},
        {"number", u"Synchronise failed."},
        {"fault-number", u"Synchronise failed."},
    };
    for (const auto& [behaviour, text] : cases) {
        RpcCaller caller;
        Outcome outcome = syncToken(caller, url(behaviour), u"VX0001", u"1,2");
        const auto kind =
            behaviour == std::string("lowercase-ok") ? Outcome::Kind::Information : Outcome::Kind::Error;
        EXPECT_TRUE(ends(outcome, kind, text)) << behaviour;
    }
}

TEST_F(OperationsTest, CallerReportsWrongShapedRepliesByException) {
    XmlRpcVariant params;
    params[0] = "x";
    const std::pair<const char*, const char*> cases[] = {
        {"wrong-shape", "type error: expected a struct"}, // status is a number in an array
        {"fault-number", "type error"},                   // faultString is a number
    };
    for (const auto& [behaviour, message] : cases) {
        caller_.setServiceUrl(url(behaviour));
        XmlRpcVariant result;
        try {
            caller_.call("oxa.syncToken", params, result);
            ADD_FAILURE() << behaviour << ": no exception";
        } catch (const XmlRpc::XmlRpcException& e) {
            EXPECT_EQ(e.message(), message);
            EXPECT_EQ(e.code(), -1);
        }
    }
}

TEST_F(OperationsTest, AnAbortBeforeTheCallStartsSticksToTheCaller) {
    RpcCaller caller;
    caller.abort();
    EXPECT_TRUE(ends(syncToken(caller, url("only-ok"), u"VX", u"1"), Outcome::Kind::Error,
                     u"Failed to connect the server."));
    EXPECT_TRUE(server_->requests().empty());
}

} // namespace
