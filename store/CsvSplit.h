#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

// Line and field splitting of CSV token lists, by linear scans.
//
// Lines end at CR LF, LF CR, LF or CR, tried in that order at each position (the pattern
// "\r\n|\n\r|\n|\r"): CR CR and LF LF are two breaks with an empty line between. A comma separates
// fields exactly when an even number of double quotes follows it up to the end of the line (the
// pattern ",(?=(?:[^\"]*\"[^\"]*\")*(?![^\"]*\"))"), so a comma inside quotes does not, and a comma
// that ends the line does. The patterns themselves are not used: the field pattern looks ahead to
// the end of the line at every comma, which is quadratic in the line length.

struct CsvBreak {
    std::size_t position;
    std::size_t length; // 1 or 2
};

// Every line break of `text`, in order.
std::vector<CsvBreak> csvLineBreaks(std::u16string_view text);

// The positions of the commas of `line` that separate fields, in order.
std::vector<std::size_t> csvFieldSeparators(std::u16string_view line);

// The lines of `text`: the pieces between breaks, empty ones included, with no line after a
// final break. An empty text has no lines.
std::vector<std::u16string_view> splitCsvLines(std::u16string_view text);

// The fields of `line` into `fields` (cleared first): the pieces before, between and after the
// separators, empty ones included. An empty line has no fields.
void splitCsvFields(std::u16string_view line, std::vector<std::u16string_view>& fields);

// splitCsvLines and splitCsvFields in one pass over the text: each call to next() gives the next
// line and its fields, false after the last line.
class CsvReader {
public:
    explicit CsvReader(std::u16string_view text) : text_(text) {}

    bool next(std::u16string_view& line, std::vector<std::u16string_view>& fields);

private:
    static constexpr std::size_t BlockSize = 16;

    // One bit per code unit of the block at `base` (a multiple of BlockSize) that is a quote, a
    // comma, CR or LF; the last block is kept, as the next line usually starts in it.
    std::uint32_t blockMask(std::size_t base);

    std::u16string_view text_;
    std::size_t position_ = 0;
    std::size_t blockBase_ = SIZE_MAX;
    std::uint32_t blockMask_ = 0;
    // The commas of the current line with an odd number of quotes before them.
    std::vector<std::size_t> commas_;
};
