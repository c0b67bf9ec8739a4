#include "store/FileTokenDB.h"

#include "engine/Rc4.h"
#include "engine/TextDigest.h"
#include "store/ByteCursor.h"
#include "store/FileBytes.h"
#include "store/TokenArchive.h"

#include <algorithm>
#include <exception>
#include <sys/stat.h>

namespace {

void encipher(const std::array<std::uint8_t, CFileTokenDB::KeySize>& key, std::span<std::uint8_t> bytes) {
    Rc4State state{};
    rc4Init(state, key.data(), key.size());
    rc4Crypt(state, bytes.data(), bytes.size());
}

} // namespace

bool CFileTokenDB::load() {
    // The archive layer reports faults by result, but an allocation can still throw.
    try {
        return loadFile();
    } catch (const std::exception&) {
        return false;
    }
}

bool CFileTokenDB::loadFile() {
    auto file = readFileBytes(databasePath({}));
    if (!file)
        return false;
    ByteReader stream(*file);
    if (!readHeader(stream))
        return false;
    // Before any PIN only the header is wanted.
    if (std::all_of(key.begin(), key.end(), [](std::uint8_t b) { return b == 0; }))
        return false;

    std::span<std::uint8_t> archive = std::span(*file).subspan(stream.position());
    encipher(key, archive);
    auto contents = readTokenArchive(archive, DatabaseMarker);
    if (!contents)
        return false;
    defaultIndex = contents->defaultIndex;
    tokens = std::move(contents->tokens);
    unlocked = true;
    return true;
}

bool CFileTokenDB::save() {
    if (!unlocked)
        return false;
    try {
        return saveFile();
    } catch (const std::exception&) {
        return false;
    }
}

bool CFileTokenDB::saveFile() {
    std::vector<std::uint8_t> file;
    ByteWriter stream(file);
    if (!writeHeader(stream))
        return false;
    const std::size_t archiveStart = file.size();
    if (!writeTokenArchive(file, DatabaseMarker, defaultIndex, tokens))
        return false;
    encipher(key, std::span(file).subspan(archiveStart));
    return writeFileAtomically(databasePath({}), file);
}

bool CFileTokenDB::exists() {
    struct stat info {};
    return ::stat(databasePath({}).c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool CFileTokenDB::setPin(std::u16string_view newPin) {
    deriveKey(newPin);
    return true;
}

bool CFileTokenDB::changePin(std::u16string_view oldPin, std::u16string_view newPin) {
    if (oldPin != pin)
        return false;
    pin = newPin;
    deriveKey(newPin);
    save();
    return true;
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
    key.fill(0);
    std::u16string text(newPin);
    text += keySalt();
    md5OfText(text, key.data());
    std::copy_n(key.begin(), 4, key.begin() + 16);
}
