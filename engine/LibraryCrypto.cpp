#include "engine/LibraryCrypto.h"

#include <memory>
#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/params.h>

namespace {

const EVP_MD* digestAlgorithm(HashKind hash) {
    switch (hash) {
    case HashKind::Sha256:
        return EVP_sha256();
    case HashKind::Sha512:
        return EVP_sha512();
    case HashKind::Sha1:
        break;
    }
    return EVP_sha1();
}

// Fetched once: fetching is far dearer than a MAC over a few bytes. Freed by the library at exit.
EVP_MAC* hmacAlgorithm() {
    static EVP_MAC* const mac = EVP_MAC_fetch(nullptr, "HMAC", nullptr);
    return mac;
}

struct MacContextFree {
    void operator()(EVP_MAC_CTX* context) const { EVP_MAC_CTX_free(context); }
};

// OpenSSL wants a real pointer even for zero bytes (an empty HMAC key is valid).
const unsigned char* nonNull(const void* data) {
    static const unsigned char empty = 0;
    return data != nullptr ? static_cast<const unsigned char*>(data) : &empty;
}

} // namespace

std::vector<std::uint8_t> libraryHmac(HashKind hash, const void* key, std::size_t keyLength, const void* data,
                                      std::size_t dataLength) {
    EVP_MAC* mac = hmacAlgorithm();
    if (mac == nullptr) {
        return {};
    }
    std::unique_ptr<EVP_MAC_CTX, MacContextFree> context(EVP_MAC_CTX_new(mac));
    if (!context) {
        return {};
    }
    OSSL_PARAM params[] = {
        OSSL_PARAM_construct_utf8_string(OSSL_MAC_PARAM_DIGEST, const_cast<char*>(hashName(hash)), 0),
        OSSL_PARAM_construct_end(),
    };
    std::vector<std::uint8_t> out(EVP_MAX_MD_SIZE);
    std::size_t outLength = 0;
    if (EVP_MAC_init(context.get(), nonNull(key), keyLength, params) != 1 ||
        EVP_MAC_update(context.get(), nonNull(data), dataLength) != 1 ||
        EVP_MAC_final(context.get(), out.data(), &outLength, out.size()) != 1) {
        return {};
    }
    out.resize(outLength);
    return out;
}

std::vector<std::uint8_t> libraryDigest(HashKind hash, const void* data, std::size_t length) {
    std::vector<std::uint8_t> out(EVP_MAX_MD_SIZE);
    unsigned int outLength = 0;
    if (EVP_Digest(nonNull(data), length, out.data(), &outLength, digestAlgorithm(hash), nullptr) != 1) {
        return {};
    }
    out.resize(outLength);
    return out;
}
