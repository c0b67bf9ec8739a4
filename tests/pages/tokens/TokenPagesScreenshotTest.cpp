// The four token pages as a user sees them, with realistic content, written to
// <build>/screenshots/ for people to look at. The checks are what a picture cannot hide: each page
// fills its picture, and no visible control leaves it.
#include "TokenPagesSupport.h"
#include "pages/tokens/ImportPage.h"
#include "pages/tokens/InstallPage.h"
#include "ui/LabelEditListView.h"
#include "pages/tokens/ManagerPage.h"
#include "pages/tokens/TokenPropertyPage.h"

#include <QDir>
#include <QImage>

using namespace tokentest;

namespace {

QString screenshotFolder() {
    const QByteArray binary = qgetenv("VALDORIX_BINARY_DIR");
    const QString folder =
        (binary.isEmpty() ? QDir::currentPath() : QString::fromUtf8(binary)) + QStringLiteral("/screenshots");
    QDir().mkpath(folder);
    return folder;
}

class TokenPagesScreenshotTest : public TokenPagesFixture {
protected:
    void capture(unsigned id, const QString& name) {
        CPage* page = m_window->findPage(id);
        ASSERT_NE(page, nullptr);
        QWidget* hwnd = page->GetHWND();
        ASSERT_NE(hwnd, nullptr);
        ASSERT_TRUE(waitFor([&] { return hwnd->pos() == QPoint(0, 0); }));
        EXPECT_EQ(hwnd->size(), QSize(391, 191)) << id;
        for (QWidget* child : hwnd->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (!child->isVisibleTo(hwnd))
                continue;
            EXPECT_TRUE(hwnd->rect().contains(child->geometry())) << id << " " << controlId(child);
        }
        const QString folder = screenshotFolder();
        EXPECT_TRUE(hwnd->grab().toImage().save(QStringLiteral("%1/%2.png").arg(folder, name)));
        EXPECT_TRUE(m_window->grab().toImage().save(QStringLiteral("%1/%2_window.png").arg(folder, name)));
    }
};

TEST_F(TokenPagesScreenshotTest, TheFourTokenPages) {
    setenv("TZ", "UTC0", 1);
    tzset();
    auto vpn = makeToken(u"Office VPN", u"Remote access", u"VX4410273");
    vpn->appId = u"remote-access";
    vpn->userName = u"m.keller";
    vpn->tokenName = u"VPN token";
    vpn->serviceUrl = u"https://auth.corvane.example/oxa/service";
    vpn->appUrl = u"https://vpn.corvane.example/";
    vpn->expiryDate = 1798761599; // 2026-12-31 23:59:59 UTC
    openWithTokens({makeToken(u"Mail account", u"Webmail", u"VX4410117"), vpn,
                    makeToken(u"Payroll", u"HR portal", u"VX4410288"),
                    makeToken(u"", u"Build server", u"VX4410301")},
                   1);

    auto* manager = show<CManagerPage>(pageid::Manager);
    ASSERT_NE(manager, nullptr);
    manager->list()->topLevelItem(2)->setSelected(true);
    capture(pageid::Manager, QStringLiteral("tokens_133_manager"));
    // Renaming in place.
    ASSERT_TRUE(manager->list()->editLabel(0));
    manager->list()->labelEditor()->selectAll();
    capture(pageid::Manager, QStringLiteral("tokens_133_manager_renaming"));
    manager->list()->cancelLabelEdit();

    ASSERT_NE(show<CTokenPropertyPage>(pageid::TokenProperty), nullptr);
    capture(pageid::TokenProperty, QStringLiteral("tokens_227_properties"));

    auto* install = show<CInstallPage>(pageid::Install);
    ASSERT_NE(install, nullptr);
    type(edit(install, CInstallPage::IDC_NAME), QStringLiteral("Remote desktop"));
    type(edit(install, CInstallPage::IDC_SERIAL), QStringLiteral("10012345"));
    type(edit(install, CInstallPage::IDC_SEED), QStringLiteral("070003248291630571"));
    capture(pageid::Install, QStringLiteral("tokens_132_install"));

    auto* import = show<CImportPage>(pageid::Import);
    ASSERT_NE(import, nullptr);
    type(edit(import, CImportPage::IDC_PATH), QStringLiteral("/home/m.keller/Documents/tokens.csv"));
    capture(pageid::Import, QStringLiteral("tokens_234_import"));
    unsetenv("TZ");
    tzset();
}

} // namespace
