#include "store/TokenArchive.h"

#include "store/ByteCursor.h"

#include <algorithm>
#include <functional>
#include <string>

namespace {

constexpr std::string_view Signature = "serialization::archive";
constexpr std::uint16_t NullClassId = 0xFFFF;
constexpr std::uint16_t TokenClassId = 2;
// Version 1 is every database of the kinds before the TOTP kind and other hashes; version 2
// adds the hash, and is written only when a token needs it, so older files stay byte for byte.
constexpr std::uint32_t TokenClassVersion = 1;
constexpr std::uint32_t HashTokenClassVersion = 2;
// The first field of a version 2 record. A reader of version 1 takes it for the label's length,
// which no file can hold, and refuses the file instead of reading the tokens without their hash.
constexpr std::uint32_t NewRecordTag = 0xFFFFFFFF;
constexpr std::size_t NewRecordFieldsSize = 4 + 4;
constexpr std::uint32_t SharedReferenceClassVersion = 1;

// Field widths that changed between library versions.
struct Widths {
    std::size_t classId;
    std::size_t classVersion;
    bool itemVersion;
};

Widths widthsFor(unsigned version) {
    Widths w{};
    w.classId = version <= 6 ? 4 : 2;
    if (version <= 2)
        w.classVersion = 4;
    else if (version <= 5)
        w.classVersion = 1;
    else if (version == 6)
        w.classVersion = 2;
    else if (version == 7)
        w.classVersion = 1;
    else
        w.classVersion = 4;
    w.itemVersion = version >= 4;
    return w;
}

// Bytes of the fixed fields after the two key buffers: two key lengths, expiry, digits,
// provisioned, kind, sync count, interval, counter, Go delay and three flags.
constexpr std::size_t NumbersSize = 4 + 4 + 8 + 4 + 4 + 4 + 4 + 4 + 8 + 4 + 3;
constexpr std::size_t KeyFieldSize = 4 + COtpToken::KeyCapacity;

std::size_t textSize(std::u16string_view text) {
    return 4 + 2 * text.size();
}

bool needsHashRecord(const COtpToken& t) {
    return t.hash != HashKind::Sha1 || t.kind == TokenKind::Totp;
}

std::size_t recordSize(const COtpToken& t, std::uint32_t classVersion) {
    return (classVersion >= HashTokenClassVersion ? NewRecordFieldsSize : 0) + textSize(t.label) + textSize(t.application) + textSize(t.appId) + textSize(t.serial) +
           textSize(t.tokenName) + textSize(t.userName) + textSize(t.appUrl) + textSize(t.serviceUrl) +
           textSize(t.iconFile) + 2 * KeyFieldSize + NumbersSize + textSize(t.ocraSuite);
}

template <class Writer>
void writeText(Writer& w, std::u16string_view text) {
    w.putU32(static_cast<std::uint32_t>(text.size()));
    w.putUtf16(text);
}

template <class Writer>
void writeRecord(Writer& w, const COtpToken& t, std::uint32_t classVersion) {
    if (classVersion >= HashTokenClassVersion) {
        w.putU32(NewRecordTag);
        w.putS32(static_cast<std::int32_t>(t.hash));
    }
    writeText(w, t.label);
    writeText(w, t.application);
    writeText(w, t.appId);
    writeText(w, t.serial);
    writeText(w, t.tokenName);
    writeText(w, t.userName);
    writeText(w, t.appUrl);
    writeText(w, t.serviceUrl);
    writeText(w, t.iconFile);
    w.putU32(COtpToken::KeyCapacity);
    w.putBytes(t.secondaryKey);
    w.putU32(COtpToken::KeyCapacity);
    w.putBytes(t.primaryKey);
    w.putS32(t.secondaryKeyLength);
    w.putS32(t.primaryKeyLength);
    w.putS64(t.expiryDate);
    w.putS32(t.digits);
    w.putS32(t.provisioned);
    w.putS32(static_cast<std::int32_t>(t.kind));
    w.putS32(t.syncCount);
    w.putS32(t.interval);
    w.putS64(t.counter);
    w.putS32(t.goDelay);
    w.putU8(t.checksum ? 1 : 0);
    w.putU8(t.dualDisplay ? 1 : 0);
    w.putU8(t.spareFlag ? 1 : 0);
    writeText(w, t.ocraSuite);
}

// Object ids of the records in a list: the first occurrence of a record gets the next id, a
// later one repeats it. An open-addressing table, as lists are long and repeats rare.
class RecordIds {
public:
    explicit RecordIds(std::size_t count) {
        std::size_t capacity = 16;
        while (capacity < 2 * count)
            capacity *= 2;
        slots_.resize(capacity);
    }

    // The record's id, and whether this is its first occurrence.
    std::pair<std::uint32_t, bool> idOf(const COtpToken* record) {
        const std::size_t mask = slots_.size() - 1;
        std::size_t at = (reinterpret_cast<std::uintptr_t>(record) >> 4) * 0x9E3779B97F4A7C15ull >> 20 & mask;
        for (;; at = (at + 1) & mask) {
            Slot& slot = slots_[at];
            if (slot.record == record)
                return {slot.id, false};
            if (slot.record == nullptr) {
                slot = {record, next_};
                return {next_++, true};
            }
        }
    }

private:
    struct Slot {
        const COtpToken* record = nullptr;
        std::uint32_t id = 0;
    };
    std::vector<Slot> slots_;
    std::uint32_t next_ = 0;
};

// Over a ByteReader (the archive whole in memory) or a StreamReader (the archive in pieces).
template <class Cursor>
class Reader {
public:
    explicit Reader(Cursor& in) : in_(in) {}

    std::optional<TokenArchiveContents> read(std::u16string_view marker);

    // The token class version is later than the reader knows.
    bool newerRecords() const { return newerRecords_; }

private:
    bool readPreamble();
    bool readText(std::u16string& text);
    bool readKey(COtpToken::KeyBuffer& key);
    bool readRecord(COtpToken& token, std::uint32_t classVersion);
    bool readElement(std::shared_ptr<COtpToken>& element, bool first);

    Cursor& in_;
    Widths widths_{};
    bool tokenClassSeen_ = false;
    bool tokenTracked_ = false;
    std::uint32_t tokenClassVersion_ = 0;
    bool newerRecords_ = false;
    std::vector<std::shared_ptr<COtpToken>> records_;
};

template <class Cursor>
bool Reader<Cursor>::readPreamble() {
    std::uint32_t length = 0;
    std::span<const std::uint8_t> signature;
    if (!in_.readU32(length) || length != Signature.size() || !in_.take(length, signature))
        return false;
    if (std::string_view(reinterpret_cast<const char*>(signature.data()), signature.size()) != Signature)
        return false;

    // The version field grew from one byte to two; version 7 exists in both forms.
    std::uint8_t version = 0;
    if (!in_.readU8(version) || version > TokenArchiveLibraryVersion)
        return false;
    if (version == 6 || version >= 8) {
        if (!in_.skip(1))
            return false;
    } else if (version == 7) {
        std::uint8_t next = 0;
        if (!in_.peekU8(next))
            return false;
        if (next == 0)
            in_.skip(1);
    }
    widths_ = widthsFor(version);

    std::uint8_t sizes[4] = {};
    for (std::uint8_t& size : sizes) {
        if (!in_.readU8(size))
            return false;
    }
    std::int32_t byteOrder = 0;
    if (!in_.readS32(byteOrder))
        return false;
    return sizes[0] == 4 && sizes[1] == 4 && sizes[2] == 4 && sizes[3] == 8 && byteOrder == 1;
}

template <class Cursor>
bool Reader<Cursor>::readText(std::u16string& text) {
    std::uint32_t count = 0;
    return in_.readU32(count) && in_.readUtf16(text, count);
}

template <class Cursor>
bool Reader<Cursor>::readKey(COtpToken::KeyBuffer& key) {
    std::uint32_t count = 0;
    std::span<const std::uint8_t> bytes;
    if (!in_.readU32(count) || count > key.size() || !in_.take(count, bytes))
        return false;
    std::copy(bytes.begin(), bytes.end(), key.begin());
    return true;
}

template <class Cursor>
bool Reader<Cursor>::readRecord(COtpToken& t, std::uint32_t classVersion) {
    if (classVersion >= HashTokenClassVersion) {
        std::uint32_t tag = 0;
        std::int32_t hash = 0;
        if (!in_.readU32(tag) || tag != NewRecordTag || !in_.readS32(hash) ||
            hash < static_cast<std::int32_t>(HashKind::Sha1) || hash > static_cast<std::int32_t>(HashKind::Sha512))
            return false;
        t.hash = static_cast<HashKind>(hash);
    }
    if (!(readText(t.label) && readText(t.application) && readText(t.appId) && readText(t.serial) &&
          readText(t.tokenName) && readText(t.userName) && readText(t.appUrl) && readText(t.serviceUrl) &&
          readText(t.iconFile) && readKey(t.secondaryKey) && readKey(t.primaryKey)))
        return false;

    std::span<const std::uint8_t> fixed;
    if (!in_.take(NumbersSize, fixed))
        return false;
    const std::uint8_t* p = fixed.data();
    auto s32 = [&p] {
        const auto value = static_cast<std::int32_t>(loadLittle<std::uint32_t>(p));
        p += 4;
        return value;
    };
    auto s64 = [&p] {
        const auto value = static_cast<std::int64_t>(loadLittle<std::uint64_t>(p));
        p += 8;
        return value;
    };
    t.secondaryKeyLength = s32();
    t.primaryKeyLength = s32();
    t.expiryDate = s64();
    t.digits = s32();
    t.provisioned = s32();
    t.kind = static_cast<TokenKind>(s32());
    t.syncCount = s32();
    t.interval = s32();
    t.counter = s64();
    t.goDelay = s32();
    // Any non-zero flag byte reads as set.
    t.checksum = p[0] != 0;
    t.dualDisplay = p[1] != 0;
    t.spareFlag = p[2] != 0;
    return classVersion < 1 || readText(t.ocraSuite);
}

template <class Cursor>
bool Reader<Cursor>::readElement(std::shared_ptr<COtpToken>& element, bool first) {
    if (first) {
        // The shared-reference type's preamble comes once, before the first element.
        std::uint8_t tracked = 0;
        std::uint32_t classVersion = 0;
        if (!in_.readU8(tracked) || !in_.readUnsigned(classVersion, widths_.classVersion))
            return false;
        std::uint32_t objectId = 0;
        if (tracked == 1 && !in_.readU32(objectId))
            return false;
    }

    std::uint32_t rawClassId = 0;
    if (!in_.readUnsigned(rawClassId, widths_.classId))
        return false;
    const auto classId = static_cast<std::uint16_t>(rawClassId);
    if (classId == NullClassId) {
        element = nullptr;
        return true;
    }
    if (classId != TokenClassId)
        return false;

    if (!tokenClassSeen_) {
        std::uint8_t tracked = 0;
        if (!in_.readU8(tracked) || !in_.readUnsigned(tokenClassVersion_, widths_.classVersion))
            return false;
        tokenTracked_ = tracked == 1;
        tokenClassSeen_ = true;
        if (tokenClassVersion_ > HashTokenClassVersion) {
            newerRecords_ = true;
            return false;
        }
    }

    if (tokenTracked_) {
        std::uint32_t objectId = 0;
        if (!in_.readU32(objectId))
            return false;
        if (objectId < records_.size()) {
            element = records_[objectId];
            return true;
        }
    }

    auto token = std::make_shared<COtpToken>();
    if (!readRecord(*token, tokenClassVersion_))
        return false;
    records_.push_back(token);
    element = std::move(token);
    return true;
}

template <class Cursor>
std::optional<TokenArchiveContents> Reader<Cursor>::read(std::u16string_view marker) {
    if (!readPreamble())
        return std::nullopt;

    std::u16string text;
    if (!readText(text) || text != marker)
        return std::nullopt;

    TokenArchiveContents contents;
    if (!in_.readS32(contents.defaultIndex))
        return std::nullopt;

    // The list type's preamble; the object id follows only when the writer tracked the list.
    std::uint8_t tracked = 0;
    std::uint32_t classVersion = 0;
    if (!in_.readU8(tracked) || !in_.readUnsigned(classVersion, widths_.classVersion))
        return std::nullopt;
    std::uint32_t objectId = 0;
    if (tracked == 1 && !in_.readU32(objectId))
        return std::nullopt;

    std::uint32_t count = 0;
    if (!in_.readU32(count))
        return std::nullopt;
    std::uint32_t itemVersion = 0;
    if (widths_.itemVersion && !in_.readU32(itemVersion))
        return std::nullopt;

    // Each element takes at least its class id, so a count the rest cannot hold fails here,
    // before the list is sized for it.
    if (count > in_.remaining() / widths_.classId)
        return std::nullopt;
    contents.tokens.reserve(count);
    for (std::uint32_t n = 0; n < count; ++n) {
        std::shared_ptr<COtpToken> element;
        if (!readElement(element, n == 0))
            return std::nullopt;
        contents.tokens.push_back(std::move(element));
    }
    return contents;
}

} // namespace

std::size_t tokenArchiveBound(const COtpToken& token) {
    return 2 + 4 + 1 + 4 + recordSize(token, HashTokenClassVersion);
}

TokenArchiveWriter::TokenArchiveWriter(std::u16string_view marker, std::int32_t defaultIndex,
                                       const std::vector<std::shared_ptr<COtpToken>>& tokens)
    : marker_(marker), defaultIndex_(defaultIndex), tokens_(tokens), ids_(tokens.size()) {
    // Each element's object id (NullId for a null reference, or with the top bit set for a
    // reference to a record already written) and the exact size of the archive.
    RecordIds records(tokens.size());
    std::size_t size = 4 + Signature.size() + 2 + 4 + 4 + textSize(marker) + 4 + 1 + 4 + 4 + 4;
    // The class version is written once, so one token that needs the newer record makes every
    // record of the archive the newer one.
    const bool anyNeedsHash = std::any_of(tokens.begin(), tokens.end(),
                                          [](const auto& token) { return token && needsHashRecord(*token); });
    classVersion_ = anyNeedsHash ? HashTokenClassVersion : TokenClassVersion;
    bool tokenClassSeen = false;
    for (std::size_t n = 0; n < tokens.size(); ++n) {
        if (n == 0)
            size += 1 + 4;
        const COtpToken* token = tokens[n].get();
        if (token == nullptr) {
            ids_[n] = NullId;
            size += 2;
            continue;
        }
        size += 2 + 4;
        if (!tokenClassSeen) {
            size += 1 + 4;
            tokenClassSeen = true;
        }
        const auto [id, isNew] = records.idOf(token);
        ids_[n] = isNew ? id : id | Repeat;
        if (isNew)
            size += recordSize(*token, classVersion_);
    }
    size_ = size;
}

template <class Writer>
void TokenArchiveWriter::write(Writer& w) const {
    w.putU32(static_cast<std::uint32_t>(Signature.size()));
    w.putBytes({reinterpret_cast<const std::uint8_t*>(Signature.data()), Signature.size()});
    w.putU16(TokenArchiveLibraryVersion);
    w.putU8(4); // int
    w.putU8(4); // long
    w.putU8(4); // float
    w.putU8(8); // double
    w.putS32(1);

    writeText(w, marker_);
    w.putS32(defaultIndex_);

    // The list: not tracked, class version 0, count, item version.
    w.putU8(0);
    w.putU32(0);
    w.putU32(static_cast<std::uint32_t>(tokens_.size()));
    w.putU32(SharedReferenceClassVersion);

    bool tokenClassSeen = false;
    for (std::size_t n = 0; n < tokens_.size(); ++n) {
        if (n == 0) {
            w.putU8(0);
            w.putU32(SharedReferenceClassVersion);
        }
        if (ids_[n] == NullId) {
            w.putU16(NullClassId);
            continue;
        }
        w.putU16(TokenClassId);
        if (!tokenClassSeen) {
            w.putU8(1);
            w.putU32(classVersion_);
            tokenClassSeen = true;
        }
        w.putU32(ids_[n] & ~Repeat);
        if ((ids_[n] & Repeat) == 0)
            writeRecord(w, *tokens_[n], classVersion_);
    }
}

bool TokenArchiveWriter::writeTo(std::vector<std::uint8_t>& out) const {
    FixedWriter w(ByteWriter(out).extend(size_));
    write(w);
    // The size counted above and the bytes written must agree; a mismatch is a bug, never a
    // half-written archive.
    return !w.overrun() && w.full();
}

bool TokenArchiveWriter::writeInPieces(std::span<std::uint8_t> buffer,
                                       const std::function<bool(std::span<std::uint8_t>)>& take) const {
    PieceWriter w(buffer, std::cref(take));
    write(w);
    return w.finish() && w.written() == size_;
}

bool writeTokenArchive(std::vector<std::uint8_t>& out, std::u16string_view marker, std::int32_t defaultIndex,
                       const std::vector<std::shared_ptr<COtpToken>>& tokens) {
    return TokenArchiveWriter(marker, defaultIndex, tokens).writeTo(out);
}

std::optional<TokenArchiveContents> readTokenArchive(std::span<const std::uint8_t> bytes,
                                                     std::u16string_view marker, bool* newerRecords) {
    ByteReader in(bytes);
    Reader reader(in);
    auto contents = reader.read(marker);
    if (newerRecords != nullptr)
        *newerRecords = reader.newerRecords();
    return contents;
}

std::optional<TokenArchiveContents> readTokenArchive(std::uint64_t size, const ArchiveSource& source,
                                                     std::u16string_view marker, bool* newerRecords) {
    std::vector<std::uint8_t> window(ArchiveWindowSize);
    StreamReader in(size, window, source);
    Reader reader(in);
    auto contents = reader.read(marker);
    if (newerRecords != nullptr)
        *newerRecords = reader.newerRecords();
    return contents;
}
