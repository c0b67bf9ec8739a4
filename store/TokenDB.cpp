#include "store/TokenDB.h"

#include "engine/Descriptor.h"
#include "store/ByteCursor.h"

bool CTokenDB::readHeader(ByteReader&) {
    return true;
}

bool CTokenDB::writeHeader(ByteWriter&) {
    return true;
}

namespace {

// Saves the store after a pack's token was added; the pack goes only once the token is on disk.
PackOutcome keepPackToken(CTokenDB& store, std::shared_ptr<COtpToken> token) {
    store.pendingPack = nullptr;
    store.addToken(std::move(token), false);
    PackOutcome outcome{PackInstalled, store.save()};
    if (outcome.saved)
        deleteDescriptorFile();
    return outcome;
}

} // namespace

PackOutcome CTokenDB::checkTokenPack() {
    auto bytes = readDescriptorFile();
    if (!bytes)
        return {NoPack, {}};
    auto pack = std::make_shared<std::vector<std::uint8_t>>(std::move(*bytes));
    // The decoder deciphers in place (with the pack's own key, when it carries one); the waiting
    // bytes must stay as they were read.
    std::vector<std::uint8_t> attempt = *pack;
    if (auto token = decodeDescriptorFile(attempt, u""))
        return keepPackToken(*this, std::move(token));
    pendingPack = std::move(pack);
    return {PackPending, {}};
}

PackOutcome CTokenDB::activateTokenPack(std::u16string_view code) {
    if (!pendingPack)
        return {NoPack, {}};
    // The decoder deciphers in place; a copy keeps the waiting bytes intact for the next code.
    std::vector<std::uint8_t> attempt = *pendingPack;
    auto token = decodeDescriptorFile(attempt, code);
    if (!token)
        return {PackPending, {}};
    return keepPackToken(*this, std::move(token));
}
