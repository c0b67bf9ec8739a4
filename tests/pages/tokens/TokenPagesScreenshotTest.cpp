// The four token pages as a user sees them, with realistic content, written to
// <build>/screenshots/ for people to look at (see TokenPagesFixture::capture).
#include "TokenPagesSupport.h"
#include "pages/tokens/ImportPage.h"
#include "pages/tokens/InstallPage.h"
#include "ui/LabelEditListView.h"
#include "pages/tokens/ManagerPage.h"
#include "pages/tokens/TokenPropertyPage.h"

using namespace tokentest;

namespace {

using TokenPagesScreenshotTest = TokenPagesFixture;

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
