#include "store/TokenDB.h"

#include "engine/Descriptor.h"
#include "platform/CodePage.h"
#include "store/ByteCursor.h"
#include "store/CsvSplit.h"
#include "store/FileBytes.h"
#include "store/SeedCode.h"

#include <algorithm>

bool CTokenDB::readHeader(ByteReader&) {
    return true;
}

bool CTokenDB::writeHeader(ByteWriter&) {
    return true;
}

std::shared_ptr<COtpToken> CTokenDB::tokenAt(int index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= tokens.size())
        return nullptr;
    return tokens[static_cast<std::size_t>(index)];
}

std::shared_ptr<COtpToken> CTokenDB::defaultToken() {
    if (tokens.empty())
        return nullptr;
    const auto last = static_cast<std::uint32_t>(tokens.size() - 1);
    if (static_cast<std::uint32_t>(defaultIndex) >= last)
        defaultIndex = static_cast<std::int32_t>(last);
    return tokenAt(defaultIndex);
}

bool CTokenDB::setDefaultIndex(int index) {
    defaultIndex = index;
    return true;
}

void CTokenDB::addToken(std::shared_ptr<COtpToken> token, bool replace) {
    if (!token)
        return;
    auto same = std::find_if(tokens.begin(), tokens.end(),
                             [&](const std::shared_ptr<COtpToken>& t) { return t && t->sameToken(*token); });
    if (same != tokens.end()) {
        if (!replace)
            return;
        tokens.erase(same);
    }
    tokens.push_back(std::move(token));
}

void CTokenDB::deleteToken(int index) {
    if (index < 0 || static_cast<std::size_t>(index) >= tokens.size())
        return;
    tokens.erase(tokens.begin() + index);
}

void CTokenDB::deleteTokens(std::span<const int> indexes) {
    std::vector<bool> doomed(tokens.size());
    for (int index : indexes) {
        if (index >= 0 && static_cast<std::size_t>(index) < tokens.size())
            doomed[static_cast<std::size_t>(index)] = true;
    }
    // remove_if looks at each element once, in order, before anything moves into its place.
    const std::shared_ptr<COtpToken>* first = tokens.data();
    tokens.erase(std::remove_if(tokens.begin(), tokens.end(),
                                [&](const std::shared_ptr<COtpToken>& token) {
                                    return doomed[static_cast<std::size_t>(&token - first)];
                                }),
                 tokens.end());
}

std::shared_ptr<COtpToken> CTokenDB::createTokenFromSeed(std::u16string_view name, std::u16string_view serial,
                                                         std::u16string_view seed) {
    auto token = tokenFromSeed(name, serial, seed);
    if (!token)
        return nullptr;
    tokens.push_back(token);
    defaultIndex = static_cast<std::int32_t>(tokens.size() - 1);
    return token;
}

std::shared_ptr<COtpToken> CTokenDB::importCsv(const std::string& path) {
    std::error_code ignored;
    return importCsv(path, ignored);
}

std::shared_ptr<COtpToken> CTokenDB::importCsv(const std::string& path, std::error_code& readError,
                                               CsvImportReport* report) {
    const auto bytes = readFileBytes(path, readError);
    if (!bytes)
        return nullptr;
    return importCsvData({reinterpret_cast<const char*>(bytes->data()), bytes->size()}, report);
}

std::shared_ptr<COtpToken> CTokenDB::importCsvData(std::string_view bytes, CsvImportReport* report) {
    if (bytes.starts_with("\xEF\xBB\xBF"))
        bytes.remove_prefix(3);
    bytes = bytes.substr(0, bytes.find('\0'));
    const std::u16string text = platform::utf8ToUtf16(bytes);

    std::shared_ptr<COtpToken> last;
    std::vector<std::u16string_view> fields;
    std::size_t lineNumber = 0;
    const auto skip = [&](CsvImportReport::Reason reason) {
        if (report)
            report->skipped.push_back({lineNumber, reason});
    };
    CsvReader reader(text);
    for (std::u16string_view line; reader.next(line, fields);) {
        ++lineNumber;
        if (fields.empty())
            continue;
        if (fields.size() != 3) {
            skip(CsvImportReport::NotThreeFields);
            continue;
        }
        auto token = createTokenFromSeed(fields[2], fields[0], fields[1]);
        if (!token) {
            skip(CsvImportReport::InvalidSeed);
            continue;
        }
        last = std::move(token);
        if (report)
            ++report->added;
    }
    return last;
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
