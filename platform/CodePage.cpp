#include "platform/CodePage.h"

#include <iconv.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <string>

namespace platform {
namespace {

unsigned forcedCodePage = 0;

struct LanguagePage {
    std::string_view language;
    unsigned codePage;
};

// The ANSI code page Windows uses for each language that does not use Windows-1252.
constexpr std::array<LanguagePage, 39> languagePages{{
    {"cs", 1250}, {"hu", 1250}, {"pl", 1250}, {"ro", 1250}, {"sk", 1250}, {"sl", 1250},
    {"hr", 1250}, {"bs", 1250}, {"sq", 1250}, {"ru", 1251}, {"uk", 1251}, {"be", 1251},
    {"bg", 1251}, {"mk", 1251}, {"sr", 1251}, {"kk", 1251}, {"ky", 1251}, {"tt", 1251},
    {"mn", 1251}, {"ba", 1251}, {"el", 1253}, {"tr", 1254}, {"az", 1254}, {"uz", 1254},
    {"he", 1255}, {"iw", 1255}, {"yi", 1255}, {"ar", 1256}, {"fa", 1256}, {"ur", 1256},
    {"et", 1257}, {"lv", 1257}, {"lt", 1257}, {"vi", 1258}, {"th", 874},  {"ja", 932},
    {"ko", 949},  {"zh", 936},  {"ug", 1256},
}};

std::string localeFromEnvironment()
{
    for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0')
            return value;
    }
    return {};
}

// glibc's names for the Windows code pages, best first.
std::array<const char*, 2> iconvNames(unsigned codePage)
{
    switch (codePage) {
    case 874: return {"CP874", "TIS-620"};
    case 932: return {"CP932", "SHIFT_JIS"};
    case 936: return {"CP936", "GBK"};
    case 949: return {"CP949", "UHC"};
    case 950: return {"CP950", "BIG5"};
    case 1250: return {"CP1250", "WINDOWS-1250"};
    case 1251: return {"CP1251", "WINDOWS-1251"};
    case 1253: return {"CP1253", "WINDOWS-1253"};
    case 1254: return {"CP1254", "WINDOWS-1254"};
    case 1255: return {"CP1255", "WINDOWS-1255"};
    case 1256: return {"CP1256", "WINDOWS-1256"};
    case 1257: return {"CP1257", "WINDOWS-1257"};
    case 1258: return {"CP1258", "WINDOWS-1258"};
    default: return {"CP1252", "WINDOWS-1252"};
    }
}

class Converter {
public:
    Converter(const char* to, const char* from) : handle_(iconv_open(to, from)) {}
    ~Converter()
    {
        if (valid())
            iconv_close(handle_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool valid() const { return handle_ != reinterpret_cast<iconv_t>(-1); }

    // Converts one run; on an invalid input sequence returns false with `in` left at it.
    bool convert(const char*& in, size_t& inLeft, std::string& out)
    {
        char buffer[256];
        while (inLeft > 0) {
            char* outPtr = buffer;
            size_t outLeft = sizeof buffer;
            size_t rc = iconv(handle_, const_cast<char**>(&in), &inLeft, &outPtr, &outLeft);
            out.append(buffer, outPtr);
            if (rc == static_cast<size_t>(-1) && errno != E2BIG) {
                iconv(handle_, nullptr, nullptr, nullptr, nullptr);
                return false;
            }
        }
        char* outPtr = buffer;
        size_t outLeft = sizeof buffer;
        iconv(handle_, nullptr, nullptr, &outPtr, &outLeft); // flush shift state
        out.append(buffer, outPtr);
        return true;
    }

private:
    iconv_t handle_;
};

Converter openConverter(unsigned codePage, bool toCodePage)
{
    for (const char* name : iconvNames(codePage)) {
        Converter c(toCodePage ? name : "UTF-16LE", toCodePage ? "UTF-16LE" : name);
        if (c.valid())
            return Converter(toCodePage ? name : "UTF-16LE", toCodePage ? "UTF-16LE" : name);
    }
    return Converter(toCodePage ? "CP1252" : "UTF-16LE", toCodePage ? "UTF-16LE" : "CP1252");
}

std::string toLittleEndianBytes(std::u16string_view text)
{
    std::string bytes;
    bytes.reserve(text.size() * 2);
    for (char16_t c : text) {
        bytes.push_back(static_cast<char>(c & 0xFF));
        bytes.push_back(static_cast<char>(c >> 8));
    }
    return bytes;
}

bool isAscii(std::u16string_view text)
{
    return std::all_of(text.begin(), text.end(), [](char16_t c) { return c < 0x80; });
}

bool isAscii(std::string_view bytes)
{
    return std::all_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

void appendCodePoint(std::string& out, char32_t cp)
{
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

} // namespace

unsigned codePageForLocale(std::string_view localeName)
{
    std::string_view language = localeName.substr(0, localeName.find_first_of("_.@"));
    std::string_view rest = localeName.substr(language.size());
    if (language == "zh") {
        bool traditional = rest.starts_with("_TW") || rest.starts_with("_HK") || rest.starts_with("_MO");
        return traditional ? 950 : 936;
    }
    if (language == "sr" && rest.find("@latin") != std::string_view::npos)
        return 1250;
    if (language == "uz" && rest.find("@cyrillic") != std::string_view::npos)
        return 1251;
    for (const auto& entry : languagePages)
        if (entry.language == language)
            return entry.codePage;
    return 1252;
}

unsigned activeCodePage()
{
    if (forcedCodePage != 0)
        return forcedCodePage;
    return codePageForLocale(localeFromEnvironment());
}

bool isKnownCodePage(unsigned codePage)
{
    // Every code page but 1252 has names of its own; unknown ones fall back to 1252's.
    return codePage == 1252 || std::string_view(iconvNames(codePage)[0]) != "CP1252";
}

void setCodePageForTesting(unsigned codePage)
{
    forcedCodePage = codePage;
}

namespace {

// UTF-16 to `codePage`; `lost` counts the characters that became '?'.
std::string toCodePage(std::u16string_view text, unsigned codePage, std::size_t& lost)
{
    lost = 0;
    if (isAscii(text))
        return std::string(text.begin(), text.end());
    Converter converter = openConverter(codePage, true);
    std::string bytes = toLittleEndianBytes(text);
    std::string out;
    const char* in = bytes.data();
    size_t left = bytes.size();
    while (!converter.convert(in, left, out)) {
        // One character the code page cannot hold: a surrogate pair counts as one.
        size_t skip = 2;
        if (left >= 4) {
            auto unit = static_cast<char16_t>(static_cast<unsigned char>(in[0]) |
                                              (static_cast<unsigned char>(in[1]) << 8));
            auto next = static_cast<char16_t>(static_cast<unsigned char>(in[2]) |
                                              (static_cast<unsigned char>(in[3]) << 8));
            if (unit >= 0xD800 && unit < 0xDC00 && next >= 0xDC00 && next < 0xE000)
                skip = 4;
        }
        skip = std::min(skip, left);
        out.push_back('?');
        ++lost;
        in += skip;
        left -= skip;
    }
    return out;
}

} // namespace

std::string toAnsi(std::u16string_view text)
{
    return toAnsi(text, activeCodePage());
}

std::string toAnsi(std::u16string_view text, unsigned codePage)
{
    std::size_t lost = 0;
    return toCodePage(text, codePage, lost);
}

bool representable(std::u16string_view text, unsigned codePage)
{
    std::size_t lost = 0;
    toCodePage(text, codePage, lost);
    return lost == 0;
}

std::u16string fromAnsi(std::string_view bytes)
{
    if (isAscii(bytes))
        return std::u16string(bytes.begin(), bytes.end());
    Converter converter = openConverter(activeCodePage(), false);
    std::string out;
    const char* in = bytes.data();
    size_t left = bytes.size();
    while (!converter.convert(in, left, out)) {
        out.append("\xFD\xFF", 2); // U+FFFD for a byte the code page does not define
        ++in;
        --left;
    }
    std::u16string text;
    text.reserve(out.size() / 2);
    for (size_t i = 0; i + 1 < out.size(); i += 2)
        text.push_back(static_cast<char16_t>(static_cast<unsigned char>(out[i]) |
                                             (static_cast<unsigned char>(out[i + 1]) << 8)));
    return text;
}

std::u16string utf8ToUtf16(std::string_view bytes)
{
    std::u16string text;
    text.reserve(bytes.size());
    size_t i = 0;
    const size_t n = bytes.size();
    auto at = [&](size_t k) { return static_cast<unsigned char>(bytes[k]); };
    while (i < n) {
        unsigned char b = at(i);
        if (b < 0x80) {
            text.push_back(b);
            ++i;
            continue;
        }
        // Length and the allowed range of the second byte (rejects overlongs and surrogates).
        size_t length = 0;
        unsigned char low = 0x80, high = 0xBF;
        if (b >= 0xC2 && b <= 0xDF) {
            length = 2;
        } else if (b >= 0xE0 && b <= 0xEF) {
            length = 3;
            if (b == 0xE0)
                low = 0xA0;
            if (b == 0xED)
                high = 0x9F;
        } else if (b >= 0xF0 && b <= 0xF4) {
            length = 4;
            if (b == 0xF0)
                low = 0x90;
            if (b == 0xF4)
                high = 0x8F;
        }
        if (length == 0) {
            text.push_back(0xFFFD);
            ++i;
            continue;
        }
        char32_t cp = b & (0xFF >> (length + 1));
        size_t k = 1;
        for (; k < length; ++k) {
            if (i + k >= n)
                break;
            unsigned char c = at(i + k);
            unsigned char lo = k == 1 ? low : 0x80;
            unsigned char hi = k == 1 ? high : 0xBF;
            if (c < lo || c > hi)
                break;
            cp = (cp << 6) | (c & 0x3F);
        }
        if (k < length) {
            // A maximal invalid prefix becomes one replacement character.
            text.push_back(0xFFFD);
            i += k;
            continue;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            text.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            text.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            text.push_back(static_cast<char16_t>(cp));
        }
        i += length;
    }
    return text;
}

std::string utf16ToUtf8(std::u16string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c < 0xE000) {
            c = 0xFFFD;
        }
        appendCodePoint(out, c);
    }
    return out;
}

} // namespace platform
