#include "store/FileTokenDB.h"

#include "engine/Md5.h"
#include "engine/Rc4.h"
#include "platform/CodePage.h"
#include "platform/ReadFile.h"
#include "store/ByteCursor.h"
#include "store/FileBytes.h"
#include "store/StoreError.h"
#include "store/TokenArchive.h"

#include <algorithm>
#include <exception>
#include <sys/stat.h>

namespace {

// The pieces a save enciphers and writes: small enough to stay in the cache and to be taken
// from memory the program already has, large enough that the system calls do not show.
constexpr std::size_t SavePieceSize = 256 * 1024;

// The header's code page record: "CP" at bytes 2-3, then the code page, 16-bit little-endian, at
// bytes 4-5. Older files have zeros there, which no reader of the header ever looked at.
constexpr std::size_t CodePageTag = 2;
constexpr std::size_t CodePageValue = 4;

template <class Array>
bool allZero(const Array& bytes) {
    return std::all_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b == 0; });
}

} // namespace

bool CFileTokenDB::load() {
    bool loaded = false;
    // The archive layer reports faults by result, but an allocation can still throw.
    try {
        loaded = loadFile();
    } catch (const std::exception&) {
        loaded = false;
    }
    if (!loaded && m_keyBeforeAttempt)
        key = *m_keyBeforeAttempt;
    m_keyBeforeAttempt.reset();
    if (loaded)
        recordCodePage();
    return loaded;
}

bool CFileTokenDB::loadFile() {
    m_readError.clear();
    // Before any PIN only the header is wanted, so the rest of the file is not read at all.
    if (allZero(key)) {
        if (auto head = platform::readFileHead(databasePath({}), HeaderSize, m_readError)) {
            ByteReader stream(*head);
            readHeader(stream);
        }
        return false;
    }

    const ReadableFile file(databasePath({}), m_readError);
    if (!file.isOpen())
        return false;
    std::array<std::uint8_t, HeaderSize> head{};
    const std::size_t headSize = file.readAt(0, head, m_readError);
    if (m_readError)
        return false;
    ByteReader stream(std::span<const std::uint8_t>(head).first(headSize));
    if (!readHeader(stream))
        return false;

    // The archive is read, deciphered and parsed a window at a time: a large file never has a
    // whole copy made in fresh memory, which costs more than the reading.
    Rc4State state{};
    rc4Init(state, key.data(), key.size());
    std::uint64_t offset = stream.position();
    const ArchiveSource source = [&](std::span<std::uint8_t> into) {
        const std::size_t got = file.readAt(offset, into, m_readError);
        rc4Crypt(state, into.data(), got);
        offset += got;
        return m_readError ? 0 : got;
    };
    bool newerRecords = false;
    auto contents = readTokenArchive(file.size() - stream.position(), source, DatabaseMarker, &newerRecords);
    if (!contents) {
        // The marker read right, so the PIN was right: say so rather than let it pass for a wrong PIN.
        if (newerRecords && !m_readError)
            m_readError = StoreError::NewerDatabase;
        return false;
    }
    defaultIndex = contents->defaultIndex;
    tokens = std::move(contents->tokens);
    unlocked = true;
    return true;
}

SaveResult CFileTokenDB::save() {
    if (!unlocked)
        return {databasePath({}), std::make_error_code(std::errc::operation_not_permitted)};
    try {
        return saveFile();
    } catch (const std::bad_alloc&) {
        return {databasePath({}), std::make_error_code(std::errc::not_enough_memory)};
    } catch (const std::exception&) {
        return {databasePath({}), std::make_error_code(std::errc::io_error)};
    }
}

SaveResult CFileTokenDB::saveFile() {
    const std::string path = databasePath({});
    std::vector<std::uint8_t> head;
    ByteWriter stream(head);
    if (!writeHeader(stream))
        return {path, std::make_error_code(std::errc::invalid_argument)};
    const TokenArchiveWriter archive(DatabaseMarker, defaultIndex, tokens);
    // The next start refuses a larger file: keep the last one it can read instead.
    if (head.size() + archive.size() > MaxFileSize)
        return {path, std::make_error_code(std::errc::file_too_large)};
    // The archive is enciphered and written a piece at a time: a large list never has a whole
    // copy of itself made in fresh memory, which costs more than the writing.
    return {path, writeFileAtomically(path, [&](const FilePieceWriter& write) -> std::error_code {
                if (auto error = write(head))
                    return error;
                Rc4State state{};
                rc4Init(state, key.data(), key.size());
                std::vector<std::uint8_t> buffer(SavePieceSize);
                std::error_code error;
                const bool written = archive.writeInPieces(buffer, [&](std::span<std::uint8_t> piece) {
                    rc4Crypt(state, piece.data(), piece.size());
                    error = write(piece);
                    return !error;
                });
                if (error)
                    return error;
                return written ? std::error_code{} : std::make_error_code(std::errc::invalid_argument);
            })};
}

bool CFileTokenDB::exists() {
    struct stat info {};
    return ::stat(databasePath({}).c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool CFileTokenDB::setPin(std::u16string_view newPin) {
    // Two setPin calls before a load still go back to the key of before the first.
    if (!m_keyBeforeAttempt)
        m_keyBeforeAttempt = key;
    deriveKey(newPin);
    return true;
}

void CFileTokenDB::lock() {
    key.fill(0);
    if (m_keyBeforeAttempt)
        m_keyBeforeAttempt->fill(0);
    m_keyBeforeAttempt.reset();
    tokens.clear();
    defaultIndex = 0;
    pendingPack.reset();
    unlocked = false;
}

PinChange CFileTokenDB::changePin(std::u16string_view oldPin, std::u16string_view newPin) {
    // The old PIN is checked by deriving its key again: no PIN text is kept. A store without a key
    // yet (the first PIN) takes the empty old PIN.
    if (!(allZero(key) ? oldPin.empty() : checkPin(oldPin)))
        return {PinChange::WrongPin, {}};
    const auto oldHeader = header;
    recordCodePage();
    if (!pinRepresentable(newPin)) {
        header = oldHeader;
        return {PinChange::Unrepresentable, {}};
    }
    const Key oldKey = key;
    deriveKey(newPin);
    SaveResult saved = save();
    if (!saved) {
        // The file on disk still opens with the old PIN; keep saving under it.
        key = oldKey;
        header = oldHeader;
    }
    if (!saved)
        return {PinChange::NotSaved, std::move(saved)};
    return {PinChange::Changed, {}};
}

bool CFileTokenDB::checkPin(std::u16string_view candidate) {
    if (!unlocked || allZero(key))
        return false;
    const Key derived = keyFor(candidate);
    // Compared in full whatever the first difference, like any secret.
    std::uint8_t difference = 0;
    for (std::size_t i = 0; i < KeySize; ++i)
        difference |= derived[i] ^ key[i];
    return difference == 0;
}

unsigned CFileTokenDB::databaseCodePage() const {
    if (header[CodePageTag] == 'C' && header[CodePageTag + 1] == 'P') {
        const unsigned recorded = header[CodePageValue] | (unsigned(header[CodePageValue + 1]) << 8);
        if (platform::isKnownCodePage(recorded))
            return recorded;
    }
    return platform::activeCodePage();
}

bool CFileTokenDB::pinRepresentable(std::u16string_view candidate) const {
    return platform::representable(candidate, databaseCodePage());
}

void CFileTokenDB::recordCodePage() {
    const unsigned codePage = databaseCodePage();
    header[CodePageTag] = 'C';
    header[CodePageTag + 1] = 'P';
    header[CodePageValue] = static_cast<std::uint8_t>(codePage & 0xFF);
    header[CodePageValue + 1] = static_cast<std::uint8_t>(codePage >> 8);
}

bool CFileTokenDB::readHeader(ByteReader& stream) {
    std::span<const std::uint8_t> bytes;
    if (!stream.take(HeaderSize, bytes))
        return false;
    std::copy(bytes.begin(), bytes.end(), header.begin());
    return true;
}

bool CFileTokenDB::writeHeader(ByteWriter& stream) {
    stream.putBytes(header);
    return true;
}

void CFileTokenDB::deriveKey(std::u16string_view newPin) {
    key = keyFor(newPin);
}

CFileTokenDB::Key CFileTokenDB::keyFor(std::u16string_view candidate) {
    Key derived{};
    std::u16string text(candidate);
    text += keySalt();
    std::string bytes = platform::toAnsi(text, databaseCodePage());
    MD5().digest(bytes.data(), bytes.size(), derived.data());
    std::fill(text.begin(), text.end(), u'\0');
    std::fill(bytes.begin(), bytes.end(), '\0');
    std::copy_n(derived.begin(), 4, derived.begin() + 16);
    return derived;
}
