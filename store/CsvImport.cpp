#include "store/CsvImport.h"

#include "platform/CodePage.h"
#include "platform/FileDescriptor.h"
#include "platform/ReadFile.h"
#include "engine/OtpAuthUri.h"
#include "store/CsvSplit.h"
#include "store/FileBytes.h"
#include "store/SeedCode.h"
#include "store/TokenArchive.h"

#include <algorithm>
#include <cerrno>
#include <tuple>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

constexpr std::string_view ByteOrderMark = "\xEF\xBB\xBF";

// The plain header and the archive's own fields, generously.
constexpr std::uint64_t FileOverhead = 1024;

std::error_code lastError() {
    return {errno, std::generic_category()};
}

} // namespace

void ImportReport::skip(Skipped entry) {
    if (skipped.size() < SkippedKept)
        skipped.push_back(std::move(entry));
    else
        ++moreSkipped;
}

void CsvTokenStream::feed(std::string_view bytes, std::vector<std::shared_ptr<COtpToken>>& tokens) {
    if (m_ended)
        return;
    std::string head;
    if (!m_started) {
        // The byte order mark may come split over two pieces.
        m_pending.append(bytes);
        if (m_pending.size() < ByteOrderMark.size())
            return;
        m_started = true;
        head = std::exchange(m_pending, {});
        bytes = head;
        if (bytes.starts_with(ByteOrderMark))
            bytes.remove_prefix(ByteOrderMark.size());
    }
    if (const std::size_t zero = bytes.find('\0'); zero != std::string_view::npos) {
        bytes = bytes.substr(0, zero);
        m_ended = true;
    }
    std::size_t at = 0;
    if ((m_afterCr || m_afterLf) && !bytes.empty()) {
        // The second half of a CR LF or LF CR that a piece boundary cut.
        if ((m_afterCr && bytes[0] == '\n') || (m_afterLf && bytes[0] == '\r'))
            at = 1;
        m_afterCr = m_afterLf = false;
    }
    std::size_t start = at;
    for (;;) {
        const std::size_t found = bytes.find_first_of("\r\n", at);
        if (found == std::string_view::npos)
            break;
        const std::string_view piece = bytes.substr(start, found - start);
        if (m_pending.empty()) {
            takeLine(piece, tokens);
        } else {
            m_pending.append(piece);
            takeLine(m_pending, tokens);
            m_pending.clear();
        }
        const char partner = bytes[found] == '\r' ? '\n' : '\r';
        if (found + 1 < bytes.size()) {
            at = found + 1 + (bytes[found + 1] == partner ? 1 : 0);
        } else {
            at = found + 1;
            (bytes[found] == '\r' ? m_afterCr : m_afterLf) = true;
        }
        start = at;
    }
    m_pending.append(bytes.substr(start));
    if (m_ended) {
        m_ended = false; // let finish() take the last line
        finish(tokens);
    }
}

void CsvTokenStream::finish(std::vector<std::shared_ptr<COtpToken>>& tokens) {
    if (m_ended)
        return;
    if (!m_started) {
        m_started = true;
        // Fewer bytes than a whole mark: nothing to skip, but the text still ends at a zero.
        std::string rest = std::exchange(m_pending, {});
        feed(rest.substr(0, rest.find('\0')), tokens);
    }
    if (!m_pending.empty())
        takeLine(m_pending, tokens);
    m_pending.clear();
    m_ended = true;
}

void CsvTokenStream::takeLine(std::string_view bytes, std::vector<std::shared_ptr<COtpToken>>& tokens) {
    ++m_lineNumber;
    if (bytes.empty())
        return;
    const std::u16string text = platform::utf8ToUtf16(bytes);
    std::vector<std::u16string_view>& fields = m_fields;
    std::u16string_view line;
    CsvReader(text).next(line, fields);
    const auto skip = [&](ImportReport::Reason reason) {
        if (m_report)
            m_report->skip({m_lineNumber, reason});
    };
    if (fields.size() != 3)
        return skip(ImportReport::NotThreeFields);
    auto token = tokenFromSeed(fields[2], fields[0], fields[1]);
    if (!token)
        return skip(ImportReport::InvalidSeed);
    tokens.push_back(std::move(token));
}

std::uint64_t databaseRoom(const std::vector<std::shared_ptr<COtpToken>>& tokens) {
    std::uint64_t used = FileOverhead;
    for (const std::shared_ptr<COtpToken>& token : tokens)
        used += token ? tokenArchiveBound(*token) : 2;
    return used < MaxFileSize ? MaxFileSize - used : 0;
}

CsvImport readCsvTokens(const std::string& path, std::stop_token stop, ReadProgress* progress,
                        std::uint64_t room) {
    CsvImport result;
    platform::FileDescriptor file(platform::openRegularFile(path, result.readError));
    if (file.get() < 0)
        return result;
    struct stat info {};
    if (::fstat(file.get(), &info) != 0) {
        result.readError = lastError();
        return result;
    }
    const auto size = static_cast<std::uint64_t>(info.st_size);
    if (size > MaxFileSize) {
        result.readError = std::make_error_code(std::errc::file_too_large);
        return result;
    }
    if (progress)
        progress->total = size;

    CsvTokenStream stream(&result.report);
    std::string piece(CsvReadPiece, '\0');
    std::uint64_t read = 0;
    std::uint64_t needed = 0;
    std::size_t counted = 0;
    const auto fits = [&] {
        for (; counted < result.tokens.size(); ++counted)
            needed += tokenArchiveBound(*result.tokens[counted]);
        if (needed <= room)
            return true;
        result = {};
        result.databaseFull = true;
        return false;
    };
    while (stream.wantsMore()) {
        if (stop.stop_requested()) {
            result = {};
            result.cancelled = true;
            return result;
        }
        const ssize_t got = ::read(file.get(), piece.data(), piece.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            result.readError = lastError();
            result.tokens.clear();
            return result;
        }
        if (got == 0)
            break;
        read += static_cast<std::uint64_t>(got);
        if (read > MaxFileSize) {
            // The file grew past the limit while it was read.
            result.tokens.clear();
            result.readError = std::make_error_code(std::errc::file_too_large);
            return result;
        }
        stream.feed(std::string_view(piece.data(), static_cast<std::size_t>(got)), result.tokens);
        if (!fits())
            return result;
        if (progress)
            progress->done = read;
    }
    stream.finish(result.tokens);
    if (!fits())
        return result;
    result.report.added = result.tokens.size();
    return result;
}

namespace {

// What sameToken compares, as one key: the appId and the serial.
std::u16string identity(const COtpToken& token) {
    return token.appId + u'\0' + token.serial;
}

std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos)
        return {};
    const auto last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

} // namespace

void CsvImport::takeUri(std::string_view uri, std::size_t line, const std::string& source) {
    OtpAuthResult parsed = parseOtpAuthUri(trimmed(uri));
    if (!parsed.token) {
        report.skip({line, ImportReport::InvalidUri, source, parsed.error});
        return;
    }
    if (!identities.insert(identity(*parsed.token)).second) {
        report.skip({line, ImportReport::AlreadyPresent, source});
        return;
    }
    tokens.push_back(std::move(parsed.token));
    origins.push_back({line, ImportReport::AlreadyPresent, source});
    report.added = tokens.size();
}

void CsvImport::dropPresent(const std::vector<std::shared_ptr<COtpToken>>& existing) {
    std::unordered_set<std::u16string> present;
    for (const std::shared_ptr<COtpToken>& token : existing) {
        if (token)
            present.insert(identity(*token));
    }
    std::vector<std::shared_ptr<COtpToken>> kept;
    std::vector<ImportReport::Skipped> keptOrigins;
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        if (present.contains(identity(*tokens[i])) && i < origins.size()) {
            report.skip(origins[i]);
            continue;
        }
        kept.push_back(std::move(tokens[i]));
        if (i < origins.size())
            keptOrigins.push_back(std::move(origins[i]));
    }
    tokens = std::move(kept);
    origins = std::move(keptOrigins);
    report.added = tokens.size();
    // In the order of the file (or of the pictures and their codes), however each was found.
    std::stable_sort(report.skipped.begin(), report.skipped.end(), [](const auto& a, const auto& b) {
        return std::tie(a.source, a.line) < std::tie(b.source, b.line);
    });
}

bool looksLikeOtpAuthList(std::string_view head) {
    while (!head.empty()) {
        const std::size_t end = head.find_first_of("\r\n");
        const std::string_view line = trimmed(head.substr(0, end));
        head = end == std::string_view::npos ? std::string_view() : head.substr(end + 1);
        if (line.empty() || line.starts_with('#'))
            continue;
        return line.starts_with("otpauth://");
    }
    return false;
}

CsvImport readOtpAuthTokens(const std::string& path, std::stop_token stop) {
    CsvImport result;
    const auto bytes = readFileBytes(path, result.readError);
    if (!bytes)
        return result;
    std::string_view text(reinterpret_cast<const char*>(bytes->data()), bytes->size());
    std::size_t lineNumber = 0;
    while (!text.empty()) {
        if (stop.stop_requested()) {
            result = {};
            result.cancelled = true;
            return result;
        }
        const std::size_t end = text.find('\n');
        const std::string_view line = trimmed(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        ++lineNumber;
        if (line.empty() || line.starts_with('#'))
            continue;
        result.takeUri(line, lineNumber);
    }
    return result;
}
