// Interoperability with an independent implementation: Python's standard xmlrpc.client, run as a
// child process.
#include "provisioning/XmlRpcUtil.h"
#include "provisioning/XmlRpcValue.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

using namespace XmlRpc;
namespace fs = std::filesystem;

namespace {

bool pythonAvailable() {
    static const bool available = std::system("python3 -c 'import xmlrpc.client' >/dev/null 2>&1") == 0;
    return available;
}

// Runs the interop script with `arguments`, feeding `input`; its standard output, or nothing when
// it fails.
std::optional<std::string> runPython(const std::string& arguments, const std::string& input) {
    static int counter = 0;
    const fs::path base = fs::temp_directory_path() /
                          ("valdorix-xmlrpc-" + std::to_string(::getpid()) + "-" + std::to_string(++counter));
    const fs::path in = base.string() + ".in", out = base.string() + ".out";
    std::ofstream(in, std::ios::binary) << input;
    const std::string command = "python3 '" XMLRPC_INTEROP_SCRIPT "' " + arguments + " <'" + in.string() +
                                "' >'" + out.string() + "'";
    const int status = std::system(command.c_str());
    std::ifstream stream(out, std::ios::binary);
    std::string output((std::istreambuf_iterator<char>(stream)), std::istreambuf_iterator<char>());
    fs::remove(in);
    fs::remove(out);
    if (status != 0)
        return std::nullopt;
    return output;
}

std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::string part;
    std::istringstream stream(text);
    while (std::getline(stream, part, separator))
        parts.push_back(part);
    return parts;
}

// Reads the result of a method response the way the client does: past <methodResponse>,
// <params> and <param>, then one value.
std::optional<XmlRpcVariant> readResponse(const std::string& document) {
    std::size_t offset = 0;
    XmlRpcVariant value;
    if (!seekPastTag("<methodResponse>", document, offset) || !consumeTag("<params>", document, offset) ||
        !consumeTag("<param>", document, offset) || !value.readXml(document, offset))
        return std::nullopt;
    return value;
}

// A method call framed as the client frames it.
std::string methodCall(const std::string& method, const std::vector<XmlRpcVariant>& params) {
    std::string body =
        "<?xml version=\"1.0\"?>\r\n<methodCall><methodName>" + method + "</methodName>\r\n<params>";
    for (const XmlRpcVariant& param : params)
        body += "<param>" + param.writeXml() + "</param>";
    return body + "</params></methodCall>\r\n";
}

std::tm calendar(int year, int month, int day, int hour, int minute, int second) {
    std::tm time{};
    time.tm_year = year - 1900;
    time.tm_mon = month - 1;
    time.tm_mday = day;
    time.tm_hour = hour;
    time.tm_min = minute;
    time.tm_sec = second;
    return time;
}

BinaryData byteRange(int count) {
    BinaryData data;
    for (int i = 0; i < count; ++i)
        data.push_back(static_cast<unsigned char>(i));
    return data;
}

XmlRpcVariant array(std::vector<XmlRpcVariant> elements) {
    XmlRpcVariant value;
    value.resize(0);
    for (std::size_t i = 0; i < elements.size(); ++i)
        value[i] = std::move(elements[i]);
    return value;
}

XmlRpcVariant record(std::vector<std::pair<std::string, XmlRpcVariant>> members) {
    XmlRpcVariant value;
    value.asStruct();
    for (auto& [name, member] : members)
        value[name] = std::move(member);
    return value;
}

class XmlRpcInterop : public ::testing::Test {
protected:
    void SetUp() override {
        if (!pythonAvailable())
            GTEST_SKIP() << "python3 with xmlrpc.client not found: interoperability not checked";
    }
};

struct ResponseCase {
    std::string python; // a Python expression
    XmlRpcVariant expected;
};

void checkResponses(const std::vector<ResponseCase>& cases, const std::string& mode) {
    std::string expressions;
    for (const ResponseCase& c : cases)
        expressions += c.python + "\n";
    const std::optional<std::string> output = runPython(mode, expressions);
    ASSERT_TRUE(output) << "python failed";
    const std::vector<std::string> documents = split(*output, '\0');
    ASSERT_EQ(documents.size(), cases.size());
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const std::optional<XmlRpcVariant> value = readResponse(documents[i]);
        ASSERT_TRUE(value) << cases[i].python << "\n" << documents[i];
        EXPECT_EQ(*value, cases[i].expected) << cases[i].python << "\n" << documents[i];
    }
}

TEST_F(XmlRpcInterop, ReadsResponsesPythonWrites) {
    checkResponses(
        {
            {"42", XmlRpcVariant(42)},
            {"-2147483648", XmlRpcVariant(-2147483647 - 1)},
            {"True", XmlRpcVariant(true)},
            {"False", XmlRpcVariant(false)},
            {"1.5", XmlRpcVariant(1.5)},
            {"-0.001", XmlRpcVariant(-0.001)},
            {"1e+300", XmlRpcVariant(1e300)},
            {"'plain'", XmlRpcVariant("plain")},
            {"''", XmlRpcVariant("")},
            {"'  padded \\n '", XmlRpcVariant("  padded \n ")},
            {"'a<b & \"c\" \\'d\\' >'", XmlRpcVariant("a<b & \"c\" 'd' >")},
            {"'h\\u00e9 \\u20ac \\U0001F600'", XmlRpcVariant("h\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80")},
            {"datetime.datetime(2018, 3, 5, 9, 7, 2)", XmlRpcVariant(calendar(2018, 3, 5, 9, 7, 2))},
            {"bytes(range(256))", XmlRpcVariant(byteRange(256))},
            {"Binary(b'')", XmlRpcVariant(BinaryData{})},
            {"[]", array({})},
            {"{}", record({})},
            {"[1, 'two', [3.5, [True]], {'k': 'v'}]",
             array({1, "two", array({3.5, array({true})}), record({{"k", "v"}})})},
            {"{'status': 'OK', 'nested': {'list': [1, 2]}, 'z': 0, 'A': 'x'}",
             record({{"status", "OK"}, {"nested", record({{"list", array({1, 2})}})}, {"z", 0}, {"A", "x"}})},
            {"['OK', {'secret': bytes(range(200)), 'identifier': 'QZ0001', 'status': 'new', 'ac': '1234'}]",
             array({"OK", record({{"secret", byteRange(200)},
                                  {"identifier", "QZ0001"},
                                  {"status", "new"},
                                  {"ac", "1234"}})})},
        },
        "respond");
}

TEST_F(XmlRpcInterop, ReadsNumericCharacterReferencesAsUtf8) {
    checkResponses(
        {
            {"'h\\u00e9'", XmlRpcVariant("h\xC3\xA9")},
            {"'\\u20ac \\U0001F600 <&>'", XmlRpcVariant("\xE2\x82\xAC \xF0\x9F\x98\x80 <&>")},
            {"{'n\\u00e4me': ['\\u0416']}", record({{"n&#228;me", array({"\xD0\x96"})}})},
        },
        "respond ascii");
}

TEST_F(XmlRpcInterop, PythonReadsCallsWeWrite) {
    struct Case {
        std::string method;
        std::vector<XmlRpcVariant> params;
        std::string python; // ascii() of what loads gives
    };
    const std::vector<Case> cases = {
        {"oxa.downloadTokenV5",
         {record({{"loginName", "alice"}}), record({{"password", "p<&>'\""}}),
          record({{"productCode", "QZ"}, {"manufacturerCode", "CV"}})},
         R"(('oxa.downloadTokenV5', ({'loginName': 'alice'}, {'password': 'p<&>\'"'}, )"
         R"({'manufacturerCode': 'CV', 'productCode': 'QZ'})))"},
        {"scalars",
         {42, -7, true, false, 1.5, 3.14159265, "", "  spaced", "h\xC3\xA9"},
         R"(('scalars', (42, -7, True, False, 1.5, 3.141593, '', '  spaced', 'h\xe9')))"},
        {"oxa.activateToken",
         {"ref", BinaryData{0, 1, 2, 255}, BinaryData{}, XmlRpcVariant(calendar(2018, 3, 5, 9, 7, 2))},
         R"(('oxa.activateToken', ('ref', b'\x00\x01\x02\xff', b'', datetime.datetime(2018, 3, 5, 9, 7, 2))))"},
        {"nested",
         {array({}), record({}), array({1, array({"x", record({{"b", 2}, {"a", array({})}})})})},
         R"(('nested', ([], {}, [1, ['x', {'a': [], 'b': 2}]])))"},
    };
    std::string input;
    for (const Case& c : cases)
        input += (input.empty() ? "" : std::string(1, '\0')) + methodCall(c.method, c.params);
    const std::optional<std::string> output = runPython("load", input);
    ASSERT_TRUE(output) << "python failed to load our calls";
    const std::vector<std::string> lines = split(*output, '\n');
    ASSERT_EQ(lines.size(), cases.size());
    for (std::size_t i = 0; i < cases.size(); ++i)
        EXPECT_EQ(lines[i], cases[i].python) << methodCall(cases[i].method, cases[i].params);
}

} // namespace
