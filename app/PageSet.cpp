#include "app/PageSet.h"

#include "pages/otp/ChallengePage.h"
#include "pages/otp/OtpPage.h"
#include "pages/otp/ShowOTPPage.h"
#include "pages/otp/SignPage.h"
#include "pages/provisioning/ActivatePage.h"
#include "pages/provisioning/DownloadPage.h"
#include "pages/provisioning/ProgressPage.h"
#include "pages/provisioning/SynchronisePage.h"
#include "pages/provisioning/TokenPackActivatePage.h"
#include "pages/info/AboutPage.h"
#include "pages/pin/ChangePinPage.h"
#include "pages/info/ErrorMsgPage.h"
#include "pages/tokens/ExportPage.h"
#include "pages/tokens/ImportPage.h"
#include "pages/tokens/InstallPage.h"
#include "pages/pin/LoginPage.h"
#include "pages/tokens/ManagerPage.h"
#include "pages/pin/SetPinPage.h"
#include "pages/tokens/TokenPropertyPage.h"
#include "pages/settings/SettingsPage.h"
#include "resources/Menu.h"

namespace {

using namespace resources::ids;

template <class T>
std::shared_ptr<CPage> make() {
    return std::make_shared<T>();
}

struct PageRow {
    unsigned id;
    std::shared_ptr<CPage> (*make)();
    int command; // 0: no menu command shows it
    CommandEnabled enabled;
};

using enum CommandEnabled;

// The page set in creation order; the main window searches it front to back by page id.
// A page id that is not listed here is not a page: navigation to it does nothing.
const PageRow kPages[] = {
    {pageid::Otp, make<COtpPage>, ID_OTP, Unlocked},
    {pageid::Sign, make<CSignPage>, ID_SIGN, WithToken},
    {pageid::Install, make<CInstallPage>, ID_INSTALL_TOKEN, Unlocked},
    {pageid::Import, make<CImportPage>, ID_IMPORT_TOKENS, Unlocked},
    {pageid::Export, make<CExportPage>, ID_EXPORT_TOKEN, WithToken},
    {pageid::Manager, make<CManagerPage>, ID_MANAGE_TOKENS, Unlocked},
    {pageid::ShowOtp, make<CShowOTPPage>, 0, Unlocked},
    {pageid::Download, make<CDownloadPage>, ID_DOWNLOAD_TOKEN, Unlocked},
    {pageid::Progress, make<CProgressPage>, 0, Unlocked},
    {pageid::Activate, make<CActivatePage>, 0, Unlocked},
    {pageid::Synchronise, make<CSynchronisePage>, ID_SYNCHRONISE_TOKEN, WithToken},
    {pageid::TokenProperty, make<CTokenPropertyPage>, ID_TOKEN_PROPERTY, WithToken},
    {pageid::About, make<CAboutPage>, ID_ABOUT, Unlocked},
    {pageid::Login, make<CLoginPage>, 0, Unlocked},
    {pageid::ChangePin, make<CChangePinPage>, ID_CHANGE_PIN, Unlocked},
    {pageid::SetPin, make<CSetPinPage>, 0, Unlocked},
    {pageid::TokenPackActivate, make<CTokenPackActivatePage>, 0, Unlocked},
    {pageid::ErrorMsg, make<CErrorMsgPage>, 0, Unlocked},
    {pageid::Challenge, make<CChallengePage>, ID_CHALLENGE, Unlocked},
    {pageid::Settings, make<CSettingsPage>, ID_SETTINGS, Unlocked},
};

const PageRow* rowOfCommand(int command) {
    if (command == 0)
        return nullptr;
    for (const PageRow& row : kPages) {
        if (row.command == command)
            return &row;
    }
    return nullptr;
}

} // namespace

std::vector<std::shared_ptr<CPage>> createPageSet() {
    std::vector<std::shared_ptr<CPage>> pages;
    for (const PageRow& row : kPages)
        pages.push_back(row.make());
    return pages;
}

std::optional<unsigned> pageForCommand(int command) {
    if (const PageRow* row = rowOfCommand(command))
        return row->id;
    return std::nullopt;
}

CommandEnabled commandEnabled(int command) {
    const PageRow* row = rowOfCommand(command);
    return row ? row->enabled : Unlocked;
}
