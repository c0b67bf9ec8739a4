#include "tests/app/ShellTestSupport.h"
#include "engine/Rc4.h"
#include "engine/TextDigest.h"
#include "platform/CodePage.h"
#include "resources/Menu.h"
#include "pages/pin/ChangePinPage.h"
#include "pages/pin/LoginPage.h"
#include "pages/pin/SetPinPage.h"
#include "store/FileBytes.h"

#include <QLabel>
#include <QMenu>
#include <fstream>

using namespace shelltest;

namespace {

using Bytes = std::vector<std::uint8_t>;

// A token descriptor record with fixed fields and short strings, no icon.
Bytes descriptorRecord(const std::string& serial) {
    Bytes r = {'{', 0, 0, 0, 0, 1, 0, 0, 60, 0, 5, 6, 0x04, 2, 0, 0, 0, 0};
    for (int i = 0; i < 40; ++i)
        r.push_back(std::uint8_t(i));
    const auto text = [&](const std::string& s) {
        r.push_back(std::uint8_t(s.size()));
        r.insert(r.end(), s.begin(), s.end());
    };
    text(serial);
    text("https://svc");
    text("Token");
    text("user");
    text("application");
    text("pack-app");
    r.push_back(0);
    r.push_back(0);
    text("https://app");
    text("OCRA-1:HOTP-SHA1-6:C-QN08");
    r.push_back('}');
    return r;
}

Bytes enciphered(Bytes bytes, const std::uint8_t* key, std::size_t keyLength) {
    Rc4State state{};
    rc4Init(state, key, keyLength);
    rc4Crypt(state, bytes.data(), bytes.size());
    return bytes;
}

// A pack that carries its own key: it installs without a code.
Bytes packWithKey() {
    const Bytes key = {9, 8, 7, 6, 5, 4, 3, 2, 1, 0, 9, 8, 7, 6, 5, 4};
    Bytes pack = {1, std::uint8_t(key.size())};
    pack.insert(pack.end(), key.begin(), key.end());
    const Bytes body = enciphered(descriptorRecord("PACK-1"), key.data(), key.size());
    pack.insert(pack.end(), body.begin(), body.end());
    return pack;
}

// A pack that waits for the authorisation code.
Bytes packNeedingCode() {
    std::uint8_t key[16];
    md5OfText(std::u16string_view(u"secret-code"), key);
    Bytes pack = {0, 0};
    const Bytes body = enciphered(descriptorRecord("PACK-2"), key, sizeof key);
    pack.insert(pack.end(), body.begin(), body.end());
    return pack;
}

class PinPagesTest : public ShellFixture {
protected:
    void writePack(const Bytes& pack) {
        fs::create_directories(productFolder());
        std::ofstream file(productFolder() / "TokenDescriptor.tok", std::ios::binary);
        file.write(reinterpret_cast<const char*>(pack.data()), std::streamsize(pack.size()));
    }

    // Starts the window on the database there and presses Log In with `pin`.
    void logInAtStart(const QString& pin) {
        openMainWindow({pageid::Otp});
        auto* page = currentPage<CLoginPage>();
        ASSERT_NE(page, nullptr);
        type(edit(page, CLoginPage::IDC_PIN), pin);
        page->onCommand(CLoginPage::IDC_LOGIN, BN_CLICKED);
    }

    bool opensWith(std::u16string_view pin) {
        CValdorixTokenDB other;
        return other.setPin(pin) && other.load();
    }
};

TEST_F(PinPagesTest, FirstStartShowsSetPinWithTheTokenMenuGrey) {
    CMainDlg& window = openMainWindow();
    EXPECT_EQ(window.GetCurrentPageId(), pageid::SetPin);
    EXPECT_FALSE(fs::exists(databaseFile()));

    QMenu* token = window.menu(QStringLiteral("&Token"));
    ASSERT_NE(token, nullptr);
    window.prepareMenu(token);
    const QList<QAction*> actions = token->actions();
    for (qsizetype i = 0; i + 1 < actions.size(); ++i)
        EXPECT_FALSE(actions[i]->isEnabled()) << actions[i]->text().toStdString();
    EXPECT_TRUE(actions.last()->isEnabled());
    EXPECT_EQ(actions.last()->text(), QStringLiteral("&Exit"));

    QMenu* help = window.menu(QStringLiteral("&Help"));
    window.prepareMenu(help);
    for (QAction* action : help->actions())
        EXPECT_TRUE(action->isEnabled());
}

TEST_F(PinPagesTest, SetPinRulesEnableGoAndTheHintSaysWhatIsMissing) {
    openMainWindow();
    auto* page = currentPage<CSetPinPage>();
    ASSERT_NE(page, nullptr);
    QWidget* go = control(page, CSetPinPage::IDC_GO);
    EXPECT_FALSE(go->isEnabled());
    const QString rule = QStringLiteral("The PIN needs at least 4 characters.");
    const QString differ = QStringLiteral("The two PINs differ.");
    EXPECT_EQ(page->hint()->text(), rule);

    const struct {
        const char* pin;
        const char* confirmation;
        bool enabled;
        QString hint;
    } cases[] = {
        {"abc", "abc", false, rule},     // three characters
        {"abcd", "abcd", true, {}},      // four
        {"abcd", "abcD", false, differ}, // differs only in case
        {"abcd", "", false, {}},         {"", "", false, rule},
        {"a b c d e", "a b c d e", true, {}},
    };
    for (const auto& c : cases) {
        type(edit(page, CSetPinPage::IDC_NEW_PIN), QString::fromLatin1(c.pin));
        type(edit(page, CSetPinPage::IDC_CONFIRM_PIN), QString::fromLatin1(c.confirmation));
        EXPECT_EQ(go->isEnabled(), c.enabled) << c.pin << " / " << c.confirmation;
        EXPECT_EQ(page->hint()->text(), c.hint) << c.pin << " / " << c.confirmation;
        EXPECT_EQ(page->hint()->palette().color(QPalette::WindowText) == QColor(Qt::red), c.hint == differ)
            << c.pin << " / " << c.confirmation;
    }
}

TEST_F(PinPagesTest, GoWritesTheEmptyDatabaseAndUnlocks) {
    openMainWindow({pageid::Otp});
    auto* page = currentPage<CSetPinPage>();
    ASSERT_NE(page, nullptr);
    type(edit(page, CSetPinPage::IDC_NEW_PIN), QStringLiteral("1234"));
    type(edit(page, CSetPinPage::IDC_CONFIRM_PIN), QStringLiteral("1234"));
    page->onCommand(CSetPinPage::IDC_GO, BN_CLICKED);

    EXPECT_TRUE(store().isUnlocked());
    ASSERT_TRUE(fs::exists(databaseFile()));
    EXPECT_EQ(fs::file_size(databaseFile()), 249u);
    EXPECT_EQ(m_window->GetCurrentPageId(), pageid::Otp);
    EXPECT_TRUE(opensWith(u"1234"));
    // The boxes keep their text; only the page's own copies are wiped.
    EXPECT_EQ(edit(page, CSetPinPage::IDC_NEW_PIN)->text(), QStringLiteral("1234"));
}

TEST_F(PinPagesTest, WithoutTheOtpPageTheSetPinPageStays) {
    m_window = std::make_unique<CMainDlg>(store());
    m_window->Create([] {
        auto pages = createPageSet();
        std::erase_if(pages, [](const auto& page) { return page->GetID() == pageid::Otp; });
        return pages;
    });
    auto* page = currentPage<CSetPinPage>();
    type(edit(page, CSetPinPage::IDC_NEW_PIN), QStringLiteral("1234"));
    type(edit(page, CSetPinPage::IDC_CONFIRM_PIN), QStringLiteral("1234"));
    page->onCommand(CSetPinPage::IDC_GO, BN_CLICKED);
    EXPECT_TRUE(store().isUnlocked());
    EXPECT_EQ(m_window->GetCurrentPageId(), pageid::SetPin);
}

TEST_F(PinPagesTest, APackThatNeedsACodeLeadsToTheActivationPage) {
    writePack(packNeedingCode());
    openMainWindow({pageid::Otp, pageid::TokenPackActivate});
    auto* page = currentPage<CSetPinPage>();
    type(edit(page, CSetPinPage::IDC_NEW_PIN), QStringLiteral("1234"));
    type(edit(page, CSetPinPage::IDC_CONFIRM_PIN), QStringLiteral("1234"));
    page->onCommand(CSetPinPage::IDC_GO, BN_CLICKED);
    EXPECT_EQ(m_window->GetCurrentPageId(), pageid::TokenPackActivate);
    EXPECT_TRUE(store().tokens.empty());
}

TEST_F(PinPagesTest, APackWithItsKeyIsInstalledSilently) {
    writePack(packWithKey());
    openMainWindow({pageid::Otp, pageid::TokenPackActivate});
    auto* page = currentPage<CSetPinPage>();
    type(edit(page, CSetPinPage::IDC_NEW_PIN), QStringLiteral("1234"));
    type(edit(page, CSetPinPage::IDC_CONFIRM_PIN), QStringLiteral("1234"));
    page->onCommand(CSetPinPage::IDC_GO, BN_CLICKED);
    EXPECT_EQ(m_window->GetCurrentPageId(), pageid::Otp);
    ASSERT_EQ(store().tokens.size(), 1u);
    EXPECT_EQ(store().tokens[0]->serial, u"PACK-1");
    EXPECT_TRUE(MessageBox::answered().isEmpty());
}

TEST_F(PinPagesTest, SecondStartShowsLoginAndWrongPinsKeepItLocked) {
    createDatabase(u"2468");
    CMainDlg& window = openMainWindow({pageid::Otp});
    auto* page = currentPage<CLoginPage>();
    ASSERT_NE(page, nullptr);
    QLineEdit* pin = edit(page, CLoginPage::IDC_PIN);
    QWidget* login = control(page, CLoginPage::IDC_LOGIN);
    EXPECT_FALSE(login->isEnabled()); // empty box

    for (const char* wrong : {"1111", "2467", "24680"}) {
        type(pin, QString::fromLatin1(wrong));
        EXPECT_TRUE(login->isEnabled());
        page->onCommand(CLoginPage::IDC_LOGIN, BN_CLICKED);
        EXPECT_TRUE(pin->text().isEmpty());
        EXPECT_FALSE(login->isEnabled());
    }
    ASSERT_EQ(MessageBox::answered().size(), 3);
    for (const MessageBox::Record& box : MessageBox::answered()) {
        EXPECT_EQ(box.text, QStringLiteral("Incorrect PIN! Please try again."));
        EXPECT_EQ(box.caption, QStringLiteral("Valdorix"));
        EXPECT_EQ(box.icon, MessageBox::Error);
    }
    EXPECT_FALSE(store().isUnlocked());
    EXPECT_EQ(window.GetCurrentPageId(), pageid::Login);

    type(pin, QStringLiteral("2468"));
    page->onCommand(CLoginPage::IDC_LOGIN, BN_CLICKED);
    EXPECT_TRUE(store().isUnlocked());
    EXPECT_TRUE(store().checkPin(u"2468"));
    EXPECT_EQ(window.GetCurrentPageId(), pageid::Otp);
}

TEST_F(PinPagesTest, ALinkToAMissingDatabaseIsReportedAndNotReplaced) {
    fs::create_directories(productFolder());
    const fs::path gone = productFolder() / "unmounted" / "Valdorix4.db";
    fs::create_symlink(gone, databaseFile());
    CMainDlg& window = openMainWindow();
    EXPECT_EQ(window.GetCurrentPageId(), pageid::SetPin);
    ASSERT_EQ(MessageBox::answered().size(), 1);
    EXPECT_EQ(MessageBox::answered()[0].text,
              QStringLiteral("Your token database %1 is a link to %2, which does not exist. Valdorix will not "
                             "save your tokens in its place: restore that file, or remove the link.")
                  .arg(QString::fromStdString(databaseFile().string()), QString::fromStdString(gone.string())));
    ASSERT_TRUE(store().changePin(u"", u"1234").status == PinChange::NotSaved);
    EXPECT_TRUE(fs::is_symlink(databaseFile()));
    EXPECT_FALSE(fs::exists(gone));
}

TEST_F(PinPagesTest, ADatabaseOverTheSizeCapIsReportedNotTakenForAWrongPin) {
    createDatabase(u"2468");
    fs::resize_file(databaseFile(), MaxFileSize + 1); // sparse: costs no disk
    ASSERT_NO_FATAL_FAILURE(logInAtStart(QStringLiteral("2468")));
    ASSERT_EQ(MessageBox::answered().size(), 1);
    EXPECT_EQ(MessageBox::answered()[0].text,
              QString::fromStdString(databaseFile().string()) +
                  QStringLiteral(" is larger than 256 MiB. Valdorix does not read a file that large."));
    EXPECT_FALSE(store().isUnlocked());
}

TEST_F(PinPagesTest, ADatabaseANewerVersionWroteIsNamedNotTakenForAWrongPin) {
    createDatabase(u"2468", 1);
    // The archive is enciphered as a stream: this flips its token class version from 1 to 3.
    const auto bytesOf = [](const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), {});
    };
    Bytes file = bytesOf(databaseFile());
    file[CFileTokenDB::HeaderSize + 107] ^= 2;
    std::ofstream(databaseFile(), std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
    ASSERT_NO_FATAL_FAILURE(logInAtStart(QStringLiteral("2468")));
    ASSERT_EQ(MessageBox::answered().size(), 1);
    EXPECT_EQ(MessageBox::answered()[0].text,
              QStringLiteral("Your token database was written by a newer version of Valdorix, which this version "
                             "cannot read. Open it with that version; the file is left as it is."));
    EXPECT_FALSE(store().isUnlocked());
    EXPECT_EQ(bytesOf(databaseFile()), file);
}

TEST_F(PinPagesTest, AMistypedPinAfterBackNeitherOpensNorRekeysTheStore) {
    createDatabase(u"2468", 1);
    writePack(packNeedingCode());
    CMainDlg& window = openMainWindow({pageid::Otp, pageid::TokenPackActivate});
    auto* page = currentPage<CLoginPage>();
    QLineEdit* pin = edit(page, CLoginPage::IDC_PIN);
    type(pin, QStringLiteral("2468"));
    page->onCommand(CLoginPage::IDC_LOGIN, BN_CLICKED);
    ASSERT_EQ(window.GetCurrentPageId(), pageid::TokenPackActivate);
    const auto key = store().keyInUse();

    window.GoBack();
    ASSERT_EQ(window.GetCurrentPageId(), pageid::Login);
    type(pin, QStringLiteral("1111"));
    page->onCommand(CLoginPage::IDC_LOGIN, BN_CLICKED);
    ASSERT_EQ(MessageBox::answered().size(), 1);
    EXPECT_EQ(MessageBox::answered()[0].text, QStringLiteral("Incorrect PIN! Please try again."));
    EXPECT_EQ(window.GetCurrentPageId(), pageid::Login);
    EXPECT_EQ(store().keyInUse(), key);
    EXPECT_TRUE(store().checkPin(u"2468"));

    // The next save still writes under the real PIN.
    EXPECT_TRUE(store().save());
    EXPECT_TRUE(opensWith(u"2468"));
    EXPECT_FALSE(opensWith(u"1111"));

    // The real PIN goes on without reading the file again.
    store().tokens.clear();
    type(pin, QStringLiteral("2468"));
    page->onCommand(CLoginPage::IDC_LOGIN, BN_CLICKED);
    EXPECT_EQ(window.GetCurrentPageId(), pageid::TokenPackActivate);
    EXPECT_TRUE(store().tokens.empty());
}

TEST_F(PinPagesTest, AFirstPinThatCannotBeSavedIsReportedAndTheStoreStaysClosed) {
    fs::create_directories(fs::path(databaseFile().string() + ".new")); // takes the temporary's name
    openMainWindow({pageid::Otp});
    auto* page = currentPage<CSetPinPage>();
    type(edit(page, CSetPinPage::IDC_NEW_PIN), QStringLiteral("1234"));
    type(edit(page, CSetPinPage::IDC_CONFIRM_PIN), QStringLiteral("1234"));
    page->onCommand(CSetPinPage::IDC_GO, BN_CLICKED);

    ASSERT_EQ(MessageBox::answered().size(), 1);
    EXPECT_EQ(MessageBox::answered()[0].icon, MessageBox::Error);
    EXPECT_EQ(MessageBox::answered()[0].text,
              QStringLiteral("Valdorix could not save your tokens to %1: Is a directory. Your last change is not stored.")
                  .arg(QString::fromStdString(databaseFile().string())));
    EXPECT_EQ(m_window->GetCurrentPageId(), pageid::SetPin);
    EXPECT_FALSE(store().isUnlocked());
}

TEST_F(PinPagesTest, APinTheDatabaseCannotHoldIsRefused) {
    platform::setCodePageForTesting(1252);
    openMainWindow({pageid::Otp});
    auto* page = currentPage<CSetPinPage>();
    const QString cyrillic = QStringLiteral("\u043f\u0430\u0440\u043e\u043b\u044c");
    // Typed as an input method would: key clicks carry Latin-1 only.
    edit(page, CSetPinPage::IDC_NEW_PIN)->setText(cyrillic);
    edit(page, CSetPinPage::IDC_CONFIRM_PIN)->setText(cyrillic);
    page->onCommand(CSetPinPage::IDC_GO, BN_CLICKED);
    platform::setCodePageForTesting(0);

    ASSERT_EQ(MessageBox::answered().size(), 1);
    EXPECT_EQ(MessageBox::answered()[0].text,
              QStringLiteral("This PIN has characters that your token database cannot store. Please choose a PIN "
                             "without them."));
    EXPECT_EQ(m_window->GetCurrentPageId(), pageid::SetPin);
    EXPECT_FALSE(fs::exists(databaseFile()));
}

TEST_F(PinPagesTest, EnterInThePinBoxLogsIn) {
    createDatabase(u"2468");
    openMainWindow({pageid::Otp});
    auto* page = currentPage<CLoginPage>();
    QLineEdit* pin = edit(page, CLoginPage::IDC_PIN);

    // Empty box: Enter does nothing.
    QTest::keyClick(pin, Qt::Key_Return);
    QCoreApplication::processEvents();
    EXPECT_TRUE(MessageBox::answered().isEmpty());

    type(pin, QStringLiteral("2468"));
    QTest::keyClick(pin, Qt::Key_Return);
    EXPECT_TRUE(waitFor([&] { return store().isUnlocked(); }));
    EXPECT_TRUE(waitFor([&] { return m_window->GetCurrentPageId() == pageid::Otp; }));
}

TEST_F(PinPagesTest, AKeyWithAltNeverTypesIntoThePinBox) {
    createDatabase(u"2468");
    openMainWindow({pageid::Otp});
    auto* page = currentPage<CLoginPage>();
    QLineEdit* pin = edit(page, CLoginPage::IDC_PIN);
    pin->setFocus();
    for (Qt::Key key : {Qt::Key_L, Qt::Key_2, Qt::Key_Z})
        QTest::keyClick(pin, key, Qt::AltModifier);
    QTest::keyClick(pin, Qt::Key_L, Qt::AltModifier | Qt::ShiftModifier);
    EXPECT_EQ(pin->text(), QString());
    QTest::keyClick(pin, Qt::Key_L);
    EXPECT_EQ(pin->text(), QStringLiteral("l"));
}

class ChangePinTest : public PinPagesTest {
protected:
    CChangePinPage* openChangePin() {
        createDatabase(u"2468");
        openMainWindow({pageid::Otp});
        auto* login = currentPage<CLoginPage>();
        type(edit(login, CLoginPage::IDC_PIN), QStringLiteral("2468"));
        login->onCommand(CLoginPage::IDC_LOGIN, BN_CLICKED);
        m_window->onCommand(resources::ids::ID_CHANGE_PIN);
        return currentPage<CChangePinPage>();
    }

    void fill(CChangePinPage* page, const char* current, const char* pin, const char* confirmation) {
        type(edit(page, CChangePinPage::IDC_CURRENT_PIN), QString::fromLatin1(current));
        type(edit(page, CChangePinPage::IDC_NEW_PIN), QString::fromLatin1(pin));
        type(edit(page, CChangePinPage::IDC_CONFIRM_PIN), QString::fromLatin1(confirmation));
    }
};

TEST_F(ChangePinTest, EnablingRules) {
    CChangePinPage* page = openChangePin();
    ASSERT_NE(page, nullptr);
    QWidget* go = control(page, CChangePinPage::IDC_GO);
    const struct {
        const char* current;
        const char* pin;
        const char* confirmation;
        bool enabled;
    } cases[] = {
        {"", "abcd", "abcd", false}, {"x", "abc", "abc", false},    {"x", "abcd", "abce", false},
        {"x", "abcd", "abcd", true}, {"x", "abcde", "abcde", true},
    };
    for (const auto& c : cases) {
        fill(page, c.current, c.pin, c.confirmation);
        EXPECT_EQ(go->isEnabled(), c.enabled) << c.current << "/" << c.pin << "/" << c.confirmation;
    }
}

TEST_F(ChangePinTest, WrongCurrentPinChangesNothing) {
    CChangePinPage* page = openChangePin();
    const auto before = fs::last_write_time(databaseFile());
    const auto keyBefore = store().keyInUse();
    fill(page, "9999", "1357", "1357");
    page->onCommand(CChangePinPage::IDC_GO, BN_CLICKED);
    ASSERT_EQ(MessageBox::answered().size(), 1);
    EXPECT_EQ(MessageBox::answered()[0].text, QStringLiteral("Incorrect PIN! Please try again."));
    EXPECT_EQ(store().keyInUse(), keyBefore);
    EXPECT_EQ(fs::last_write_time(databaseFile()), before);
    EXPECT_EQ(m_window->GetCurrentPageId(), pageid::ChangePin);
    EXPECT_TRUE(opensWith(u"2468"));
}

TEST_F(ChangePinTest, SuccessRekeysTheFile) {
    CChangePinPage* page = openChangePin();
    fill(page, "2468", "1357", "1357");
    page->onCommand(CChangePinPage::IDC_GO, BN_CLICKED);
    ASSERT_EQ(MessageBox::answered().size(), 1);
    EXPECT_EQ(MessageBox::answered()[0].text, QStringLiteral("Your PIN has been successfully changed."));
    EXPECT_EQ(MessageBox::answered()[0].icon, MessageBox::Information);
    EXPECT_FALSE(control(page, CChangePinPage::IDC_GO)->isEnabled());
    EXPECT_EQ(m_window->GetCurrentPageId(), pageid::Otp);
    EXPECT_TRUE(opensWith(u"1357"));
    EXPECT_FALSE(opensWith(u"2468"));

    // Back on the page: the masked entries are still there, Go waits for a change.
    m_window->onCommand(resources::ids::ID_CHANGE_PIN);
    EXPECT_EQ(edit(page, CChangePinPage::IDC_NEW_PIN)->text(), QStringLiteral("1357"));
    EXPECT_FALSE(control(page, CChangePinPage::IDC_GO)->isEnabled());
}

TEST_F(ChangePinTest, AChangeThatCannotBeSavedKeepsTheOldPin) {
    CChangePinPage* page = openChangePin();
    fs::create_directories(fs::path(databaseFile().string() + ".new"));
    fill(page, "2468", "1357", "1357");
    page->onCommand(CChangePinPage::IDC_GO, BN_CLICKED);
    ASSERT_EQ(MessageBox::answered().size(), 1);
    EXPECT_TRUE(MessageBox::answered()[0].text.startsWith(QStringLiteral("Valdorix could not save your tokens")));
    EXPECT_EQ(m_window->GetCurrentPageId(), pageid::ChangePin);
    EXPECT_TRUE(store().checkPin(u"2468"));

    fs::remove_all(fs::path(databaseFile().string() + ".new"));
    EXPECT_TRUE(store().save());
    EXPECT_TRUE(opensWith(u"2468"));
}

TEST_F(ChangePinTest, TheNewPinMayEqualTheOld) {
    CChangePinPage* page = openChangePin();
    fill(page, "2468", "2468", "2468");
    page->onCommand(CChangePinPage::IDC_GO, BN_CLICKED);
    ASSERT_EQ(MessageBox::answered().size(), 1);
    EXPECT_EQ(MessageBox::answered()[0].text, QStringLiteral("Your PIN has been successfully changed."));
    EXPECT_TRUE(opensWith(u"2468"));
}

} // namespace
