// The settings page and the file it keeps the settings in.
#include "pages/settings/SettingsPage.h"

#include "ShellTestSupport.h"
#include "resources/Menu.h"
#include "ui/AppSettings.h"
#include "pages/pin/LoginPage.h"

#include <QCheckBox>
#include <QFile>

using namespace shelltest;

namespace {

class SettingsPageTest : public ShellFixture {
protected:
    void SetUp() override {
        ShellFixture::SetUp();
        ASSERT_TRUE(m_config.isValid());
        m_savedConfigHome = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", m_config.path().toUtf8());
        AppSettings::reload();
    }
    void TearDown() override {
        ShellFixture::TearDown();
        qputenv("XDG_CONFIG_HOME", m_savedConfigHome);
        AppSettings::reload();
    }

    QString configFile() const { return m_config.path() + QStringLiteral("/Valdorix/Valdorix.conf"); }

    CSettingsPage* openSettings() {
        createDatabase(u"2468");
        openMainWindow();
        auto* login = currentPage<CLoginPage>();
        type(edit(login, CLoginPage::IDC_PIN), QStringLiteral("2468"));
        login->onCommand(CLoginPage::IDC_LOGIN, BN_CLICKED);
        m_window->onCommand(resources::ids::ID_SETTINGS);
        return currentPage<CSettingsPage>();
    }

    QTemporaryDir m_config;
    QByteArray m_savedConfigHome;
};

TEST_F(SettingsPageTest, ShowsTheSettingsAndSavesWhatTheFieldsSayToTheConfigFolder) {
    CSettingsPage* page = openSettings();
    ASSERT_NE(page, nullptr);
    QLineEdit* seconds = edit(page, CSettingsPage::IDC_CLIPBOARD_SECONDS);
    QLineEdit* minutes = edit(page, CSettingsPage::IDC_IDLE_MINUTES);
    auto* withScreen = qobject_cast<QCheckBox*>(control(page, CSettingsPage::IDC_LOCK_WITH_SCREEN));
    QWidget* save = control(page, CSettingsPage::IDC_SAVE);
    EXPECT_EQ(seconds->text(), QStringLiteral("30"));
    EXPECT_EQ(minutes->text(), QStringLiteral("10"));
    ASSERT_NE(withScreen, nullptr);
    EXPECT_TRUE(withScreen->isChecked());
    EXPECT_TRUE(save->isEnabled());

    // An empty box, or a number beyond the limit, cannot be saved.
    for (const QString& text : {QString(), QStringLiteral("3601")}) {
        seconds->setText(text);
        EXPECT_FALSE(save->isEnabled()) << text.toStdString();
    }
    seconds->setText(QStringLiteral("45"));
    minutes->setText(QStringLiteral("0"));
    QTest::mouseClick(withScreen, Qt::LeftButton, {}, QPoint(5, withScreen->height() / 2));
    QTest::keyClick(seconds, Qt::Key_Return);
    EXPECT_TRUE(waitFor([&] { return m_window->GetCurrentPageId() == pageid::Otp; }));

    AppSettings expected;
    expected.clipboardClearSeconds = 45;
    expected.idleLockMinutes = 0;
    expected.lockWithScreen = false;
    EXPECT_EQ(AppSettings::current(), expected);
    EXPECT_TRUE(QFile::exists(configFile()));
    AppSettings::reload();
    EXPECT_EQ(AppSettings::current(), expected);
}

TEST_F(SettingsPageTest, ValuesOutOfRangeInTheFileGiveTheDefaults) {
    QDir().mkpath(m_config.path() + QStringLiteral("/Valdorix"));
    QFile file(configFile());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[Clipboard]\nClearAfterSeconds=-5\n[Lock]\nIdleMinutes=many\nWithScreen=false\n");
    file.close();
    AppSettings::reload();
    AppSettings expected;
    expected.lockWithScreen = false;
    EXPECT_EQ(AppSettings::current(), expected);
}

} // namespace
