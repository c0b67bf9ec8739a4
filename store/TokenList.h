#pragma once

#include "engine/OtpToken.h"
#include "store/CsvImport.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

// The ordered token list and the default token's index, with no file behind it: tools and tests
// use it alone, and the database (CTokenDB) adds persistence around it. The list operations never
// save; the caller saves.
//
// The data members are the list as the pages see it: pages read `tokens`, and change the list
// only through the operations below.
class CTokenList {
public:
    CTokenList() = default;
    CTokenList(const CTokenList&) = delete;
    CTokenList& operator=(const CTokenList&) = delete;
    virtual ~CTokenList() = default;

    // The token at `index`, or null when `index` is outside the list.
    std::shared_ptr<COtpToken> tokenAt(int index) const;

    // The default token, or null for an empty list. An index past the end, or negative (taken as
    // unsigned), is first clamped to the last token and stored back.
    std::shared_ptr<COtpToken> defaultToken();

    // Stores `index` unchecked; defaultToken() repairs it. Always true.
    bool setDefaultIndex(int index);

    // Appends `token` unless an entry with its appId and serial exists: then, with `replace`, the
    // first such entry is removed and `token` appended; without, `token` is dropped. Null is
    // ignored. The default index is left alone.
    void addToken(std::shared_ptr<COtpToken> token, bool replace);

    // Removes the token at `index`; an index outside the list does nothing. The default index is
    // left alone.
    void deleteToken(int index);

    // Removes the tokens at `indexes` (any order; repeats and indexes outside the list ignored)
    // in one pass over the list. The default index is left alone.
    void deleteTokens(std::span<const int> indexes);

    // Installs a token from a seed code: appended (no same-token search) and made the default.
    // Null when the code is rejected; the list is then unchanged.
    std::shared_ptr<COtpToken> createTokenFromSeed(std::u16string_view name, std::u16string_view serial,
                                                   std::u16string_view seed);

    // Appends `imported` in order with no same-token search and makes the last one the default,
    // as installing each from its seed would. Returns the last one, or null for an empty list.
    std::shared_ptr<COtpToken> appendImported(std::vector<std::shared_ptr<COtpToken>> imported);

    // Keeps the first `count` tokens and removes the rest (an import that could not be saved).
    // The default index is left alone.
    void keepFirst(std::size_t count);

    // Installs every three-field line (serial, seed, name) of the UTF-8 CSV file at `path`.
    // Returns the last token created, or null when the file cannot be read or no line gives one.
    std::shared_ptr<COtpToken> importCsv(const std::string& path);
    // The same; when the file cannot be read, `readError` says why (std::errc::file_too_large
    // beyond MaxFileSize), and it is empty otherwise. `report`, when given, is filled with what
    // happened to each line.
    std::shared_ptr<COtpToken> importCsv(const std::string& path, std::error_code& readError,
                                         ImportReport* report = nullptr);

    // importCsv on the file's bytes.
    std::shared_ptr<COtpToken> importCsvData(std::string_view bytes, ImportReport* report = nullptr);

    std::vector<std::shared_ptr<COtpToken>> tokens;
    std::int32_t defaultIndex = 0;
};
