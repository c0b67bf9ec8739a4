// Descriptor records and token pack files from arbitrary bytes. The first byte picks the entry:
//   0: parseDescriptorRecord(rest)
//   1: decodeDescriptorFile(pack, code); rest = code length, code (ANSI), pack bytes
//   2: a pack with a stored key built around a plain record; rest = key length, key, record
//   3: decryptDescriptor(code, secret); rest = code length, code, secret
// Icon files land in a temporary product folder and are removed after each input.
#include "engine/Descriptor.h"
#include "engine/OtpToken.h"
#include "engine/Rc4.h"
#include "platform/CodePage.h"
#include "platform/Folders.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace {

struct Input {
    const std::uint8_t* data;
    std::size_t size;

    std::string_view take(std::size_t count) {
        count = std::min(count, size);
        std::string_view part(reinterpret_cast<const char*>(data), count);
        data += count;
        size -= count;
        return part;
    }
    std::size_t byte() { return size > 0 ? static_cast<std::uint8_t>(take(1)[0]) : 0; }
    std::vector<std::uint8_t> rest() { return {data, data + size}; }
};

void check(const std::shared_ptr<COtpToken>& token) {
    if (!token)
        return;
    if (token->label != token->application + u":" + token->serial || token->primaryKeyLength != 20 ||
        token->secondaryKeyLength != 20)
        __builtin_trap();
    if (!token->iconFile.empty())
        ::unlink(platform::utf16ToUtf8(token->iconFile).c_str());
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    static char folder[] = "/tmp/valdorix-fuzz-descriptor-XXXXXX";
    if (::mkdtemp(folder) == nullptr)
        std::abort();
    ::setenv("XDG_DATA_HOME", folder, 1);
    std::atexit([] { std::filesystem::remove_all(folder); });
    platform::setCodePageForTesting(1252);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Input in{data, size};
    switch (in.byte() % 4) {
    case 0: {
        const std::vector<std::uint8_t> record = in.rest();
        check(parseDescriptorRecord(record));
        break;
    }
    case 1: {
        const std::u16string code = platform::fromAnsi(in.take(in.byte()));
        std::vector<std::uint8_t> pack = in.rest();
        check(decodeDescriptorFile(pack, code));
        break;
    }
    case 2: {
        const std::string_view key = in.take(in.byte());
        std::vector<std::uint8_t> record = in.rest();
        Rc4State state;
        rc4Init(state, key.data(), key.size());
        rc4Crypt(state, record.data(), record.size());
        std::vector<std::uint8_t> pack{1, static_cast<std::uint8_t>(key.size())};
        pack.insert(pack.end(), key.begin(), key.end());
        pack.insert(pack.end(), record.begin(), record.end());
        check(decodeDescriptorFile(pack, u""));
        break;
    }
    default: {
        const std::string_view code = in.take(in.byte());
        const std::vector<std::uint8_t> secret = in.rest();
        check(decryptDescriptor(code, secret));
        break;
    }
    }
    return 0;
}
