#pragma once

#include "engine/OtpToken.h"
#include "store/SaveResult.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

class ByteReader;
class ByteWriter;

// Result of the token pack operations.
enum PackResult : int {
    PackPending = 0,   // a pack is waiting for its authorisation code
    PackInstalled = 1, // its token was added and saved, and the pack file deleted
    NoPack = 2,
};

// A pack operation's result and, when it installed a token, how saving it went. The pack file is
// deleted only once its token is on disk, so a failed save leaves it for the next start.
struct [[nodiscard]] PackOutcome {
    PackResult result = NoPack;
    SaveResult saved;

    bool operator==(PackResult other) const { return result == other; }
};

// What changePin did; false unless the PIN was changed and saved.
struct [[nodiscard]] PinChange {
    enum Status { Changed, WrongPin, Unrepresentable, NotSaved };
    Status status = Changed;
    SaveResult saved; // why the save failed, for NotSaved

    explicit operator bool() const { return status == Changed; }
};

// What a CSV import did: the tokens it added and the lines it passed over, by 1-based line number.
// Empty lines are not counted as skipped.
struct CsvImportReport {
    enum Reason { NotThreeFields, InvalidSeed };
    struct Skipped {
        std::size_t line;
        Reason reason;
    };
    std::size_t added = 0;
    std::vector<Skipped> skipped;
};

// The token database: the ordered token list, the default token's index and a token pack that
// waits for its authorisation code. The list operations never save; the caller saves.
//
// Single-threaded: the store takes no lock. The UI thread owns it; a downloaded token is handed
// to the UI thread and added and saved there.
//
// The data members are the database's state as the pages see it: pages read `tokens`, and
// change the list only through the operations below.
class CTokenDB {
public:
    CTokenDB() = default;
    CTokenDB(const CTokenDB&) = delete;
    CTokenDB& operator=(const CTokenDB&) = delete;
    virtual ~CTokenDB() = default;

    virtual bool load() = 0;
    virtual SaveResult save() = 0;
    virtual bool exists() = 0;
    virtual bool setPin(std::u16string_view pin) = 0;
    virtual PinChange changePin(std::u16string_view oldPin, std::u16string_view newPin) = 0;
    // The plain file header around the archive; none at this level.
    virtual bool readHeader(ByteReader& stream);
    virtual bool writeHeader(ByteWriter& stream);

    // The token at `index`, or null when `index` is outside the list.
    std::shared_ptr<COtpToken> tokenAt(int index) const;

    // The default token, or null for an empty list. An index past the end, or negative (taken as
    // unsigned), is first clamped to the last token and stored back.
    std::shared_ptr<COtpToken> defaultToken();

    // Stores `index` unchecked; defaultToken() repairs it. Always true.
    bool setDefaultIndex(int index);

    // Appends `token` unless an entry with its appId and serial exists: then, with `replace`, the
    // first such entry is removed and `token` appended; without, `token` is dropped. Null is
    // ignored. The default index is left alone.
    void addToken(std::shared_ptr<COtpToken> token, bool replace);

    // Removes the token at `index`; an index outside the list does nothing. The default index is
    // left alone.
    void deleteToken(int index);

    // Removes the tokens at `indexes` (any order; repeats and indexes outside the list ignored)
    // in one pass over the list. The default index is left alone.
    void deleteTokens(std::span<const int> indexes);

    // Installs a token from a seed code: appended (no same-token search) and made the default.
    // Null when the code is rejected; the list is then unchanged.
    std::shared_ptr<COtpToken> createTokenFromSeed(std::u16string_view name, std::u16string_view serial,
                                                   std::u16string_view seed);

    // Installs every three-field line (serial, seed, name) of the UTF-8 CSV file at `path`.
    // Returns the last token created, or null when the file cannot be read or no line gives one.
    std::shared_ptr<COtpToken> importCsv(const std::string& path);
    // The same; when the file cannot be read, `readError` says why (std::errc::file_too_large
    // beyond MaxFileSize), and it is empty otherwise. `report`, when given, is filled with what
    // happened to each line.
    std::shared_ptr<COtpToken> importCsv(const std::string& path, std::error_code& readError,
                                         CsvImportReport* report = nullptr);

    // importCsv on the file's bytes.
    std::shared_ptr<COtpToken> importCsvData(std::string_view bytes, CsvImportReport* report = nullptr);

    // Looks for the token pack file: absent or unreadable gives NoPack; a pack that decodes
    // without a code is added (unless the list has that token), saved and, once saved, deleted;
    // otherwise its bytes wait in `pendingPack` for activateTokenPack.
    PackOutcome checkTokenPack();

    // Decodes the waiting pack with `code`: NoPack when none waits; PackInstalled when it yields
    // a token (added unless present, saved, pack file deleted once saved); PackPending for a
    // wrong code. A wrong code leaves the waiting bytes as they were.
    PackOutcome activateTokenPack(std::u16string_view code);

    std::vector<std::shared_ptr<COtpToken>> tokens;
    std::int32_t defaultIndex = 0;
    std::shared_ptr<std::vector<std::uint8_t>> pendingPack;
};
