#include "store/TokenList.h"

#include "platform/CodePage.h"
#include "store/CsvSplit.h"
#include "store/FileBytes.h"
#include "store/SeedCode.h"

#include <algorithm>

std::shared_ptr<COtpToken> CTokenList::tokenAt(int index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= tokens.size())
        return nullptr;
    return tokens[static_cast<std::size_t>(index)];
}

std::shared_ptr<COtpToken> CTokenList::defaultToken() {
    if (tokens.empty())
        return nullptr;
    const auto last = static_cast<std::uint32_t>(tokens.size() - 1);
    if (static_cast<std::uint32_t>(defaultIndex) >= last)
        defaultIndex = static_cast<std::int32_t>(last);
    return tokenAt(defaultIndex);
}

bool CTokenList::setDefaultIndex(int index) {
    defaultIndex = index;
    return true;
}

void CTokenList::addToken(std::shared_ptr<COtpToken> token, bool replace) {
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

void CTokenList::deleteToken(int index) {
    if (index < 0 || static_cast<std::size_t>(index) >= tokens.size())
        return;
    tokens.erase(tokens.begin() + index);
}

void CTokenList::deleteTokens(std::span<const int> indexes) {
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

std::shared_ptr<COtpToken> CTokenList::createTokenFromSeed(std::u16string_view name, std::u16string_view serial,
                                                         std::u16string_view seed) {
    auto token = tokenFromSeed(name, serial, seed);
    if (!token)
        return nullptr;
    tokens.push_back(token);
    defaultIndex = static_cast<std::int32_t>(tokens.size() - 1);
    return token;
}

std::shared_ptr<COtpToken> CTokenList::importCsv(const std::string& path) {
    std::error_code ignored;
    return importCsv(path, ignored);
}

std::shared_ptr<COtpToken> CTokenList::importCsv(const std::string& path, std::error_code& readError,
                                               CsvImportReport* report) {
    const auto bytes = readFileBytes(path, readError);
    if (!bytes)
        return nullptr;
    return importCsvData({reinterpret_cast<const char*>(bytes->data()), bytes->size()}, report);
}

std::shared_ptr<COtpToken> CTokenList::importCsvData(std::string_view bytes, CsvImportReport* report) {
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
