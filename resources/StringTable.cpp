#include "resources/StringTable.h"

#include <algorithm>
#include <array>

namespace resources {
namespace {

using namespace ids;

constexpr std::array kStrings{
    StringEntry{IDS_PRODUCT, u"Valdorix"},
    StringEntry{IDS_APPLICATION, u"Application"},
    StringEntry{IDS_SERIAL, u"Serial"},
    StringEntry{IDS_LABEL, u"Label"},
    StringEntry{IDS_CONFIRM_DELETE, u"Are you sure you want to delete selected token(s)?"},
    StringEntry{IDS_PROPERTY, u"Property"},
    StringEntry{IDS_VALUE, u"Value"},
    StringEntry{IDS_APP_URL, u"App URL"},
    StringEntry{IDS_SERVICE_URL, u"Service URL"},
    StringEntry{IDS_EXPIRY_DATE, u"Expiry Date"},
    StringEntry{IDS_USER_NAME, u"User Name"},
    StringEntry{IDS_TOKEN_NAME, u"Token Name"},
    StringEntry{IDS_APP_ID, u"App ID"},
    StringEntry{IDS_INCORRECT_PIN, u"Incorrect PIN! Please try again."},
    StringEntry{IDS_PIN_CHANGED, u"Your PIN has been successfully changed."},
    StringEntry{IDS_WINDOW_TITLE, u"Valdorix"},
    StringEntry{IDS_VERSION, u"Valdorix Desktop v5.9.5\r\n\r\n"
                             u"Your tokens stay on this computer, protected by your PIN."},
    StringEntry{IDS_YOUR_SIGNATURE, u"Your signature:"},
    StringEntry{IDS_YOUR_RESPONSE, u"Your response:"},
    StringEntry{IDS_INVALID_SEED, u"Invalid token seed"},
    StringEntry{IDS_NO_TOKENS_IMPORTED, u"No tokens imported"},
    StringEntry{IDS_DECODE_FAILED, u"Failed to decode the token. Please check your authorisation code."},
    StringEntry{IDS_CSV_FILTER, u"CSV files (*.csv)"},
    StringEntry{IDS_ALL_FILES_FILTER, u"All files (*.*)"},
    StringEntry{IDS_DOWNLOADING, u"Downloading token..."},
    StringEntry{IDS_ACTIVATING, u"Activating token..."},
    StringEntry{IDS_SYNCHRONISING, u"Synchronising token..."},
    StringEntry{IDS_DOWNLOADED, u"The token has been successfully downloaded."},
    StringEntry{IDS_ACTIVATED, u"Token successfully activated"},
    StringEntry{IDS_SYNCHRONISED, u"The token has been successfully synchronised."},
    StringEntry{IDS_SYNC_FAILED, u"Synchronise failed."},
    StringEntry{IDS_CONNECT_FAILED, u"Failed to connect the server."},
    StringEntry{IDS_INVALID_TOKEN_DATA, u"Invalid token data"},
    StringEntry{IDS_NO_SERVICE_URL, u"No service URL defined"},
    StringEntry{IDS_ABORTED, u"Aborted."},
    StringEntry{IDS_SAVE_FAILED,
                u"Valdorix could not save your tokens to %1: %2. Your last change is not stored."},
    StringEntry{IDS_PIN_UNREPRESENTABLE,
                u"This PIN has characters that your token database cannot store. Please choose a PIN "
                u"without them."},
    StringEntry{IDS_ALREADY_RUNNING, u"Valdorix is already running."},
    StringEntry{IDS_FILE_TOO_LARGE, u"%1 is larger than 256 MiB. Valdorix does not read a file that large."},
    StringEntry{IDS_DATABASE_LINK_BROKEN,
                u"Your token database %1 is a link to %2, which does not exist. Valdorix will not save "
                u"your tokens in its place: restore that file, or remove the link."},
    StringEntry{IDS_CLOCK_BEHIND, u"Your computer's clock is %1 behind the server's: time-based codes may be "
                                  u"refused. Set the clock."},
    StringEntry{IDS_CLOCK_AHEAD,
                u"Your computer's clock is %1 ahead of the server's: time-based codes may be "
                u"refused. Set the clock."},
    StringEntry{IDS_DAYS, u"%1 d"},
    StringEntry{IDS_HOURS, u"%1 h"},
    StringEntry{IDS_MINUTES, u"%1 min"},
    StringEntry{IDS_SECONDS, u"%1 s"},
    StringEntry{IDS_SETTINGS_SAVED, u"Your settings have been saved."},
    StringEntry{IDS_SETTINGS_NOT_SAVED,
                u"Your settings could not be saved to %1. They hold until Valdorix ends."},
    StringEntry{IDS_NEVER, u"Never"},
    StringEntry{IDS_IMPORTED, u"Tokens imported: %1."},
    StringEntry{IDS_SKIPPED_LINES, u"Lines skipped:"},
    StringEntry{IDS_LINE_NOT_THREE_FIELDS, u"line %1: not three fields (serial, seed, name)"},
    StringEntry{IDS_LINE_INVALID_SEED, u"line %1: invalid token seed"},
    StringEntry{IDS_MORE_SKIPPED, u"and %1 more"},
    StringEntry{IDS_PIN_RULE, u"The PIN needs at least 4 characters."},
    StringEntry{IDS_PINS_DIFFER, u"The two PINs differ."},
    StringEntry{IDS_NO_TOKEN_HINT, u"No token yet: add one from the Token menu."},
    StringEntry{IDS_TOOLTIP_SHORTCUT, u"%1 (%2)"},
    StringEntry{IDS_FILTER_TOKENS, u"Filter"},
    StringEntry{IDS_CONFIRM_DELETE_ONE, u"Are you sure you want to delete the token \u201c%1\u201d?"},
    StringEntry{IDS_CONFIRM_DELETE_MANY, u"Are you sure you want to delete these %1 tokens?"},
    StringEntry{IDS_MORE_TOKENS, u"More Tokens..."},
    StringEntry{IDS_EXPORT_TITLE, u"Export \u201c%1\u201d to another authenticator"},
    StringEntry{IDS_EXPORT_PIN_PROMPT, u"Please enter your PIN to show its secret:"},
    StringEntry{IDS_EXPORT_NO_URI,
                u"This token has no otpauth:// form: only HOTP and TOTP tokens with 6 to 8 digits and "
                u"one code can be shown as a QR code."},
    StringEntry{IDS_EXPORT_SCAN_HINT, u"Scan it with another authenticator. Whoever sees this code can copy "
                                      u"the token."},
    StringEntry{IDS_PNG_FILTER, u"PNG pictures (*.png)"},
    StringEntry{IDS_QR_SAVED, u"The QR code has been saved to %1. Whoever has this picture can make your "
                              u"codes: keep it safe, and delete it once used."},
    StringEntry{IDS_QR_NOT_SAVED, u"The QR code could not be saved to %1: %2"},
    StringEntry{IDS_IMPORTING, u"Importing tokens..."},
    StringEntry{IDS_CANCEL, u"Cancel"},
    StringEntry{IDS_IMPORT_TOO_LARGE, u"No tokens imported: with them your token database would be larger than 256 MiB, "
                                      u"and Valdorix does not read a file that large."},
    StringEntry{IDS_IMPORT_NOT_SAVED, u"No tokens imported: Valdorix could not save them to %1: %2."},
    StringEntry{IDS_LINE_REASON, u"line %1: %2"},
    StringEntry{IDS_ALREADY_PRESENT, u"already among your tokens"},
    StringEntry{IDS_NO_QR_CODE, u"no QR code found"},
    StringEntry{IDS_PICTURE_REASON, u"%1: %2"},
    StringEntry{IDS_PICTURE_CODE_REASON, u"%1, code %2: %3"},
    StringEntry{IDS_OTP_FILES_FILTER, u"QR pictures and otpauth lists (*.png *.jpg *.jpeg *.txt)"},
    StringEntry{IDS_NO_QR_ON_SCREEN, u"No QR code was found on the screen. Show the whole code, not covered by "
                                     u"another window, and try again, or import a picture of it."},
    StringEntry{IDS_THE_SCREEN, u"the screen"},
    StringEntry{IDS_NEWER_DATABASE, u"Your token database was written by a newer version of Valdorix, which "
                                    u"this version cannot read. Open it with that version; the file is left as "
                                    u"it is."},
};

const StringEntry* find(int id) {
    const auto found = std::lower_bound(kStrings.begin(), kStrings.end(), id,
                                        [](const StringEntry& e, int wanted) { return e.id < wanted; });
    return found != kStrings.end() && found->id == id ? &*found : nullptr;
}

} // namespace

std::u16string_view loadString(int id) {
    const StringEntry* entry = find(id);
    return entry ? entry->text : std::u16string_view{};
}

bool hasString(int id) {
    return find(id) != nullptr;
}

std::span<const StringEntry> allStrings() {
    return kStrings;
}

} // namespace resources
