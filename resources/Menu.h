#pragma once

#include <span>
#include <string_view>

// Menu resources: the main window's menu bar (208) with its popups.
namespace resources {

struct MenuItem {
    enum class Kind { Command, Separator, Popup };
    Kind kind;
    std::u16string_view text; // '&' marks the mnemonic, "&&" is a literal '&', a tab the key
    int id;                   // command id; 0 for separators and popups
    std::span<const MenuItem> children;
};

struct MenuResource {
    int id;
    std::span<const MenuItem> items;
};

namespace ids {
constexpr int IDM_MAIN = 208;
constexpr int ID_DOWNLOAD_TOKEN = 32776;
constexpr int ID_SIGN = 32778;
constexpr int ID_OTP = 32779;
constexpr int ID_MANAGE_TOKENS = 32780;
constexpr int ID_TOKEN_PROPERTY = 32781;
constexpr int ID_ABOUT = 32783;
constexpr int ID_HELP = 32784;
constexpr int ID_EXIT = 32785;
constexpr int ID_INSTALL_TOKEN = 32786;
constexpr int ID_SYNCHRONISE_TOKEN = 32787;
constexpr int ID_CHANGE_PIN = 32788;
constexpr int ID_CHALLENGE = 32789;
constexpr int ID_IMPORT_TOKENS = 32791;
constexpr int ID_LOCK = 32792;
constexpr int ID_SETTINGS = 32793;
constexpr int ID_MORE_TOKENS = 32796; // the last item of a token list too long for the screen
constexpr int ID_EXPORT_TOKEN = 32800;
} // namespace ids

// The menu with this id, or null.
const MenuResource* findMenu(int id);

} // namespace resources
