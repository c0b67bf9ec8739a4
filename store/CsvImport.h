#pragma once

#include "engine/OtpToken.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <stop_token>
#include <string>
#include <string_view>
#include <system_error>
#include <unordered_set>
#include <vector>

// What an import did: the tokens it added and the entries it passed over, with why. An entry is a
// line of a list (1-based), or a picture and the code in it. Empty lines are not counted as skipped.
struct ImportReport {
    enum Reason {
        NotThreeFields, // CSV: a line without exactly three fields
        InvalidSeed,    // CSV: the seed code is rejected
        InvalidUri,     // an otpauth line or code the URI reader refuses; `detail` says why
        AlreadyPresent, // a token with the same identity is in the list already (or earlier in the import)
        NoQrCode,       // a picture without any QR code
        Unreadable,     // a picture that cannot be read; `detail` says why
    };
    struct Skipped {
        std::size_t line = 0;    // the line, or the code's place in its picture (1-based); 0: the whole picture
        Reason reason = NotThreeFields;
        std::string source = {}; // the picture's file name; empty for the lines of a list
        std::string detail = {}; // the reader's own words, for InvalidUri and Unreadable
    };
    // Entries kept in `skipped`; those beyond are only counted, so a file of bad lines cannot fill
    // the memory with reasons nobody reads.
    static constexpr std::size_t SkippedKept = 1000;

    std::size_t added = 0;
    std::vector<Skipped> skipped;
    std::size_t moreSkipped = 0; // skipped entries beyond the first SkippedKept

    void skip(Skipped entry);
    std::size_t skippedCount() const { return skipped.size() + moreSkipped; }
};

// The CSV token list (serial, seed code, name per line) taken in pieces as the file is read: each
// complete line becomes a token as soon as its break is seen, so neither the file nor its text is
// ever held whole. Lines break at CR LF, LF CR, LF or CR; a leading byte order mark is skipped; the
// text ends at the first zero byte; bytes that are not UTF-8 become U+FFFD. Fields are split as
// CsvReader splits them. Tokens come from tokenFromSeed and are not stored anywhere.
class CsvTokenStream {
public:
    // `report` (optional) receives the skipped lines; `added` is left to whoever keeps the tokens.
    explicit CsvTokenStream(ImportReport* report = nullptr) : m_report(report) {}

    // The next bytes of the file. New tokens are appended to `tokens`.
    void feed(std::string_view bytes, std::vector<std::shared_ptr<COtpToken>>& tokens);
    // The end of the file: a last line without a break is taken too.
    void finish(std::vector<std::shared_ptr<COtpToken>>& tokens);
    // False once a zero byte has ended the text: the rest of the file is not needed.
    bool wantsMore() const { return !m_ended; }

private:
    void takeLine(std::string_view bytes, std::vector<std::shared_ptr<COtpToken>>& tokens);

    ImportReport* m_report;
    std::string m_pending;        // bytes of a line whose break has not come yet
    bool m_started = false;       // the byte order mark has been looked for
    bool m_ended = false;         // a zero byte was seen
    bool m_afterCr = false;       // the last break was a lone CR so far: an LF next belongs to it
    bool m_afterLf = false;       // the same for LF and a CR next
    std::size_t m_lineNumber = 0; // lines taken so far
    std::vector<std::u16string_view> m_fields;
};

// The bytes read at a time.
inline constexpr std::size_t CsvReadPiece = 256 * 1024;

// How far a file read has come, for a progress display on another thread.
struct ReadProgress {
    std::atomic<std::uint64_t> done{0};  // bytes read so far
    std::atomic<std::uint64_t> total{0}; // the file's size once it is open
};

// The tokens of a CSV file, in file order, none of them stored anywhere.
struct CsvImport {
    std::vector<std::shared_ptr<COtpToken>> tokens;
    ImportReport report; // `added` is the number of tokens
    // Why the file could not be read (std::errc::file_too_large beyond MaxFileSize); empty otherwise.
    std::error_code readError;
    bool cancelled = false; // the stop request came first; `tokens` is then empty
    // The tokens would not fit in the room given: the database would grow past what the next start
    // reads. `tokens` is then empty.
    bool databaseFull = false;
    // For URI and picture imports: where each token came from (its line or code, and its picture),
    // so that one found already present can be reported by place. Empty for CSV.
    std::vector<ImportReport::Skipped> origins;
    // The identities (appId, serial) of `tokens`, for URI and picture imports.
    std::unordered_set<std::u16string> identities;

    // Adds the token of one otpauth URI found at `line` of `source`, or notes why not (a refused
    // URI, or a token this import already has).
    void takeUri(std::string_view uri, std::size_t line, const std::string& source = {});
    // Moves the tokens whose identity `existing` already holds to the skipped ones (AlreadyPresent).
    void dropPresent(const std::vector<std::shared_ptr<COtpToken>>& existing);
};

// Whether `head` (the start of a file) is a list of otpauth URIs: its first line that is neither
// blank nor a '#' comment starts with "otpauth://".
bool looksLikeOtpAuthList(std::string_view head);

// The tokens of a text file of otpauth:// URIs, one a line (blank lines and '#' comments skipped),
// in file order; a refused line is reported with the reader's reason. At most MaxFileSize bytes.
CsvImport readOtpAuthTokens(const std::string& path, std::stop_token stop = {});

// How many bytes a database holding `tokens` may still grow by before its file would pass
// MaxFileSize (reckoned with tokenArchiveBound, so a little on the safe side).
std::uint64_t databaseRoom(const std::vector<std::shared_ptr<COtpToken>>& tokens);

// Reads the CSV file at `path` a piece at a time (only regular files, at most MaxFileSize bytes),
// checking `stop` between pieces (CsvReadPiece bytes, a few thousand lines). Stops with
// `databaseFull` as soon as the tokens need more than `room` bytes in the database. Safe on any
// thread: it touches nothing but its own result and `progress`.
CsvImport readCsvTokens(const std::string& path, std::stop_token stop = {}, ReadProgress* progress = nullptr,
                        std::uint64_t room = UINT64_MAX);
