#include "engine/Descriptor.h"

#include "engine/Md5.h"
#include "engine/OtpToken.h"
#include "engine/Rc4.h"
#include "engine/TextDigest.h"
#include "platform/CodePage.h"
#include "platform/Folders.h"
#include "platform/ReadFile.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <random>
#include <sys/random.h>
#include <unistd.h>

namespace {

constexpr const char* PackFileName = "TokenDescriptor.tok";
// Header (2 + 255) plus the largest record that the format can describe is far below this.
constexpr std::size_t MaxPackSize = 1 << 20;
constexpr std::size_t KeyLength = 20;

// Reads fields front to back without ever passing the end. The first read that does not fit
// fails the reader; later reads then fail too and return zero or empty values.
class RecordReader {
public:
    explicit RecordReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    explicit operator bool() const { return !failed_; }

    std::span<const std::uint8_t> bytes(std::size_t count) {
        if (failed_ || count > bytes_.size() - at_) {
            failed_ = true;
            return {};
        }
        const std::span<const std::uint8_t> field = bytes_.subspan(at_, count);
        at_ += count;
        return field;
    }

    std::uint8_t u8() { return static_cast<std::uint8_t>(bigEndian(1)); }
    std::uint16_t u16() { return static_cast<std::uint16_t>(bigEndian(2)); }
    std::uint32_t u32() { return static_cast<std::uint32_t>(bigEndian(4)); }

    // One length byte, then that many bytes of ANSI text.
    std::u16string string() {
        const std::span<const std::uint8_t> text = bytes(u8());
        return platform::fromAnsi(std::string_view(reinterpret_cast<const char*>(text.data()), text.size()));
    }

private:
    std::uint32_t bigEndian(std::size_t count) {
        std::uint32_t value = 0;
        for (std::uint8_t byte : bytes(count))
            value = value << 8 | byte;
        return value;
    }

    std::span<const std::uint8_t> bytes_;
    std::size_t at_ = 0;
    bool failed_ = false;
};

void rc4Decipher(const void* key, std::size_t keyLength, std::span<std::uint8_t> data) {
    Rc4State state;
    rc4Init(state, key, keyLength);
    rc4Crypt(state, data.data(), data.size());
}

// A random (version 4) UUID in its text form; when no random bytes can be had, the hexadecimal
// text of a clock-seeded pseudo-random number.
std::string newIconName() {
    std::uint8_t id[16];
    char text[40];
    if (::getrandom(id, sizeof id, 0) == static_cast<ssize_t>(sizeof id)) {
        id[6] = static_cast<std::uint8_t>((id[6] & 0x0f) | 0x40);
        id[8] = static_cast<std::uint8_t>((id[8] & 0x3f) | 0x80);
        std::snprintf(text, sizeof text,
                      "%02x%02x%02x%02x-%02x%02x-%02x%02x-%02x%02x-%02x%02x%02x%02x%02x%02x", id[0], id[1],
                      id[2], id[3], id[4], id[5], id[6], id[7], id[8], id[9], id[10], id[11], id[12], id[13],
                      id[14], id[15]);
    } else {
        std::mt19937_64 random(
            static_cast<std::uint64_t>(std::chrono::high_resolution_clock::now().time_since_epoch().count()));
        std::snprintf(text, sizeof text, "%llx", static_cast<unsigned long long>(random()));
    }
    return text;
}

// Writes the icon into the product folder; the path written, or empty text when writing failed.
std::u16string writeIconFile(std::span<const std::uint8_t> icon) {
    const std::string path = platform::productFolder() + "/" + newIconName() + ".ico";
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (!file)
        return {};
    file.write(reinterpret_cast<const char*>(icon.data()), static_cast<std::streamsize>(icon.size()));
    file.close();
    if (!file) {
        std::remove(path.c_str());
        return {};
    }
    return platform::utf8ToUtf16(path);
}

} // namespace

std::string descriptorFilePath() {
    return platform::productFolder() + "/" + PackFileName;
}

std::optional<std::vector<std::uint8_t>> readDescriptorFile() {
    std::error_code error;
    return platform::readRegularFile(descriptorFilePath(), MaxPackSize, error);
}

std::shared_ptr<COtpToken> decodeDescriptorFile(std::span<std::uint8_t> bytes, std::u16string_view code) {
    if (bytes.size() < 2)
        return nullptr;
    const std::uint8_t keyFlag = bytes[0];
    const std::size_t storedKeyLength = bytes[1];
    if (storedKeyLength > bytes.size() - 2)
        return nullptr;
    const std::span<std::uint8_t> record = bytes.subspan(2 + storedKeyLength);
    if (keyFlag != 0) {
        // RC4 needs a key of at least one byte.
        if (storedKeyLength == 0)
            return nullptr;
        rc4Decipher(bytes.data() + 2, storedKeyLength, record);
    } else {
        if (code.empty())
            return nullptr;
        std::uint8_t key[16];
        md5OfText(code, key);
        rc4Decipher(key, sizeof key, record);
    }
    return parseDescriptorRecord(record);
}

void deleteDescriptorFile() {
    ::unlink(descriptorFilePath().c_str());
}

std::shared_ptr<COtpToken> decryptDescriptor(std::string_view code, std::span<const std::uint8_t> bytes) {
    std::vector<std::uint8_t> record(bytes.begin(), bytes.end());
    std::uint8_t key[MD5::DigestLength];
    MD5().digest(code.data(), code.size(), key);
    rc4Decipher(key, sizeof key, record);
    return parseDescriptorRecord(record);
}

std::shared_ptr<COtpToken> parseDescriptorRecord(std::span<const std::uint8_t> record) {
    if (record.size() < 2 || record.front() != '{' || record.back() != '}')
        return nullptr;
    // The closing brace is not part of any field.
    RecordReader in(record.first(record.size() - 1));
    auto token = std::make_shared<COtpToken>();
    in.bytes(2); // "{" and a byte nobody reads
    token->kind = static_cast<TokenKind>(in.u8());
    token->counter = in.u32();
    token->interval = in.u16();
    token->goDelay = in.u16();
    token->digits = in.u8();
    const std::uint8_t flags = in.u8();
    token->checksum = (flags & 0x01) != 0;
    token->dualDisplay = (flags & 0x02) != 0;
    token->spareFlag = (flags & 0x04) != 0;
    token->syncCount = in.u8();
    token->expiryDate = in.u32();
    const std::span<const std::uint8_t> primaryKey = in.bytes(KeyLength);
    const std::span<const std::uint8_t> secondaryKey = in.bytes(KeyLength);
    token->serial = in.string();
    token->serviceUrl = in.string();
    token->tokenName = in.string();
    token->userName = in.string();
    token->application = in.string();
    token->appId = in.string();
    const std::span<const std::uint8_t> icon = in.bytes(in.u16());
    token->appUrl = in.string();
    token->ocraSuite = in.string();
    if (!in)
        return nullptr;

    token->setPrimaryKey(primaryKey.data(), static_cast<int>(primaryKey.size()));
    token->setSecondaryKey(secondaryKey.data(), static_cast<int>(secondaryKey.size()));
    // Written only once the whole record has been read, so a damaged record leaves no file.
    if (!icon.empty())
        token->iconFile = writeIconFile(icon);
    token->label = token->application + u":" + token->serial;
    return token;
}
