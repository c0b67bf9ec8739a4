#include "store/TokenList.h"

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

std::shared_ptr<COtpToken> CTokenList::appendImported(std::vector<std::shared_ptr<COtpToken>> imported) {
    if (imported.empty())
        return nullptr;
    tokens.reserve(tokens.size() + imported.size());
    for (std::shared_ptr<COtpToken>& token : imported)
        tokens.push_back(std::move(token));
    defaultIndex = static_cast<std::int32_t>(tokens.size() - 1);
    return tokens.back();
}

void CTokenList::keepFirst(std::size_t count) {
    if (count < tokens.size())
        tokens.resize(count);
}

std::shared_ptr<COtpToken> CTokenList::importCsv(const std::string& path, std::error_code& readError,
                                               ImportReport* report) {
    CsvImport read = readCsvTokens(path);
    readError = read.readError;
    if (readError)
        return nullptr;
    if (report)
        *report = std::move(read.report);
    return appendImported(std::move(read.tokens));
}

std::shared_ptr<COtpToken> CTokenList::importCsvData(std::string_view bytes, ImportReport* report) {
    std::vector<std::shared_ptr<COtpToken>> imported;
    CsvTokenStream stream(report);
    stream.feed(bytes, imported);
    stream.finish(imported);
    if (report)
        report->added += imported.size();
    return appendImported(std::move(imported));
}
