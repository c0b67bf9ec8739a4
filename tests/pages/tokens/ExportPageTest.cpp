// The export page: the PIN first, then the code and the URI; a saved picture reads back to the URI.
#include "pages/tokens/ExportPage.h"

#include "TokenPagesSupport.h"
#include "engine/OtpAuthUri.h"
#include "qr/QrCodes.h"
#include "resources/StringTable.h"
#include "ui/PngButton.h"
#include "ui/SaveFileDialog.h"
#include "ui/SecretClipboard.h"

#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QMimeData>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

using namespace tokentest;

namespace {

const std::string kUri =
    "otpauth://totp/Corvane:m.keller@corvane.example?secret=GEZDGNBVGY3TQOJQGEZDGNBVGY3TQOJQ"
    "&issuer=Corvane&algorithm=SHA256&digits=8&period=60";

class ExportPageTest : public TokenPagesFixture {
protected:
    void SetUp() override {
        TokenPagesFixture::SetUp();
        ASSERT_TRUE(m_folder.isValid());
        openWithTokens({parseOtpAuthUri(kUri).token});
        ASSERT_NE(store().defaultToken(), nullptr);
    }
    void TearDown() override {
        CSaveFileDialog::setNextFileName(std::nullopt);
        CSaveFileDialog::clearAnswered();
        TokenPagesFixture::TearDown();
    }

    CExportPage* showExport() {
        auto* page = show<CExportPage>(pageid::Export);
        EXPECT_NE(page, nullptr);
        return page;
    }

    // Types the PIN and presses Enter, as a keyboard user would.
    void enterPin(CExportPage* page, const QString& pin) {
        QLineEdit* box = edit(page, CExportPage::IDC_PIN);
        ASSERT_TRUE(box->isVisible());
        type(box, pin);
        MessageBox::clearAnswered();
        QTest::keyClick(box, Qt::Key_Return);
        // Enter posts the command; it arrives with the next events.
        QTest::qWait(0);
        QCoreApplication::processEvents();
    }

    CExportPage* revealed() {
        CExportPage* page = showExport();
        enterPin(page, QString::fromStdU16String(std::u16string(Pin)));
        EXPECT_TRUE(waitFor([&] { return !page->shownUri().isEmpty(); }));
        return page;
    }

    static QString lastMessage() {
        const auto boxes = MessageBox::answered();
        return boxes.isEmpty() ? QString() : boxes.back().text;
    }

    QTemporaryDir m_folder;
};

TEST_F(ExportPageTest, AWrongPinShowsNothing) {
    CExportPage* page = showExport();
    enterPin(page, QStringLiteral("9999"));
    EXPECT_TRUE(waitFor([] { return !MessageBox::answered().isEmpty(); }));
    EXPECT_EQ(lastMessage(), resourceString(resources::ids::IDS_INCORRECT_PIN));
    EXPECT_TRUE(page->shownUri().isEmpty());
    EXPECT_TRUE(page->qrView()->isEmpty());
    EXPECT_FALSE(page->qrView()->isVisible());
    EXPECT_TRUE(edit(page, CExportPage::IDC_PIN)->text().isEmpty());
    EXPECT_TRUE(edit(page, CExportPage::IDC_PIN)->hasFocus());
}

TEST_F(ExportPageTest, TheRightPinShowsTheTokensCodeUntilThePageIsLeft) {
    CExportPage* page = revealed();
    const std::string uri = makeOtpAuthUri(*store().defaultToken());
    ASSERT_FALSE(uri.empty());
    EXPECT_EQ(page->shownUri().toStdString(), uri);
    EXPECT_EQ(parseOtpAuthUri(page->shownUri().toStdString()).token->serial, store().defaultToken()->serial);
    // What the screen shows reads back to the URI.
    ASSERT_TRUE(page->qrView()->isVisible());
    EXPECT_EQ(decodeQrCodes(page->qrView()->grab().toImage()), std::vector<std::string>{uri});
    EXPECT_TRUE(control(page, CExportPage::IDC_SAVE)->hasFocus());
    EXPECT_FALSE(edit(page, CExportPage::IDC_PIN)->isVisible());

    // Away and Back: the secret was forgotten, the PIN is asked again.
    m_window->Navigate(pageid::Otp);
    m_window->GoBack();
    ASSERT_EQ(currentPage<CExportPage>(), page);
    EXPECT_TRUE(page->shownUri().isEmpty());
    EXPECT_TRUE(page->qrView()->isEmpty());
    EXPECT_TRUE(edit(page, CExportPage::IDC_PIN)->isVisible());
}

// The URI holds the secret: copied from its box it carries the hint clipboard managers honour,
// and is taken off the clipboard with the codes (here at lock, as at exit).
TEST_F(ExportPageTest, TheUriCopiedFromItsBoxIsMarkedSecretAndClearedWithTheCodes) {
    CExportPage* page = revealed();
    auto* box = page->findChild<QPlainTextEdit*>();
    ASSERT_NE(box, nullptr);
    box->setFocus();
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(box, Qt::Key_C, Qt::ControlModifier);
    QClipboard* clipboard = QGuiApplication::clipboard();
    EXPECT_EQ(clipboard->text(), page->shownUri());
    ASSERT_NE(clipboard->mimeData(), nullptr);
    EXPECT_EQ(clipboard->mimeData()->data(QString::fromLatin1(CCodeClipboard::SecretHintType)), QByteArray("secret"));
    CCodeClipboard::clearNow();
    EXPECT_TRUE(clipboard->text().isEmpty());
}

TEST_F(ExportPageTest, SavingWritesAPrivatePictureThatReadsBackToTheUri) {
    CExportPage* page = revealed();
    const std::string uri = page->shownUri().toStdString();
    const struct {
        QString chosen;  // what the dialog returns
        QString written; // the file expected
        QString message; // a part of the message shown
    } cases[] = {
        {m_folder.filePath(QStringLiteral("code")), m_folder.filePath(QStringLiteral("code.png")),
         QStringLiteral("has been saved to")},
        {m_folder.filePath(QStringLiteral("again.png")), m_folder.filePath(QStringLiteral("again.png")),
         QStringLiteral("has been saved to")},
        {m_folder.filePath(QStringLiteral("missing/code.png")), QString(),
         QStringLiteral("could not be saved to")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.chosen.toStdString());
        MessageBox::clearAnswered();
        CSaveFileDialog::setNextFileName(c.chosen);
        QTest::mouseClick(qobject_cast<QPushButton*>(control(page, CExportPage::IDC_SAVE)), Qt::LeftButton);
        EXPECT_TRUE(lastMessage().contains(c.message)) << lastMessage().toStdString();
        if (c.written.isEmpty()) {
            EXPECT_TRUE(lastMessage().contains(QStringLiteral("missing"))) << lastMessage().toStdString();
            continue;
        }
        EXPECT_TRUE(lastMessage().contains(c.written)) << lastMessage().toStdString();
        const QrFileResult read = readQrCodesFromFile(c.written);
        EXPECT_EQ(read.texts, std::vector<std::string>{uri}) << read.error.toStdString();
        EXPECT_EQ(fs::status(c.written.toStdString()).permissions(),
                  fs::perms::owner_read | fs::perms::owner_write);
    }
    ASSERT_FALSE(CSaveFileDialog::answered().isEmpty());
    EXPECT_EQ(CSaveFileDialog::answered().front().suggestedName,
              QStringLiteral("Corvane_m.keller@corvane.example.png"));
}

TEST_F(ExportPageTest, ATokenWithoutAnOtpauthFormSaysSoWithoutAskingThePin) {
    auto responder = makeToken(u"Door", u"Building", u"VX1");
    responder->kind = TokenKind::ChallengeOnly;
    openWithTokens({responder});
    CExportPage* page = showExport();
    EXPECT_EQ(qobject_cast<QLabel*>(control(page, CExportPage::IDC_PROMPT))->text(),
              resourceString(resources::ids::IDS_EXPORT_NO_URI));
    EXPECT_TRUE(control(page, CExportPage::IDC_PROMPT)->isVisible());
    EXPECT_FALSE(edit(page, CExportPage::IDC_PIN)->isVisible());
    EXPECT_FALSE(control(page, CExportPage::IDC_GO)->isVisible());
}

TEST_F(ExportPageTest, SuggestedFileNamesAreSafe) {
    const std::pair<QString, QString> cases[] = {
        {QStringLiteral("Corvane: m/k"), QStringLiteral("Corvane_ m_k.png")},
        {QStringLiteral("  "), QStringLiteral("token.png")},
        {QStringLiteral(".profile"), QStringLiteral("token.profile.png")},
        {QStringLiteral("a\tb*?"), QStringLiteral("a_b__.png")},
    };
    for (const auto& [name, expected] : cases)
        EXPECT_EQ(CExportPage::suggestedFileName(name), expected) << name.toStdString();
}

TEST_F(ExportPageTest, Screenshots) {
    CExportPage* page = showExport();
    type(edit(page, CExportPage::IDC_PIN), QStringLiteral("1234"));
    capture(pageid::Export, QStringLiteral("tokens_236_export_pin"));
    enterPin(page, QStringLiteral("1234"));
    ASSERT_TRUE(waitFor([&] { return !page->shownUri().isEmpty(); }));
    capture(pageid::Export, QStringLiteral("tokens_236_export"));
}

} // namespace
