#include "resources/Menu.h"

#include <array>

namespace resources {
namespace {

using namespace ids;
using K = MenuItem::Kind;

constexpr MenuItem separator() {
    return MenuItem{K::Separator, u"", 0, {}};
}

// Tokens are appended after these two at run time.
constexpr std::array kSelectToken{
    MenuItem{K::Command, u"&Manage Tokens...", ID_MANAGE_TOKENS, {}},
    separator(),
};

constexpr std::array kToken{
    MenuItem{K::Command, u"&OTP...", ID_OTP, {}},
    MenuItem{K::Command, u"&Sign...", ID_SIGN, {}},
    MenuItem{K::Command, u"&C && R...", ID_CHALLENGE, {}},
    separator(),
    MenuItem{K::Popup, u"&Select Token", 0, kSelectToken},
    separator(),
    MenuItem{K::Command, u"&Download Token...", ID_DOWNLOAD_TOKEN, {}},
    MenuItem{K::Command, u"&Install Token...", ID_INSTALL_TOKEN, {}},
    MenuItem{K::Command, u"Import Tokens...", ID_IMPORT_TOKENS, {}},
    MenuItem{K::Command, u"E&xport Token...", ID_EXPORT_TOKEN, {}},
    MenuItem{K::Command, u"Synchronise Token...", ID_SYNCHRONISE_TOKEN, {}},
    MenuItem{K::Command, u"Token &Property...", ID_TOKEN_PROPERTY, {}},
    separator(),
    MenuItem{K::Command, u"Change &Pin...", ID_CHANGE_PIN, {}},
    MenuItem{K::Command, u"Se&ttings...", ID_SETTINGS, {}},
    separator(),
    MenuItem{K::Command, u"&Lock\tCtrl+L", ID_LOCK, {}},
    MenuItem{K::Command, u"&Exit", ID_EXIT, {}},
};

constexpr std::array kHelp{
    MenuItem{K::Command, u"&Help", ID_HELP, {}},
    MenuItem{K::Command, u"&About", ID_ABOUT, {}},
};

constexpr std::array kMainBar{
    MenuItem{K::Popup, u"&Token", 0, kToken},
    MenuItem{K::Popup, u"&Help", 0, kHelp},
};

constexpr std::array kMenus{
    MenuResource{IDM_MAIN, kMainBar},
};

} // namespace

const MenuResource* findMenu(int id) {
    for (const MenuResource& menu : kMenus) {
        if (menu.id == id)
            return &menu;
    }
    return nullptr;
}

} // namespace resources
