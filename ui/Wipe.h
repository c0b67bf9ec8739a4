#pragma once

#include <QString>
#include <algorithm>
#include <string>

// Overwrites a copy of a secret with zero characters, then empties it.
inline void wipe(std::u16string& text) {
    std::fill(text.begin(), text.end(), u'\0');
    text.clear();
}

inline void wipe(std::string& text) {
    std::fill(text.begin(), text.end(), '\0');
    text.clear();
}

inline void wipe(QString& text) {
    // fill() detaches first, so a buffer shared with another string is left alone.
    text.fill(QChar(u'\0'));
    text.clear();
}
