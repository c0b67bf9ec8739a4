// Our SHA-1, HMAC-SHA1 and code generation beside OpenSSL's, in one run.
//
// The program runs twice: first as started (OpenSSL uses the CPU's SHA instructions when it has
// them), then it re-executes itself with OPENSSL_ia32cap=":~0x20000000", which masks those
// instructions, and repeats only OpenSSL's benchmarks. OpenSSL reads that variable when it
// loads, so it cannot be changed inside one process. Set OPENSSL_ia32cap yourself to get a
// single run with your own capability mask. Our own SHA-1 runs both ways in the first run: on the
// SHA instructions as the program chooses them ("Ours/") and on its portable code ("OursPortable/").
// liboath's HOTP is the second anchor for one code.

#include "engine/Hmac.h"
#include "engine/Md5.h"
#include "engine/Otp.h"
#include "engine/OtpToken.h"
#include "engine/Rc4.h"
#include "engine/Sha1.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#if VALDORIX_HAVE_LIBOATH
#include <liboath/oath.h>
#endif
#include <openssl/params.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr char MaskVariable[] = "OPENSSL_ia32cap";
constexpr char MaskShaInstructions[] = ":~0x20000000";

const std::string Key = "12345678901234567890";

std::vector<std::uint8_t> message(std::size_t length) {
    std::vector<std::uint8_t> bytes(length);
    for (std::size_t n = 0; n < length; ++n) {
        bytes[n] = static_cast<std::uint8_t>(n * 131 + 7);
    }
    return bytes;
}

void ourHmacSha1(benchmark::State& state) {
    std::uint8_t counter[8];
    putBigEndian64(1, counter);
    std::uint8_t mac[20];
    for (auto _ : state) {
        hmacSha1(Key.data(), Key.size(), counter, sizeof counter, mac, sizeof mac);
        benchmark::DoNotOptimize(mac);
        counter[7]++;
    }
}
BENCHMARK(ourHmacSha1)->Name("Ours/hmacSha1/8B");

// HMAC() fetches the algorithm on every call: what a simple caller of OpenSSL 3 pays.
void openSslHmacOneShot(benchmark::State& state) {
    std::uint8_t counter[8];
    putBigEndian64(1, counter);
    std::uint8_t mac[EVP_MAX_MD_SIZE];
    unsigned int macLength = 0;
    for (auto _ : state) {
        HMAC(EVP_sha1(), Key.data(), static_cast<int>(Key.size()), counter, sizeof counter, mac, &macLength);
        benchmark::DoNotOptimize(mac);
        counter[7]++;
    }
}
BENCHMARK(openSslHmacOneShot)->Name("OpenSsl/HMAC()-one-shot/8B");

struct MacFree {
    void operator()(EVP_MAC* mac) const { EVP_MAC_free(mac); }
};
struct MacContextFree {
    void operator()(EVP_MAC_CTX* context) const { EVP_MAC_CTX_free(context); }
};

// OpenSSL at its best: the algorithm fetched once and one context reused, keyed per code as
// ours is (the key schedule is part of every code).
class OpenSslHmac {
public:
    OpenSslHmac() : mac_(EVP_MAC_fetch(nullptr, "HMAC", nullptr)), context_(EVP_MAC_CTX_new(mac_.get())) {
        char digest[] = "SHA1";
        const OSSL_PARAM params[] = {OSSL_PARAM_construct_utf8_string(OSSL_MAC_PARAM_DIGEST, digest, 0),
                                     OSSL_PARAM_construct_end()};
        EVP_MAC_CTX_set_params(context_.get(), params);
    }

    void compute(const void* data, std::size_t length, std::uint8_t* out) {
        std::size_t outLength = 0;
        EVP_MAC_init(context_.get(), reinterpret_cast<const unsigned char*>(Key.data()), Key.size(), nullptr);
        EVP_MAC_update(context_.get(), static_cast<const unsigned char*>(data), length);
        EVP_MAC_final(context_.get(), out, &outLength, EVP_MAX_MD_SIZE);
    }

private:
    std::unique_ptr<EVP_MAC, MacFree> mac_;
    std::unique_ptr<EVP_MAC_CTX, MacContextFree> context_;
};

void openSslHmacSha1(benchmark::State& state) {
    OpenSslHmac hmac;
    std::uint8_t counter[8];
    putBigEndian64(1, counter);
    std::uint8_t mac[EVP_MAX_MD_SIZE];
    for (auto _ : state) {
        hmac.compute(counter, sizeof counter, mac);
        benchmark::DoNotOptimize(mac);
        counter[7]++;
    }
}
BENCHMARK(openSslHmacSha1)->Name("OpenSsl/HMAC-SHA1/8B");

void ourSha1(benchmark::State& state) {
    const auto data = message(static_cast<std::size_t>(state.range(0)));
    std::uint8_t digest[20];
    for (auto _ : state) {
        sha1(data.data(), data.size(), digest);
        benchmark::DoNotOptimize(digest);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(ourSha1)->Name("Ours/sha1")->Arg(64)->Arg(1024)->Arg(1 << 20);

// One HOTP code, six digits, from the key and the counter.
void ourHotp(benchmark::State& state) {
    std::uint64_t counter = 0;
    for (auto _ : state) {
        std::uint8_t moving[8];
        putBigEndian64(counter++, moving);
        benchmark::DoNotOptimize(generateOtp(Key.data(), Key.size(), moving, sizeof moving, 6, false, HashKind::Sha1));
    }
}
BENCHMARK(ourHotp)->Name("Ours/hotp-code");

// The same with the portable compression function, as on a processor without SHA instructions.
template <void (*Run)(benchmark::State&)>
void portable(benchmark::State& state) {
    sha1UseEngine(Sha1Engine::Portable);
    Run(state);
    sha1UseEngine(sha1HasShaInstructions() ? Sha1Engine::ShaInstructions : Sha1Engine::Portable);
}
BENCHMARK(portable<ourHmacSha1>)->Name("OursPortable/hmacSha1/8B");
BENCHMARK(portable<ourSha1>)->Name("OursPortable/sha1")->Arg(64)->Arg(1024)->Arg(1 << 20);
BENCHMARK(portable<ourHotp>)->Name("OursPortable/hotp-code");

#if VALDORIX_HAVE_LIBOATH
void oathHotp(benchmark::State& state) {
    oath_init();
    std::uint64_t counter = 0;
    char code[16];
    for (auto _ : state) {
        if (oath_hotp_generate(Key.data(), Key.size(), counter++, 6, false, OATH_HOTP_DYNAMIC_TRUNCATION, code) !=
            OATH_OK)
            state.SkipWithError("oath_hotp_generate failed");
        benchmark::DoNotOptimize(code);
    }
    oath_done();
}
BENCHMARK(oathHotp)->Name("Oath/oath_hotp_generate");
#endif

struct MdContextFree {
    void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};
struct MdFree {
    void operator()(EVP_MD* md) const { EVP_MD_free(md); }
};

void openSslSha1(benchmark::State& state) {
    const auto data = message(static_cast<std::size_t>(state.range(0)));
    std::unique_ptr<EVP_MD, MdFree> md(EVP_MD_fetch(nullptr, "SHA1", nullptr));
    std::unique_ptr<EVP_MD_CTX, MdContextFree> context(EVP_MD_CTX_new());
    std::uint8_t digest[EVP_MAX_MD_SIZE];
    unsigned int digestLength = 0;
    for (auto _ : state) {
        EVP_DigestInit_ex2(context.get(), md.get(), nullptr);
        EVP_DigestUpdate(context.get(), data.data(), data.size());
        EVP_DigestFinal_ex(context.get(), digest, &digestLength);
        benchmark::DoNotOptimize(digest);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(openSslSha1)->Name("OpenSsl/SHA-1")->Arg(64)->Arg(1024)->Arg(1 << 20);

// One Go press on an event token: two codes (primary and secondary key), counter advanced.
void ourComputeOtp(benchmark::State& state) {
    COtpToken token;
    token.kind = TokenKind::Event;
    token.setPrimaryKey(Key.data(), static_cast<int>(Key.size()));
    token.setSecondaryKey(Key.data(), static_cast<int>(Key.size()));
    for (auto _ : state) {
        OtpPair pair = token.computeOtp();
        benchmark::DoNotOptimize(pair);
    }
}
BENCHMARK(ourComputeOtp)->Name("Ours/computeOtp");

// The same work with OpenSSL's HMAC: two MACs, truncation and six zero-padded digits each.
void openSslComputeOtp(benchmark::State& state) {
    OpenSslHmac hmac;
    std::uint64_t counter = 0;
    for (auto _ : state) {
        std::uint8_t moving[8];
        putBigEndian64(counter++, moving);
        char codes[2][8];
        for (auto& code : codes) {
            std::uint8_t mac[EVP_MAX_MD_SIZE];
            hmac.compute(moving, sizeof moving, mac);
            const unsigned offset = mac[19] & 15;
            const std::uint32_t truncated = (std::uint32_t{mac[offset] & 0x7fu} << 24) |
                                            (std::uint32_t{mac[offset + 1]} << 16) |
                                            (std::uint32_t{mac[offset + 2]} << 8) | mac[offset + 3];
            std::snprintf(code, sizeof code, "%06u", truncated % 1000000u);
        }
        benchmark::DoNotOptimize(codes);
    }
}
BENCHMARK(openSslComputeOtp)->Name("OpenSsl/computeOtp-equivalent");

// One HOTP code with OpenSSL's HMAC, as ourHotp makes it.
void openSslHotp(benchmark::State& state) {
    OpenSslHmac hmac;
    std::uint64_t counter = 0;
    for (auto _ : state) {
        std::uint8_t moving[8];
        putBigEndian64(counter++, moving);
        std::uint8_t mac[EVP_MAX_MD_SIZE];
        hmac.compute(moving, sizeof moving, mac);
        const unsigned offset = mac[19] & 15;
        const std::uint32_t truncated = (std::uint32_t{mac[offset] & 0x7fu} << 24) |
                                        (std::uint32_t{mac[offset + 1]} << 16) |
                                        (std::uint32_t{mac[offset + 2]} << 8) | mac[offset + 3];
        char code[8];
        std::snprintf(code, sizeof code, "%06u", truncated % 1000000u);
        benchmark::DoNotOptimize(code);
    }
}
BENCHMARK(openSslHotp)->Name("OpenSsl/hotp-code");

// Context only: the digest and cipher the database and descriptor records use.
void ourMd5(benchmark::State& state) {
    const auto data = message(1 << 20);
    MD5 md5;
    std::uint8_t digest[16];
    for (auto _ : state) {
        md5.digest(data.data(), data.size(), digest);
        benchmark::DoNotOptimize(digest);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * (1 << 20));
}
BENCHMARK(ourMd5)->Name("Ours/MD5/1048576");

void ourRc4(benchmark::State& state) {
    auto data = message(1 << 20);
    Rc4State rc4;
    rc4Init(rc4, Key.data(), 16);
    for (auto _ : state) {
        rc4Crypt(rc4, data.data(), data.size());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * (1 << 20));
}
BENCHMARK(ourRc4)->Name("Ours/rc4Crypt/1048576");

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> originalArgs(argv, argv + argc);
    const char* mask = std::getenv(MaskVariable);
    const bool firstRun = mask == nullptr;
    benchmark::AddCustomContext(MaskVariable, firstRun ? "(unset: OpenSSL uses every CPU feature)" : mask);

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (!firstRun) {
        return 0;
    }

    std::printf("\n== again with %s=\"%s\" (SHA instructions masked), OpenSSL only\n", MaskVariable,
                MaskShaInstructions);
    std::fflush(stdout);
    setenv(MaskVariable, MaskShaInstructions, 1);
    std::vector<std::string> args = originalArgs;
    args.emplace_back("--benchmark_filter=^OpenSsl/");
    std::vector<char*> execArgs;
    for (auto& arg : args) {
        execArgs.push_back(arg.data());
    }
    execArgs.push_back(nullptr);
    execv("/proc/self/exe", execArgs.data());
    std::perror("re-executing with the SHA instructions masked");
    return 1;
}
