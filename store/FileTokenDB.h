#pragma once

#include "store/TokenDB.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

// The first item of every database archive; a load accepts only this text.
inline constexpr std::u16string_view DatabaseMarker = u"VALDORIXDATABASEFLAG4";

// The file-backed token database: a plain 150-byte header followed by the token archive,
// enciphered with RC4 under a 20-byte key derived from the PIN and the machine's key salt.
// A PIN is never stored: only the right key deciphers the archive's signature and marker.
//
// Single-threaded, like CTokenDB. Until a load completes or markUnlocked() is called, save()
// writes nothing, so a list that was only partly read can never replace the file.
//
// A log-in attempt is setPin followed by load. When that load fails, the key, the accepted PIN
// and the unlocked state are left exactly as they were before setPin, so a mistyped PIN can
// never become the key of the next save.
//
// The PIN becomes bytes in the code page recorded in the header (see databaseCodePage), so the
// same PIN opens the file whatever the locale of the session.
class CFileTokenDB : public CTokenDB {
public:
    static constexpr std::size_t HeaderSize = 150;
    static constexpr std::size_t KeySize = 20;

    ~CFileTokenDB() override = default;

    // Reads the file at databasePath(""): the header always (when the file has one), then, with
    // a key, the archive. True only when the whole archive was read and its marker matched;
    // then the list and default index are replaced and the database is unlocked. A failed load
    // after setPin puts back the key that setPin replaced.
    bool load() override;

    // Why the last load could not read the file (std::errc::file_too_large beyond MaxFileSize),
    // or StoreError::NewerDatabase when the PIN was right but a newer version wrote the records;
    // empty when it was read, whatever the PIN.
    std::error_code readError() const { return m_readError; }

    // Atomically replaces the file with the header and the enciphered archive. Fails when
    // locked (nothing is touched) or on any failure (the old file stays), with the reason.
    SaveResult save() override;

    bool exists() override;

    // Derives the key from `pin`; the load that follows checks it. Always true.
    bool setPin(std::u16string_view pin) override;

    // WrongPin and nothing changed unless `oldPin` equals the accepted PIN; Unrepresentable and
    // nothing changed when the database's code page cannot hold `newPin`. Otherwise the new
    // PIN is accepted, the key derived from it and the file saved; when that save fails, the
    // old PIN and key are put back (the file on disk still opens with the old PIN): NotSaved.
    PinChange changePin(std::u16string_view oldPin, std::u16string_view newPin) override;

    // Whether `pin` gives the key in use, i.e. opens the unlocked database. Nothing changes.
    bool checkPin(std::u16string_view pin);

    // The code page the database's PIN is written in: the one recorded in the header, else (a
    // file from before the record, or none yet) the session's.
    unsigned databaseCodePage() const;
    // Whether a PIN can be chosen for this database without losing characters.
    bool pinRepresentable(std::u16string_view pin) const;

    bool readHeader(ByteReader& stream) override;
    bool writeHeader(ByteWriter& stream) override;

    // The per-machine text mixed into the key.
    virtual std::u16string keySalt() = 0;
    // `path` when not empty, else the database file's default path.
    virtual std::string databasePath(const std::string& path) = 0;

    // Forgets what the PIN opened: the key and the PIN are overwritten, the token list and a
    // waiting pack dropped; the next log-in loads the file again. Saves nothing.
    void lock();

    bool isUnlocked() const { return unlocked; }
    void markUnlocked() { unlocked = true; }

    // key := MD5 of the bytes of `pin` followed by keySalt() in databaseCodePage(), then
    // bytes 0-3 again.
    void deriveKey(std::u16string_view pin);

    using Key = std::array<std::uint8_t, KeySize>;
    // The key the archive is enciphered with, for checks of the derivation; never stored elsewhere.
    const Key& keyInUse() const { return key; }

    std::array<std::uint8_t, HeaderSize> header{1};

private:
    bool unlocked = false;
    Key key{};

    bool loadFile();
    SaveResult saveFile();
    Key keyFor(std::u16string_view pin);
    // Writes the session's code page into the header unless one is recorded already.
    void recordCodePage();

    // The key before the setPin of a log-in attempt still being checked by load.
    std::optional<Key> m_keyBeforeAttempt;
    std::error_code m_readError;
};
