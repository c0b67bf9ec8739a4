#include "cli/TokenMatch.h"

#include <QString>
#include <algorithm>
#include <charconv>

namespace cli {
namespace {

std::vector<int> matching(const std::vector<std::shared_ptr<COtpToken>>& tokens,
                          bool (*fits)(const std::u16string& field, const QString& text),
                          const QString& text) {
    std::vector<int> found;
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        const COtpToken& token = *tokens[i];
        if (fits(token.label, text) || fits(token.userName, text) || fits(token.serial, text))
            found.push_back(static_cast<int>(i));
    }
    return found;
}

bool equal(const std::u16string& field, const QString& text) {
    return QStringView(field) == text;
}

bool contains(const std::u16string& field, const QString& text) {
    return QStringView(field).contains(text, Qt::CaseInsensitive);
}

} // namespace

TokenMatch matchToken(const std::vector<std::shared_ptr<COtpToken>>& tokens, std::string_view text) {
    TokenMatch match;
    int position = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), position);
    if (!text.empty() && error == std::errc() && end == text.data() + text.size() && position >= 1 &&
        static_cast<std::size_t>(position) <= tokens.size()) {
        match.index = position - 1;
        return match;
    }
    const QString wanted = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    std::vector<int> found = wanted.isEmpty() ? std::vector<int>{} : matching(tokens, equal, wanted);
    if (found.empty() && !wanted.isEmpty())
        found = matching(tokens, contains, wanted);
    if (found.size() == 1) {
        match.index = found.front();
        return match;
    }
    match.ambiguous = !found.empty();
    if (found.empty()) {
        for (std::size_t i = 0; i < tokens.size(); ++i)
            found.push_back(static_cast<int>(i));
    }
    match.candidates = std::move(found);
    return match;
}

} // namespace cli
