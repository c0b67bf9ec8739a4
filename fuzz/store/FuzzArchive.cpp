// The database archive reader on arbitrary deciphered bytes. What it accepts must write back to
// an archive that reads the same again; read in pieces, the bytes must give the same result.
#include "store/FileTokenDB.h"
#include "store/TokenArchive.h"

#include <algorithm>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto contents = readTokenArchive({data, size}, DatabaseMarker);
    // Pieces of 1 to 64 bytes, chosen by the input's first byte.
    const std::size_t piece = size == 0 ? 1 : data[0] % 64 + 1;
    std::size_t at = 0;
    auto streamed = readTokenArchive(
        size,
        [&](std::span<std::uint8_t> into) {
            const std::size_t n = std::min({piece, into.size(), size - at});
            std::copy_n(data + at, n, into.data());
            at += n;
            return n;
        },
        DatabaseMarker);
    if (contents.has_value() != streamed.has_value())
        std::abort();
    if (!contents)
        return 0;
    std::vector<std::uint8_t> written;
    std::vector<std::uint8_t> writtenFromPieces;
    if (!writeTokenArchive(written, DatabaseMarker, contents->defaultIndex, contents->tokens) ||
        !writeTokenArchive(writtenFromPieces, DatabaseMarker, streamed->defaultIndex, streamed->tokens) ||
        writtenFromPieces != written)
        std::abort();
    auto again = readTokenArchive(written, DatabaseMarker);
    if (!again || again->tokens.size() != contents->tokens.size())
        std::abort();
    std::vector<std::uint8_t> rewritten;
    if (!writeTokenArchive(rewritten, DatabaseMarker, again->defaultIndex, again->tokens) ||
        rewritten != written)
        std::abort();
    return 0;
}
