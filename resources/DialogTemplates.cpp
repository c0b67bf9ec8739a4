#include "resources/DialogTemplates.h"

#include <algorithm>
#include <array>

// Layout rules of the pages: every page ends up 391 x 191 pixels (its background picture), so
// each template is placed with the growth from its own size in mind. Margins are 10 dialog
// units (15 pixels); a label sits 9 units above its field; round action buttons (51 x 51
// pixels) stand at the right, 15 pixels from the edge, centred on the fields they act on; the
// navigation bar runs along the bottom, its buttons right-aligned, ending at the same margin.

namespace resources {
namespace {

using namespace style;

constexpr std::uint32_t kPage = WS_CHILD | DS_SETFONT | DS_CONTROL;
constexpr std::uint32_t kPageNoControl = WS_CHILD | DS_SETFONT;
constexpr std::u16string_view kFont = u"Microsoft Sans Serif";

constexpr std::uint32_t kLabel = WS_CHILD | WS_VISIBLE | SS_LEFT;
constexpr std::uint32_t kCentred = WS_CHILD | WS_VISIBLE | SS_CENTER;
constexpr std::uint32_t kHidden = WS_CHILD | SS_LEFT;
constexpr std::uint32_t kEdit = WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL;
constexpr std::uint32_t kPassword = kEdit | ES_PASSWORD;
constexpr std::uint32_t kButton = WS_CHILD | WS_VISIBLE | WS_TABSTOP;
constexpr std::uint32_t kAction = kButton | WS_DISABLED; // action buttons start disabled
constexpr std::uint32_t kDefAction = kAction | BS_DEFPUSHBUTTON;

// The round action button: 51 x 51 pixels, the size of its face.
constexpr int kRoundCx = 34;
constexpr int kRoundCy = 32;

using K = ControlKind;

// 129: the main window; its size matters only until the first page is shown.
constexpr std::array<DialogItem, 0> kMain{};

// 130: the OTP page. It has no resize map, so its controls keep these places.
constexpr std::array kOtp{
    DialogItem{1009, K::Static, u"", kHidden, 26, 38, 208, 16},
    DialogItem{101, K::Button, u"Go", kButton, 88, 77, kRoundCx, kRoundCy},
    DialogItem{102, K::Button, u"Copy", kButton, 137, 77, kRoundCx, kRoundCy},
    DialogItem{1010, K::Static, u"", kHidden, 26, 63, 208, 1},
    DialogItem{1001, K::Button, u"Change Token... (F2)", kButton, 233, 6, 16, 15},
    DialogItem{1044, K::Static, u"Token Name", kLabel, 10, 9, 218, 10},
    DialogItem{1008, K::Static, u"", kHidden, 6, 30, 247, 44},
};

// 131: signing.
constexpr std::array kSign{
    DialogItem{IDC_STATIC, K::Static, u"Please enter your signing data:", kLabel, 10, 8, 185, 8},
    DialogItem{1002, K::Edit, u"", kEdit, 10, 17, 143, 14},
    DialogItem{IDC_STATIC, K::Static, u"If your token has PIN, please enter it:", kLabel, 10, 35, 185, 8},
    DialogItem{1003, K::Edit, u"", kPassword, 10, 44, 143, 14},
    DialogItem{1001, K::Button, u"&Sign", kDefAction, 163, 16, kRoundCx, kRoundCy},
    DialogItem{1008, K::Static, u"", kHidden, 6, 4, 195, 62},
    DialogItem{1017, K::Static, u"", kHidden, 10, 93, 187, 15},
};

// 132: installation from a seed.
constexpr std::array kInstall{
    DialogItem{IDC_STATIC, K::Static, u"Install token from seed:", kLabel, 10, 7, 180, 8},
    DialogItem{IDC_STATIC, K::Static, u"Name:", kLabel, 10, 24, 32, 8},
    DialogItem{1005, K::Edit, u"", kEdit, 44, 22, 101, 14},
    DialogItem{IDC_STATIC, K::Static, u"Serial:", kLabel, 10, 41, 32, 8},
    DialogItem{1006, K::Edit, u"", kEdit, 44, 39, 101, 14},
    DialogItem{IDC_STATIC, K::Static, u"Seed:", kLabel, 10, 58, 32, 8},
    DialogItem{1004, K::Edit, u"", kEdit, 44, 56, 101, 14},
    DialogItem{1007, K::Button, u"&Install", kDefAction, 156, 29, kRoundCx, kRoundCy},
    DialogItem{1017, K::Static, u"", kHidden, 10, 102, 180, 15},
};

// 133: token manager.
constexpr std::array kManager{
    DialogItem{1011, K::ListView, u"",
               WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | LVS_REPORT | LVS_SHOWSELALWAYS |
                   LVS_EDITLABELS | LVS_ALIGNLEFT,
               10, 9, 152, 63},
    DialogItem{1014, K::Button, u"&Default", kButton, 167, 9, 46, 14},
    DialogItem{104, K::Button, u"&Edit", kButton, 167, 27, 46, 14},
    DialogItem{1015, K::Button, u"&Delete", kButton, 167, 45, 46, 14},
    DialogItem{1017, K::Static, u"", kHidden, 10, 78, 203, 15},
};

// 134: a computed response or signature.
constexpr std::array kShowOtp{
    DialogItem{1018, K::Static, u"Your signature:", kLabel, 10, 8, 200, 10},
    DialogItem{1009, K::Static, u"", kHidden, 10, 37, 190, 16},
    DialogItem{102, K::Button, u"&Copy", kButton, 215, 29, kRoundCx, kRoundCy},
    DialogItem{1008, K::Static, u"", kHidden, 6, 28, 247, 40},
    DialogItem{1017, K::Static, u"", kHidden, 10, 89, 239, 15},
};

// 222: the navigation bar. Its buttons take the 24 x 24 size of their faces.
constexpr std::array kNavigationBar{
    DialogItem{1013, K::Button, u"&Back", kButton, 89, 0, 16, 14},
    DialogItem{1014, K::Button, u"&Forward", kButton, 107, 0, 16, 14},
    DialogItem{1001, K::Button, u"&Home", kButton, 125, 0, 16, 14},
};

// 223: download from the server.
constexpr std::array kDownload{
    DialogItem{IDC_STATIC, K::Static, u"Service URL:", kLabel, 10, 14, 46, 8},
    DialogItem{1019, K::Edit, u"", kEdit, 58, 12, 73, 14},
    DialogItem{IDC_STATIC, K::Static, u"User Name:", kLabel, 10, 32, 46, 8},
    DialogItem{1039, K::Edit, u"", kEdit, 58, 30, 73, 14},
    DialogItem{IDC_STATIC, K::Static, u"Password:", kLabel, 10, 50, 46, 8},
    DialogItem{1038, K::Edit, u"", kPassword, 58, 48, 73, 14},
    DialogItem{1021, K::Button, u"&Download", kDefAction, 141, 24, kRoundCx, kRoundCy},
    DialogItem{1017, K::Static, u"", kHidden, 10, 98, 165, 15},
};

// 224: progress of a server operation.
constexpr std::array kProgress{
    DialogItem{1026, K::Static, u"Downloading Token...", kLabel, 10, 8, 239, 8},
    DialogItem{1023, K::ProgressBar, u"", WS_CHILD | WS_BORDER, 57, 37, 147, 11},
    DialogItem{1024, K::Static, u"Error Message", WS_CHILD | SS_CENTER, 10, 54, 239, 18},
    DialogItem{1025, K::Static, u"Information", WS_CHILD | SS_CENTER, 10, 54, 239, 18},
    DialogItem{1008, K::Static, u"", kHidden, 6, 28, 247, 50},
    DialogItem{1017, K::Static, u"", kHidden, 10, 88, 239, 15},
};

// 225: activation of a downloaded token with its authorisation code.
constexpr std::array kActivate{
    DialogItem{1018, K::Static, u"Please enter your Authorisation Code:", kLabel, 10, 32, 180, 8},
    DialogItem{1020, K::Edit, u"", kEdit, 10, 41, 135, 14},
    DialogItem{1025, K::Button, u"&Continue", kDefAction, 156, 27, kRoundCx, kRoundCy},
    DialogItem{1017, K::Static, u"", kHidden, 10, 98, 180, 15},
    DialogItem{1008, K::Static, u"", kHidden, 6, 24, 188, 46},
};

// 226: synchronisation with the server.
constexpr std::array kSynchronise{
    DialogItem{1018, K::Static, u"Synchronise with OXA server, click Go to continue...", kLabel, 10, 38, 177,
               8},
    DialogItem{1028, K::Button, u"&Synchronise", kDefAction, 198, 27, kRoundCx, kRoundCy},
    DialogItem{1017, K::Static, u"", kHidden, 10, 98, 222, 15},
    DialogItem{1008, K::Static, u"", kHidden, 6, 24, 230, 46},
};

// 227: properties of the default token.
constexpr std::array kTokenProperty{
    DialogItem{1011, K::ListView, u"",
               WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL |
                   LVS_SHOWSELALWAYS | LVS_EDITLABELS | LVS_ALIGNLEFT,
               10, 9, 203, 87},
    DialogItem{1017, K::Static, u"", kHidden, 10, 102, 203, 15},
};

// 228: log-in.
constexpr std::array kLogin{
    DialogItem{IDC_STATIC, K::Static, u"Please enter your PIN:", kLabel, 10, 48, 160, 8},
    DialogItem{1031, K::Edit, u"", kPassword, 10, 58, 122, 14},
    DialogItem{1030, K::Button, u"&Login", kDefAction, 141, 43, kRoundCx, kRoundCy},
    DialogItem{1008, K::Static, u"", kHidden, 6, 38, 173, 44},
};

// 229: change of PIN.
constexpr std::array kChangePin{
    DialogItem{IDC_STATIC, K::Static, u"Please enter your current PIN:", kLabel, 10, 8, 160, 8},
    DialogItem{1034, K::Edit, u"", kPassword, 10, 17, 122, 14},
    DialogItem{IDC_STATIC, K::Static, u"Please enter your new PIN:", kLabel, 10, 35, 160, 8},
    DialogItem{1032, K::Edit, u"", kPassword, 10, 44, 122, 14},
    DialogItem{IDC_STATIC, K::Static, u"Please confirm your new PIN:", kLabel, 10, 62, 160, 8},
    DialogItem{1033, K::Edit, u"", kPassword, 10, 71, 122, 14},
    DialogItem{101, K::Button, u"&Go", kDefAction, 141, 29, kRoundCx, kRoundCy},
    DialogItem{1017, K::Static, u"", kHidden, 10, 98, 165, 15},
    DialogItem{1008, K::Static, u"", kHidden, 6, 4, 173, 86},
};

// 230: first PIN.
constexpr std::array kSetPin{
    DialogItem{IDC_STATIC, K::Static, u"You have to set a PIN to protect your tokens:", kLabel, 10, 12, 170,
               8},
    DialogItem{IDC_STATIC, K::Static, u"Please enter your PIN:", kLabel, 10, 30, 160, 8},
    DialogItem{1032, K::Edit, u"", kPassword, 10, 39, 122, 14},
    DialogItem{IDC_STATIC, K::Static, u"Please confirm your PIN:", kLabel, 10, 58, 160, 8},
    DialogItem{1033, K::Edit, u"", kPassword, 10, 67, 122, 14},
    DialogItem{101, K::Button, u"&Go", kAction, 141, 39, kRoundCx, kRoundCy},
    DialogItem{1008, K::Static, u"", kHidden, 6, 26, 173, 60},
};

// 231: activation of a token pack found at start-up.
constexpr std::array kTokenPackActivate{
    DialogItem{1035, K::Static,
               u"You received a new token, you have to enter the authorisation code to use it:", kLabel, 10,
               8, 180, 18},
    DialogItem{1018, K::Static, u"Please enter your Authorisation Code:", kLabel, 10, 32, 180, 8},
    DialogItem{1020, K::Edit, u"", kEdit, 10, 41, 135, 14},
    DialogItem{1025, K::Button, u"&Continue", kDefAction, 156, 27, kRoundCx, kRoundCy},
    DialogItem{1017, K::Static, u"", kHidden, 10, 98, 180, 15},
    DialogItem{1008, K::Static, u"", kHidden, 6, 24, 188, 46},
};

// 232: the error page.
constexpr std::array kErrorMsg{
    DialogItem{1018, K::Static, u"Error: Pellumbra is not found.", kCentred, 10, 56, 195, 10},
};

// 233: challenge and response.
constexpr std::array kChallenge{
    DialogItem{IDC_STATIC, K::Static, u"Please enter your challenge code:", kLabel, 10, 8, 185, 8},
    DialogItem{1002, K::Edit, u"", kEdit, 10, 17, 143, 14},
    DialogItem{IDC_STATIC, K::Static, u"If your token has PIN, please enter it:", kLabel, 10, 35, 185, 8},
    DialogItem{1003, K::Edit, u"", kPassword, 10, 44, 143, 14},
    DialogItem{101, K::Button, u"&Go", kDefAction, 163, 16, kRoundCx, kRoundCy},
    DialogItem{1008, K::Static, u"", kHidden, 6, 4, 195, 62},
    DialogItem{1017, K::Static, u"", kHidden, 10, 93, 187, 15},
};

// 234: CSV import.
constexpr std::array kImport{
    DialogItem{IDC_STATIC, K::Static, u"Import tokens from csv file:", kLabel, 10, 7, 180, 8},
    DialogItem{IDC_STATIC, K::Static, u"File:", kLabel, 10, 34, 20, 8},
    DialogItem{1040, K::Edit, u"", kEdit, 30, 32, 94, 14},
    DialogItem{1001, K::Button, u"...", kButton, 129, 31, 16, 14},
    DialogItem{1041, K::Button, u"&Import", kDefAction, 156, 22, kRoundCx, kRoundCy},
    DialogItem{1042, K::Button, u"From &Screen", kButton, 30, 54, 60, 14},
    DialogItem{1017, K::Static, u"", kHidden, 10, 102, 180, 15},
};

// 235: the user's settings. The three boxes hold whole numbers only.
constexpr std::array kSettings{
    DialogItem{IDC_STATIC, K::Static, u"Clear a copied code from the clipboard after:", kLabel, 10, 8, 160, 8},
    DialogItem{1191, K::Edit, u"", kEdit, 10, 17, 30, 14},
    DialogItem{IDC_STATIC, K::Static, u"seconds (0: never)", kLabel, 46, 20, 85, 8},
    DialogItem{IDC_STATIC, K::Static, u"Lock Valdorix after no input for:", kLabel, 10, 35, 160, 8},
    DialogItem{1192, K::Edit, u"", kEdit, 10, 44, 30, 14},
    DialogItem{IDC_STATIC, K::Static, u"minutes (0: never)", kLabel, 46, 47, 85, 8},
    DialogItem{1193, K::Button, u"Lock when the screen locks", kButton, 10, 64, 125, 10},
    DialogItem{101, K::Button, u"&Save", kDefAction, 141, 29, kRoundCx, kRoundCy},
    DialogItem{1017, K::Static, u"", kHidden, 10, 98, 165, 15},
    DialogItem{1008, K::Static, u"", kHidden, 6, 4, 173, 76},
};

// 236: a token's otpauth URI and QR code. The PIN controls on the left and the code with its
// URI are never shown together; the code takes the full height, beside the navigation bar.
constexpr std::array kExport{
    DialogItem{1047, K::Static, u"", kLabel, 10, 8, 240, 10},
    DialogItem{1046, K::Static, u"", kLabel, 10, 38, 240, 24},
    DialogItem{1048, K::Edit, u"", kPassword, 10, 50, 122, 14},
    DialogItem{1049, K::Button, u"&Go", kDefAction, 141, 35, kRoundCx, kRoundCy},
    DialogItem{1042, K::Static, u"", kHidden, 5, 3, 120, 111},
    DialogItem{1044, K::Static, u"", kLabel, 132, 4, 122, 24},
    DialogItem{1043, K::Edit, u"", kEdit, 132, 30, 122, 40},
    DialogItem{1045, K::Button, u"&Save as PNG...", kButton, 132, 74, 70, 14},
    DialogItem{1017, K::Static, u"", kHidden, 132, 94, 122, 15},
};

// 100: About. 1008 is the area above the text where the logo is centred.
constexpr std::array kAbout{
    DialogItem{1008, K::GroupBox, u"", WS_CHILD | WS_VISIBLE | BS_GROUPBOX, 10, 6, 195, 48},
    DialogItem{1018, K::Static, u"", kCentred, 10, 54, 195, 26},
    DialogItem{1017, K::Static, u"", kHidden, 10, 98, 195, 15},
};

constexpr std::array kTemplates{
    DialogTemplate{100, kPageNoControl, 0, 215, 121, 0, kFont, 8, 400, false, kAbout},
    DialogTemplate{129, WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN | DS_SETFONT,
                   WS_EX_CONTROLPARENT, 233, 123, 208, kFont, 8, 400, false, kMain},
    DialogTemplate{130, kPage, 0, 259, 117, 0, kFont, 8, 400, false, kOtp},
    DialogTemplate{131, kPage, 0, 207, 112, 0, kFont, 8, 400, false, kSign},
    DialogTemplate{132, kPage, 0, 200, 121, 0, kFont, 8, 400, false, kInstall},
    DialogTemplate{133, kPage, 0, 223, 97, 0, kFont, 8, 400, false, kManager},
    DialogTemplate{134, kPage, 0, 259, 108, 0, kFont, 8, 400, false, kShowOtp},
    DialogTemplate{222, WS_CHILD | DS_SETFONT | DS_CONTROL, WS_EX_TRANSPARENT, 141, 14, 0, u"MS Shell Dlg", 8,
                   400, false, kNavigationBar},
    DialogTemplate{223, kPage, 0, 185, 121, 0, kFont, 8, 400, false, kDownload},
    DialogTemplate{224, kPage, 0, 259, 107, 0, kFont, 8, 400, false, kProgress},
    DialogTemplate{225, kPage, 0, 200, 121, 0, kFont, 8, 400, false, kActivate},
    DialogTemplate{226, kPage, 0, 242, 121, 0, kFont, 8, 400, false, kSynchronise},
    DialogTemplate{227, kPage, 0, 223, 121, 0, kFont, 8, 400, false, kTokenProperty},
    DialogTemplate{228, kPage, WS_EX_CONTROLPARENT, 185, 100, 0, kFont, 8, 400, false, kLogin},
    DialogTemplate{229, kPage, 0, 185, 121, 0, kFont, 8, 400, false, kChangePin},
    DialogTemplate{230, kPage, 0, 185, 110, 0, kFont, 8, 400, false, kSetPin},
    DialogTemplate{231, kPage, 0, 200, 121, 0, kFont, 8, 400, false, kTokenPackActivate},
    DialogTemplate{232, kPageNoControl, 0, 215, 121, 0, kFont, 8, 400, false, kErrorMsg},
    DialogTemplate{233, kPage, 0, 207, 112, 0, kFont, 8, 400, false, kChallenge},
    DialogTemplate{234, kPage, 0, 200, 121, 0, kFont, 8, 400, false, kImport},
    DialogTemplate{235, kPage, 0, 185, 121, 0, kFont, 8, 400, false, kSettings},
    DialogTemplate{236, kPage, 0, 259, 117, 0, kFont, 8, 400, false, kExport},
};

} // namespace

const DialogItem* DialogTemplate::item(int itemId) const {
    const auto found =
        std::find_if(items.begin(), items.end(), [&](const DialogItem& i) { return i.id == itemId; });
    return found == items.end() ? nullptr : &*found;
}

const DialogTemplate* findDialogTemplate(int id) {
    const auto found = std::find_if(kTemplates.begin(), kTemplates.end(),
                                    [&](const DialogTemplate& t) { return t.id == id; });
    return found == kTemplates.end() ? nullptr : &*found;
}

std::span<const DialogTemplate> allDialogTemplates() {
    return kTemplates;
}

} // namespace resources
