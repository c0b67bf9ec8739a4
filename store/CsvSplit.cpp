#include "store/CsvSplit.h"

#include <algorithm>
#include <bit>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

constexpr char16_t Cr = u'\r';
constexpr char16_t Lf = u'\n';
constexpr char16_t Quote = u'"';
constexpr char16_t Comma = u',';

// The length of the break that starts at `at`, or 0.
std::size_t breakLength(std::u16string_view text, std::size_t at) {
    const char16_t c = text[at];
    if (c != Cr && c != Lf)
        return 0;
    const char16_t partner = c == Cr ? Lf : Cr;
    return at + 1 < text.size() && text[at + 1] == partner ? 2 : 1;
}

// Calls `onSeparator(position)` for each separating comma.
template <typename F>
void forEachSeparator(std::u16string_view line, F onSeparator) {
    std::size_t quotesAfter = 0;
    for (char16_t c : line)
        quotesAfter += c == Quote;
    for (std::size_t at = 0; at < line.size(); ++at) {
        const char16_t c = line[at];
        if (c == Quote)
            --quotesAfter;
        else if (c == Comma && quotesAfter % 2 == 0)
            onSeparator(at);
    }
}

} // namespace

std::vector<CsvBreak> csvLineBreaks(std::u16string_view text) {
    std::vector<CsvBreak> breaks;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = breakLength(text, at);
        if (length == 0) {
            ++at;
            continue;
        }
        breaks.push_back({at, length});
        at += length;
    }
    return breaks;
}

std::vector<std::size_t> csvFieldSeparators(std::u16string_view line) {
    std::vector<std::size_t> separators;
    forEachSeparator(line, [&](std::size_t at) { separators.push_back(at); });
    return separators;
}

std::vector<std::u16string_view> splitCsvLines(std::u16string_view text) {
    std::vector<std::u16string_view> lines;
    std::size_t start = 0;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = breakLength(text, at);
        if (length == 0) {
            ++at;
            continue;
        }
        lines.push_back(text.substr(start, at - start));
        at += length;
        start = at;
    }
    if (start < text.size())
        lines.push_back(text.substr(start));
    return lines;
}

void splitCsvFields(std::u16string_view line, std::vector<std::u16string_view>& fields) {
    fields.clear();
    if (line.empty())
        return;
    std::size_t start = 0;
    forEachSeparator(line, [&](std::size_t at) {
        fields.push_back(line.substr(start, at - start));
        start = at + 1;
    });
    fields.push_back(line.substr(start));
}

std::uint32_t CsvReader::blockMask(std::size_t base) {
    if (base == blockBase_)
        return blockMask_;
    const char16_t* const p = text_.data() + base;
    const std::size_t count = std::min(BlockSize, text_.size() - base);
    std::uint32_t mask = 0;
#if defined(__SSE2__)
    if (count == BlockSize) {
        const auto specials = [](const char16_t* at) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
            const __m128i quoteOrComma = _mm_or_si128(_mm_cmpeq_epi16(v, _mm_set1_epi16(Quote)),
                                                      _mm_cmpeq_epi16(v, _mm_set1_epi16(Comma)));
            const __m128i lineBreak =
                _mm_or_si128(_mm_cmpeq_epi16(v, _mm_set1_epi16(Cr)), _mm_cmpeq_epi16(v, _mm_set1_epi16(Lf)));
            return _mm_or_si128(quoteOrComma, lineBreak);
        };
        // Each 16-bit lane is all ones or zero, so packing to bytes keeps one bit per code unit.
        mask = static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_packs_epi16(specials(p), specials(p + 8))));
    } else
#endif
    {
        for (std::size_t n = 0; n < count; ++n) {
            const char16_t c = p[n];
            if (c == Quote || c == Comma || c == Cr || c == Lf)
                mask |= std::uint32_t{1} << n;
        }
    }
    blockBase_ = base;
    blockMask_ = mask;
    return mask;
}

bool CsvReader::next(std::u16string_view& line, std::vector<std::u16string_view>& fields) {
    fields.clear();
    commas_.clear();
    const std::size_t start = position_;
    if (start >= text_.size())
        return false;
    // Fields are cut as if the line's quotes were even, as they nearly always are; the commas
    // after an odd number of quotes are kept aside in case the line's count is odd after all.
    // The text is looked at in blocks of code units, each block's quotes, commas and breaks found
    // at once; the line's start may fall inside the block where the last line ended.
    std::size_t quotes = 0;
    std::size_t fieldStart = start;
    std::size_t base = start - start % BlockSize;
    std::uint32_t mask = blockMask(base) & (~std::uint32_t{0} << (start - base));
    std::size_t at = text_.size();
    for (;;) {
        while (mask == 0) {
            base += BlockSize;
            if (base >= text_.size())
                break;
            mask = blockMask(base);
        }
        if (mask == 0)
            break;
        const std::size_t special = base + static_cast<std::size_t>(std::countr_zero(mask));
        mask &= mask - 1;
        const char16_t c = text_[special];
        if (c == Quote) {
            ++quotes;
        } else if (c == Comma) {
            if ((quotes & 1) == 0) {
                fields.push_back(text_.substr(fieldStart, special - fieldStart));
                fieldStart = special + 1;
            } else {
                commas_.push_back(special);
            }
        } else {
            at = special;
            break;
        }
    }
    line = text_.substr(start, at - start);
    position_ = at < text_.size() ? at + breakLength(text_, at) : at;
    if (line.empty())
        return true;
    if ((quotes & 1) != 0) {
        // A comma separates when the quotes after it are even: with an odd count on the line,
        // those with an odd count before them.
        fields.clear();
        fieldStart = start;
        for (const std::size_t comma : commas_) {
            fields.push_back(text_.substr(fieldStart, comma - fieldStart));
            fieldStart = comma + 1;
        }
    }
    fields.push_back(text_.substr(fieldStart, at - fieldStart));
    return true;
}
