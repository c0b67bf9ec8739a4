// CSV import on arbitrary file bytes, and the splitting it rests on.
#include "platform/CodePage.h"
#include "store/CsvSplit.h"
#include "store/TokenList.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    CTokenList db;
    auto last = db.importCsvData(bytes);
    if ((last == nullptr) != db.tokens.empty() || (last && db.defaultToken() != last))
        std::abort();

    // Lines and breaks tile the text; fields and separators tile each line.
    const std::u16string text = platform::utf8ToUtf16(bytes);
    std::size_t covered = 0;
    for (const CsvBreak& b : csvLineBreaks(text))
        covered += b.length;
    for (std::u16string_view line : splitCsvLines(text)) {
        covered += line.size();
        std::vector<std::u16string_view> fields;
        splitCsvFields(line, fields);
        std::size_t length = 0;
        for (std::u16string_view field : fields)
            length += field.size();
        if (!line.empty() && length + fields.size() - 1 != line.size())
            std::abort();
    }
    if (covered != text.size())
        std::abort();

    // The one-pass reader gives the same lines and fields.
    CsvReader reader(text);
    std::vector<std::u16string_view> readFields, splitFields;
    std::u16string_view readLine;
    for (std::u16string_view line : splitCsvLines(text)) {
        splitCsvFields(line, splitFields);
        if (!reader.next(readLine, readFields) || readLine.data() != line.data() ||
            readLine.size() != line.size() || readFields != splitFields)
            std::abort();
    }
    if (reader.next(readLine, readFields))
        std::abort();
    return 0;
}
