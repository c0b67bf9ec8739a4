#pragma once

#include "engine/OtpToken.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

// The deciphered archive of the database file: a binary serialization archive of three items,
// the marker text, the default index and the list of shared token references. Written and read
// directly from its byte layout, so the files match those of the serialization library that the
// format comes from.
struct TokenArchiveContents {
    std::int32_t defaultIndex = 0;
    // Null entries are kept; an entry may share its record with an earlier one.
    std::vector<std::shared_ptr<COtpToken>> tokens;
};

// The library version this writer produces.
constexpr std::uint16_t TokenArchiveLibraryVersion = 14;

// Appends the archive (library version 14) to `out`. The token class version is 1, or 2 (records
// with the hash) when a token has a hash other than SHA-1 or is of the TOTP kind. A record that
// the list holds more than once is written once and referred to by its object id afterwards.
// False only if the bytes written differ from the size counted beforehand (a bug, not input).
bool writeTokenArchive(std::vector<std::uint8_t>& out, std::u16string_view marker, std::int32_t defaultIndex,
                       const std::vector<std::shared_ptr<COtpToken>>& tokens);

// The same archive, its records numbered and its exact size counted when made, written whole
// or in pieces. It refers to `marker` and `tokens`, which must outlive it unchanged.
class TokenArchiveWriter {
public:
    TokenArchiveWriter(std::u16string_view marker, std::int32_t defaultIndex,
                       const std::vector<std::shared_ptr<COtpToken>>& tokens);

    std::size_t size() const { return size_; }

    // As writeTokenArchive.
    bool writeTo(std::vector<std::uint8_t>& out) const;

    // The archive handed to `take` in consecutive pieces, each written into `buffer` and as long
    // as it (the last one shorter), so the whole archive is never in memory at once. False when
    // `take` returns false (nothing more is handed over), `buffer` is empty, or the size differs
    // from the count.
    bool writeInPieces(std::span<std::uint8_t> buffer,
                       const std::function<bool(std::span<std::uint8_t>)>& take) const;

private:
    static constexpr std::uint32_t NullId = 0xFFFFFFFF;
    static constexpr std::uint32_t Repeat = 0x80000000;

    template <class Writer>
    void write(Writer& w) const;

    std::u16string_view marker_;
    std::int32_t defaultIndex_;
    const std::vector<std::shared_ptr<COtpToken>>& tokens_;
    std::vector<std::uint32_t> ids_;
    std::size_t size_ = 0;
    std::uint32_t classVersion_ = 0;
};

// The most bytes `token` can add to an archive as a new element (the newer record form, the class
// header counted too). A sum over a list bounds its archive before anything is written.
std::size_t tokenArchiveBound(const COtpToken& token);

// Reads an archive of any library version up to 14. Returns nothing on the first fault: wrong
// signature, version, native sizes or byte order, a first item other than `marker`, an unknown
// class id or token class version above 2, an unknown hash, a key count above 128, or any field
// or length that runs past the end of `bytes`.
// Nothing is allocated for a length before the bytes it asks for are known to be there.
// Bytes after the last token are ignored.
// `newerRecords`, when given, is set when the marker matched but the token records are of a
// later class version than this reader knows (a newer program wrote them).
std::optional<TokenArchiveContents> readTokenArchive(std::span<const std::uint8_t> bytes,
                                                     std::u16string_view marker, bool* newerRecords = nullptr);

// Puts the archive's next bytes into the span it is given and returns how many, 0 at the end or
// on a failure.
using ArchiveSource = std::function<std::size_t(std::span<std::uint8_t>)>;

// The bytes of the window through which a streamed archive is read.
inline constexpr std::size_t ArchiveWindowSize = 256 * 1024;

// The same, reading an archive of `size` bytes from `source` a window at a time, so it is never
// whole in memory. Reads and refuses exactly what the other form does; a source that gives out
// early fails the read as the end of the bytes would.
std::optional<TokenArchiveContents> readTokenArchive(std::uint64_t size, const ArchiveSource& source,
                                                     std::u16string_view marker, bool* newerRecords = nullptr);
