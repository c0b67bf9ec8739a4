#pragma once

#include <cwctype>
#include <string>
#include <string_view>

// The one trim: white space removed at the end, then at the start. What counts as white space
// differs by where the text comes from, so each caller names its rule.
namespace platform {

// The standard wide-character test (iswspace, in the process locale); surrogate halves are never
// white space.
inline bool isWideSpace(char16_t c) {
    return std::iswspace(static_cast<std::wint_t>(c)) != 0;
}
// The C locale's isspace set: blank, tab, line feed, vertical tab, form feed, carriage return.
inline bool isCSpace(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\v' || c == u'\f' || c == u'\r';
}
// Blank, tab and line ends: the blanks of a line of a configuration or identifier file.
inline bool isLineBlank(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}

template <class Char, class IsSpace>
std::basic_string_view<Char> trimmed(std::basic_string_view<Char> text, IsSpace isSpace) {
    while (!text.empty() && isSpace(text.back()))
        text.remove_suffix(1);
    while (!text.empty() && isSpace(text.front()))
        text.remove_prefix(1);
    return text;
}

inline std::u16string trimmed(const std::u16string& text, bool (*isSpace)(char16_t) = isWideSpace) {
    return std::u16string(trimmed(std::u16string_view(text), isSpace));
}

} // namespace platform
