// Arbitrary bytes as a picture file someone imports: sniffing, the size bounds, Qt's PNG and JPEG
// decoders and the QR reader on whatever decodes.
#include "fuzz/PngChecksums.h"
#include "qr/QrCodes.h"

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::uint8_t> bytes(data, data + size);
    // Odd sizes keep the checksums as they came, so a refused checksum is fuzzed too.
    if (size % 2 == 0)
        fixPngChecksums(bytes);
    const QrFileResult result =
        readQrCodesFromBytes(QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size())),
                             QStringLiteral("fuzz.png"));
    // Either codes or a reason, never both and never neither.
    if (result.texts.empty() == result.error.isEmpty())
        __builtin_trap();
    return 0;
}
