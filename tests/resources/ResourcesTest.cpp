#include "resources/DialogTemplates.h"
#include "resources/Menu.h"
#include "resources/StringTable.h"

#include <gtest/gtest.h>
#include <set>

using namespace resources;

namespace {

TEST(StringTableTest, TextsTheSystemNamesById) {
    const struct {
        int id;
        std::u16string_view text;
    } expected[] = {
        {128, u"Valdorix"},
        {130, u"Application"},
        {131, u"Serial"},
        {132, u"Label"},
        {137, u"Are you sure you want to delete selected token(s)?"},
        {142, u"Property"},
        {143, u"Value"},
        {144, u"App URL"},
        {145, u"Service URL"},
        {146, u"Expiry Date"},
        {147, u"User Name"},
        {148, u"Token Name"},
        {149, u"App ID"},
        {150, u"Incorrect PIN! Please try again."},
        {151, u"Your PIN has been successfully changed."},
        {155, u"Valdorix"},
        {159, u"Your signature:"},
        {160, u"Your response:"},
    };
    for (const auto& e : expected)
        EXPECT_TRUE(loadString(e.id) == e.text) << e.id;
    EXPECT_TRUE(loadString(156).starts_with(u"Valdorix Desktop v5.9.5\r\n\r\n"));
    EXPECT_FALSE(hasString(129));
    EXPECT_TRUE(loadString(129).empty());
}

TEST(StringTableTest, IdsAreUniqueAndSorted) {
    int previous = 0;
    for (const StringEntry& entry : allStrings()) {
        EXPECT_GT(entry.id, previous);
        EXPECT_FALSE(entry.text.empty()) << entry.id;
        previous = entry.id;
    }
}

TEST(DialogTemplateTest, EveryWindowHasItsTemplate) {
    const struct {
        int id;
        int cx, cy;
    } sizes[] = {
        {100, 215, 121}, {129, 233, 123}, {130, 259, 117}, {131, 207, 112}, {133, 223, 97},  {134, 259, 108},
        {222, 141, 14},  {223, 185, 121}, {224, 259, 107}, {225, 200, 121}, {226, 242, 121}, {227, 223, 121},
        {228, 185, 100}, {229, 185, 121}, {230, 185, 110}, {231, 200, 121}, {232, 215, 121}, {233, 207, 112},
    };
    for (const auto& s : sizes) {
        const DialogTemplate* t = findDialogTemplate(s.id);
        ASSERT_NE(t, nullptr) << s.id;
        EXPECT_EQ(t->cx, s.cx) << s.id;
        EXPECT_EQ(t->cy, s.cy) << s.id;
    }
    EXPECT_NE(findDialogTemplate(132), nullptr);
    EXPECT_NE(findDialogTemplate(234), nullptr);
    EXPECT_EQ(findDialogTemplate(129)->menuId, 208);
    EXPECT_EQ(findDialogTemplate(999), nullptr);
}

TEST(DialogTemplateTest, ControlIdsAreUniqueAndPlaceholdersHidden) {
    for (const DialogTemplate& t : allDialogTemplates()) {
        std::set<int> seen;
        for (const DialogItem& item : t.items) {
            if (item.id != IDC_STATIC) {
                EXPECT_TRUE(seen.insert(item.id).second) << t.id << " repeats " << item.id;
            }
            // Every control starts inside its template.
            EXPECT_GE(item.x, 0);
            EXPECT_LE(item.x + item.cx, t.cx + 1) << t.id << "/" << item.id;
            EXPECT_LE(item.y + item.cy, t.cy) << t.id << "/" << item.id;
            if (item.id == 1017 && t.id != 222) {
                EXPECT_FALSE(item.visible()) << t.id;
            }
        }
    }
}

TEST(DialogTemplateTest, PinPagesAsTheyAreDescribed) {
    const DialogTemplate* login = findDialogTemplate(228);
    ASSERT_NE(login->item(1031), nullptr);
    EXPECT_EQ(login->item(1031)->kind, ControlKind::Edit);
    EXPECT_TRUE(login->item(1031)->style & style::ES_PASSWORD);
    EXPECT_TRUE(login->item(1030)->style & style::BS_DEFPUSHBUTTON);
    EXPECT_FALSE(login->item(1030)->enabled());
    EXPECT_EQ(login->item(1017), nullptr);
    EXPECT_EQ(findDialogTemplate(230)->item(1017), nullptr);
    EXPECT_NE(findDialogTemplate(229)->item(1017), nullptr);
    EXPECT_EQ(findDialogTemplate(232)->item(1017), nullptr);
    EXPECT_EQ(findDialogTemplate(130)->item(1017), nullptr);
    EXPECT_TRUE(findDialogTemplate(232)->item(1018)->text == u"Error: Pellumbra is not found.");
}

TEST(MenuTest, Menu208) {
    const MenuResource* menu = findMenu(208);
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(menu->items.size(), 2u);
    const auto& token = menu->items[0];
    EXPECT_TRUE(token.text == u"&Token");
    const struct {
        std::u16string_view text;
        int id;
    } expected[] = {
        {u"&OTP...", 32779},
        {u"&Sign...", 32778},
        {u"&C && R...", 32789},
        {u"", 0},
        {u"&Select Token", 0},
        {u"", 0},
        {u"&Download Token...", 32776},
        {u"&Install Token...", 32786},
        {u"Import Tokens...", 32791},
        {u"E&xport Token...", 32800},
        {u"Synchronise Token...", 32787},
        {u"Token &Property...", 32781},
        {u"", 0},
        {u"Change &Pin...", 32788},
        {u"Se&ttings...", 32793},
        {u"", 0},
        {u"&Lock\tCtrl+L", 32792},
        {u"&Exit", 32785},
    };
    ASSERT_EQ(token.children.size(), std::size(expected));
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        EXPECT_TRUE(token.children[i].text == expected[i].text) << i;
        EXPECT_EQ(token.children[i].id, expected[i].id) << i;
    }
    const auto& select = token.children[4];
    ASSERT_EQ(select.children.size(), 2u);
    EXPECT_EQ(select.children[0].id, 32780);
    EXPECT_EQ(select.children[1].kind, MenuItem::Kind::Separator);
    const auto& help = menu->items[1];
    EXPECT_TRUE(help.text == u"&Help");
    ASSERT_EQ(help.children.size(), 2u);
    EXPECT_EQ(help.children[0].id, 32784);
    EXPECT_EQ(help.children[1].id, 32783);
}

} // namespace
