#pragma once

#include "engine/OtpToken.h"
#include "store/SaveResult.h"
#include "store/TokenList.h"

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

// The token database: the token list, its persistence, and a token pack that waits for its
// authorisation code.
//
// Single-threaded: the store takes no lock. The UI thread owns it; a downloaded token is handed
// to the UI thread and added and saved there.
//
// The data members are the database's state as the pages see it: pages read `tokens`, and
// change the list only through the operations below.
class CTokenDB : public CTokenList {
public:
    virtual bool load() = 0;
    virtual SaveResult save() = 0;
    virtual bool exists() = 0;
    virtual bool setPin(std::u16string_view pin) = 0;
    virtual PinChange changePin(std::u16string_view oldPin, std::u16string_view newPin) = 0;
    // The plain file header around the archive; none at this level.
    virtual bool readHeader(ByteReader& stream);
    virtual bool writeHeader(ByteWriter& stream);

    // Looks for the token pack file: absent or unreadable gives NoPack; a pack that decodes
    // without a code is added (unless the list has that token), saved and, once saved, deleted;
    // otherwise its bytes wait in `pendingPack` for activateTokenPack.
    PackOutcome checkTokenPack();

    // Decodes the waiting pack with `code`: NoPack when none waits; PackInstalled when it yields
    // a token (added unless present, saved, pack file deleted once saved); PackPending for a
    // wrong code. A wrong code leaves the waiting bytes as they were.
    PackOutcome activateTokenPack(std::u16string_view code);

    std::shared_ptr<std::vector<std::uint8_t>> pendingPack;
};
