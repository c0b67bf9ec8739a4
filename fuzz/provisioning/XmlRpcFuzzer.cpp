// Server replies are outside bytes: the value reader, the entity decoder and the Base64 decoder
// must take anything without crashing. The one exception allowed out of readXml is the range
// error for a character reference beyond Unicode.
#include "provisioning/XmlRpcUtil.h"
#include "provisioning/XmlRpcValue.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>

using namespace XmlRpc;

namespace {

bool isBadConversion(const std::range_error& e) {
    return std::strcmp(e.what(), "bad conversion") == 0;
}

void check(bool condition) {
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);

    // Values one after another, as the parameters of a reply follow each other, from the first
    // <value> on (a whole reply is a good seed).
    std::size_t offset = text.find("<value>");
    if (offset == std::string::npos)
        offset = 0;
    for (int i = 0; i < 4; ++i) {
        XmlRpcVariant value("previous");
        const std::size_t before = offset;
        try {
            if (!value.readXml(text, offset)) {
                check(!value.isValid() && offset == before);
                break;
            }
            check(value.isValid() && offset > before && offset <= text.size());
            // A parsed value writes, and what it writes reads again; dates are the exception,
            // as a year below 1000 is written padded with spaces that "%4d" does not read back.
            const std::string xml = value.writeXml();
            XmlRpcVariant again;
            std::size_t start = 0;
            const bool reread = again.readXml(xml, start) && start == xml.size();
            check(reread || xml.find("<dateTime.iso8601>") != std::string::npos);
        } catch (const std::range_error& e) {
            check(isBadConversion(e));
            break;
        }
    }

    try {
        const std::string decoded = decodeEntities(text);
        check(decodeEntities(encodeEntities(decoded)) == decoded);
    } catch (const std::range_error& e) {
        check(isBadConversion(e));
    }

    const BinaryData bytes = base64Decode(text);
    check(bytes.size() <= size / 4 * 3 + 2);
    check(base64Decode(base64Encode(bytes)) == bytes);
    return 0;
}
