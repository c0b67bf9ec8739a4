#include "provisioning/HttpDate.h"

#include <array>
#include <cstddef>

namespace XmlRpc {
namespace {

constexpr std::array<std::string_view, 7> kDays{"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
constexpr std::array<std::string_view, 7> kLongDays{"Monday", "Tuesday",  "Wednesday", "Thursday",
                                                    "Friday", "Saturday", "Sunday"};
constexpr std::array<std::string_view, 12> kMonths{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// A reader over the text: every step checks what remains, the first mismatch fails the rest.
class Cursor {
public:
    explicit Cursor(std::string_view text) : m_text(text) {}

    bool atEnd() const { return m_position == m_text.size(); }

    bool literal(std::string_view expected) {
        if (m_text.substr(m_position, expected.size()) != expected)
            return false;
        m_position += expected.size();
        return true;
    }

    // Exactly `count` digits.
    bool number(std::size_t count, int& value) {
        if (m_text.size() - m_position < count)
            return false;
        value = 0;
        for (std::size_t i = 0; i < count; ++i) {
            const char c = m_text[m_position + i];
            if (c < '0' || c > '9')
                return false;
            value = value * 10 + (c - '0');
        }
        m_position += count;
        return true;
    }

    // One of `names`; its index, or -1.
    template <std::size_t N>
    int oneOf(const std::array<std::string_view, N>& names) {
        for (std::size_t i = 0; i < N; ++i) {
            if (literal(names[i]))
                return int(i);
        }
        return -1;
    }

    // "HH:MM:SS".
    bool time(int& hour, int& minute, int& second) {
        return number(2, hour) && literal(":") && number(2, minute) && literal(":") && number(2, second);
    }

private:
    std::string_view m_text;
    std::size_t m_position = 0;
};

bool leapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int daysInMonth(int year, int month) {
    constexpr int kDaysIn[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && leapYear(year) ? 29 : kDaysIn[month - 1];
}

// Days from 1970-01-01 to the civil date (proleptic Gregorian calendar).
std::int64_t daysFromCivil(std::int64_t year, int month, int day) {
    year -= month <= 2 ? 1 : 0;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const std::int64_t yearOfEra = year - era * 400;
    const std::int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() &&
           (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' || text.back() == '\n'))
        text.remove_suffix(1);
    return text;
}

} // namespace

std::optional<std::int64_t> parseHttpDate(std::string_view text) {
    Cursor in(trimmed(text));
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    bool read = false;
    if (in.oneOf(kLongDays) >= 0) {
        // RFC 850: "Sunday, 06-Nov-94 08:49:37 GMT"; a two-digit year is taken within 1970-2069.
        int shortYear = 0;
        read = in.literal(", ") && in.number(2, day) && in.literal("-") &&
               (month = in.oneOf(kMonths) + 1) > 0 && in.literal("-") && in.number(2, shortYear) &&
               in.literal(" ") && in.time(hour, minute, second) && in.literal(" GMT");
        year = shortYear < 70 ? 2000 + shortYear : 1900 + shortYear;
    } else if (in.oneOf(kDays) >= 0) {
        if (in.literal(", ")) {
            // IMF-fixdate: "Sun, 06 Nov 1994 08:49:37 GMT".
            read = in.number(2, day) && in.literal(" ") && (month = in.oneOf(kMonths) + 1) > 0 &&
                   in.literal(" ") && in.number(4, year) && in.literal(" ") &&
                   in.time(hour, minute, second) && in.literal(" GMT");
        } else {
            // asctime: "Sun Nov  6 08:49:37 1994".
            read = in.literal(" ") && (month = in.oneOf(kMonths) + 1) > 0 && in.literal(" ") &&
                   (in.literal(" ") ? in.number(1, day) : in.number(2, day)) && in.literal(" ") &&
                   in.time(hour, minute, second) && in.literal(" ") && in.number(4, year);
        }
    }
    // A leap second (:60) is read as the second after it.
    if (!read || !in.atEnd() || day < 1 || day > daysInMonth(year, month) || hour > 23 || minute > 59 ||
        second > 60)
        return std::nullopt;
    return daysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
}

} // namespace XmlRpc
