#pragma once

#include <span>
#include <string_view>

// The string table: every text the system shows, by id. Ids below 161 are the ones the pages and
// the store name; 161 onward hold the remaining texts in one place.
namespace resources {

namespace ids {
constexpr int IDS_PRODUCT = 128; // "Valdorix": folder name and message-box caption
constexpr int IDS_APPLICATION = 130;
constexpr int IDS_SERIAL = 131;
constexpr int IDS_LABEL = 132;
constexpr int IDS_CONFIRM_DELETE = 137;
constexpr int IDS_PROPERTY = 142;
constexpr int IDS_VALUE = 143;
constexpr int IDS_APP_URL = 144;
constexpr int IDS_SERVICE_URL = 145;
constexpr int IDS_EXPIRY_DATE = 146;
constexpr int IDS_USER_NAME = 147;
constexpr int IDS_TOKEN_NAME = 148;
constexpr int IDS_APP_ID = 149;
constexpr int IDS_INCORRECT_PIN = 150;
constexpr int IDS_PIN_CHANGED = 151;
constexpr int IDS_WINDOW_TITLE = 155;
constexpr int IDS_VERSION = 156;
constexpr int IDS_YOUR_SIGNATURE = 159;
constexpr int IDS_YOUR_RESPONSE = 160;
constexpr int IDS_INVALID_SEED = 161;
constexpr int IDS_NO_TOKENS_IMPORTED = 162;
constexpr int IDS_DECODE_FAILED = 163;
constexpr int IDS_CSV_FILTER = 164;
constexpr int IDS_ALL_FILES_FILTER = 165;
constexpr int IDS_DOWNLOADING = 166;
constexpr int IDS_ACTIVATING = 167;
constexpr int IDS_SYNCHRONISING = 168;
constexpr int IDS_DOWNLOADED = 169;
constexpr int IDS_ACTIVATED = 170;
constexpr int IDS_SYNCHRONISED = 171;
constexpr int IDS_SYNC_FAILED = 172;
constexpr int IDS_CONNECT_FAILED = 173;
constexpr int IDS_INVALID_TOKEN_DATA = 174;
constexpr int IDS_NO_SERVICE_URL = 175;
constexpr int IDS_ABORTED = 176;
constexpr int IDS_SAVE_FAILED = 177; // %1 the database file, %2 the system's reason
constexpr int IDS_PIN_UNREPRESENTABLE = 178;
constexpr int IDS_ALREADY_RUNNING = 179;
constexpr int IDS_FILE_TOO_LARGE = 180;       // %1 the file
constexpr int IDS_DATABASE_LINK_BROKEN = 181; // %1 the database path, %2 where its link leads
constexpr int IDS_CLOCK_BEHIND = 190;         // %1 how far, e.g. "2 min 10 s"
constexpr int IDS_CLOCK_AHEAD = 191;          // %1 how far
constexpr int IDS_DAYS = 192;                 // %1 a count, as are the three below
constexpr int IDS_HOURS = 193;
constexpr int IDS_MINUTES = 194;
constexpr int IDS_SECONDS = 195;
constexpr int IDS_SETTINGS_SAVED = 196;
constexpr int IDS_SETTINGS_NOT_SAVED = 197;    // %1 the settings file
constexpr int IDS_NEVER = 200;                 // an expiry date of none
constexpr int IDS_IMPORTED = 201;              // %1 the number of tokens added
constexpr int IDS_SKIPPED_LINES = 202;         // heading of the skipped lines
constexpr int IDS_LINE_NOT_THREE_FIELDS = 203; // %1 the line number
constexpr int IDS_LINE_INVALID_SEED = 204;     // %1 the line number
constexpr int IDS_MORE_SKIPPED = 205;          // %1 the lines not listed
constexpr int IDS_PIN_RULE = 206;
constexpr int IDS_PINS_DIFFER = 207;
constexpr int IDS_NO_TOKEN_HINT = 208;
constexpr int IDS_TOOLTIP_SHORTCUT = 209; // %1 the caption, %2 its key
constexpr int IDS_FILTER_TOKENS = 210;
constexpr int IDS_CONFIRM_DELETE_ONE = 211;  // %1 the token's name
constexpr int IDS_CONFIRM_DELETE_MANY = 212; // %1 how many
constexpr int IDS_MORE_TOKENS = 213;
constexpr int IDS_EXPORT_TITLE = 214; // %1 the token's name
constexpr int IDS_EXPORT_PIN_PROMPT = 215;
constexpr int IDS_EXPORT_NO_URI = 216;
constexpr int IDS_EXPORT_SCAN_HINT = 217;
constexpr int IDS_PNG_FILTER = 218;
constexpr int IDS_QR_SAVED = 219;     // %1 the file
constexpr int IDS_QR_NOT_SAVED = 220; // %1 the file, %2 the reason
constexpr int IDS_IMPORTING = 230;
constexpr int IDS_CANCEL = 231;
constexpr int IDS_IMPORT_TOO_LARGE = 232;
constexpr int IDS_IMPORT_NOT_SAVED = 233; // %1 the database file, %2 the system's reason
constexpr int IDS_LINE_REASON = 234;         // %1 the line number, %2 why it was skipped
constexpr int IDS_ALREADY_PRESENT = 235;
constexpr int IDS_NO_QR_CODE = 236;
constexpr int IDS_PICTURE_REASON = 237;      // %1 the picture, %2 why it was skipped
constexpr int IDS_PICTURE_CODE_REASON = 238; // %1 the picture, %2 the code's place in it, %3 why
constexpr int IDS_OTP_FILES_FILTER = 239;
constexpr int IDS_NO_QR_ON_SCREEN = 240;
constexpr int IDS_THE_SCREEN = 241; // the source of codes read from the screen, in the summary
constexpr int IDS_NEWER_DATABASE = 250;
} // namespace ids

struct StringEntry {
    int id;
    std::u16string_view text;
};

// The text of string `id`; empty when the table has no such string.
std::u16string_view loadString(int id);

// Whether the table has string `id` (an empty view alone cannot tell).
bool hasString(int id);

// Every entry, in id order.
std::span<const StringEntry> allStrings();

} // namespace resources
