#include "engine/LibraryCrypto.h"

#include "platform/LibrarySymbols.h"

#include <dlfcn.h>
#include <memory>
#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/params.h>

namespace {

// OpenSSL's entry points, opened at the first SHA-256 or SHA-512 code instead of at process start:
// loading and relocating libcrypto costs a start-up more than anything else linked, for tokens
// most users never hold.
struct CryptoLibrary {
    decltype(&::EVP_sha1) sha1 = nullptr;
    decltype(&::EVP_sha256) sha256 = nullptr;
    decltype(&::EVP_sha512) sha512 = nullptr;
    decltype(&::EVP_Digest) digest = nullptr;
    decltype(&::EVP_MAC_fetch) macFetch = nullptr;
    decltype(&::EVP_MAC_CTX_new) macContextNew = nullptr;
    decltype(&::EVP_MAC_CTX_free) macContextFree = nullptr;
    decltype(&::EVP_MAC_init) macInit = nullptr;
    decltype(&::EVP_MAC_update) macUpdate = nullptr;
    decltype(&::EVP_MAC_final) macFinal = nullptr;
    decltype(&::OSSL_PARAM_construct_utf8_string) utf8Parameter = nullptr;
    decltype(&::OSSL_PARAM_construct_end) endParameter = nullptr;
    EVP_MAC* hmac = nullptr;
};

const CryptoLibrary* open() {
    // The soname of the OpenSSL 3 this program was built against.
    void* library = ::dlopen("libcrypto.so.3", RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr)
        return nullptr;
    static CryptoLibrary crypto;
    const bool complete =
        platform::resolveSymbol(library, "EVP_sha1", crypto.sha1) &&
        platform::resolveSymbol(library, "EVP_sha256", crypto.sha256) &&
        platform::resolveSymbol(library, "EVP_sha512", crypto.sha512) &&
        platform::resolveSymbol(library, "EVP_Digest", crypto.digest) &&
        platform::resolveSymbol(library, "EVP_MAC_fetch", crypto.macFetch) &&
        platform::resolveSymbol(library, "EVP_MAC_CTX_new", crypto.macContextNew) &&
        platform::resolveSymbol(library, "EVP_MAC_CTX_free", crypto.macContextFree) &&
        platform::resolveSymbol(library, "EVP_MAC_init", crypto.macInit) &&
        platform::resolveSymbol(library, "EVP_MAC_update", crypto.macUpdate) &&
        platform::resolveSymbol(library, "EVP_MAC_final", crypto.macFinal) &&
        platform::resolveSymbol(library, "OSSL_PARAM_construct_utf8_string", crypto.utf8Parameter) &&
        platform::resolveSymbol(library, "OSSL_PARAM_construct_end", crypto.endParameter);
    if (!complete)
        return nullptr;
    // Fetched once: fetching is far dearer than a MAC over a few bytes. Kept open, and the
    // algorithm with it, for the life of the process.
    crypto.hmac = crypto.macFetch(nullptr, "HMAC", nullptr);
    return &crypto;
}

const CryptoLibrary* cryptoLibrary() {
    static const CryptoLibrary* const library = open();
    return library;
}

const EVP_MD* digestAlgorithm(const CryptoLibrary& crypto, HashKind hash) {
    switch (hash) {
    case HashKind::Sha256:
        return crypto.sha256();
    case HashKind::Sha512:
        return crypto.sha512();
    case HashKind::Sha1:
        break;
    }
    return crypto.sha1();
}

// OpenSSL wants a real pointer even for zero bytes (an empty HMAC key is valid).
const unsigned char* nonNull(const void* data) {
    static const unsigned char empty = 0;
    return data != nullptr ? static_cast<const unsigned char*>(data) : &empty;
}

} // namespace

std::vector<std::uint8_t> libraryHmac(HashKind hash, const void* key, std::size_t keyLength, const void* data,
                                      std::size_t dataLength) {
    const CryptoLibrary* crypto = cryptoLibrary();
    if (crypto == nullptr || crypto->hmac == nullptr) {
        return {};
    }
    const auto freeContext = [crypto](EVP_MAC_CTX* context) { crypto->macContextFree(context); };
    std::unique_ptr<EVP_MAC_CTX, decltype(freeContext)> context(crypto->macContextNew(crypto->hmac),
                                                                freeContext);
    if (!context) {
        return {};
    }
    OSSL_PARAM params[] = {
        crypto->utf8Parameter(OSSL_MAC_PARAM_DIGEST, const_cast<char*>(hashName(hash)), 0),
        crypto->endParameter(),
    };
    std::vector<std::uint8_t> out(EVP_MAX_MD_SIZE);
    std::size_t outLength = 0;
    if (crypto->macInit(context.get(), nonNull(key), keyLength, params) != 1 ||
        crypto->macUpdate(context.get(), nonNull(data), dataLength) != 1 ||
        crypto->macFinal(context.get(), out.data(), &outLength, out.size()) != 1) {
        return {};
    }
    out.resize(outLength);
    return out;
}

std::vector<std::uint8_t> libraryDigest(HashKind hash, const void* data, std::size_t length) {
    const CryptoLibrary* crypto = cryptoLibrary();
    if (crypto == nullptr) {
        return {};
    }
    std::vector<std::uint8_t> out(EVP_MAX_MD_SIZE);
    unsigned int outLength = 0;
    if (crypto->digest(nonNull(data), length, out.data(), &outLength, digestAlgorithm(*crypto, hash),
                       nullptr) != 1) {
        return {};
    }
    out.resize(outLength);
    return out;
}
