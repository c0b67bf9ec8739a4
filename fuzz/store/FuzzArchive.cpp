// The database archive reader on arbitrary deciphered bytes. What it accepts must write back to
// an archive that reads the same again.
#include "store/FileTokenDB.h"
#include "store/TokenArchive.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto contents = readTokenArchive({data, size}, DatabaseMarker);
    if (!contents)
        return 0;
    std::vector<std::uint8_t> written;
    if (!writeTokenArchive(written, DatabaseMarker, contents->defaultIndex, contents->tokens))
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
