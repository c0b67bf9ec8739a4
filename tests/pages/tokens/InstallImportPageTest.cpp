#include "TokenPagesSupport.h"
#include "ui/PngButton.h"
#include "pages/otp/NumberPlate.h"
#include "pages/otp/OtpPage.h"
#include "pages/tokens/ImportPage.h"
#include "pages/tokens/InstallPage.h"
#include "ui/OpenFileDialog.h"
#include "engine/OtpAuthUri.h"
#include "qr/QrCodes.h"
#include "resources/StringTable.h"
#include "ui/DialogBuilder.h"

#include <QProcess>

#include <QComboBox>
#include <QLabel>
#include <QFileDialog>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <fstream>
#include <functional>
#include <openssl/hmac.h>
#include <openssl/sha.h>

using namespace tokentest;

namespace {

// The Luhn check digit over the `k` lowest decimal digits of `x`.
int luhn(std::uint64_t x, int k) {
    int sum = 0;
    for (int i = 0; i < k; ++i, x /= 10) {
        int d = int(x % 10);
        if (i % 2 == 0) {
            d *= 2;
            if (d > 9)
                d -= 9;
        }
        sum += d;
    }
    return (10 - sum % 10) % 10;
}

// An 18-character seed code for `serial` (all digits): version, serial check digit, the five-digit
// parameter word, the ten-character secret and the check digit over the rest.
std::string seedFor(const std::string& serial, int version, int parameters, const std::string& secret) {
    std::string code = std::to_string(version);
    code += char('0' + luhn(std::stoull(serial), int(serial.size())));
    char word[6];
    std::snprintf(word, sizeof word, "%05d", parameters);
    code += word;
    code += secret;
    code += char('0' + luhn(std::stoull(code), 17));
    return code;
}

// RFC 4226 HOTP with HMAC-SHA1, six digits.
std::string hotp(const std::uint8_t* key, int keyLength, std::uint64_t counter) {
    std::uint8_t message[8];
    for (int i = 7; i >= 0; --i, counter >>= 8)
        message[i] = std::uint8_t(counter);
    std::uint8_t mac[20];
    unsigned macLength = 0;
    HMAC(EVP_sha1(), key, keyLength, message, sizeof message, mac, &macLength);
    const int offset = mac[19] & 0x0F;
    const std::uint32_t binary = (std::uint32_t(mac[offset] & 0x7F) << 24) |
                                 (std::uint32_t(mac[offset + 1]) << 16) |
                                 (std::uint32_t(mac[offset + 2]) << 8) | std::uint32_t(mac[offset + 3]);
    char text[7];
    std::snprintf(text, sizeof text, "%06u", binary % 1000000u);
    return text;
}

constexpr int EventSixDigits = 1 << 5; // kind Event, digits field 1 (6 digits), no flags
const std::string Secret = "4829163057";
const std::string Serial = "10012345";

class InstallPageTest : public TokenPagesFixture {
protected:
    CInstallPage* openInstall() {
        openWithTokens({makeToken(u"Mail", u"Webmail", u"VX1001")}, 0);
        return show<CInstallPage>(pageid::Install);
    }

    void fill(CInstallPage* page, const QString& name, const QString& serial, const QString& seed) {
        type(edit(page, CInstallPage::IDC_NAME), name);
        type(edit(page, CInstallPage::IDC_SERIAL), serial);
        type(edit(page, CInstallPage::IDC_SEED), seed);
    }
};

TEST_F(InstallPageTest, InstallNeedsAllThreeFieldsAsTyped) {
    CInstallPage* page = openInstall();
    ASSERT_NE(page, nullptr);
    QWidget* install = control(page, CInstallPage::IDC_INSTALL);
    EXPECT_FALSE(install->isEnabled());
    const struct {
        const char* name;
        const char* serial;
        const char* seed;
        bool enabled;
    } cases[] = {
        {"Mail", "123", "456", true}, {"", "123", "456", false}, {"Mail", "", "456", false},
        {"Mail", "123", "", false},   {" ", " ", " ", true}, // blanks count before trimming
        {"", "", "", false},
    };
    for (const auto& c : cases) {
        fill(page, QString::fromLatin1(c.name), QString::fromLatin1(c.serial), QString::fromLatin1(c.seed));
        EXPECT_EQ(install->isEnabled(), c.enabled) << c.name << "|" << c.serial << "|" << c.seed;
    }
}

TEST_F(InstallPageTest, AGoodCodeLandsOnTheOtpPageWithItsCode) {
    CInstallPage* page = openInstall();
    ASSERT_NE(page, nullptr);
    const std::string seed = seedFor(Serial, 0, EventSixDigits, Secret);
    // Blanks around every field are trimmed.
    fill(page, QStringLiteral("  Remote desktop "), QStringLiteral(" ") + QString::fromStdString(Serial),
         QString::fromStdString(seed) + QStringLiteral("  "));
    auto* install = qobject_cast<CPngButton*>(control(page, CInstallPage::IDC_INSTALL));
    ASSERT_NE(install, nullptr);
    ASSERT_TRUE(install->isEnabled());
    QTest::mouseClick(install, Qt::LeftButton);

    EXPECT_TRUE(MessageBox::answered().isEmpty());
    ASSERT_EQ(store().tokens.size(), 2u);
    const auto token = store().defaultToken();
    EXPECT_EQ(token, store().tokens[1]);
    EXPECT_EQ(token->label, u"Remote desktop");
    EXPECT_EQ(token->serial, u"10012345");
    EXPECT_EQ(m_window->GetCurrentPageId(), pageid::Otp);
    EXPECT_EQ(m_window->windowTitle(), QStringLiteral("Valdorix - Remote desktop"));
    EXPECT_EQ(saves(), 1);
    auto reopened = reopen();
    ASSERT_NE(reopened, nullptr);
    EXPECT_EQ(reopened->tokens.size(), 2u);

    // The first code is HOTP at counter 1 under the SHA-1 of the secret.
    std::uint8_t key[SHA_DIGEST_LENGTH];
    SHA1(reinterpret_cast<const std::uint8_t*>(Secret.data()), Secret.size(), key);
    auto* otp = currentPage<COtpPage>();
    ASSERT_NE(otp, nullptr);
    otp->onCommand(COtpPage::IDC_GO, BN_CLICKED);
    EXPECT_EQ(otp->plate()->topCode(), QString::fromStdString(hotp(key, sizeof key, 1)).toStdU16String());
}

TEST_F(InstallPageTest, AWrongCheckDigitKeepsThePageAndItsFields) {
    CInstallPage* page = openInstall();
    ASSERT_NE(page, nullptr);
    std::string seed = seedFor(Serial, 0, EventSixDigits, Secret);
    seed[17] = char('0' + (seed[17] - '0' + 1) % 10);
    const QStringList typed = {QStringLiteral("Remote"), QString::fromStdString(Serial),
                               QString::fromStdString(seed)};
    fill(page, typed[0], typed[1], typed[2]);
    page->onCommand(CInstallPage::IDC_INSTALL, BN_CLICKED);

    const QList<MessageBox::Record> boxes = MessageBox::answered();
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_EQ(boxes[0].text, QStringLiteral("Invalid token seed"));
    EXPECT_EQ(boxes[0].caption, QStringLiteral("Valdorix"));
    EXPECT_EQ(boxes[0].icon, MessageBox::Error);
    EXPECT_EQ(m_window->GetCurrentPageId(), pageid::Install);
    EXPECT_EQ(edit(page, CInstallPage::IDC_NAME)->text(), typed[0]);
    EXPECT_EQ(edit(page, CInstallPage::IDC_SERIAL)->text(), typed[1]);
    EXPECT_EQ(edit(page, CInstallPage::IDC_SEED)->text(), typed[2]);
    EXPECT_EQ(store().tokens.size(), 1u);
    EXPECT_EQ(saves(), 0);
}

TEST_F(InstallPageTest, EnterInstallsWhileTheButtonIsEnabled) {
    CInstallPage* page = openInstall();
    ASSERT_NE(page, nullptr);
    QLineEdit* seedBox = edit(page, CInstallPage::IDC_SEED);
    QTest::keyClick(seedBox, Qt::Key_Return);
    QCoreApplication::processEvents();
    EXPECT_EQ(store().tokens.size(), 1u);

    fill(page, QStringLiteral("Remote"), QString::fromStdString(Serial),
         QString::fromStdString(seedFor(Serial, 1, 1, Secret)));
    QTest::keyClick(seedBox, Qt::Key_Return);
    EXPECT_TRUE(waitFor([&] { return m_window->GetCurrentPageId() == pageid::Otp; }));
    ASSERT_EQ(store().tokens.size(), 2u);
    EXPECT_EQ(store().tokens[1]->kind, TokenKind::OcraTime);
}

TEST_F(InstallPageTest, AnInstalledCodeLeavesEmptyBoxesThatCannotInstallAgain) {
    CInstallPage* page = openInstall();
    ASSERT_NE(page, nullptr);
    fill(page, QStringLiteral("Remote"), QString::fromStdString(Serial),
         QString::fromStdString(seedFor(Serial, 0, EventSixDigits, Secret)));
    QLineEdit* seedBox = edit(page, CInstallPage::IDC_SEED);
    QTest::keyClick(seedBox, Qt::Key_Return);
    ASSERT_TRUE(waitFor([&] { return m_window->GetCurrentPageId() == pageid::Otp; }));

    m_window->GoBack();
    ASSERT_EQ(m_window->GetCurrentPageId(), pageid::Install);
    for (int id : {CInstallPage::IDC_NAME, CInstallPage::IDC_SERIAL, CInstallPage::IDC_SEED})
        EXPECT_EQ(edit(page, id)->text(), QString()) << id;
    EXPECT_FALSE(control(page, CInstallPage::IDC_INSTALL)->isEnabled());
    QTest::keyClick(seedBox, Qt::Key_Return);
    QCoreApplication::processEvents();
    EXPECT_EQ(store().tokens.size(), 2u);
    EXPECT_EQ(m_window->GetCurrentPageId(), pageid::Install);
}

// ---------------------------------------------------------------------------------------------

class ImportPageTest : public TokenPagesFixture {
protected:
    void SetUp() override {
        TokenPagesFixture::SetUp();
        COpenFileDialog::clearAnswered();
    }
    void TearDown() override {
        COpenFileDialog::setNextFileName(std::nullopt);
        TokenPagesFixture::TearDown();
    }

    CImportPage* openImport() {
        openWithTokens({makeToken(u"Mail", u"Webmail", u"VX1001")}, 0);
        return show<CImportPage>(pageid::Import);
    }

    fs::path writeFile(const std::string& name, const std::string& bytes) {
        const fs::path path = fs::path(m_files.path().toStdString()) / name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }

    static std::string line(const std::string& serial, const std::string& name) {
        return serial + "," + seedFor(serial, 0, EventSixDigits, Secret) + "," + name;
    }

    // The import runs on a worker: waits until its result is in (or it failed to start).
    static bool waitForImport(CImportPage* page) {
        return waitFor([&] { return !page->importing(); });
    }

    QTemporaryDir m_files;
};

TEST_F(ImportPageTest, EveryValidLineIsImportedInOrderAndTheLastIsDefault) {
    CImportPage* page = openImport();
    ASSERT_NE(page, nullptr);
    const fs::path file =
        writeFile("tokens.csv", "\xEF\xBB\xBF" + line("2001", "Alice") + "\r\n" + "serial,seed,name\r\n" +
                                    line("2002", "Bob") + "\r\n" + line("2003", "\"Carol, admin\"") + "\n");
    QWidget* import = control(page, CImportPage::IDC_IMPORT);
    EXPECT_FALSE(import->isEnabled());
    type(edit(page, CImportPage::IDC_PATH), QString::fromStdString(file.string()));
    ASSERT_TRUE(import->isEnabled());
    QTest::mouseClick(import, Qt::LeftButton);
    ASSERT_TRUE(waitForImport(page));

    ASSERT_EQ(store().tokens.size(), 4u);
    EXPECT_EQ(store().tokens[1]->label, u"Alice");
    EXPECT_EQ(store().tokens[2]->label, u"Bob");
    EXPECT_EQ(store().tokens[3]->label, u"\"Carol, admin\"");
    EXPECT_EQ(store().defaultToken(), store().tokens[3]);
    EXPECT_EQ(m_window->GetCurrentPageId(), pageid::Otp);
    EXPECT_EQ(m_window->windowTitle(), QStringLiteral("Valdorix - \"Carol, admin\""));
    const QList<MessageBox::Record> boxes = MessageBox::answered();
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_EQ(boxes[0].text, QStringLiteral("Tokens imported: 3.\n\nLines skipped:\nline 2: invalid token seed"));
    EXPECT_EQ(boxes[0].icon, MessageBox::Information);
    EXPECT_EQ(saves(), 1);
    auto reopened = reopen();
    ASSERT_NE(reopened, nullptr);
    EXPECT_EQ(reopened->tokens.size(), 4u);
    EXPECT_EQ(reopened->defaultIndex, 3);
}

TEST_F(ImportPageTest, TheSummaryListsTenSkippedLinesAndCountsTheRest) {
    ImportReport report;
    report.added = 2;
    for (std::size_t line = 1; line <= 12; ++line)
        report.skipped.push_back({line, line % 2 ? ImportReport::NotThreeFields : ImportReport::InvalidSeed});
    QStringList expected = {QStringLiteral("Tokens imported: 2."), QString(), QStringLiteral("Lines skipped:")};
    for (int line = 1; line <= 10; ++line)
        expected.append(line % 2 ? QStringLiteral("line %1: not three fields (serial, seed, name)").arg(line)
                                 : QStringLiteral("line %1: invalid token seed").arg(line));
    expected.append(QStringLiteral("and 2 more"));
    EXPECT_EQ(CImportPage::importSummary(report), expected.join(u'\n'));
    EXPECT_EQ(CImportPage::importSummary(ImportReport{5, {}}), QStringLiteral("Tokens imported: 5."));
}

TEST_F(ImportPageTest, AFileWithoutAValidLineImportsNothing) {
    CImportPage* page = openImport();
    ASSERT_NE(page, nullptr);
    std::string bad = line("2001", "Alice");
    bad[bad.find(',') + 18] = bad[bad.find(',') + 18] == '0' ? '1' : '0'; // wrong check digit
    const struct {
        const char* what;
        std::string path;
    } cases[] = {
        {"bad check digit and header", writeFile("bad.csv", "serial,seed,name\n" + bad + "\n")},
        {"empty file", writeFile("empty.csv", "")},
        {"four fields", writeFile("four.csv", line("2001", "Alice") + ",\n")},
        {"missing file", (fs::path(m_files.path().toStdString()) / "absent.csv").string()},
    };
    for (const auto& c : cases) {
        MessageBox::clearAnswered();
        type(edit(page, CImportPage::IDC_PATH), QString::fromStdString(c.path));
        page->onCommand(CImportPage::IDC_IMPORT, BN_CLICKED);
        ASSERT_TRUE(waitForImport(page)) << c.what;
        const QList<MessageBox::Record> boxes = MessageBox::answered();
        ASSERT_EQ(boxes.size(), 1) << c.what;
        EXPECT_EQ(boxes[0].text, QStringLiteral("No tokens imported")) << c.what;
        EXPECT_EQ(boxes[0].icon, MessageBox::Error) << c.what;
    }
    EXPECT_EQ(store().tokens.size(), 1u);
    EXPECT_EQ(m_window->GetCurrentPageId(), pageid::Import);
    EXPECT_EQ(saves(), 0);
}

// A list long enough that the worker is still reading when the click returns.
std::string longList(const std::string& line, int count) {
    std::string text;
    for (int i = 0; i < count; ++i)
        text += line + "\r\n";
    return text;
}

TEST_F(ImportPageTest, TheWindowAnswersWhileTheWorkerReadsAndOneSaveEndsIt) {
    CImportPage* page = openImport();
    ASSERT_NE(page, nullptr);
    const fs::path file = writeFile("long.csv", longList(line("2001", "Alice"), 20000));
    type(edit(page, CImportPage::IDC_PATH), QString::fromStdString(file.string()));
    QTest::mouseClick(control(page, CImportPage::IDC_IMPORT), Qt::LeftButton);

    // The click returned with the import still running: the UI thread is free, the store untouched.
    EXPECT_TRUE(page->importing());
    EXPECT_EQ(store().tokens.size(), 1u);
    ASSERT_NE(page->progressDialog(), nullptr);
    EXPECT_EQ(page->progressDialog()->windowModality(), Qt::WindowModal);
    bool fired = false;
    QTimer::singleShot(0, page, [&] { fired = true; });
    ASSERT_TRUE(waitForImport(page));
    EXPECT_TRUE(fired);

    EXPECT_EQ(store().tokens.size(), 20001u);
    EXPECT_EQ(store().defaultIndex, 20000);
    EXPECT_EQ(saves(), 1);
    const QList<MessageBox::Record> boxes = MessageBox::answered();
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_EQ(boxes[0].text, QStringLiteral("Tokens imported: 20000."));
    EXPECT_EQ(m_window->GetCurrentPageId(), pageid::Otp);
    EXPECT_EQ(page->progressDialog(), nullptr);
}

TEST_F(ImportPageTest, ACancelledOrAbandonedImportAddsAndSavesNothing) {
    const struct {
        const char* what;
        std::function<void(CImportPage*)> end;
    } cases[] = {
        {"Cancel", [](CImportPage* page) { page->progressDialog()->findChild<QPushButton*>()->click(); }},
        {"Escape",
         [](CImportPage* page) {
             page->progressDialog()->show(); // it shows by itself once the import has taken a while
             QTest::keyClick(page->progressDialog(), Qt::Key_Escape);
         }},
        {"page left", [this](CImportPage*) { m_window->Navigate(pageid::Manager); }},
    };
    for (const auto& c : cases) {
        CImportPage* page = openImport();
        ASSERT_NE(page, nullptr);
        MessageBox::clearAnswered();
        const fs::path file = writeFile("long.csv", longList(line("2001", "Alice"), 20000));
        type(edit(page, CImportPage::IDC_PATH), QString::fromStdString(file.string()));
        page->onCommand(CImportPage::IDC_IMPORT, BN_CLICKED);
        ASSERT_TRUE(page->importing()) << c.what;
        c.end(page);
        EXPECT_FALSE(page->importing()) << c.what;
        // Whatever the worker hands back after the cancel is dropped.
        ASSERT_TRUE(waitFor([&] { return page->runningWorkers() == 0; })) << c.what;
        QCoreApplication::processEvents();
        EXPECT_EQ(store().tokens.size(), 1u) << c.what;
        EXPECT_EQ(saves(), 0) << c.what;
        EXPECT_TRUE(MessageBox::answered().isEmpty()) << c.what;
        EXPECT_EQ(page->progressDialog(), nullptr) << c.what;
        EXPECT_TRUE(control(page, CImportPage::IDC_IMPORT)->isEnabled()) << c.what;
    }
}

TEST_F(ImportPageTest, AnImportThatCannotBeSavedIsUndone) {
    CImportPage* page = openImport();
    ASSERT_NE(page, nullptr);
    // A folder where the save wants its temporary file makes every save fail.
    fs::create_directory(databaseFile().string() + ".new");
    const fs::path file = writeFile("two.csv", line("2001", "Alice") + "\n" + line("2002", "Bob"));
    type(edit(page, CImportPage::IDC_PATH), QString::fromStdString(file.string()));
    page->onCommand(CImportPage::IDC_IMPORT, BN_CLICKED);
    ASSERT_TRUE(waitForImport(page));

    const QList<MessageBox::Record> boxes = MessageBox::answered();
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_TRUE(boxes[0].text.startsWith(QStringLiteral("No tokens imported: Valdorix could not save them to ")))
        << boxes[0].text.toStdString();
    EXPECT_EQ(boxes[0].icon, MessageBox::Error);
    ASSERT_EQ(store().tokens.size(), 1u);
    EXPECT_EQ(store().tokens[0]->label, u"Mail");
    EXPECT_EQ(store().defaultIndex, 0);
    EXPECT_EQ(m_window->GetCurrentPageId(), pageid::Import);
}

TEST_F(ImportPageTest, OtpAuthListsAndQrPicturesAddEachTokenOnce) {
    const std::string alice = "otpauth://totp/Example:alice@example.com?secret=JBSWY3DPEHPK3PXP&issuer=Example";
    const std::string bob = "otpauth://hotp/Bob?secret=GEZDGNBVGY3TQOJQ&counter=5&algorithm=SHA256&digits=8";
    const std::string list = "# exported\n\n" + alice + "\r\n" + "otpauth://totp/Bad?secret=1\n" + bob + "\n" + alice + "\n";
    const QString picture = m_files.filePath(QStringLiteral("alice.png"));
    ASSERT_EQ(QProcess::execute(QStringLiteral("qrencode"),
                                {QStringLiteral("-o"), picture, QString::fromStdString(alice)}), 0);
    const struct {
        const char* what;
        std::string path;
        std::size_t added;
        QString summary;
    } cases[] = {
        {"list", writeFile("tokens.txt", list).string(), 2,
         QStringLiteral("Tokens imported: 2.\n\nLines skipped:\nline 4: %1\nline 6: already among your tokens")},
        {"the list again", writeFile("again.txt", list).string(), 0,
         QStringLiteral("No tokens imported\n\nLines skipped:\nline 3: already among your tokens\nline 4: %1\n"
                        "line 5: already among your tokens\nline 6: already among your tokens")},
        {"picture of a token already there", picture.toStdString(), 0,
         QStringLiteral("No tokens imported\n\nLines skipped:\nalice.png, code 1: already among your tokens")},
    };
    CImportPage* page = openImport();
    ASSERT_NE(page, nullptr);
    const std::string badReason = parseOtpAuthUri("otpauth://totp/Bad?secret=1").error;
    ASSERT_FALSE(badReason.empty());
    for (const auto& c : cases) {
        MessageBox::clearAnswered();
        const std::size_t before = store().tokens.size();
        m_window->Navigate(pageid::Import);
        type(edit(page, CImportPage::IDC_PATH), QString::fromStdString(c.path));
        page->onCommand(CImportPage::IDC_IMPORT, BN_CLICKED);
        ASSERT_TRUE(waitForImport(page)) << c.what;
        EXPECT_EQ(store().tokens.size() - before, c.added) << c.what;
        const QList<MessageBox::Record> boxes = MessageBox::answered();
        ASSERT_EQ(boxes.size(), 1) << c.what;
        EXPECT_EQ(boxes[0].text.toStdString(), c.summary.arg(QString::fromStdString(badReason)).toStdString()) << c.what;
    }
    ASSERT_EQ(store().tokens.size(), 3u);
    EXPECT_EQ(store().tokens[1]->kind, TokenKind::Totp);
    EXPECT_EQ(store().tokens[2]->kind, TokenKind::Event);
    EXPECT_EQ(store().tokens[2]->counter, 5);
    EXPECT_EQ(store().tokens[2]->digits, 8);
    auto reopened = reopen();
    ASSERT_NE(reopened, nullptr);
    EXPECT_EQ(reopened->tokens.size(), 3u);
}

TEST_F(ImportPageTest, FromScreenAddsTheCodeShownOnceAndSaysWhenThereIsNone) {
    const QByteArray session = qgetenv("XDG_SESSION_TYPE");
    qputenv("XDG_SESSION_TYPE", "x11");
    const std::string uri = "otpauth://totp/Shop:dana?secret=JBSWY3DPEHPK3PXP&issuer=Shop&period=60";
    CImportPage* page = openImport();
    ASSERT_NE(page, nullptr);
    auto* fromScreen = qobject_cast<QPushButton*>(control(page, CImportPage::IDC_FROM_SCREEN));
    ASSERT_NE(fromScreen, nullptr);
    // A screen with the window on it, not a blank one.
    ASSERT_TRUE(QTest::qWaitForWindowExposed(m_window.get()));
    // A web page showing the code, in the screen's corner clear of the centred window.
    QLabel code;
    code.setPixmap(QPixmap::fromImage(encodeQrCode(uri, 4)));
    code.setMargin(24);
    code.setStyleSheet(QStringLiteral("background: white"));
    code.move(0, 0);

    const struct {
        const char* what;
        bool shown;
        std::size_t added;
        QString text;
    } cases[] = {
        {"no code on the screen", false, 0, resourceString(resources::ids::IDS_NO_QR_ON_SCREEN)},
        {"a code", true, 1, QStringLiteral("Tokens imported: 1.")},
        {"the same code again", true, 0,
         QStringLiteral("No tokens imported\n\nLines skipped:\nthe screen, code 1: already among your tokens")},
    };
    for (const auto& c : cases) {
        code.setVisible(c.shown);
        if (c.shown) {
            ASSERT_TRUE(QTest::qWaitForWindowExposed(&code)) << c.what;
        }
        m_window->Navigate(pageid::Import);
        MessageBox::clearAnswered();
        const std::size_t before = store().tokens.size();
        QTest::mouseClick(fromScreen, Qt::LeftButton);
        EXPECT_EQ(store().tokens.size() - before, c.added) << c.what;
        const QList<MessageBox::Record> boxes = MessageBox::answered();
        ASSERT_EQ(boxes.size(), 1) << c.what;
        EXPECT_EQ(boxes[0].text.toStdString(), c.text.toStdString()) << c.what;
    }
    EXPECT_EQ(makeOtpAuthUri(*store().tokens.back()), makeOtpAuthUri(*parseOtpAuthUri(uri).token));
    if (session.isNull())
        qunsetenv("XDG_SESSION_TYPE");
    else
        qputenv("XDG_SESSION_TYPE", session);
}

TEST_F(ImportPageTest, ThePathIsTrimmedAndEnterImports) {
    CImportPage* page = openImport();
    ASSERT_NE(page, nullptr);
    const fs::path file = writeFile("one.csv", line("2001", "Alice"));
    QLineEdit* path = edit(page, CImportPage::IDC_PATH);
    type(path, QStringLiteral("  ") + QString::fromStdString(file.string()) + QStringLiteral(" \t"));
    QTest::keyClick(path, Qt::Key_Return);
    EXPECT_TRUE(waitFor([&] { return m_window->GetCurrentPageId() == pageid::Otp; }));
    ASSERT_EQ(store().tokens.size(), 2u);
    EXPECT_EQ(store().tokens[1]->label, u"Alice");
}

TEST_F(ImportPageTest, BrowseWritesTheChosenPath) {
    CImportPage* page = openImport();
    ASSERT_NE(page, nullptr);
    QLineEdit* path = edit(page, CImportPage::IDC_PATH);
    auto* browse = qobject_cast<QPushButton*>(control(page, CImportPage::IDC_BROWSE));
    ASSERT_NE(browse, nullptr);

    COpenFileDialog::setNextFileName(QString()); // cancelled
    QTest::mouseClick(browse, Qt::LeftButton);
    EXPECT_EQ(path->text(), QString());
    EXPECT_FALSE(control(page, CImportPage::IDC_IMPORT)->isEnabled());

    COpenFileDialog::setNextFileName(QStringLiteral("/home/user/tokens.csv"));
    QTest::mouseClick(browse, Qt::LeftButton);
    EXPECT_EQ(path->text(), QStringLiteral("/home/user/tokens.csv"));
    EXPECT_TRUE(control(page, CImportPage::IDC_IMPORT)->isEnabled());

    const QList<COpenFileDialog::Record> dialogs = COpenFileDialog::answered();
    ASSERT_EQ(dialogs.size(), 2);
    ASSERT_EQ(dialogs[1].filters.size(), 3);
    EXPECT_EQ(dialogs[1].filters[0].text, QStringLiteral("CSV files (*.csv)"));
    EXPECT_EQ(dialogs[1].filters[0].pattern, QStringLiteral("*.csv"));
    EXPECT_EQ(dialogs[1].filters[1].pattern, QStringLiteral("*.png *.jpg *.jpeg *.txt"));
    EXPECT_EQ(dialogs[1].filters[2].text, QStringLiteral("All files (*.*)"));
    EXPECT_EQ(dialogs[1].filters[2].pattern, QStringLiteral("*"));
    EXPECT_EQ(dialogs[1].defaultSuffix, QStringLiteral("csv"));
}

} // namespace

namespace {

// The real dialog, answered from inside its own event loop by `answer`. Any other modal window
// that turns up is closed and reported, so a stray box cannot hang the test.
// Types `path` into the dialog's name box, as a user does (selectFile leaves a focused box alone).
void typeFileName(QFileDialog* dialog, const QString& path) {
    if (auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
        name->setText(path);
}

void answerFileDialog(QObject* context, std::function<void(QFileDialog*)> answer, QStringList& unexpected) {
    auto* poll = new QTimer(context);
    struct State {
        bool answered = false;
        QPointer<QFileDialog> dialog;
        int attempts = 0;
    };
    auto state = std::make_shared<State>();
    QObject::connect(poll, &QTimer::timeout, context, [=, &unexpected] {
        const auto stop = [poll] {
            poll->stop();
            poll->deleteLater();
        };
        QWidget* modal = QApplication::activeModalWidget();
        if (!state->answered) {
            if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
                state->answered = true;
                state->dialog = dialog;
                answer(dialog);
            } else if (++state->attempts > 250) {
                stop();
            }
            return;
        }
        // Once the answered dialog is gone, later windows are another answer's business.
        if (!state->dialog || !state->dialog->isVisible()) {
            stop();
            return;
        }
        if (modal) {
            // A box the dialog raised, or the dialog itself left open by the answer.
            unexpected.append(QString::fromLatin1(modal->metaObject()->className()));
            modal->close();
        }
    });
    poll->start(20);
}

TEST_F(ImportPageTest, TheRealDialogShowsTheFilterTextsAndReturnsTheChosenFile) {
    CImportPage* page = openImport();
    ASSERT_NE(page, nullptr);
    const fs::path bare = writeFile("tokens", line("2001", "Alice"));
    const fs::path csv = writeFile("list.csv", line("2002", "Bob"));
    QStringList unexpected;

    // A file without an extension can be picked under "All files".
    QStringList shownFilters;
    answerFileDialog(
        page,
        [&](QFileDialog* dialog) {
            if (auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"))) {
                for (int i = 0; i < types->count(); ++i)
                    shownFilters.append(types->itemText(i));
            }
            dialog->selectNameFilter(dialog->nameFilters().value(2));
            typeFileName(dialog, QString::fromStdString(bare.string()));
            static_cast<QDialog*>(dialog)->accept();
        },
        unexpected);
    page->onCommand(CImportPage::IDC_BROWSE, BN_CLICKED);
    EXPECT_EQ(shownFilters,
              (QStringList{QStringLiteral("CSV files (*.csv)"),
                           QStringLiteral("QR pictures and otpauth lists (*.png *.jpg *.jpeg *.txt)"),
                           QStringLiteral("All files (*.*)")}));
    EXPECT_EQ(edit(page, CImportPage::IDC_PATH)->text(), QString::fromStdString(bare.string()));

    // A typed name without an extension finds the CSV file of that name.
    answerFileDialog(
        page,
        [&](QFileDialog* dialog) {
            typeFileName(dialog,
                         QString::fromStdString((fs::path(m_files.path().toStdString()) / "list").string()));
            static_cast<QDialog*>(dialog)->accept();
        },
        unexpected);
    page->onCommand(CImportPage::IDC_BROWSE, BN_CLICKED);
    EXPECT_EQ(edit(page, CImportPage::IDC_PATH)->text(), QString::fromStdString(csv.string()));

    // Cancelled: the path stays.
    answerFileDialog(
        page, [](QFileDialog* dialog) { dialog->reject(); }, unexpected);
    page->onCommand(CImportPage::IDC_BROWSE, BN_CLICKED);
    EXPECT_EQ(edit(page, CImportPage::IDC_PATH)->text(), QString::fromStdString(csv.string()));
    EXPECT_TRUE(unexpected.isEmpty()) << unexpected.join(u' ').toStdString();
}

} // namespace
