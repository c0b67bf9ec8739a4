#include "engine/TextDigest.h"

#include "engine/Md5.h"
#include "engine/Sha1.h"
#include "platform/CodePage.h"

#include <atomic>

namespace {

std::atomic<StringLookup> stringLookup{nullptr};

std::u16string resourceText(int id) {
    const StringLookup lookup = stringLookup.load();
    return lookup != nullptr ? lookup(id) : std::u16string();
}

} // namespace

void setStringLookup(StringLookup lookup) {
    stringLookup.store(lookup);
}

void md5OfText(std::u16string_view text, std::uint8_t* out16) {
    const std::string bytes = platform::toAnsi(text);
    MD5 md5;
    md5.digest(bytes.data(), bytes.size(), out16);
}

void sha1OfText(std::u16string_view text, std::uint8_t* out20) {
    const std::string bytes = platform::toAnsi(text);
    sha1(bytes.data(), bytes.size(), out20);
}

void md5OfText(int id, std::uint8_t* out16) {
    md5OfText(resourceText(id), out16);
}

void sha1OfText(int id, std::uint8_t* out20) {
    sha1OfText(resourceText(id), out20);
}
