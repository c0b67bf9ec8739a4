// The download, activation, token pack activation and synchronisation pages through the main
// window, against the local provisioning server.
#include "PagesTestSupport.h"
#include "engine/Rc4.h"
#include "engine/TextDigest.h"
#include "pages/pin/LoginPage.h"
#include "pages/pin/SetPinPage.h"

#include <algorithm>
#include <fstream>

using namespace pagestest;

namespace {

using Bytes = std::vector<std::uint8_t>;

// A token descriptor record with short strings and no icon.
Bytes descriptorRecord(const std::string& serial) {
    Bytes r = {'{', 0, 0, 0, 0, 0, 9, 0, 30, 0, 5, 6, 0, 2, 0, 0, 0, 0};
    for (int i = 0; i < 40; ++i)
        r.push_back(std::uint8_t(i * 7));
    const auto text = [&](const std::string& s) {
        r.push_back(std::uint8_t(s.size()));
        r.insert(r.end(), s.begin(), s.end());
    };
    for (const char* s : {serial.c_str(), "https://svc", "Token", "user", "Pack", "pack-app"})
        text(s);
    r.push_back(0);
    r.push_back(0);
    text("");
    text("");
    r.push_back('}');
    return r;
}

// A token pack file that waits for `code`.
Bytes packNeedingCode(std::u16string_view code) {
    std::uint8_t key[16];
    md5OfText(code, key);
    Bytes body = descriptorRecord("PACK-7");
    Rc4State state{};
    rc4Init(state, key, sizeof key);
    rc4Crypt(state, body.data(), body.size());
    Bytes pack = {0, 0};
    pack.insert(pack.end(), body.begin(), body.end());
    return pack;
}

class ProvisioningPagesTest : public PagesFixture {
protected:
    CDownloadPage* downloadPage() { return page<CDownloadPage>(pageid::Download); }
    CActivatePage* activatePage() { return page<CActivatePage>(pageid::Activate); }

    void fillDownload(const QString& serviceUrl, const QString& login, const QString& password) {
        m_window->Navigate(pageid::Download);
        type(edit(downloadPage(), CDownloadPage::IDC_SERVICE_URL), serviceUrl);
        type(edit(downloadPage(), CDownloadPage::IDC_LOGIN_NAME), login);
        type(edit(downloadPage(), CDownloadPage::IDC_PASSWORD), password);
    }

    void clickContinue(CPage* page) { QTest::mouseClick(button(page, 1025), Qt::LeftButton); }

    fs::path packFile() const { return productFolder() / "TokenDescriptor.tok"; }
    void writePack(const Bytes& pack) {
        fs::create_directories(productFolder());
        std::ofstream file(packFile(), std::ios::binary);
        file.write(reinterpret_cast<const char*>(pack.data()), std::streamsize(pack.size()));
    }

    // An event token of this server, the store's default, saved.
    std::shared_ptr<COtpToken> addEventToken(const std::string& serviceUrl) {
        auto token = std::make_shared<COtpToken>();
        token->kind = TokenKind::Event;
        token->digits = 6;
        token->syncCount = 3;
        token->counter = 41;
        token->serial = u"VX0001";
        token->label = u"Mail:VX0001";
        token->serviceUrl = u16(serviceUrl);
        const std::uint8_t key[20] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20};
        token->setPrimaryKey(key, 20);
        token->setSecondaryKey(key, 20);
        store().tokens.push_back(token);
        store().setDefaultIndex(0);
        EXPECT_TRUE(store().save());
        return token;
    }
};

TEST_F(ProvisioningPagesTest, DownloadWithTheCodeStoresTheTokenAndSaysSo) {
    createDatabase();
    openMainWindow();
    fillDownload(QStringLiteral("  ") + q(url()) + QStringLiteral(" "), QStringLiteral(" alice\t"),
                 QStringLiteral(" p w "));
    CPngButton* download = button(downloadPage(), CDownloadPage::IDC_DOWNLOAD);
    ASSERT_TRUE(download->isEnabled());
    QTest::mouseClick(download, Qt::LeftButton);
    EXPECT_EQ(current(), pageid::Progress);
    ASSERT_TRUE(waitFor([&] { return progress()->outcomesTaken() == 1; }));
    EXPECT_TRUE(showsInformation(QStringLiteral("The token has been successfully downloaded.")));

    // Trimmed at both ends, blanks inside kept.
    ASSERT_EQ(server_->requests().size(), 1u);
    const std::string body = server_->requests()[0].body;
    EXPECT_NE(body.find("<name>loginName</name><value>alice</value>"), std::string::npos) << body;
    EXPECT_NE(body.find("<name>password</name><value>p w</value>"), std::string::npos) << body;

    ASSERT_EQ(store().tokens.size(), 1u);
    const std::shared_ptr<COtpToken> first = store().tokens[0];
    EXPECT_EQ(first->provisioned, 1);
    auto onDisk = tokensOnDisk();
    ASSERT_EQ(onDisk.size(), 1u);
    EXPECT_EQ(onDisk[0]->serial, first->serial);
    EXPECT_EQ(onDisk[0]->provisioned, 1);

    // The page kept its texts; the same download again replaces the token (same app id and serial).
    m_window->Navigate(pageid::Download);
    EXPECT_EQ(edit(downloadPage(), CDownloadPage::IDC_PASSWORD)->text(), QStringLiteral(" p w "));
    QTest::mouseClick(download, Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return progress()->outcomesTaken() == 2; }));
    ASSERT_EQ(store().tokens.size(), 1u);
    EXPECT_NE(store().tokens[0], first);
    EXPECT_EQ(store().tokens[0]->serial, first->serial);
    EXPECT_EQ(tokensOnDisk().size(), 1u);
}

TEST_F(ProvisioningPagesTest, DownloadEnablingFollowsTheThreeFields) {
    createDatabase();
    openMainWindow();
    m_window->Navigate(pageid::Download);
    CPngButton* download = button(downloadPage(), CDownloadPage::IDC_DOWNLOAD);
    EXPECT_FALSE(download->isEnabled());
    const struct {
        const char* url;
        const char* login;
        const char* password;
        bool enabled;
    } cases[] = {
        {"http://x", "alice", "", false},  {"http://x", "", "pw", false},      {"", "alice", "pw", false},
        {"http://x", "alice", "pw", true}, {"http://x", "alice", "   ", true}, // blanks count until the
                                                                               // download trims them
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.url) + "|" + c.login + "|" + c.password);
        fillDownload(QString::fromUtf8(c.url), QString::fromUtf8(c.login), QString::fromUtf8(c.password));
        EXPECT_EQ(download->isEnabled(), c.enabled);
    }

    // Enter downloads, and the blank password goes out empty.
    fillDownload(q(url("refuse")), QStringLiteral("alice"), QStringLiteral("   "));
    QTest::keyClick(edit(downloadPage(), CDownloadPage::IDC_PASSWORD), Qt::Key_Return);
    ASSERT_TRUE(waitFor([&] { return current() == pageid::Progress && progress()->outcomesTaken() == 1; }));
    EXPECT_TRUE(showsError(QStringLiteral("REFUSED")));
    ASSERT_EQ(server_->requests().size(), 1u);
    EXPECT_NE(server_->requests()[0].body.find("<name>password</name><value></value>"), std::string::npos)
        << server_->requests()[0].body;
}

TEST_F(ProvisioningPagesTest, DownloadWithoutTheCodeAsksForItOnTheActivationPage) {
    createDatabase();
    openMainWindow();
    fillDownload(q(url("noac")), QStringLiteral("bob"), QStringLiteral("pw"));
    QTest::mouseClick(button(downloadPage(), CDownloadPage::IDC_DOWNLOAD), Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return current() == pageid::Activate; }));
    EXPECT_FALSE(busy());
    CActivatePage* activate = activatePage();
    EXPECT_NE(activate->packText().find(u"\r\n"), std::u16string::npos) << "Base64 in lines of 72";

    QLineEdit* code = edit(activate, CActivatePage::IDC_CODE);
    EXPECT_FALSE(button(activate, CActivatePage::IDC_CONTINUE)->isEnabled());
    type(code, QStringLiteral("87654321"));
    clickContinue(activate);
    ASSERT_EQ(MessageBox::answered().size(), 1);
    EXPECT_EQ(MessageBox::answered()[0].text,
              QStringLiteral("Failed to decode the token. Please check your authorisation code."));
    EXPECT_EQ(MessageBox::answered()[0].caption, QStringLiteral("Valdorix"));
    EXPECT_EQ(MessageBox::answered()[0].icon, MessageBox::Error);
    EXPECT_EQ(current(), pageid::Activate);
    EXPECT_EQ(code->text(), QStringLiteral("87654321"));
    EXPECT_TRUE(store().tokens.empty());

    // The right code with blanks around it; Enter works as Continue does.
    type(code, QStringLiteral("  12345678 "));
    QTest::keyClick(code, Qt::Key_Return);
    ASSERT_TRUE(waitFor([&] { return current() == pageid::Progress; }));
    EXPECT_TRUE(showsInformation(QStringLiteral("The token has been successfully downloaded.")));
    EXPECT_EQ(label(progress(), CProgressPage::IDC_CAPTION)->text(), QStringLiteral("Downloading token..."));
    ASSERT_EQ(store().tokens.size(), 1u);
    EXPECT_EQ(store().tokens[0]->provisioned, 1);
    EXPECT_EQ(store().tokens[0]->userName, u"bob");
    ASSERT_EQ(tokensOnDisk().size(), 1u);
    EXPECT_EQ(MessageBox::answered().size(), 1);
}

TEST_F(ProvisioningPagesTest, TheActivationPageKeepsItsPackWhenShownWithoutOne) {
    createDatabase();
    openMainWindow();
    m_window->Navigate(pageid::Activate);
    // No pack ever given: no code decodes.
    type(edit(activatePage(), CActivatePage::IDC_CODE), QStringLiteral("12345678"));
    clickContinue(activatePage());
    EXPECT_EQ(MessageBox::answered().size(), 1);
    EXPECT_EQ(current(), pageid::Activate);

    m_window->ShowPage(pageid::Activate, {QStringLiteral("QUJD\r\nREVG")});
    m_window->Navigate(pageid::Download);
    m_window->ShowPage(pageid::Activate, {});
    EXPECT_EQ(activatePage()->packText(), u"QUJD\r\nREVG");
}

TEST_F(ProvisioningPagesTest, PackTextDecodingSkipsLineBreaksAndWideCharacters) {
    const std::pair<std::u16string, std::string> cases[] = {
        {u"QUJD\r\nREVG", "ABCDEF"},
        {u"QU\u0141JD", "ABC"}, // U+0141 would narrow to 'A'
        {u"QUJ\u0144D", "ABC"}, // U+0144 would narrow to 'D'
        {u"QUI=", "AB"},
        {u"", ""},
    };
    for (const auto& [text, bytes] : cases) {
        const auto decoded = CActivatePage::decodePackText(text);
        EXPECT_EQ(std::string(decoded.begin(), decoded.end()), bytes);
    }
}

TEST_F(ProvisioningPagesTest, APackWaitingForItsCodeLeadsToThePackPageAfterUnlocking) {
    for (const bool firstStart : {false, true}) {
        SCOPED_TRACE(firstStart ? "first PIN" : "log-in");
        if (!firstStart)
            createDatabase();
        writePack(packNeedingCode(u"secret-code"));
        // A fresh store, as at start-up.
        m_window.reset();
        m_store = std::make_unique<CValdorixTokenDB>();
        CValdorixTokenDB& startUp = store();
        openMainWindow();
        const QString pinText = QString::fromStdU16String(std::u16string(kPin));
        if (firstStart) {
            ASSERT_EQ(current(), pageid::SetPin);
            QWidget* pin = m_window->findPage(pageid::SetPin)->GetHWND();
            type(qobject_cast<QLineEdit*>(dlgItem(pin, CSetPinPage::IDC_NEW_PIN)), pinText);
            type(qobject_cast<QLineEdit*>(dlgItem(pin, CSetPinPage::IDC_CONFIRM_PIN)), pinText);
            QTest::mouseClick(dlgItem(pin, CSetPinPage::IDC_GO), Qt::LeftButton);
        } else {
            ASSERT_EQ(current(), pageid::Login);
            QWidget* login = m_window->findPage(pageid::Login)->GetHWND();
            type(qobject_cast<QLineEdit*>(dlgItem(login, CLoginPage::IDC_PIN)), pinText);
            QTest::mouseClick(dlgItem(login, CLoginPage::IDC_LOGIN), Qt::LeftButton);
        }
        ASSERT_EQ(current(), pageid::TokenPackActivate);
        auto* packPage = page<CTokenPackActivatePage>(pageid::TokenPackActivate);
        QLineEdit* code = edit(packPage, CTokenPackActivatePage::IDC_CODE);
        EXPECT_FALSE(button(packPage, CTokenPackActivatePage::IDC_CONTINUE)->isEnabled());

        // Wrong, then right but with a blank: the code is used exactly as typed.
        for (const char* wrong : {"secret-cod", " secret-code"}) {
            MessageBox::clearAnswered();
            type(code, QString::fromUtf8(wrong));
            clickContinue(packPage);
            ASSERT_EQ(MessageBox::answered().size(), 1) << wrong;
            EXPECT_EQ(MessageBox::answered()[0].text,
                      QStringLiteral("Failed to decode the token. Please check your authorisation code."));
            EXPECT_EQ(current(), pageid::TokenPackActivate);
            EXPECT_TRUE(fs::exists(packFile()));
            EXPECT_TRUE(startUp.tokens.empty());
        }

        type(code, QStringLiteral("secret-code"));
        clickContinue(packPage);
        EXPECT_FALSE(fs::exists(packFile()));
        ASSERT_EQ(startUp.tokens.size(), 1u);
        EXPECT_EQ(startUp.tokens[0]->serial, u"PACK-7");
        EXPECT_EQ(tokensOnDisk().size(), 1u);
        EXPECT_EQ(current(), pageid::Otp);

        m_window.reset();
        fs::remove_all(productFolder());
    }
}

TEST_F(ProvisioningPagesTest, SynchronisationSavesTheAdvancedCounterThenAsksTheServer) {
    createDatabase();
    openMainWindow();
    const std::shared_ptr<COtpToken> token = addEventToken(url());
    COtpToken expected = *token;

    m_window->Navigate(pageid::Synchronise);
    auto* sync = page<CSynchronisePage>(pageid::Synchronise);
    CPngButton* go = button(sync, CSynchronisePage::IDC_SYNCHRONISE);
    ASSERT_TRUE(go->isEnabled());
    for (int press = 1; press <= 2; ++press) {
        SCOPED_TRACE(press);
        server_->clearRequests();
        m_window->Navigate(pageid::Synchronise);
        const std::u16string codes = expected.syncCodes();
        QTest::mouseClick(go, Qt::LeftButton);
        EXPECT_EQ(current(), pageid::Progress);
        EXPECT_EQ(token->counter, 41 + 3 * press);
        ASSERT_TRUE(waitFor([&] { return progress()->outcomesTaken() == press; }));
        EXPECT_TRUE(showsInformation(QStringLiteral("The token has been successfully synchronised.")));
        ASSERT_EQ(server_->requests().size(), 1u);
        const std::string body = server_->requests()[0].body;
        EXPECT_NE(body.find("<param><value>VX0001</value></param><param><value>" +
                            QString::fromStdU16String(codes).toStdString() + "</value></param>"),
                  std::string::npos)
            << body;
        EXPECT_EQ(std::count(codes.begin(), codes.end(), u','), 2);
        const auto onDisk = tokensOnDisk();
        ASSERT_EQ(onDisk.size(), 1u);
        EXPECT_EQ(onDisk[0]->counter, 41 + 3 * press);
    }
}

TEST_F(ProvisioningPagesTest, SynchronisationAdvancesTheCounterEvenWhenTheServerIsAway) {
    createDatabase();
    openMainWindow();
    const std::shared_ptr<COtpToken> token =
        addEventToken("http://127.0.0.1:" + std::to_string(unusedLocalPort()) + "/rpc");
    m_window->Navigate(pageid::Synchronise);
    QTest::keyClick(m_window->findPage(pageid::Synchronise)->GetHWND(), Qt::Key_Return);
    ASSERT_TRUE(waitFor([&] { return current() == pageid::Progress; }));
    // On disk before the call has any answer.
    ASSERT_EQ(tokensOnDisk().size(), 1u);
    EXPECT_EQ(tokensOnDisk()[0]->counter, 44);
    ASSERT_TRUE(waitFor([&] { return progress()->outcomesTaken() == 1; }));
    EXPECT_TRUE(showsError(QStringLiteral("Failed to connect the server.")));
    EXPECT_EQ(token->counter, 44);
}

TEST_F(ProvisioningPagesTest, SynchroniseFollowsTheDefaultToken) {
    createDatabase();
    openMainWindow();
    m_window->Navigate(pageid::Synchronise);
    auto* sync = page<CSynchronisePage>(pageid::Synchronise);
    CPngButton* go = button(sync, CSynchronisePage::IDC_SYNCHRONISE);
    EXPECT_FALSE(go->isEnabled());
    // Enter on a disabled button does nothing.
    QTest::keyClick(sync->GetHWND(), Qt::Key_Return);
    QTest::qWait(20);
    EXPECT_EQ(current(), pageid::Synchronise);

    addEventToken(url());
    m_window->Navigate(pageid::Download);
    m_window->Navigate(pageid::Synchronise);
    EXPECT_TRUE(go->isEnabled());

    store().deleteToken(0);
    m_window->GoBack();
    m_window->GoForward();
    EXPECT_FALSE(go->isEnabled());
}

} // namespace
