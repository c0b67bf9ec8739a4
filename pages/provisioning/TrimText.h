#pragma once

#include <cwctype>
#include <string>

// The provisioning pages' trimming: white space as iswspace tells it, removed at the end, then
// at the start. Surrogate halves are never white space.
inline std::u16string trimmedText(std::u16string text) {
    const auto isSpace = [](char16_t c) { return std::iswspace(static_cast<std::wint_t>(c)) != 0; };
    while (!text.empty() && isSpace(text.back()))
        text.pop_back();
    std::size_t start = 0;
    while (start < text.size() && isSpace(text[start]))
        ++start;
    text.erase(0, start);
    return text;
}
