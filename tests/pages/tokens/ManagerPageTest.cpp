#include "pages/tokens/ManagerPage.h"

#include "TokenPagesSupport.h"
#include "pages/otp/OtpPage.h"
#include "pages/tokens/TokenPropertyPage.h"
#include "ui/LabelEditListView.h"
#include "ui/NavigationBar.h"
#include "ui/PngButton.h"

#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <cstdlib>
#include <ctime>

using namespace tokentest;

namespace {

std::vector<std::shared_ptr<COtpToken>> fiveTokens() {
    return {
        makeToken(u"Mail", u"Webmail", u"VX1001"),        makeToken(u"VPN", u"Gateway", u"VX1002"),
        makeToken(u"Bank", u"Online banking", u"VX1003"), makeToken(u"Wiki", u"Intranet", u"VX1004"),
        makeToken(u"Shop", u"Store admin", u"VX1005"),
    };
}

std::vector<std::u16string> labels(const std::vector<std::shared_ptr<COtpToken>>& tokens) {
    std::vector<std::u16string> result;
    for (const auto& token : tokens)
        result.push_back(token->label);
    return result;
}

class ManagerPageTest : public TokenPagesFixture {
protected:
    CManagerPage* openManager(std::vector<std::shared_ptr<COtpToken>> tokens, int defaultIndex = 0) {
        openWithTokens(std::move(tokens), defaultIndex);
        CManagerPage* page = show<CManagerPage>(pageid::Manager);
        if (page)
            m_list = page->list();
        return page;
    }

    QStringList column(int c) const {
        QStringList texts;
        for (int row = 0; row < m_list->topLevelItemCount(); ++row)
            texts.append(m_list->topLevelItem(row)->text(c));
        return texts;
    }

    // The rows that show the default image.
    std::vector<int> defaultRows(const CManagerPage& page) const {
        std::vector<int> rows;
        for (int row = 0; row < m_list->topLevelItemCount(); ++row) {
            if (page.rowImage(row) == CManagerPage::ImageDefault)
                rows.push_back(row);
        }
        return rows;
    }

    void clickRow(int row, Qt::KeyboardModifiers modifiers = {}) {
        const QRect r = m_list->visualItemRect(m_list->topLevelItem(row));
        QTest::mouseClick(m_list->viewport(), Qt::LeftButton, modifiers, r.center());
    }

    void click(CManagerPage* page, int id) {
        auto* button = qobject_cast<QPushButton*>(control(page, id));
        ASSERT_NE(button, nullptr);
        QTest::mouseClick(button, Qt::LeftButton);
    }

    CLabelEditListView* m_list = nullptr;
};

TEST_F(ManagerPageTest, RowsFollowTheStoreAndTheImageMarksTheDefaultObject) {
    // Two tokens with equal contents: the image goes by identity, not by equal fields.
    auto first = makeToken(u"Twin", u"App", u"S1");
    auto second = makeToken(u"Twin", u"App", u"S1");
    CManagerPage* page = openManager({first, second, makeToken(u"", u"Other", u"S3")}, 1);
    ASSERT_NE(page, nullptr);

    EXPECT_EQ(column(0), (QStringList{QStringLiteral("Twin"), QStringLiteral("Twin"), QString()}));
    EXPECT_EQ(column(1),
              (QStringList{QStringLiteral("App"), QStringLiteral("App"), QStringLiteral("Other")}));
    EXPECT_EQ(column(2), (QStringList{QStringLiteral("S1"), QStringLiteral("S1"), QStringLiteral("S3")}));
    EXPECT_EQ(defaultRows(*page), std::vector<int>{1});

    QTreeWidgetItem* header = m_list->headerItem();
    EXPECT_EQ(header->text(0), QStringLiteral("Label"));
    EXPECT_EQ(header->text(1), QStringLiteral("Application"));
    EXPECT_EQ(header->text(2), QStringLiteral("Serial"));
    EXPECT_EQ(m_list->columnWidth(0), 100);
    EXPECT_EQ(m_list->columnWidth(1), 100);
    EXPECT_EQ(m_list->columnWidth(2), 80);
    EXPECT_EQ(m_list->selectionMode(), QAbstractItemView::ExtendedSelection);
    EXPECT_EQ(m_list->selectionBehavior(), QAbstractItemView::SelectRows);

    // The list is rebuilt each time the page is shown.
    store().tokens.push_back(makeToken(u"Late", u"", u"S4"));
    m_window->Navigate(pageid::Manager);
    EXPECT_EQ(m_list->topLevelItemCount(), 4);
}

TEST_F(ManagerPageTest, DeletingTheDefaultTokenPassesTheDefaultOn) {
    const struct {
        int defaultIndex;
        std::u16string newDefault;
    } cases[] = {
        {1, u"Bank"}, // the token that moves up into its place
        {4, u"Wiki"}, // it was the last: the new last one
        {0, u"VPN"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.defaultIndex);
        CManagerPage* page = openManager(fiveTokens(), c.defaultIndex);
        ASSERT_NE(page, nullptr);
        clickRow(c.defaultIndex);
        MessageBox::setNextAnswer(MessageBox::IDYES);
        click(page, CManagerPage::IDC_DELETE);

        ASSERT_EQ(store().tokens.size(), 4u);
        ASSERT_NE(store().defaultToken(), nullptr);
        EXPECT_EQ(store().defaultToken()->label, c.newDefault);
        const int expectedRow = std::min(c.defaultIndex, 3);
        EXPECT_EQ(defaultRows(*page), std::vector<int>{expectedRow});
        EXPECT_EQ(m_window->windowTitle(),
                  QStringLiteral("Valdorix - ") + QString::fromStdU16String(c.newDefault));
        EXPECT_EQ(saves(), 1);

        auto reopened = reopen();
        ASSERT_NE(reopened, nullptr);
        EXPECT_EQ(reopened->tokens.size(), 4u);
        EXPECT_EQ(reopened->defaultToken()->label, c.newDefault);
    }
}

TEST_F(ManagerPageTest, ThreeSelectedRowsGoWithOneQuestionAndOneSave) {
    CManagerPage* page = openManager(fiveTokens(), 2);
    ASSERT_NE(page, nullptr);
    clickRow(0);
    clickRow(2, Qt::ControlModifier);
    clickRow(4, Qt::ControlModifier);
    MessageBox::setNextAnswer(MessageBox::IDYES);
    click(page, CManagerPage::IDC_DELETE);

    const QList<MessageBox::Record> boxes = MessageBox::answered();
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_EQ(boxes[0].caption, QStringLiteral("Valdorix"));
    EXPECT_EQ(boxes[0].text, QStringLiteral("Are you sure you want to delete selected token(s)?"));
    EXPECT_EQ(boxes[0].icon, MessageBox::Question);
    EXPECT_EQ(boxes[0].buttons, MessageBox::YesNo);

    EXPECT_EQ(labels(store().tokens), (std::vector<std::u16string>{u"VPN", u"Wiki"}));
    EXPECT_EQ(column(0), (QStringList{QStringLiteral("VPN"), QStringLiteral("Wiki")}));
    EXPECT_EQ(saves(), 1);
    // Default index 2 is past the new end: the last token.
    EXPECT_EQ(store().defaultToken()->label, u"Wiki");
    EXPECT_EQ(defaultRows(*page), std::vector<int>{1});
    auto reopened = reopen();
    ASSERT_NE(reopened, nullptr);
    EXPECT_EQ(labels(reopened->tokens), (std::vector<std::u16string>{u"VPN", u"Wiki"}));
}

TEST_F(ManagerPageTest, AnsweringNoDeletesNothing) {
    CManagerPage* page = openManager(fiveTokens(), 0);
    ASSERT_NE(page, nullptr);
    m_list->selectAll();
    MessageBox::setNextAnswer(MessageBox::IDNO);
    click(page, CManagerPage::IDC_DELETE);
    EXPECT_EQ(MessageBox::answered().size(), 1);
    EXPECT_EQ(store().tokens.size(), 5u);
    EXPECT_EQ(m_list->topLevelItemCount(), 5);
    EXPECT_EQ(saves(), 0);
}

TEST_F(ManagerPageTest, DeletingEveryTokenLeavesTheProductNameAsTitle) {
    CManagerPage* page = openManager(fiveTokens(), 3);
    ASSERT_NE(page, nullptr);
    m_window->SetTitle(QStringLiteral("Wiki"));
    m_list->setFocus();
    QTest::keyClick(m_list, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(m_list->selectedItems().size(), 5);
    MessageBox::setNextAnswer(MessageBox::IDYES);
    click(page, CManagerPage::IDC_DELETE);
    EXPECT_TRUE(store().tokens.empty());
    EXPECT_EQ(m_list->topLevelItemCount(), 0);
    EXPECT_EQ(m_window->windowTitle(), QStringLiteral("Valdorix"));
    EXPECT_EQ(saves(), 1);
}

TEST_F(ManagerPageTest, RenamingToABlankLabelKeepsTheOldOne) {
    for (const QString& blank : {QString(), QStringLiteral("   ")}) {
        auto token = makeToken(u"Old name", u"Bank", u"123");
        CManagerPage* page = openManager({makeToken(u"Mail", u"Webmail", u"VX1001"), token}, 1);
        ASSERT_NE(page, nullptr);
        m_window->SetTitle(QStringLiteral("Old name"));
        clickRow(1);
        click(page, CManagerPage::IDC_EDIT);
        QLineEdit* box = m_list->labelEditor();
        ASSERT_NE(box, nullptr);
        box->setText(blank);
        QTest::keyClick(box, Qt::Key_Return);
        EXPECT_TRUE(waitFor([&] { return !m_list->isEditingLabel(); }));
        EXPECT_EQ(m_list->topLevelItem(1)->text(0), QStringLiteral("Old name"));
        EXPECT_EQ(token->label, u"Old name");
        EXPECT_EQ(m_window->windowTitle(), QStringLiteral("Valdorix - Old name"));
        EXPECT_EQ(saves(), 0);
    }
}

TEST_F(ManagerPageTest, RenamingAnotherTokenKeepsTheDefaultTokensTitle) {
    CManagerPage* page = openManager(fiveTokens(), 0);
    ASSERT_NE(page, nullptr);
    clickRow(3);
    click(page, CManagerPage::IDC_EDIT);
    QLineEdit* box = m_list->labelEditor();
    ASSERT_NE(box, nullptr);
    box->selectAll();
    QTest::keyClicks(box, QStringLiteral("Team wiki"));
    QTest::keyClick(box, Qt::Key_Return);
    EXPECT_TRUE(waitFor([&] { return !m_list->isEditingLabel(); }));
    EXPECT_EQ(store().tokens[3]->label, u"Team wiki");
    EXPECT_EQ(m_list->topLevelItem(3)->text(0), QStringLiteral("Team wiki"));
    EXPECT_EQ(m_window->windowTitle(), QStringLiteral("Valdorix - Mail"));
}

TEST_F(ManagerPageTest, EscCancelsTheEditAndKeepsTheProgramOpen) {
    CManagerPage* page = openManager(fiveTokens(), 0);
    ASSERT_NE(page, nullptr);
    clickRow(2);
    click(page, CManagerPage::IDC_EDIT);
    QLineEdit* box = m_list->labelEditor();
    ASSERT_NE(box, nullptr);
    QTest::keyClicks(box, QStringLiteral("changed"));
    QTest::keyClick(box, Qt::Key_Escape);

    EXPECT_FALSE(m_list->isEditingLabel());
    EXPECT_EQ(m_window->exitCode(), 0);
    EXPECT_EQ(store().tokens[2]->label, u"Bank");
    EXPECT_EQ(m_list->topLevelItem(2)->text(0), QStringLiteral("Bank"));
    EXPECT_EQ(saves(), 0);
}

TEST_F(ManagerPageTest, AButtonEndsARenameInProgressFirst) {
    CManagerPage* page = openManager(fiveTokens(), 0);
    ASSERT_NE(page, nullptr);
    clickRow(3);
    click(page, CManagerPage::IDC_EDIT);
    QLineEdit* box = m_list->labelEditor();
    ASSERT_NE(box, nullptr);
    box->selectAll();
    QTest::keyClicks(box, QStringLiteral("Team wiki"));
    click(page, CManagerPage::IDC_DEFAULT);

    EXPECT_FALSE(m_list->isEditingLabel());
    EXPECT_EQ(store().tokens[3]->label, u"Team wiki");
    EXPECT_EQ(store().defaultIndex, 3);
    EXPECT_EQ(m_window->windowTitle(), QStringLiteral("Valdorix - Team wiki"));
    EXPECT_EQ(reopen()->tokens[3]->label, u"Team wiki");
}

TEST_F(ManagerPageTest, RenamingARowWhoseTokenIsGoneStillSaves) {
    CManagerPage* page = openManager(fiveTokens(), 0);
    ASSERT_NE(page, nullptr);
    store().tokens.pop_back();
    EXPECT_TRUE(page->onEndLabelEdit(4, QStringLiteral("Nobody")));
    EXPECT_EQ(labels(store().tokens), (std::vector<std::u16string>{u"Mail", u"VPN", u"Bank", u"Wiki"}));
    EXPECT_EQ(saves(), 1);
}

TEST_F(ManagerPageTest, ButtonsAreEnabledExactlyWithASelection) {
    CManagerPage* page = openManager(fiveTokens(), 2);
    ASSERT_NE(page, nullptr);
    const auto enabled = [&] {
        std::vector<bool> states;
        for (int id : {CManagerPage::IDC_DEFAULT, CManagerPage::IDC_EDIT, CManagerPage::IDC_DELETE})
            states.push_back(control(page, id)->isEnabled());
        return states;
    };
    EXPECT_EQ(enabled(), std::vector<bool>(3, false)); // shown with nothing selected
    clickRow(1);
    EXPECT_EQ(enabled(), std::vector<bool>(3, true));
    m_list->clearSelection();
    EXPECT_EQ(enabled(), std::vector<bool>(3, false));

    clickRow(4);
    MessageBox::setNextAnswer(MessageBox::IDYES);
    click(page, CManagerPage::IDC_DELETE);
    EXPECT_EQ(store().tokens.size(), 4u);
    EXPECT_EQ(enabled(), std::vector<bool>(3, false)); // the selected row went
}

TEST_F(ManagerPageTest, TheFilterNarrowsTheRowsAndTheDeleteKeyNamesWhatGoes) {
    CManagerPage* page = openManager(fiveTokens(), 0);
    ASSERT_NE(page, nullptr);
    type(page->filterBox(), QStringLiteral("AN")); // the label Bank, the application Intranet
    EXPECT_EQ(column(0), (QStringList{QStringLiteral("Bank"), QStringLiteral("Wiki")}));

    clickRow(1);
    MessageBox::setNextAnswer(MessageBox::IDNO);
    QTest::keyClick(m_list, Qt::Key_Delete);
    ASSERT_EQ(MessageBox::answered().size(), 1);
    EXPECT_EQ(MessageBox::answered()[0].text,
              QStringLiteral("Are you sure you want to delete the token \u201cWiki\u201d?"));
    EXPECT_EQ(store().tokens.size(), 5u);

    // Ctrl+A takes the rows the filter shows, and only those go.
    QTest::keyClick(m_list, Qt::Key_A, Qt::ControlModifier);
    MessageBox::setNextAnswer(MessageBox::IDYES);
    QTest::keyClick(m_list, Qt::Key_Delete);
    ASSERT_EQ(MessageBox::answered().size(), 2);
    EXPECT_EQ(MessageBox::answered()[1].text, QStringLiteral("Are you sure you want to delete these 2 tokens?"));
    EXPECT_EQ(labels(store().tokens), (std::vector<std::u16string>{u"Mail", u"VPN", u"Shop"}));
    EXPECT_EQ(m_list->topLevelItemCount(), 0);
    EXPECT_EQ(saves(), 1);

    // Rows stand for store positions, whatever the filter hides.
    type(page->filterBox(), QStringLiteral("shop"));
    clickRow(0);
    click(page, CManagerPage::IDC_DEFAULT);
    EXPECT_EQ(store().defaultToken()->label, u"Shop");
    EXPECT_EQ(defaultRows(*page), std::vector<int>{0});
}

TEST_F(ManagerPageTest, EnterOnAFocusedButtonPressesIt) {
    CManagerPage* page = openManager(fiveTokens(), 0);
    ASSERT_NE(page, nullptr);
    clickRow(3);
    QWidget* button = control(page, CManagerPage::IDC_DEFAULT);
    button->setFocus();
    QTest::keyClick(button, Qt::Key_Return);
    EXPECT_EQ(store().defaultIndex, 3);
    EXPECT_EQ(defaultRows(*page), std::vector<int>{3});
    EXPECT_EQ(m_window->GetCurrentPageId(), pageid::Manager);
}

TEST_F(ManagerPageTest, AltLeftRightAndHomeWorkTheNavigationBar) {
    openManager(fiveTokens(), 0);
    m_window->Navigate(pageid::TokenProperty);
    CNavigationBar* bar = currentPage<CTokenPropertyPage>()->navigationBar();
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->button(CNavigationBar::Back)->toolTip(), QStringLiteral("Back (Alt+Left)"));
    EXPECT_EQ(bar->button(CNavigationBar::Forward)->toolTip(), QStringLiteral("Forward (Alt+Right)"));
    EXPECT_EQ(bar->button(CNavigationBar::Home)->toolTip(), QStringLiteral("Home (Alt+Home)"));

    const auto press = [&](Qt::Key key) {
        QWidget* focus = QApplication::focusWidget();
        QTest::keyClick(focus ? focus : m_window.get(), key, Qt::AltModifier);
        return m_window->GetCurrentPageId();
    };
    EXPECT_EQ(press(Qt::Key_Left), pageid::Manager);
    EXPECT_EQ(press(Qt::Key_Right), pageid::TokenProperty);
    EXPECT_EQ(press(Qt::Key_Right), pageid::TokenProperty); // Forward is grey: nothing
    EXPECT_EQ(press(Qt::Key_Home), pageid::Otp);
}

TEST_F(ManagerPageTest, DefaultMakesTheFirstSelectedRowTheDefault) {
    CManagerPage* page = openManager(fiveTokens(), 0);
    ASSERT_NE(page, nullptr);
    clickRow(3);
    clickRow(1, Qt::ControlModifier);
    click(page, CManagerPage::IDC_DEFAULT);
    EXPECT_EQ(store().defaultIndex, 1);
    EXPECT_EQ(defaultRows(*page), std::vector<int>{1});
    EXPECT_EQ(m_window->windowTitle(), QStringLiteral("Valdorix - VPN"));
    EXPECT_EQ(saves(), 1);
    EXPECT_EQ(reopen()->defaultIndex, 1);
}

TEST_F(ManagerPageTest, AClickOnOneOfSeveralSelectedRowsSelectsJustThatRow) {
    CManagerPage* page = openManager(fiveTokens(), 0);
    ASSERT_NE(page, nullptr);
    clickRow(0);
    m_list->setFocus();
    QTest::keyClick(m_list, Qt::Key_A, Qt::ControlModifier);
    ASSERT_EQ(m_list->selectedItems().size(), 5);

    clickRow(3);
    QTest::qWait(QApplication::doubleClickInterval() + 50);
    EXPECT_FALSE(m_list->isEditingLabel());
    ASSERT_EQ(m_list->selectedItems().size(), 1);
    EXPECT_EQ(m_list->selectedItems()[0]->text(0), QStringLiteral("Wiki"));

    MessageBox::setNextAnswer(MessageBox::IDYES);
    click(page, CManagerPage::IDC_DELETE);
    EXPECT_EQ(labels(store().tokens), (std::vector<std::u16string>{u"Mail", u"VPN", u"Bank", u"Shop"}));

    // Renaming is still at hand, by the Edit button.
    clickRow(1);
    click(page, CManagerPage::IDC_EDIT);
    EXPECT_TRUE(m_list->isEditingLabel());
}

TEST_F(ManagerPageTest, DoubleClickShowsTheOtpPageWithThatToken) {
    CManagerPage* page = openManager(fiveTokens(), 0);
    ASSERT_NE(page, nullptr);
    // The row is selected already, as after a first click: the slow-click edit must not start.
    clickRow(2);
    QTest::qWait(QApplication::doubleClickInterval() + 50);
    ASSERT_FALSE(m_list->isEditingLabel());
    const QRect r = m_list->visualItemRect(m_list->topLevelItem(2));
    QTest::mouseClick(m_list->viewport(), Qt::LeftButton, {}, r.center());
    QTest::mouseDClick(m_list->viewport(), Qt::LeftButton, {}, r.center());

    EXPECT_EQ(m_window->GetCurrentPageId(), pageid::Otp);
    EXPECT_EQ(store().defaultIndex, 2);
    EXPECT_EQ(m_window->windowTitle(), QStringLiteral("Valdorix - Bank"));
    auto* otp = currentPage<COtpPage>();
    ASSERT_NE(otp, nullptr);
    auto* name = qobject_cast<QLabel*>(control(otp, COtpPage::IDC_NAME));
    ASSERT_NE(name, nullptr);
    EXPECT_TRUE(name->text().contains(QStringLiteral("Bank")));
    EXPECT_EQ(saves(), 1);
    // A double click is no slow second click: no label box opens behind the OTP page.
    QTest::qWait(QApplication::doubleClickInterval() + 50);
    EXPECT_FALSE(m_list->isEditingLabel());
}

// ---------------------------------------------------------------------------------------------

class TokenPropertyPageTest : public TokenPagesFixture {
protected:
    void SetUp() override {
        TokenPagesFixture::SetUp();
        const char* tz = std::getenv("TZ");
        m_savedTz = tz ? std::optional<std::string>(tz) : std::nullopt;
        setTimeZone("UTC0");
        m_savedLocale = QLocale();
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    }
    void TearDown() override {
        QLocale::setDefault(m_savedLocale);
        if (m_savedTz)
            setenv("TZ", m_savedTz->c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
        TokenPagesFixture::TearDown();
    }
    static void setTimeZone(const char* tz) {
        setenv("TZ", tz, 1);
        tzset();
    }

    std::vector<std::pair<QString, QString>> rows(const CTokenPropertyPage& page) const {
        std::vector<std::pair<QString, QString>> result;
        for (int row = 0; row < page.list()->topLevelItemCount(); ++row) {
            const QTreeWidgetItem* item = page.list()->topLevelItem(row);
            result.emplace_back(item->text(0), item->text(1));
        }
        return result;
    }

private:
    std::optional<std::string> m_savedTz;
    QLocale m_savedLocale;
};

TEST_F(TokenPropertyPageTest, ShowsTheEightPropertiesOfTheDefaultToken) {
    auto token = makeToken(u"Payroll", u"HR portal", u"VX2001");
    token->appId = u"hr-portal";
    token->userName = u"j.doe";
    token->tokenName = u"Payroll token";
    token->serviceUrl = u"https://auth.example.test/oxa";
    token->appUrl = u"https://hr.example.test/";
    token->expiryDate = 1767225599; // 2025-12-31 23:59:59 UTC
    openWithTokens({makeToken(u"Other", u"", u"VX2000"), token}, 1);
    auto* page = show<CTokenPropertyPage>(pageid::TokenProperty);
    ASSERT_NE(page, nullptr);

    const std::vector<std::pair<QString, QString>> expected = {
        {QStringLiteral("Label"), QStringLiteral("Payroll")},
        {QStringLiteral("Serial"), QStringLiteral("VX2001")},
        {QStringLiteral("App ID"), QStringLiteral("hr-portal")},
        {QStringLiteral("User Name"), QStringLiteral("j.doe")},
        {QStringLiteral("Token Name"), QStringLiteral("Payroll token")},
        {QStringLiteral("Service URL"), QStringLiteral("https://auth.example.test/oxa")},
        {QStringLiteral("App URL"), QStringLiteral("https://hr.example.test/")},
        {QStringLiteral("Expiry Date"), QStringLiteral("Wednesday, December 31, 2025 11:59:59 PM")},
    };
    EXPECT_EQ(rows(*page), expected);
    EXPECT_EQ(page->list()->headerItem()->text(0), QStringLiteral("Property"));
    EXPECT_EQ(page->list()->headerItem()->text(1), QStringLiteral("Value"));
    EXPECT_EQ(page->list()->columnWidth(0), 100);
    EXPECT_EQ(page->list()->columnWidth(1), 240);
}

TEST_F(TokenPropertyPageTest, ExpiryDateIsLocalTimeInTheUsersLongForm) {
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    const QLocale german(QLocale::German, QLocale::Germany);
    const struct {
        QLocale locale;
        const char* tz;
        std::int64_t seconds;
        const char* text;
    } cases[] = {
        {us, "UTC0", 0, "Never"}, // a token without expiry, not the first day of 1970
        {us, "UTC0", 1, "Thursday, January 1, 1970 12:00:01 AM"},
        {us, "UTC0", 795184889, "Tuesday, March 14, 1995 12:41:29 PM"},
        {us, "EST5", 1735689600, "Tuesday, December 31, 2024 7:00:00 PM"},
        {us, "JST-9", 1735689600, "Wednesday, January 1, 2025 9:00:00 AM"},
        {german, "UTC0", 1735689600, "Mittwoch, 1. Januar 2025 00:00:00"},
        {german, "UTC0", 32535215999, "Mittwoch, 31. Dezember 3000 23:59:59"},
        {us, "UTC0", 32535216000, ""}, // past what the calendar conversion takes
        {us, "UTC0", -1, ""},
        {us, "UTC0", std::numeric_limits<std::int64_t>::min(), ""},
    };
    for (const auto& c : cases) {
        QLocale::setDefault(c.locale);
        setTimeZone(c.tz);
        EXPECT_EQ(CTokenPropertyPage::formatExpiryDate(c.seconds), QString::fromUtf8(c.text))
            << c.tz << " " << c.seconds;
    }
}

TEST_F(TokenPropertyPageTest, NoDefaultTokenGivesAnEmptyList) {
    openWithTokens({makeToken(u"Only", u"", u"VX1")}, 0);
    auto* page = show<CTokenPropertyPage>(pageid::TokenProperty);
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(page->list()->topLevelItemCount(), CTokenPropertyPage::RowCount);

    store().tokens.clear();
    m_window->Navigate(pageid::TokenProperty);
    EXPECT_EQ(page->list()->topLevelItemCount(), 0);
}

TEST_F(TokenPropertyPageTest, PropertiesCannotBeEditedInPlace) {
    // Row 0 is the default token's label; store position 0 is another token, which an edit of
    // that row must not rename.
    openWithTokens({makeToken(u"First", u"", u"VX1"), makeToken(u"Second", u"", u"VX2")}, 1);
    auto* page = show<CTokenPropertyPage>(pageid::TokenProperty);
    ASSERT_NE(page, nullptr);
    CLabelEditListView* list = page->list();
    EXPECT_FALSE(list->editLabel(0));
    list->setCurrentItem(list->topLevelItem(0));
    list->setFocus();
    QTest::keyClick(list, Qt::Key_F2);
    const QRect r = list->visualItemRect(list->topLevelItem(0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, r.center());
    QTest::qWait(QApplication::doubleClickInterval() + 50);
    EXPECT_FALSE(list->isEditingLabel());
    EXPECT_EQ(store().tokens[0]->label, u"First");
    EXPECT_EQ(store().tokens[1]->label, u"Second");
    EXPECT_EQ(saves(), 0);
}

} // namespace
