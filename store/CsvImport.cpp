#include "store/CsvImport.h"

#include "platform/CodePage.h"
#include "platform/ReadFile.h"
#include "store/CsvSplit.h"
#include "store/FileBytes.h"
#include "store/SeedCode.h"
#include "store/TokenArchive.h"

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

constexpr std::string_view ByteOrderMark = "\xEF\xBB\xBF";

class Descriptor {
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

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
    Descriptor file(platform::openRegularFile(path, result.readError));
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
