#pragma once

#include <string>
#include <string_view>

// 8-bit text as the Windows client would produce it: the "ANSI code page" that Windows picks for
// the system locale's language (Windows-1252 unless the language uses another one), so a PIN,
// a challenge or a password gives the same bytes here as on that client.
namespace platform {

// The code page number for the current locale (LC_ALL, LC_CTYPE, LANG), e.g. 1252, 1251, 932.
unsigned activeCodePage();

// Whether `codePage` is one of the code pages above (1252 and those languages' own).
bool isKnownCodePage(unsigned codePage);

// Forces a code page (tests); 0 returns to the locale's choice.
void setCodePageForTesting(unsigned codePage);

// The Windows code page for a POSIX locale name such as "ru_RU.UTF-8"; 1252 when unknown.
unsigned codePageForLocale(std::string_view localeName);

// UTF-16 to the active code page; a character the code page cannot represent becomes '?'.
std::string toAnsi(std::u16string_view text);

// The same in a given code page, for text whose bytes must not depend on the session's locale.
std::string toAnsi(std::u16string_view text, unsigned codePage);

// Whether `codePage` holds every character of `text` (no '?' would be put in for one).
bool representable(std::u16string_view text, unsigned codePage);

// The active code page to UTF-16.
std::u16string fromAnsi(std::string_view bytes);

// UTF-8 to UTF-16; every invalid sequence becomes U+FFFD.
std::u16string utf8ToUtf16(std::string_view bytes);

// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string utf16ToUtf8(std::u16string_view text);

} // namespace platform
