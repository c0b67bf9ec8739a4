// The token picker of the OTP page: filter, keys, choosing, and closing without a choice.
#include "OtpTestSupport.h"
#include "pages/otp/SelectTokenWindow.h"
#include "resources/Menu.h"

#include <QListWidget>
#include <QScreen>

using namespace otptest;

namespace {

class PickerTest : public OtpFixture {
protected:
    void SetUp() override {
        OtpFixture::SetUp();
        for (const auto& [name, serial] : {std::pair{u"Mail", u"S0"}, std::pair{u"xabx ycdy", u"S1"},
                                           std::pair{u"ycdy xabx", u"S2"}, std::pair{u"lab", u"S3"}})
            addToken(makeToken(TokenKind::Event, name, serial));
        m_page = otpPage();
    }

    CSelectTokenWindow* openWithF2() {
        QTest::keyClick(m_page, Qt::Key_F2);
        CSelectTokenWindow* picker = m_page->picker();
        EXPECT_NE(picker, nullptr);
        if (picker) {
            EXPECT_TRUE(picker->isVisible());
        }
        return picker;
    }

    static QStringList names(CSelectTokenWindow* picker) {
        QStringList out;
        for (int i = 0; i < picker->listBox()->count(); ++i)
            out << picker->listBox()->item(i)->text();
        return out;
    }

    COtpPage* m_page = nullptr;
};

TEST_F(PickerTest, F2OpensAtTheChangeTokenButtonsCornerWithEveryToken) {
    CSelectTokenWindow* picker = openWithF2();
    ASSERT_NE(picker, nullptr);
    QWidget* button = control(m_page, COtpPage::IDC_CHANGE_TOKEN);
    EXPECT_EQ(picker->pos(), button->mapToGlobal(QPoint(button->width(), button->height())));
    EXPECT_EQ(picker->width(), CSelectTokenWindow::Width);
    EXPECT_LE(picker->height(), CSelectTokenWindow::Height);
    EXPECT_EQ(picker->height(), picker->filterBox()->height() + picker->listBox()->height() + 4);
    EXPECT_EQ(names(picker), (QStringList{QStringLiteral("Mail"), QStringLiteral("xabx ycdy"),
                                          QStringLiteral("ycdy xabx"), QStringLiteral("lab")}));
    EXPECT_EQ(picker->listBox()->currentRow(), 0);
    EXPECT_TRUE(picker->filterBox()->text().isEmpty());
}

TEST_F(PickerTest, StaysInsideTheScreenNearItsEdges) {
    const QRect area = m_page->screen()->availableGeometry();
    for (const QPoint& at : {area.bottomRight(), QPoint(area.right() - 20, area.top() + 10),
                             QPoint(area.left() + 10, area.bottom() - 5), area.topLeft() - QPoint(40, 40)}) {
        m_page->openPicker(at);
        CSelectTokenWindow* picker = m_page->picker();
        ASSERT_NE(picker, nullptr);
        EXPECT_TRUE(area.contains(picker->geometry())) << at.x() << "," << at.y();
        picker->hide();
    }
}

TEST_F(PickerTest, MoreTokensInTheMenuOpensThePickerFilledOnce) {
    m_window->onCommand(resources::ids::ID_MORE_TOKENS);
    EXPECT_EQ(m_window->GetCurrentPageId(), pageid::Otp);
    CSelectTokenWindow* picker = m_page->picker();
    ASSERT_NE(picker, nullptr);
    EXPECT_TRUE(picker->isVisible());
    EXPECT_EQ(names(picker).size(), 4);
    // Shown once, filled once: no reset in between takes the user's first keys.
    QTest::keyClicks(picker->filterBox(), QStringLiteral("lab"));
    QCoreApplication::processEvents();
    EXPECT_EQ(names(picker), QStringList{QStringLiteral("lab")});
}

TEST_F(PickerTest, TypingFiltersKeepsTheFirstMatchSelectedAndEnterChoosesIt) {
    QTest::mouseClick(control(m_page, COtpPage::IDC_GO), Qt::LeftButton);
    ASSERT_EQ(m_page->plate()->topCode(), u"755224");

    CSelectTokenWindow* picker = openWithF2();
    ASSERT_NE(picker, nullptr);
    QTest::keyClicks(picker->filterBox(), QStringLiteral("ab cd"));
    EXPECT_EQ(names(picker), QStringList{QStringLiteral("xabx ycdy")});
    EXPECT_EQ(picker->listBox()->currentRow(), 0);
    QTest::keyClick(picker->filterBox(), Qt::Key_Return);

    EXPECT_FALSE(picker->isVisible());
    EXPECT_EQ(store().defaultIndex, 1);
    EXPECT_EQ(reloadStore()->defaultIndex, 1);
    // The page hears of it and shows the new token with an empty plate at once.
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return m_window->windowTitle() == QStringLiteral("Valdorix - xabx ycdy"); }));
    EXPECT_EQ(m_page->plate()->topCode(), u"");
    EXPECT_TRUE(control(m_page, COtpPage::IDC_GO)->isEnabled());
}

TEST_F(PickerTest, FilterIgnoresCaseAndArrowKeysMoveInTheList) {
    CSelectTokenWindow* picker = openWithF2();
    ASSERT_NE(picker, nullptr);
    QTest::keyClicks(picker->filterBox(), QStringLiteral("AB"));
    EXPECT_EQ(names(picker),
              (QStringList{QStringLiteral("xabx ycdy"), QStringLiteral("ycdy xabx"), QStringLiteral("lab")}));
    QTest::keyClick(picker->filterBox(), Qt::Key_Down);
    QTest::keyClick(picker->filterBox(), Qt::Key_Down);
    EXPECT_EQ(picker->listBox()->currentRow(), 2);
    QTest::keyClick(picker->filterBox(), Qt::Key_Tab);
    EXPECT_EQ(store().defaultIndex, 3);
    EXPECT_TRUE(QTest::qWaitFor([&] { return m_window->windowTitle() == QStringLiteral("Valdorix - lab"); }));
}

TEST_F(PickerTest, KeysInTheListGoBackToTheFilterBox) {
    CSelectTokenWindow* picker = openWithF2();
    ASSERT_NE(picker, nullptr);
    QTest::keyClicks(picker->filterBox(), QStringLiteral("ycx"));
    EXPECT_TRUE(names(picker).isEmpty());
    picker->listBox()->setFocus();
    QTest::keyClick(picker->listBox(), Qt::Key_Backspace);
    EXPECT_EQ(picker->filterBox()->text(), QStringLiteral("yc"));
    EXPECT_EQ(names(picker), (QStringList{QStringLiteral("xabx ycdy"), QStringLiteral("ycdy xabx")}));
    QTest::keyClick(picker->listBox(), Qt::Key_Down);
    QTest::keyClick(picker->listBox(), Qt::Key_Return);
    EXPECT_EQ(store().defaultIndex, 2);
}

TEST_F(PickerTest, EnterWithNoMatchDoesNothing) {
    CSelectTokenWindow* picker = openWithF2();
    ASSERT_NE(picker, nullptr);
    const std::string before = fileBytes();
    QTest::keyClicks(picker->filterBox(), QStringLiteral("nothing like it"));
    EXPECT_EQ(picker->listBox()->count(), 0);
    QTest::keyClick(picker->filterBox(), Qt::Key_Return);
    EXPECT_TRUE(picker->isVisible());
    EXPECT_EQ(store().defaultIndex, 0);
    EXPECT_EQ(fileBytes(), before);
}

TEST_F(PickerTest, EscapeAndAClickElsewhereCloseWithoutAChange) {
    CSelectTokenWindow* picker = openWithF2();
    ASSERT_NE(picker, nullptr);
    QTest::keyClicks(picker->filterBox(), QStringLiteral("lab"));
    QTest::keyClick(picker->filterBox(), Qt::Key_Escape);
    EXPECT_FALSE(picker->isVisible());
    EXPECT_EQ(m_window->exitCode(), 0); // Esc was the picker's, not the main window's

    // Opened again: a fresh start with every token.
    picker = openWithF2();
    EXPECT_TRUE(picker->filterBox()->text().isEmpty());
    EXPECT_EQ(picker->listBox()->count(), 4);

    // A click on the page, outside the picker.
    const std::string before = fileBytes();
    QTest::mouseClick(m_window->windowHandle(), Qt::LeftButton, Qt::NoModifier,
                      m_page->mapTo(m_window.get(), QPoint(20, 150)));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !picker->isVisible(); }));
    EXPECT_EQ(store().defaultIndex, 0);
    EXPECT_EQ(fileBytes(), before);

    // Losing activation some other way hides it too.
    picker = openWithF2();
    QEvent deactivate(QEvent::WindowDeactivate);
    QCoreApplication::sendEvent(picker, &deactivate);
    EXPECT_FALSE(picker->isVisible());
    EXPECT_EQ(store().defaultIndex, 0);
}

TEST_F(PickerTest, DoubleClickChoosesAndChangeTokenOpensAtTheCursor) {
    QCursor::setPos(QPoint(300, 250));
    m_page->onCommand(COtpPage::IDC_CHANGE_TOKEN, 0);
    CSelectTokenWindow* picker = m_page->picker();
    ASSERT_NE(picker, nullptr);
    ASSERT_TRUE(picker->isVisible());
    EXPECT_EQ(picker->pos(), QCursor::pos());

    QListWidget* list = picker->listBox();
    const QRect row = list->visualItemRect(list->item(3));
    // A double click as the window system delivers it: a click, then the double click.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, row.center());
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, row.center());
    EXPECT_FALSE(picker->isVisible());
    EXPECT_EQ(store().defaultIndex, 3);
}

} // namespace
