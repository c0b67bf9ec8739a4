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
#include "pages/tokens/ImportPage.h"
#include "pages/tokens/InstallPage.h"
#include "pages/pin/LoginPage.h"
#include "pages/tokens/ManagerPage.h"
#include "pages/pin/SetPinPage.h"
#include "pages/tokens/TokenPropertyPage.h"
#include "pages/settings/SettingsPage.h"

namespace {

template <class T>
std::shared_ptr<CPage> make() {
    return std::make_shared<T>();
}

using PageFactory = std::shared_ptr<CPage> (*)();

// The page set in creation order; the main window searches it front to back by page id.
// A page joins with one line at its place (and its header above), e.g. for the OTP page:
//     make<COtpPage>,             // 130
// A page id that is not listed here is not a page: navigation to it does nothing.
const PageFactory kPageSet[] = {
    make<COtpPage>,               // 130
    make<CSignPage>,              // 131
    make<CInstallPage>,           // 132
    make<CImportPage>,            // 234
    make<CManagerPage>,           // 133
    make<CShowOTPPage>,           // 134
    make<CDownloadPage>,          // 223
    make<CProgressPage>,          // 224
    make<CActivatePage>,          // 225
    make<CSynchronisePage>,       // 226
    make<CTokenPropertyPage>,     // 227
    make<CAboutPage>,             // 100
    make<CLoginPage>,             // 228
    make<CChangePinPage>,         // 229
    make<CSetPinPage>,            // 230
    make<CTokenPackActivatePage>, // 231
    make<CErrorMsgPage>,          // 232
    make<CChallengePage>,         // 233
    make<CSettingsPage>,          // 235
};

} // namespace

std::vector<std::shared_ptr<CPage>> createPageSet() {
    std::vector<std::shared_ptr<CPage>> pages;
    for (PageFactory factory : kPageSet)
        pages.push_back(factory());
    return pages;
}
