#include "platform/CodePage.h"

#include <gtest/gtest.h>

using namespace platform;

namespace {

class CodePageTest : public ::testing::Test {
protected:
    void TearDown() override { setCodePageForTesting(0); }
};

TEST_F(CodePageTest, Windows1252MapsEuroAndUmlaut)
{
    setCodePageForTesting(1252);
    EXPECT_EQ(toAnsi(u"\u20AC"), "\x80");
    EXPECT_EQ(toAnsi(u"\u00FC"), "\xFC");
    EXPECT_EQ(toAnsi(u"Gr\u00FC\u00DFe \u20AC5"), "Gr\xFC\xDF" "e \x80" "5");
    EXPECT_EQ(fromAnsi("\x80\xFC"), u"\u20AC\u00FC");
}

TEST_F(CodePageTest, UnrepresentableCharactersBecomeQuestionMarks)
{
    setCodePageForTesting(1252);
    EXPECT_EQ(toAnsi(u"a\u0416b"), "a?b");
    // A surrogate pair is one character, so one '?'.
    EXPECT_EQ(toAnsi(u"x\U0001F600y"), "x?y");
    EXPECT_EQ(toAnsi(u"\u4E2D\u6587"), "??");
}

TEST_F(CodePageTest, Windows1251ForRussian)
{
    EXPECT_EQ(codePageForLocale("ru_RU.UTF-8"), 1251u);
    setCodePageForTesting(1251);
    EXPECT_EQ(toAnsi(u"\u0416\u0430"), "\xC6\xE0");
    EXPECT_EQ(fromAnsi("\xC6\xE0"), u"\u0416\u0430");
    EXPECT_EQ(toAnsi(u"\u00FC"), "?");
}

TEST_F(CodePageTest, AsciiIsUnchangedEverywhere)
{
    const std::u16string ascii = u"PIN 1234 ~!@#$%^&*()";
    for (unsigned page : {1252u, 1250u, 1251u, 932u, 936u, 949u, 950u, 874u}) {
        setCodePageForTesting(page);
        EXPECT_EQ(toAnsi(ascii), "PIN 1234 ~!@#$%^&*()") << page;
        EXPECT_EQ(fromAnsi("PIN 1234"), u"PIN 1234") << page;
    }
}

TEST_F(CodePageTest, LocaleNamesPickTheirPages)
{
    struct Case {
        const char* locale;
        unsigned page;
    };
    for (auto [locale, page] : {Case{"", 1252}, Case{"C", 1252}, Case{"C.UTF-8", 1252}, Case{"POSIX", 1252},
                                Case{"en_US.UTF-8", 1252}, Case{"de_DE", 1252}, Case{"pl_PL.UTF-8", 1250},
                                Case{"sr_RS@latin", 1250}, Case{"sr_RS", 1251}, Case{"el_GR", 1253},
                                Case{"tr_TR", 1254}, Case{"he_IL", 1255}, Case{"ar_EG", 1256},
                                Case{"lt_LT", 1257}, Case{"vi_VN", 1258}, Case{"th_TH", 874},
                                Case{"ja_JP.UTF-8", 932}, Case{"zh_CN.UTF-8", 936}, Case{"ko_KR", 949},
                                Case{"zh_TW.UTF-8", 950}, Case{"zh_HK", 950}}) {
        EXPECT_EQ(codePageForLocale(locale), page) << locale;
    }
}

TEST_F(CodePageTest, MultiByteCodePages)
{
    setCodePageForTesting(932);
    EXPECT_EQ(toAnsi(u"\u65E5\u672C"), "\x93\xFA\x96\x7B");
    EXPECT_EQ(fromAnsi("\x93\xFA\x96\x7B"), u"\u65E5\u672C");
}

TEST(Utf8Test, ValidTextRoundTrips)
{
    const std::string utf8 = "A\xC3\xBC\xE2\x82\xAC\xF0\x9F\x98\x80";
    EXPECT_EQ(utf8ToUtf16(utf8), u"A\u00FC\u20AC\U0001F600");
    EXPECT_EQ(utf16ToUtf8(utf8ToUtf16(utf8)), utf8);
}

TEST(Utf8Test, InvalidSequencesBecomeReplacementCharacters)
{
    EXPECT_EQ(utf8ToUtf16("a\xFF" "b"), u"a\uFFFDb");
    EXPECT_EQ(utf8ToUtf16("\xC0\xAF"), u"\uFFFD\uFFFD");          // overlong
    EXPECT_EQ(utf8ToUtf16("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD"); // encoded surrogate
    EXPECT_EQ(utf8ToUtf16("\xE2\x82"), u"\uFFFD");                // truncated at the end
    EXPECT_EQ(utf8ToUtf16("\xE2\x82x"), u"\uFFFDx");
    EXPECT_EQ(utf8ToUtf16(std::string_view("a\0b", 3)), std::u16string(u"a\0b", 3));
    EXPECT_EQ(utf16ToUtf8(u"\xD800x"), "\xEF\xBF\xBDx");
}

} // namespace
