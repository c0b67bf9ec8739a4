#include "provisioning/XmlRpcValue.h"

#include "provisioning/XmlRpcException.h"

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <stdexcept>
#include <string>
#include <unistd.h>

using namespace XmlRpc;

namespace {

// The message of the XmlRpcException that `action` throws; "" when it throws none.
template <typename Action>
std::string typeErrorOf(Action action) {
    try {
        action();
    } catch (const XmlRpcException& e) {
        EXPECT_EQ(e.code(), -1);
        return e.message();
    }
    return {};
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

XmlRpcVariant read(const std::string& text) {
    XmlRpcVariant value;
    std::size_t offset = 0;
    EXPECT_TRUE(value.readXml(text, offset)) << text;
    return value;
}

// --- Data model and access ------------------------------------------------------------------

TEST(XmlRpcVariantAccess, TypeCodesAreStable) {
    EXPECT_EQ(XmlRpcVariant().type(), 0);
    EXPECT_EQ(XmlRpcVariant(true).type(), 1);
    EXPECT_EQ(XmlRpcVariant(7).type(), 2);
    EXPECT_EQ(XmlRpcVariant(1.5).type(), 3);
    EXPECT_EQ(XmlRpcVariant("text").type(), 4);
    EXPECT_EQ(XmlRpcVariant(calendar(2018, 3, 5, 9, 7, 2)).type(), 5);
    EXPECT_EQ(XmlRpcVariant(BinaryData{1, 2}).type(), 6);
    XmlRpcVariant array;
    array.resize(0);
    EXPECT_EQ(array.type(), 7);
    XmlRpcVariant record;
    record["a"];
    EXPECT_EQ(record.type(), 8);
    EXPECT_FALSE(XmlRpcVariant().isValid());
    EXPECT_TRUE(XmlRpcVariant(0).isValid());
}

TEST(XmlRpcVariantAccess, InvalidBecomesTheRequestedTypeAndOtherTypesRaise) {
    XmlRpcVariant value;
    EXPECT_EQ(value.asString(), "");
    EXPECT_EQ(value.type(), XmlRpcVariant::TypeString);
    value.asString() = "abc";
    EXPECT_EQ(typeErrorOf([&] { value.asInt(); }), "type error");
    EXPECT_EQ(typeErrorOf([&] { value.asBinary(); }), "type error");
    EXPECT_EQ(value.asString(), "abc") << "a failed access leaves the value as it was";

    XmlRpcVariant number;
    number.asInt() = 5;
    EXPECT_EQ(number.asInt(), 5);
    EXPECT_EQ(typeErrorOf([&] { number.asBool(); }), "type error");

    // Assigning a payload replaces the value whatever its type was.
    number = std::string("now a string");
    EXPECT_EQ(number.type(), XmlRpcVariant::TypeString);
    number = BinaryData{9};
    EXPECT_EQ(number.asBinary(), BinaryData{9});
    number = static_cast<const char*>(nullptr);
    EXPECT_EQ(number, XmlRpcVariant(""));
}

TEST(XmlRpcVariantAccess, ConstAccessReadsInvalidAsEmptyWithoutChangingIt) {
    const XmlRpcVariant invalid;
    EXPECT_EQ(invalid.asString(), "");
    EXPECT_EQ(invalid.asInt(), 0);
    EXPECT_FALSE(invalid.isValid());
    const XmlRpcVariant number(3);
    EXPECT_EQ(typeErrorOf([&] { number.asString(); }), "type error");
}

TEST(XmlRpcVariantAccess, SizeCountsBytesElementsAndMembers) {
    EXPECT_EQ(XmlRpcVariant("h\xC3\xA9").size(), 3u);
    EXPECT_EQ(XmlRpcVariant(BinaryData(5)).size(), 5u);
    XmlRpcVariant array;
    array[2] = 1;
    EXPECT_EQ(array.size(), 3u);
    XmlRpcVariant record;
    record["x"] = 1;
    record["y"] = 2;
    EXPECT_EQ(record.size(), 2u);
    EXPECT_EQ(typeErrorOf([] { XmlRpcVariant(42).size(); }), "type error");
    EXPECT_EQ(typeErrorOf([] { XmlRpcVariant().size(); }), "type error");
    EXPECT_EQ(typeErrorOf([] { XmlRpcVariant(true).size(); }), "type error");
}

TEST(XmlRpcVariantAccess, ArrayAccess) {
    XmlRpcVariant array;
    array.resize(2);
    EXPECT_EQ(array.size(), 2u);
    EXPECT_FALSE(array[1].isValid());
    array.resize(1);
    EXPECT_EQ(array.size(), 2u) << "resize never shrinks";
    array[4] = "e";
    EXPECT_EQ(array.size(), 5u);

    const XmlRpcVariant& constArray = array;
    EXPECT_EQ(constArray[4].asString(), "e");
    EXPECT_EQ(typeErrorOf([&] { constArray[5]; }), "range error: array index too large");

    XmlRpcVariant two;
    two[1] = 0;
    const XmlRpcVariant& constTwo = two;
    EXPECT_EQ(typeErrorOf([&] { constTwo[3]; }), "range error: array index too large");

    const XmlRpcVariant invalid;
    EXPECT_EQ(typeErrorOf([&] { invalid[0]; }), "type error: expected an array");
    XmlRpcVariant text("x");
    EXPECT_EQ(typeErrorOf([&] { text.resize(1); }), "type error: expected an array");
    EXPECT_EQ(typeErrorOf([&] { text[0]; }), "type error: expected an array");
    EXPECT_EQ(text.asString(), "x");
}

TEST(XmlRpcVariantAccess, StructAccess) {
    XmlRpcVariant record;
    EXPECT_FALSE(record.contains("a"));
    // An absent member read as a string is empty, not an error.
    EXPECT_EQ(record["missing"].asString(), "");
    EXPECT_TRUE(record.contains("missing"));
    EXPECT_FALSE(record.contains("other"));

    XmlRpcVariant array;
    array[0] = 1;
    EXPECT_EQ(typeErrorOf([&] { array["faultString"]; }), "type error: expected a struct");
    EXPECT_FALSE(array.contains("faultString"));
    EXPECT_FALSE(XmlRpcVariant("x").contains("x"));
}

TEST(XmlRpcVariantAccess, CopiesAreDeepAndAssignmentSurvivesAliasing) {
    XmlRpcVariant tree;
    tree["list"][0] = "first";
    tree["list"][1]["inner"] = 7;
    XmlRpcVariant copy = tree;
    copy["list"][1]["inner"] = 8;
    EXPECT_EQ(tree["list"][1]["inner"].asInt(), 7);
    EXPECT_EQ(copy["list"][1]["inner"].asInt(), 8);

    XmlRpcVariant moved = std::move(copy);
    EXPECT_FALSE(copy.isValid()); // NOLINT(bugprone-use-after-move): moves leave the value invalid
    EXPECT_EQ(moved["list"][0].asString(), "first");

    // Assigning a part of a value to the value itself.
    tree = tree["list"];
    EXPECT_EQ(tree.type(), XmlRpcVariant::TypeArray);
    EXPECT_EQ(tree[0].asString(), "first");
    const XmlRpcVariant& self = tree;
    tree = self;
    EXPECT_EQ(tree.size(), 2u);

    tree.clear();
    EXPECT_FALSE(tree.isValid());
}

// --- Writer ---------------------------------------------------------------------------------

TEST(XmlRpcWriter, Scalars) {
    struct Case {
        XmlRpcVariant value;
        std::string xml;
    };
    const Case cases[] = {
        {XmlRpcVariant(42), "<value><i4>42</i4></value>"},
        {XmlRpcVariant(-2147483647 - 1), "<value><i4>-2147483648</i4></value>"},
        {XmlRpcVariant(true), "<value><boolean>1</boolean></value>"},
        {XmlRpcVariant(false), "<value><boolean>0</boolean></value>"},
        {XmlRpcVariant(1.5), "<value><double>1.500000</double></value>"},
        {XmlRpcVariant(3.14159265), "<value><double>3.141593</double></value>"},
        {XmlRpcVariant(-0.0000004), "<value><double>-0.000000</double></value>"},
        {XmlRpcVariant("a<b"), "<value>a&lt;b</value>"},
        {XmlRpcVariant("<>&'\""), "<value>&lt;&gt;&amp;&apos;&quot;</value>"},
        {XmlRpcVariant("\t\x01\xE9 x"), "<value>\t\x01\xE9 x</value>"},
        {XmlRpcVariant(""), "<value></value>"},
        {XmlRpcVariant(calendar(2018, 3, 5, 9, 7, 2)),
         "<value><dateTime.iso8601>20180305T09:07:02</dateTime.iso8601></value>"},
        {XmlRpcVariant(calendar(7, 1, 1, 0, 0, 0)),
         "<value><dateTime.iso8601>   70101T00:00:00</dateTime.iso8601></value>"},
        {XmlRpcVariant(BinaryData{'a', 'b', 'c', 'd'}), "<value><base64>YWJjZA==</base64></value>"},
        {XmlRpcVariant(BinaryData{}), "<value><base64></base64></value>"},
        {XmlRpcVariant(), ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.value.writeXml(), c.xml);
}

// Switches the process to a German locale, whose decimal mark is a comma; compiles it into
// `folder` when the system has none installed.
bool useGermanLocale(const std::filesystem::path& folder) {
    if (std::setlocale(LC_ALL, "de_DE.UTF-8"))
        return true;
    std::filesystem::create_directories(folder);
    const std::string command =
        "localedef -i de_DE -f UTF-8 '" + (folder / "de_DE.UTF-8").string() + "' >/dev/null 2>&1";
    if (std::system(command.c_str()) == -1)
        return false;
    ::setenv("LOCPATH", folder.c_str(), 1);
    return std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;
}

TEST(XmlRpcWriter, DoublesUseAPointWhateverTheProcessLocale) {
    // The UI library sets the process locale from the environment.
    const std::string previous = std::setlocale(LC_ALL, nullptr);
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("valdorix-locale-" + std::to_string(::getpid()));
    const bool german = useGermanLocale(folder);
    char printed[32] = "";
    std::snprintf(printed, sizeof printed, "%f", 1.5);
    const std::string written = XmlRpcVariant(1.5).writeXml();
    XmlRpcVariant value;
    std::size_t offset = 0;
    const bool ok = value.readXml("<value><double>2.25</double></value>", offset);
    std::setlocale(LC_ALL, previous.c_str());
    ::unsetenv("LOCPATH");
    std::filesystem::remove_all(folder);
    if (!german || std::string(printed) != "1,500000")
        GTEST_SKIP() << "no German locale available";

    EXPECT_EQ(written, "<value><double>1.500000</double></value>");
    ASSERT_TRUE(ok);
    EXPECT_EQ(value.asDouble(), 2.25);
}

TEST(XmlRpcWriter, HugeDoubleIsCutTo255Characters) {
    const std::string xml = XmlRpcVariant(1e300).writeXml();
    const std::string open = "<value><double>";
    ASSERT_EQ(xml.rfind(open, 0), 0u);
    const std::string number =
        xml.substr(open.size(), xml.size() - open.size() - std::string("</double></value>").size());
    EXPECT_EQ(number.size(), 255u);
    EXPECT_EQ(number.substr(0, 2), "10");
}

TEST(XmlRpcWriter, StructMembersInByteOrderWithEncodedNames) {
    XmlRpcVariant codes;
    codes["productCode"] = "QZ";
    codes["manufacturerCode"] = "CV";
    EXPECT_EQ(codes.writeXml(), "<value><struct>"
                                "<member><name>manufacturerCode</name><value>CV</value></member>"
                                "<member><name>productCode</name><value>QZ</value></member>"
                                "</struct></value>");

    XmlRpcVariant bytes;
    bytes["\xC3\xA9"] = 1; // a byte above 127 sorts after ASCII
    bytes["Z"] = 2;
    bytes["a&b"] = 3;
    EXPECT_EQ(bytes.writeXml(), "<value><struct>"
                                "<member><name>Z</name><value><i4>2</i4></value></member>"
                                "<member><name>a&amp;b</name><value><i4>3</i4></value></member>"
                                "<member><name>\xC3\xA9</name><value><i4>1</i4></value></member>"
                                "</struct></value>");
}

TEST(XmlRpcWriter, EmptyAndNestedContainers) {
    XmlRpcVariant array;
    array.resize(0);
    EXPECT_EQ(array.writeXml(), "<value><array><data></data></array></value>");
    XmlRpcVariant record;
    record.asStruct();
    EXPECT_EQ(record.writeXml(), "<value><struct></struct></value>");

    XmlRpcVariant nested;
    nested[0] = 1;
    nested[1][0] = "x";
    nested[2]["k"] = false;
    nested[3]; // an invalid element writes nothing
    EXPECT_EQ(nested.writeXml(), "<value><array><data>"
                                 "<value><i4>1</i4></value>"
                                 "<value><array><data><value>x</value></data></array></value>"
                                 "<value><struct><member><name>k</name><value><boolean>0</boolean></value>"
                                 "</member></struct></value>"
                                 "</data></array></value>");
}

// --- Reader ---------------------------------------------------------------------------------

TEST(XmlRpcReader, Scalars) {
    EXPECT_EQ(read("<value><i4>42</i4></value>"), XmlRpcVariant(42));
    EXPECT_EQ(read("<value><int>42</int></value>"), XmlRpcVariant(42));
    EXPECT_EQ(read("<value><int> -7</int></value>"), XmlRpcVariant(-7));
    EXPECT_EQ(read("<value><boolean>1</boolean></value>"), XmlRpcVariant(true));
    EXPECT_EQ(read("<value><boolean>0</boolean></value>"), XmlRpcVariant(false));
    EXPECT_EQ(read("<value><double>-1.25e2</double></value>"), XmlRpcVariant(-125.0));
    EXPECT_EQ(read("<value><base64>YWJj</base64></value>"), XmlRpcVariant(BinaryData{'a', 'b', 'c'}));
    EXPECT_EQ(read("<value><base64></base64></value>"), XmlRpcVariant(BinaryData{}));

    const XmlRpcVariant date = read("<value><dateTime.iso8601>20180305T09:07:02</dateTime.iso8601></value>");
    ASSERT_EQ(date.type(), XmlRpcVariant::TypeDateTime);
    const std::tm& t = date.asDateTime();
    EXPECT_EQ(t.tm_year, 118);
    EXPECT_EQ(t.tm_mon, 2);
    EXPECT_EQ(t.tm_mday, 5);
    EXPECT_EQ(t.tm_hour, 9);
    EXPECT_EQ(t.tm_min, 7);
    EXPECT_EQ(t.tm_sec, 2);
    EXPECT_EQ(t.tm_isdst, -1);
}

TEST(XmlRpcReader, IntegersSaturateLikeA32BitStrtol) {
    EXPECT_EQ(read("<value><i4>2147483648</i4></value>"), XmlRpcVariant(2147483647));
    EXPECT_EQ(read("<value><i4>-99999999999999999999</i4></value>"), XmlRpcVariant(-2147483647 - 1));
    EXPECT_EQ(read("<value><i4>12abc</i4></value>"), XmlRpcVariant(12));
}

TEST(XmlRpcReader, StringForms) {
    const std::string forms[] = {
        "<value>two words</value>",
        "<value><string>two words</string></value>",
        "<value> \r\n\t<string>two words</string>\n </value>",
    };
    for (const std::string& text : forms)
        EXPECT_EQ(read(text), XmlRpcVariant("two words")) << text;

    EXPECT_EQ(read("<value>\n  indented</value>"), XmlRpcVariant("\n  indented"));
    EXPECT_EQ(read("<value></value>"), XmlRpcVariant(""));
    EXPECT_EQ(read("<value><string></string></value>"), XmlRpcVariant(""));
    EXPECT_EQ(read("<value>a&lt;b &amp;lt; &#233;</value>"), XmlRpcVariant("a<b &lt; \xC3\xA9"));
}

TEST(XmlRpcReader, FailuresLeaveValueInvalidAndOffsetUnchanged) {
    const std::string failures[] = {
        "<value><boolean>2</boolean></value>",
        "<value><boolean>true</boolean></value>",
        "<value><i4></i4></value>",
        "<value><i4>-</i4></value>",
        "<value><double>.</double></value>",
        "<value><float>1.0</float></value>",
        "<value><nil/></value>",
        "<value><dateTime.iso8601>2018-03-05</dateTime.iso8601></value>",
        "<value>no closing tag",
        "<value><base64>YWJj",
        "<value><array></array></value>",
        "<value><struct><member><name>a</name><value><i4>1</i4></value></member>"
        "<member><name>b</name><value><bogus/></value></member></struct></value>",
        "<valu>x</value>",
        "x<value>1</value>",
        "",
    };
    for (const std::string& body : failures) {
        const std::string text = "  " + body;
        XmlRpcVariant value("previous");
        std::size_t offset = 2;
        EXPECT_FALSE(value.readXml(text, offset)) << body;
        EXPECT_FALSE(value.isValid()) << body;
        EXPECT_EQ(offset, 2u) << body;
    }
    XmlRpcVariant value;
    std::size_t offset = 100;
    EXPECT_FALSE(value.readXml("<value>x</value>", offset));
    EXPECT_EQ(offset, 100u);
}

TEST(XmlRpcReader, OffsetMovesPastClosingValueWithoutCheckingTheTypeTag) {
    const std::string text = "<param>\n <value><i4>7</wrong></value> tail";
    std::size_t offset = 7;
    XmlRpcVariant value;
    ASSERT_TRUE(value.readXml(text, offset));
    EXPECT_EQ(value, XmlRpcVariant(7));
    EXPECT_EQ(text.substr(offset), " tail");

    // Without a closing </value> the offset stays after the number.
    const std::string open = "<value><i4>9";
    offset = 0;
    ASSERT_TRUE(value.readXml(open, offset));
    EXPECT_EQ(offset, open.size());
}

TEST(XmlRpcReader, Arrays) {
    const XmlRpcVariant array = read("<value><array>\n<data>\n<value><i4>1</i4></value>\n"
                                     "<value>two</value>\n<value><array><data></data></array></value>\n"
                                     "</data>\n</array></value>");
    ASSERT_EQ(array.size(), 3u);
    EXPECT_EQ(array[0], XmlRpcVariant(1));
    EXPECT_EQ(array[1], XmlRpcVariant("two"));
    EXPECT_EQ(array[2].type(), XmlRpcVariant::TypeArray);
    EXPECT_EQ(array[2].size(), 0u);

    // Reading stops at the first element that does not read, and the array still succeeds.
    const XmlRpcVariant cut = read("<value><array><data><value><i4>1</i4></value><value><bad/></value>"
                                   "<value><i4>3</i4></value></data></array></value>");
    ASSERT_EQ(cut.size(), 1u);
    EXPECT_EQ(cut[0], XmlRpcVariant(1));
}

TEST(XmlRpcReader, Structs) {
    const XmlRpcVariant record = read("<value><struct>\n<member>\n<name>b</name>\n<value><i4>2</i4></value>\n"
                                      "</member>\n<member><name>a&amp;</name><value>x</value></member>"
                                      "<member><name>b</name><value><i4>3</i4></value></member>"
                                      "</struct></value>");
    ASSERT_EQ(record.size(), 2u);
    XmlRpcVariant copy = record;
    EXPECT_EQ(copy["b"], XmlRpcVariant(2)) << "a repeated member keeps its first value";
    EXPECT_TRUE(record.contains("a&amp;")) << "names are taken as they stand";

    EXPECT_EQ(read("<value><struct></struct></value>").type(), XmlRpcVariant::TypeStruct);
}

TEST(XmlRpcReader, StructMembersInNameOrderWhateverTheReplyOrder) {
    // A handful of members and many take different sorting paths; each gets names in reverse
    // order, every one repeated with another value that must lose.
    for (const int count : {5, 40}) {
        std::string text = "<value><struct>";
        for (int pass = 0; pass < 2; ++pass) {
            for (int i = count - 1; i >= 0; --i) {
                char name[16];
                std::snprintf(name, sizeof name, "m%02d", i);
                text += std::string("<member><name>") + name + "</name><value><i4>" + std::to_string(pass ? -1 : i) +
                        "</i4></value></member>";
            }
        }
        const XmlRpcVariant record = read(text + "</struct></value>");
        ASSERT_EQ(record.size(), std::size_t(count));
        int expected = 0;
        for (const auto& [name, value] : record.asStruct()) {
            char wanted[16];
            std::snprintf(wanted, sizeof wanted, "m%02d", expected);
            EXPECT_EQ(name, wanted) << count;
            EXPECT_EQ(value, XmlRpcVariant(expected)) << name;
            ++expected;
        }
    }
}

TEST(XmlRpcReader, NumericReferenceBeyondUnicodeRaisesBadConversion) {
    XmlRpcVariant value;
    std::size_t offset = 0;
    try {
        value.readXml("<value>&#1114112;</value>", offset);
        FAIL() << "no exception";
    } catch (const std::range_error& e) {
        EXPECT_STREQ(e.what(), "bad conversion");
    }
    EXPECT_FALSE(value.isValid());
    EXPECT_EQ(offset, 0u);
}

std::string nestedArrays(int depth) {
    std::string text;
    for (int i = 0; i < depth; ++i)
        text += "<value><array><data>";
    text += "<value><i4>1</i4></value>";
    for (int i = 0; i < depth; ++i)
        text += "</data></array></value>";
    return text;
}

std::string nestedStructs(int depth) {
    std::string text;
    for (int i = 0; i < depth; ++i)
        text += "<value><struct><member><name>m</name>";
    text += "<value>leaf</value>";
    for (int i = 0; i < depth; ++i)
        text += "</member></struct></value>";
    return text;
}

TEST(XmlRpcReader, NestingIsLimited) {
    const int limit = XmlRpcVariant::kMaxNesting;
    for (const auto& make : {nestedArrays, nestedStructs}) {
        XmlRpcVariant value;
        std::size_t offset = 0;
        const std::string deepest = make(limit);
        ASSERT_TRUE(value.readXml(deepest, offset));
        EXPECT_EQ(offset, deepest.size());

        offset = 0;
        EXPECT_FALSE(value.readXml(make(limit + 1), offset));
        EXPECT_FALSE(value.isValid());
        EXPECT_EQ(offset, 0u);
    }
    // A hostile reply far deeper than the stack would allow.
    XmlRpcVariant value;
    std::size_t offset = 0;
    EXPECT_FALSE(value.readXml(nestedArrays(200000), offset));
    EXPECT_EQ(offset, 0u);
}

TEST(XmlRpcReader, MissingClosingTagsDoNotMakeReadingQuadratic) {
    // Each value would otherwise search the rest of the text for its "</value>" or "<name>".
    const int count = 100000;
    std::string elements = "<value><array><data>";
    std::string members = "<value><struct>";
    for (int i = 0; i < count; ++i) {
        elements += "<value><i4>1";
        members += "<member><value><i4>2";
    }
    XmlRpcVariant value;
    std::size_t offset = 0;
    ASSERT_TRUE(value.readXml(elements, offset));
    EXPECT_EQ(value.size(), static_cast<std::size_t>(count));
    offset = 0;
    ASSERT_TRUE(value.readXml(members, offset));
    ASSERT_EQ(value.size(), 1u) << "every member is nameless, so the first is kept";
    EXPECT_EQ(value[""], XmlRpcVariant(2));

    // Nameless members with one unclosed <name> at the end: each member finds that <name>, then
    // no </name>, and reads its value where it stood.
    std::string farName = "<value><struct>";
    for (int i = 0; i < count; ++i)
        farName += "<member><value><i4>" + std::to_string(i) + "</i4></value></member>";
    farName += "<member><value>last</value><name>z</member></struct></value>";
    offset = 0;
    ASSERT_TRUE(value.readXml(farName, offset));
    EXPECT_EQ(offset, farName.size());
    ASSERT_EQ(value.size(), 1u);
    EXPECT_EQ(value[""], XmlRpcVariant(0));

    // A failed element deep inside arrays is met again by every enclosing array.
    std::string deep;
    for (int i = 0; i < XmlRpcVariant::kMaxNesting; ++i)
        deep += "<value><array><data>";
    deep += "<value><" + std::string(1 << 20, ' ');
    offset = 0;
    ASSERT_TRUE(value.readXml(deep, offset));
    EXPECT_EQ(value.size(), 1u);
}

TEST(XmlRpcReader, WhatIsWrittenReadsBack) {
    XmlRpcVariant tree;
    tree["name"] = " a<b>&'\" ";
    tree["count"] = -12;
    tree["flag"] = true;
    tree["ratio"] = 0.5;
    tree["when"] = calendar(1999, 12, 31, 23, 59, 58);
    tree["blob"] = BinaryData{0, 255, 128, 10};
    tree["list"][1] = "second";
    tree["list"][0] = 1;
    tree["list"][2]["deep"] = "";
    XmlRpcVariant back = read(tree.writeXml());
    EXPECT_EQ(back, tree);
}

} // namespace
