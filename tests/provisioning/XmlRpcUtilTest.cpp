#include "provisioning/XmlRpcUtil.h"

#include <gtest/gtest.h>
#include <stdexcept>
#include <string>
#include <vector>

using namespace XmlRpc;

namespace {

// --- Entities -------------------------------------------------------------------------------

TEST(XmlRpcEntities, EncodeEscapesExactlyTheFiveCharacters) {
    EXPECT_EQ(encodeEntities("plain text"), "plain text");
    EXPECT_EQ(encodeEntities("a<b"), "a&lt;b");
    EXPECT_EQ(encodeEntities("<>&'\""), "&lt;&gt;&amp;&apos;&quot;");
    EXPECT_EQ(encodeEntities("&amp;"), "&amp;amp;");
    EXPECT_EQ(encodeEntities(std::string("\x01\n\xFF\0x", 5)), std::string("\x01\n\xFF\0x", 5));
    EXPECT_EQ(encodeEntities(""), "");
}

TEST(XmlRpcEntities, Decode) {
    struct Case {
        std::string text;
        std::string decoded;
    };
    const Case cases[] = {
        {"no entities", "no entities"},
        {"&lt;&gt;&amp;&apos;&quot;", "<>&'\""},
        {"&amp;lt;", "&lt;"},
        {"fish & chips", "fish & chips"},
        {"&nbsp;&LT;&lt", "&nbsp;&LT;&lt"},
        {"tail&", "tail&"},
        {"&#65;&#66;C", "ABC"},
        {"&#233;", "\xC3\xA9"},
        {"&#8364;", "\xE2\x82\xAC"},
        {"&#128512;", "\xF0\x9F\x98\x80"},
        {"&#1114111;", "\xF4\x8F\xBF\xBF"},
        {"&#127;&#128;", "\x7F\xC2\x80"},
        {"&#55296;", "\xED\xA0\x80"}, // a surrogate is encoded like any other value
        {"&#x41;", std::string(1, '\0')},
        {"&#;", std::string(1, '\0')},
        {"&# +66;", "B"},
        {"&#67abc;d", "Cd"},
        {"&#65 no semicolon", "&#65 no semicolon"},
        {"&#65 &#66;x", "Ax"}, // a reference runs to the next ";" and reads "65 &#66" as 65
    };
    for (const Case& c : cases)
        EXPECT_EQ(decodeEntities(c.text), c.decoded) << c.text;
}

TEST(XmlRpcEntities, ReferenceBeyondUnicodeRaisesBadConversion) {
    for (const char* text : {"&#1114112;", "&#-1;", "&#99999999999999999999;", "&#4294967361;"}) {
        try {
            decodeEntities(text);
            ADD_FAILURE() << text << " did not raise";
        } catch (const std::range_error& e) {
            EXPECT_STREQ(e.what(), "bad conversion") << text;
        }
    }
}

TEST(XmlRpcEntities, ManyUnterminatedReferencesStayLinear) {
    std::string text;
    for (int i = 0; i < 200000; ++i)
        text += "&#1";
    EXPECT_EQ(decodeEntities(text), text);
}

TEST(XmlRpcEntities, EncodedTextDecodesToItself) {
    const std::string text = "&#65; <tag attr='v'> & \"q\" &amp;";
    EXPECT_EQ(decodeEntities(encodeEntities(text)), text);
}

// --- Base64 ---------------------------------------------------------------------------------

BinaryData bytes(std::string_view text) {
    return BinaryData(text.begin(), text.end());
}

TEST(XmlRpcBase64, EncodeRfc4648Vectors) {
    const std::pair<std::string, std::string> vectors[] = {
        {"", ""},
        {"f", "Zg=="},
        {"fo", "Zm8="},
        {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="},
        {"fooba", "Zm9vYmE="},
        {"foobar", "Zm9vYmFy"},
    };
    for (const auto& [plain, encoded] : vectors) {
        EXPECT_EQ(base64Encode(bytes(plain)), encoded) << plain;
        EXPECT_EQ(base64Decode(encoded), bytes(plain)) << encoded;
    }
    EXPECT_EQ(base64Encode(BinaryData{0xFB, 0xFF}), "+/8=");
}

TEST(XmlRpcBase64, LongDataStaysOnOneLine) {
    BinaryData data(200);
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<unsigned char>(i * 7);
    const std::string encoded = base64Encode(data);
    EXPECT_EQ(encoded.size(), 268u);
    EXPECT_EQ(encoded.find_first_of("\r\n"), std::string::npos);
    EXPECT_EQ(base64Decode(encoded), data);
}

TEST(XmlRpcBase64, Decode) {
    struct Case {
        std::string text;
        std::string decoded;
    };
    const Case cases[] = {
        {"Zm9v\r\nYmFy", "foobar"},
        {" Z m 9 v\tY\nm\rF y ", "foobar"},
        {"Zm9v!@#$%^YmFy", "foobar"},
        {"Zm9vY\nmFyZm9vYmFy", "foobarfoobar"}, // groups out of step with the text after a break
        {"Zm", ""},    // a final group cut short yields nothing
        {"Zm==", "f"}, // the same group padded yields one byte
        {"Zm9", ""},
        {"Zm9=", "fo"},
        {"Zg=x", "f"},             // "=" third ends decoding after one byte
        {"Zm9vZm8=Zm9v", "foofo"}, // "=" fourth ends it after two
        {"Zm9v=Zm9v", "foo"},      // "=" first ends at once
        {"Zm9vZ=m9v", "foo"},      // "=" second ends at once
        {"====", ""},
        {"", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(base64Decode(c.text), bytes(c.decoded)) << c.text;
}

// --- Tag scanner ----------------------------------------------------------------------------

TEST(XmlRpcTags, ConsumeTagSkipsWhitespaceAndMatchesExactly) {
    std::size_t offset = 0;
    EXPECT_TRUE(consumeTag("<params>", " \r\n\t<params><param>", offset));
    EXPECT_EQ(offset, 12u);
    offset = 0;
    EXPECT_FALSE(consumeTag("<params>", "  <Params>", offset));
    EXPECT_EQ(offset, 0u);
    offset = 0;
    EXPECT_FALSE(consumeTag("<params>", "  <par", offset));
    EXPECT_EQ(offset, 0u);
    offset = 99;
    EXPECT_FALSE(consumeTag("<a>", "<a>", offset));
    EXPECT_EQ(offset, 99u);
}

TEST(XmlRpcTags, SeekPastTag) {
    std::size_t offset = 1;
    EXPECT_TRUE(seekPastTag("</value>", "</value>x</value>y", offset));
    EXPECT_EQ(offset, 17u);
    EXPECT_FALSE(seekPastTag("</value>", "</value>x</value>y", offset));
    EXPECT_EQ(offset, 17u);
}

TEST(XmlRpcTags, ReadAnyTag) {
    std::size_t offset = 0;
    EXPECT_EQ(readAnyTag("  <i4>5</i4>", offset), "<i4>");
    EXPECT_EQ(offset, 6u);
    EXPECT_EQ(readAnyTag("  <i4>5</i4>", offset), "");
    EXPECT_EQ(offset, 6u);
    offset = 0;
    EXPECT_EQ(readAnyTag(" text<i4>", offset), "");
    EXPECT_EQ(offset, 0u);
    EXPECT_EQ(readAnyTag(" <unclosed", offset), "<unclosed");
    EXPECT_EQ(offset, 10u);
}

TEST(XmlRpcTags, ExtractElement) {
    const std::string text = "<member> <name>a b</name><value>";
    std::size_t offset = 0;
    EXPECT_EQ(extractElement("<name>", text, offset), "a b");
    EXPECT_EQ(text.substr(offset), "<value>");
    offset = 0;
    EXPECT_EQ(extractElement("<name>", "<name>open", offset), "");
    EXPECT_EQ(offset, 0u);
    EXPECT_EQ(extractElement("<name>", "none here", offset), "");
    EXPECT_EQ(offset, 0u);
}

// --- Diagnostics ----------------------------------------------------------------------------

struct Collector : XmlRpcErrorHandler, XmlRpcLogHandler {
    std::vector<std::string> errors;
    std::vector<std::pair<int, std::string>> logs;
    void report(const char* message) override { errors.emplace_back(message); }
    void write(int level, const char* message) override { logs.emplace_back(level, message); }
};

class XmlRpcDiagnostics : public ::testing::Test {
protected:
    void SetUp() override {
        setErrorHandler(&collector_);
        setLogHandler(&collector_);
    }
    void TearDown() override {
        setErrorHandler(nullptr);
        setLogHandler(nullptr);
        setVerbosity(0);
    }
    Collector collector_;
};

TEST_F(XmlRpcDiagnostics, ReportErrorFormatsAndCutsAt1023Characters) {
    reportError("Error in %s: %d", "parseResponse", 7);
    reportError("%s", std::string(5000, 'x').c_str());
    ASSERT_EQ(collector_.errors.size(), 2u);
    EXPECT_EQ(collector_.errors[0], "Error in parseResponse: 7");
    EXPECT_EQ(collector_.errors[1], std::string(1023, 'x'));
    reportLog(3, "level %d", 3);
    ASSERT_EQ(collector_.logs.size(), 1u);
    EXPECT_EQ(collector_.logs[0], std::make_pair(3, std::string("level 3")));
}

TEST_F(XmlRpcDiagnostics, DefaultHandlersWriteToStandardErrorUpToTheVerbosity) {
    setErrorHandler(nullptr);
    setLogHandler(nullptr);
    EXPECT_EQ(verbosity(), 0);
    ::testing::internal::CaptureStderr();
    reportError("first %d", 1);
    reportLog(0, "shown");
    reportLog(1, "hidden");
    setVerbosity(1);
    reportLog(1, "now shown");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "first 1\nshown\nnow shown\n");
}

} // namespace
