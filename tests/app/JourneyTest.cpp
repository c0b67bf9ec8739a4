// A new user's whole day in one process, through the real main window and its pages, against the
// local provisioning server: first start and PIN, a token from a seed code and its first code, a
// CSV list, the picker, an OCRA challenge, two downloads, a synchronisation, renaming and deleting,
// a new PIN, Exit, and a second start that finds everything as it was left.
//
// Every code the pages show is checked against an HOTP/OCRA computation written here on
// OpenSSL's HMAC, not against the engine. Widgets are found by their object names ("id<control
// id>", "plate", "selectTokenWindow"). Pictures of the main window at each step go to
// <build>/screenshots/journey_*.png.
#include "pages/otp/NumberPlate.h"
#include "platform/Folders.h"
#include "app/Application.h"
#include "ui/LabelEditListView.h"
#include "app/MainDlg.h"
#include "ui/MessageBox.h"
#include "ui/OpenFileDialog.h"
#include "store/ValdorixTokenDB.h"
#include "tests/QtTestApplication.h"
#include "tests/provisioning/ServerSuite.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

// ---- An independent HOTP (RFC 4226) and OCRA (RFC 6287) on OpenSSL ----

std::string sha1(const std::string& bytes) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned length = 0;
    EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_sha1(), nullptr);
    return std::string(reinterpret_cast<const char*>(digest), length);
}

// HMAC-SHA1 of `message`, dynamically truncated to `digits` decimal digits.
std::string truncatedHmac(const std::string& key, const std::string& message, int digits) {
    unsigned char mac[EVP_MAX_MD_SIZE];
    unsigned length = 0;
    HMAC(EVP_sha1(), key.data(), int(key.size()), reinterpret_cast<const unsigned char*>(message.data()),
         message.size(), mac, &length);
    const int offset = mac[length - 1] & 0x0f;
    const std::uint32_t value = std::uint32_t(mac[offset] & 0x7f) << 24 |
                                std::uint32_t(mac[offset + 1]) << 16 | std::uint32_t(mac[offset + 2]) << 8 |
                                std::uint32_t(mac[offset + 3]);
    std::uint32_t modulus = 1;
    for (int i = 0; i < digits; ++i)
        modulus *= 10;
    char text[16];
    std::snprintf(text, sizeof text, "%0*u", digits, value % modulus);
    return text;
}

std::string bigEndian(std::uint64_t value) {
    std::string bytes(8, '\0');
    for (int i = 7; i >= 0; --i, value >>= 8)
        bytes[std::size_t(i)] = char(value & 0xff);
    return bytes;
}

std::string hotp(const std::string& key, std::uint64_t counter, int digits = 6) {
    return truncatedHmac(key, bigEndian(counter), digits);
}

// OCRA-1:HOTP-SHA1-6:C-QN08 with a numeric question: suite, a zero byte, the counter, and the
// question in hexadecimal at the start of a 128-byte field.
std::string ocraCounterQuestion(const std::string& key, std::uint64_t counter, std::uint64_t question) {
    const std::string suite = "OCRA-1:HOTP-SHA1-6:C-QN08";
    char hex[32];
    std::snprintf(hex, sizeof hex, "%llx", static_cast<unsigned long long>(question));
    std::string digits = hex;
    if (digits.size() % 2 != 0)
        digits += '0';
    std::string field(128, '\0');
    for (std::size_t i = 0; i < digits.size() / 2; ++i)
        field[i] = char(std::stoi(digits.substr(2 * i, 2), nullptr, 16));
    return truncatedHmac(key, suite + '\0' + bigEndian(counter) + field, 6);
}

// ---- Seed codes, made the way a token issuer makes them ----

// The Luhn check digit of the `count` lowest decimal digits of `value`.
int luhn(std::uint64_t value, int count) {
    int sum = 0;
    for (int i = 0; i < count; ++i, value /= 10) {
        int digit = int(value % 10);
        if (i % 2 == 0) {
            digit *= 2;
            if (digit > 9)
                digit -= 9;
        }
        sum += digit;
    }
    return (10 - sum % 10) % 10;
}

struct Seed {
    std::string code; // the 18 characters the user types
    std::string key;  // the HMAC key the token gets: SHA-1 of the 10 secret characters
};

// Version 0: an event token; version 1: an OCRA event token. Six digits, 5 s Go delay, 60 s
// interval, two synchronisation codes (parameter word 00032). The secret is 10 digits.
Seed makeSeed(int version, const std::string& serial, const std::string& secret) {
    std::string code = std::to_string(version) +
                       std::to_string(luhn(std::stoull(serial), int(serial.size()))) + "00032" + secret;
    code += std::to_string(luhn(std::stoull(code), 17));
    return {code, sha1(secret)};
}

// The key the local provisioning server gives the token it makes for `login`.
std::string serverTokenKey(const std::string& login) {
    return sha1("primary" + sha1("valdorix-demo:" + login));
}

std::string serverTokenSerial(const std::string& login) {
    const std::string seed = sha1("valdorix-demo:" + login);
    const std::uint32_t head =
        std::uint32_t(std::uint8_t(seed[0])) << 24 | std::uint32_t(std::uint8_t(seed[1])) << 16 |
        std::uint32_t(std::uint8_t(seed[2])) << 8 | std::uint32_t(std::uint8_t(seed[3]));
    char serial[16];
    std::snprintf(serial, sizeof serial, "VX%08u", head % 100000000u);
    return serial;
}

QString q(const std::string& text) {
    return QString::fromStdString(text);
}

std::u16string u16(const std::string& ascii) {
    return std::u16string(ascii.begin(), ascii.end());
}

// What the user can see of a token, to compare the first day with the second start.
struct Seen {
    std::u16string label;
    std::u16string serial;
    int kind;
    std::int64_t counter;
    bool operator==(const Seen&) const = default;
};

void PrintTo(const Seen& seen, std::ostream* out) {
    *out << QString::fromStdU16String(seen.label).toStdString() << '/'
         << QString::fromStdU16String(seen.serial).toStdString() << " kind " << seen.kind << " counter "
         << seen.counter;
}

class JourneyTest : public ServerSuite {
protected:
    void SetUp() override {
        ServerSuite::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        ensureApplication();
        ASSERT_TRUE(m_home.isValid());
        m_dataHome = std::make_unique<ScopedEnvironment>("XDG_DATA_HOME", m_home.path().toStdString());
        m_configDirs = std::make_unique<ScopedEnvironment>("XDG_CONFIG_DIRS", m_home.path().toStdString());
        platform::setMachineIdForTesting(std::string("journey-test-machine"));
        MessageBox::setAnswerForAll(MessageBox::IDOK);
        MessageBox::clearAnswered();
    }

    void TearDown() override {
        m_window.reset();
        m_store.reset();
        COpenFileDialog::setNextFileName(std::nullopt);
        MessageBox::setAnswerForAll(std::nullopt);
        MessageBox::clearAnswered();
        platform::setMachineIdForTesting(std::nullopt);
        m_configDirs.reset();
        m_dataHome.reset();
    }

    // The process starting: its store, then its main window.
    void start() {
        m_store = std::make_unique<CValdorixTokenDB>();
        m_window = std::make_unique<CMainDlg>(store());
        ASSERT_TRUE(m_window->Create());
        m_window->show();
        waitForPage(m_window->GetCurrentPageId());
    }

    // The process ending after "&Exit": the window, then the store.
    void end() {
        m_window.reset();
        m_store.reset();
    }

    CValdorixTokenDB& store() { return *m_store; }
    fs::path productFolder() const { return fs::path(m_home.path().toStdString()) / "Valdorix"; }

    unsigned current() const { return m_window->GetCurrentPageId(); }

    // The window of the page on screen, once it has slid into place.
    QWidget* waitForPage(unsigned id) {
        EXPECT_TRUE(QTest::qWaitFor([&] { return current() == id; }, 30000))
            << "on page " << current() << ", waiting for " << id;
        CPage* page = m_window->findPage(id);
        if (!page || !page->GetHWND())
            return nullptr;
        QWidget* window = page->GetHWND();
        EXPECT_TRUE(QTest::qWaitFor([&] { return window->isVisible() && window->pos() == QPoint(0, 0); }));
        return window;
    }

    QWidget* pageWindow() { return m_window->findPage(current())->GetHWND(); }

    // A control of the page on screen, by its object name.
    template <class T = QWidget>
    T* control(int id) {
        T* widget = pageWindow()->findChild<T*>(QStringLiteral("id%1").arg(id));
        EXPECT_NE(widget, nullptr) << "control " << id << " on page " << current();
        return widget;
    }

    void type(int id, const QString& text) {
        QLineEdit* box = control<QLineEdit>(id);
        if (!box)
            return;
        box->clear();
        QTest::keyClicks(box, text);
    }

    void click(int id) {
        QWidget* button = control(id);
        if (!button)
            return;
        EXPECT_TRUE(button->isEnabled()) << "control " << id << " on page " << current();
        QTest::mouseClick(button, Qt::LeftButton);
    }

    // A menu command as the user picks it: each popup along the path is prepared as it opens.
    void chooseMenu(const QStringList& path) {
        QMenu* menu = m_window->menu(path.first());
        ASSERT_NE(menu, nullptr) << path.first().toStdString();
        for (qsizetype i = 1; i < path.size(); ++i) {
            emit menu->aboutToShow();
            QAction* found = nullptr;
            for (QAction* action : menu->actions()) {
                if (action->text() == path[i])
                    found = action;
            }
            ASSERT_NE(found, nullptr) << path[i].toStdString();
            ASSERT_TRUE(found->isEnabled()) << path[i].toStdString();
            if (found->menu()) {
                menu = found->menu();
            } else {
                found->trigger();
                return;
            }
        }
    }

    std::vector<QString> submenuTexts(const QString& title, QString* checked) {
        QMenu* token = m_window->menu(QStringLiteral("&Token"));
        emit token->aboutToShow();
        QMenu* menu = m_window->menu(title);
        emit menu->aboutToShow();
        std::vector<QString> texts;
        for (QAction* action : menu->actions()) {
            if (action->isSeparator() || !action->isCheckable())
                continue;
            texts.push_back(action->text());
            if (action->isChecked())
                *checked = action->text();
        }
        return texts;
    }

    std::u16string plateCode() {
        auto* plate = pageWindow()->findChild<CNumberPlate*>(QStringLiteral("plate"));
        EXPECT_NE(plate, nullptr);
        return plate ? plate->topCode() : std::u16string();
    }

    QString progressInformation() {
        auto* line = control<QLabel>(1025);
        return line && line->isVisible() ? line->text() : QString();
    }

    void waitForInformation(const QString& text) {
        ASSERT_EQ(current(), pageid::Progress);
        EXPECT_TRUE(QTest::qWaitFor([&] { return progressInformation() == text; }, 30000))
            << "shows \"" << progressInformation().toStdString() << "\"";
    }

    void screenshot(const QString& name) {
        const QByteArray binary = qgetenv("VALDORIX_BINARY_DIR");
        const QString folder = (binary.isEmpty() ? QDir::currentPath() : QString::fromUtf8(binary)) +
                               QStringLiteral("/screenshots");
        QDir().mkpath(folder);
        QCoreApplication::processEvents();
        EXPECT_TRUE(m_window->grab().toImage().save(QStringLiteral("%1/journey_%2.png").arg(folder, name)));
    }

    std::vector<Seen> seen() {
        std::vector<Seen> out;
        for (const auto& token : store().tokens)
            out.push_back({token->label, token->serial, int(token->kind), std::int64_t(token->counter)});
        return out;
    }

    // Declared first: the window and its pages use the store until they are gone.
    std::unique_ptr<CValdorixTokenDB> m_store;
    std::unique_ptr<CMainDlg> m_window;
    QTemporaryDir m_home;

private:
    std::unique_ptr<ScopedEnvironment> m_dataHome;
    std::unique_ptr<ScopedEnvironment> m_configDirs;
};

TEST_F(JourneyTest, ANewUsersDayAndTheNextStart) {
    const Seed mail = makeSeed(0, "40100001", "8273645190");
    const Seed bank = makeSeed(1, "40100002", "5550123499");
    const Seed payroll = makeSeed(0, "40100003", "1029384756");
    const std::string url = server_->httpUrl;

    // First start: no database, so the set-PIN page; Go waits for four characters and a match.
    ASSERT_NO_FATAL_FAILURE(start());
    ASSERT_EQ(current(), pageid::SetPin);
    EXPECT_FALSE(fs::exists(productFolder() / "Valdorix4.db"));
    type(1032, QStringLiteral("135"));
    type(1033, QStringLiteral("135"));
    EXPECT_FALSE(control(101)->isEnabled());
    type(1032, QStringLiteral("1357"));
    type(1033, QStringLiteral("1357"));
    screenshot(QStringLiteral("01_first_start"));
    QTest::keyClick(control(1033), Qt::Key_Return);
    waitForPage(pageid::Otp);
    EXPECT_FALSE(control(101)->isEnabled()) << "Go without a token";

    // The database and its folder are the user's alone.
    struct stat info {};
    ASSERT_EQ(::stat((productFolder() / "Valdorix4.db").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    ASSERT_EQ(::stat(productFolder().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);

    // A token from a seed code, with blanks around what was pasted; its first code.
    chooseMenu({QStringLiteral("&Token"), QStringLiteral("&Install Token...")});
    waitForPage(pageid::Install);
    type(1005, QStringLiteral("Mail"));
    type(1006, QStringLiteral("40100001"));
    type(1004, QStringLiteral("  ") + q(mail.code) + QStringLiteral(" "));
    screenshot(QStringLiteral("02_install"));
    click(1007);
    waitForPage(pageid::Otp);
    EXPECT_EQ(m_window->windowTitle(), QStringLiteral("Valdorix - Mail"));
    EXPECT_EQ(control<QLabel>(1044)->text(), QStringLiteral("- Mail"));
    click(101);
    EXPECT_EQ(plateCode(), u16(hotp(mail.key, 1))) << "a new token starts at counter 1";
    EXPECT_FALSE(control(101)->isEnabled()) << "Go waits for the Go delay";
    screenshot(QStringLiteral("03_first_code"));

    // A CSV list picked with the open dialog: a header line and a blank line are skipped, the
    // last token becomes the default.
    const fs::path csv = fs::path(m_home.path().toStdString()) / "tokens.csv";
    {
        std::ofstream file(csv, std::ios::binary);
        file << "\xEF\xBB\xBF"
             << "serial,seed,name\r\n"
             << "40100002," << bank.code << ",Bank\r\n"
             << "\r\n"
             << "40100003," << payroll.code << ",Payroll";
    }
    chooseMenu({QStringLiteral("&Token"), QStringLiteral("Import Tokens...")});
    waitForPage(pageid::Import);
    EXPECT_FALSE(control(1041)->isEnabled());
    COpenFileDialog::setNextFileName(QString::fromStdString(csv.string()));
    QTest::mouseClick(control<QPushButton>(1001), Qt::LeftButton);
    EXPECT_EQ(control<QLineEdit>(1040)->text(), QString::fromStdString(csv.string()));
    screenshot(QStringLiteral("04_import"));
    click(1041);
    waitForPage(pageid::Otp);
    EXPECT_EQ(m_window->windowTitle(), QStringLiteral("Valdorix - Payroll"));
    ASSERT_EQ(store().tokens.size(), 3u);
    ASSERT_EQ(MessageBox::answered().size(), 1);
    EXPECT_EQ(MessageBox::answered()[0].text,
              QStringLiteral("Tokens imported: 2.\n\nLines skipped:\nline 1: invalid token seed"));
    MessageBox::clearAnswered();

    // The picker: F2, a filter, Enter.
    QTest::keyClick(pageWindow(), Qt::Key_F2);
    auto* picker = pageWindow()->findChild<QWidget*>(QStringLiteral("selectTokenWindow"));
    ASSERT_NE(picker, nullptr);
    ASSERT_TRUE(picker->isVisible());
    auto* filter = picker->findChild<QLineEdit*>(QStringLiteral("id104"));
    auto* names = picker->findChild<QListWidget*>(QStringLiteral("id1011"));
    ASSERT_NE(filter, nullptr);
    ASSERT_NE(names, nullptr);
    EXPECT_EQ(names->count(), 3);
    QTest::keyClicks(filter, QStringLiteral("BA"));
    ASSERT_EQ(names->count(), 1);
    EXPECT_EQ(names->item(0)->text(), QStringLiteral("Bank"));
    QTest::keyClick(filter, Qt::Key_Return);
    EXPECT_FALSE(picker->isVisible());
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return m_window->windowTitle() == QStringLiteral("Valdorix - Bank"); }));

    // An OCRA challenge with the chosen token; the counter moves in memory only.
    chooseMenu({QStringLiteral("&Token"), QStringLiteral("&C && R...")});
    waitForPage(pageid::Challenge);
    type(1002, QStringLiteral(" 20261209 "));
    QTest::keyClick(control(1002), Qt::Key_Return);
    waitForPage(pageid::ShowOtp);
    EXPECT_EQ(plateCode(), u16(ocraCounterQuestion(bank.key, 1, 20261209)));
    EXPECT_EQ(control<QLabel>(1018)->text(), QStringLiteral("Your response:"));
    screenshot(QStringLiteral("05_response"));

    // A download whose reply carries the authorisation code.
    chooseMenu({QStringLiteral("&Token"), QStringLiteral("&Download Token...")});
    waitForPage(pageid::Download);
    type(1019, q(url));
    type(1039, QStringLiteral("alice"));
    type(1038, QStringLiteral("secret"));
    screenshot(QStringLiteral("06_download"));
    click(1021);
    waitForPage(pageid::Progress);
    waitForInformation(QStringLiteral("The token has been successfully downloaded."));
    screenshot(QStringLiteral("07_downloaded"));
    ASSERT_EQ(store().tokens.size(), 4u);
    EXPECT_EQ(store().tokens[3]->serial, u16(serverTokenSerial("alice")));

    // A download without it: the activation page asks; a wrong code is refused first.
    chooseMenu({QStringLiteral("&Token"), QStringLiteral("&Download Token...")});
    waitForPage(pageid::Download);
    type(1039, QStringLiteral("noac"));
    click(1021);
    waitForPage(pageid::Activate);
    type(1020, QStringLiteral("11111111"));
    click(1025);
    ASSERT_EQ(MessageBox::answered().size(), 1);
    EXPECT_EQ(MessageBox::answered()[0].text,
              QStringLiteral("Failed to decode the token. Please check your authorisation code."));
    EXPECT_EQ(current(), pageid::Activate);
    type(1020, QStringLiteral("12345678"));
    screenshot(QStringLiteral("08_activate"));
    click(1025);
    waitForPage(pageid::Progress);
    waitForInformation(QStringLiteral("The token has been successfully downloaded."));
    ASSERT_EQ(store().tokens.size(), 5u);
    const std::string noacSerial = serverTokenSerial("noac");
    EXPECT_EQ(store().tokens[4]->serial, u16(noacSerial));
    const std::u16string noacLabel = store().tokens[4]->label;

    // The new token from the token list of the menu, then synchronised: its next two codes go to
    // the server, and its counter is on disk before the server answers.
    chooseMenu(
        {QStringLiteral("&Token"), QStringLiteral("&Select Token"), QString::fromStdU16String(noacLabel)});
    waitForPage(pageid::Otp);
    chooseMenu({QStringLiteral("&Token"), QStringLiteral("Synchronise Token...")});
    waitForPage(pageid::Synchronise);
    server_->clearRequests();
    click(1028);
    waitForPage(pageid::Progress);
    waitForInformation(QStringLiteral("The token has been successfully synchronised."));
    ASSERT_EQ(server_->requests().size(), 1u);
    const std::string body = server_->requests()[0].body;
    const std::string noacKey = serverTokenKey("noac");
    EXPECT_NE(body.find("oxa.syncToken"), std::string::npos) << body;
    EXPECT_NE(body.find(noacSerial), std::string::npos) << body;
    EXPECT_NE(body.find(hotp(noacKey, 0) + "," + hotp(noacKey, 1)), std::string::npos) << body;

    // The manager: rename the payroll token, delete alice's.
    chooseMenu(
        {QStringLiteral("&Token"), QStringLiteral("&Select Token"), QStringLiteral("&Manage Tokens...")});
    waitForPage(pageid::Manager);
    auto* list = control<CLabelEditListView>(1011);
    ASSERT_NE(list, nullptr);
    const auto clickRow = [&](int row) {
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(list->topLevelItem(row)).center());
    };
    ASSERT_EQ(list->topLevelItemCount(), 5);
    EXPECT_EQ(list->topLevelItem(2)->text(0), QStringLiteral("Payroll"));
    clickRow(2);
    click(104);
    QLineEdit* editor = list->labelEditor();
    ASSERT_NE(editor, nullptr);
    editor->selectAll();
    QTest::keyClicks(editor, QStringLiteral("Payroll (HR)"));
    QTest::keyClick(editor, Qt::Key_Return);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !list->isEditingLabel(); }));
    EXPECT_EQ(list->topLevelItem(2)->text(0), QStringLiteral("Payroll (HR)"));

    EXPECT_EQ(list->topLevelItem(3)->text(2), q(serverTokenSerial("alice")));
    clickRow(3);
    MessageBox::clearAnswered();
    MessageBox::setNextAnswer(MessageBox::IDYES);
    click(1015);
    ASSERT_EQ(MessageBox::answered().size(), 1);
    EXPECT_EQ(MessageBox::answered()[0].text,
              QStringLiteral("Are you sure you want to delete selected token(s)?"));
    ASSERT_EQ(list->topLevelItemCount(), 4);
    screenshot(QStringLiteral("09_manager"));

    // A new PIN.
    chooseMenu({QStringLiteral("&Token"), QStringLiteral("Change &Pin...")});
    waitForPage(pageid::ChangePin);
    type(1034, QStringLiteral("1357"));
    type(1032, QStringLiteral("97531"));
    type(1033, QStringLiteral("97531"));
    MessageBox::clearAnswered();
    QTest::keyClick(control(1033), Qt::Key_Return);
    waitForPage(pageid::Otp);
    ASSERT_EQ(MessageBox::answered().size(), 1);
    EXPECT_EQ(MessageBox::answered()[0].text, QStringLiteral("Your PIN has been successfully changed."));

    // What the day leaves behind, then "&Exit".
    const std::vector<Seen> leftBehind = seen();
    const std::vector<Seen> expected = {
        {u"Mail", u"40100001", int(TokenKind::Event), 2},
        {u"Bank", u"40100002", int(TokenKind::OcraEvent), 2},
        {u"Payroll (HR)", u"40100003", int(TokenKind::Event), 1},
        {noacLabel, u16(noacSerial), int(TokenKind::Event), 2},
    };
    EXPECT_EQ(leftBehind, expected);
    const int defaultIndex = store().defaultIndex;
    EXPECT_EQ(defaultIndex, 3);
    chooseMenu({QStringLiteral("&Token"), QStringLiteral("&Exit")});
    EXPECT_EQ(m_window->exitCode(), 32785);
    EXPECT_FALSE(m_window->isVisible());
    end();

    // The next start: the log-in page; the old PIN no longer opens the file.
    ASSERT_NO_FATAL_FAILURE(start());
    ASSERT_EQ(current(), pageid::Login);
    MessageBox::clearAnswered();
    type(1031, QStringLiteral("1357"));
    click(1030);
    ASSERT_EQ(MessageBox::answered().size(), 1);
    EXPECT_EQ(MessageBox::answered()[0].text, QStringLiteral("Incorrect PIN! Please try again."));
    EXPECT_FALSE(store().isUnlocked());
    type(1031, QStringLiteral("97531"));
    screenshot(QStringLiteral("10_login"));
    QTest::keyClick(control(1031), Qt::Key_Return);
    waitForPage(pageid::Otp);

    EXPECT_EQ(seen(), leftBehind);
    EXPECT_EQ(store().defaultIndex, defaultIndex);
    EXPECT_EQ(m_window->windowTitle(), QStringLiteral("Valdorix - ") + QString::fromStdU16String(noacLabel));
    QString checked;
    const std::vector<QString> menuLabels = submenuTexts(QStringLiteral("&Select Token"), &checked);
    EXPECT_EQ(menuLabels,
              (std::vector<QString>{QStringLiteral("Mail"), QStringLiteral("Bank"),
                                    QStringLiteral("Payroll (HR)"), QString::fromStdU16String(noacLabel)}));
    EXPECT_EQ(checked, QString::fromStdU16String(noacLabel));

    // The counters carry on where they stopped: the synchronised token's next code, then the
    // OCRA token's next response.
    click(101);
    EXPECT_EQ(plateCode(), u16(hotp(noacKey, 2)));
    screenshot(QStringLiteral("11_next_start"));
    chooseMenu({QStringLiteral("&Token"), QStringLiteral("&Select Token"), QStringLiteral("Bank")});
    waitForPage(pageid::Otp);
    chooseMenu({QStringLiteral("&Token"), QStringLiteral("&C && R...")});
    waitForPage(pageid::Challenge);
    type(1002, QStringLiteral("20261209"));
    QTest::keyClick(control(1002), Qt::Key_Return);
    waitForPage(pageid::ShowOtp);
    EXPECT_EQ(plateCode(), u16(ocraCounterQuestion(bank.key, 2, 20261209)));
}

} // namespace
