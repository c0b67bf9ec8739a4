#include "provisioning/XmlRpcValue.h"

#include "provisioning/XmlRpcException.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <locale.h>
#include <new>
#include <utility>
#include <vector>

namespace XmlRpc {

namespace {

constexpr const char* kTypeError = "type error";
constexpr const char* kExpectedArray = "type error: expected an array";
constexpr const char* kExpectedStruct = "type error: expected a struct";
constexpr const char* kIndexTooLarge = "range error: array index too large";

constexpr bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// strtol base 10 as the 32-bit Windows C library does it: whitespace, sign, digits, and a result
// that saturates at the int range. Returns the number of characters converted, 0 for none.
std::size_t parseLong(std::string_view text, int& value) {
    std::size_t i = 0;
    while (i < text.size() && isSpace(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    const std::size_t firstDigit = i;
    std::int64_t magnitude = 0;
    constexpr std::int64_t kCap = std::int64_t{INT_MAX} + 1;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        if (magnitude < kCap)
            magnitude = magnitude * 10 + (text[i] - '0');
    }
    if (i == firstDigit)
        return 0;
    if (magnitude > kCap)
        magnitude = kCap;
    const std::int64_t signedValue = negative ? -magnitude : magnitude;
    value = static_cast<int>(signedValue > INT_MAX ? INT_MAX : signedValue);
    return i;
}

// strtod in the "C" locale: the application may have set a locale whose decimal mark is a comma.
locale_t cLocale() {
    static const locale_t locale = newlocale(LC_ALL_MASK, "C", nullptr);
    return locale;
}

std::size_t parseDouble(std::string_view text, double& value) {
    // strtod needs a terminated string; the number cannot run past the next "<".
    const std::string field(text.substr(0, text.find('<')));
    char* end = nullptr;
    const locale_t locale = cLocale();
    value = locale ? strtod_l(field.c_str(), &end, locale) : std::strtod(field.c_str(), &end);
    return static_cast<std::size_t>(end - field.c_str());
}

// "%4d%2d%2dT%2d:%2d:%2d" with all six fields converted.
bool parseDateTime(std::string_view text, std::tm& time) {
    const std::string field(text.substr(0, text.find('<')));
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    if (std::sscanf(field.c_str(), "%4d%2d%2dT%2d:%2d:%2d", &year, &month, &day, &hour, &minute, &second) !=
        6)
        return false;
    time = std::tm{};
    time.tm_year = year - 1900;
    time.tm_mon = month - 1;
    time.tm_mday = day;
    time.tm_hour = hour;
    time.tm_min = minute;
    time.tm_sec = second;
    time.tm_isdst = -1;
    return true;
}

bool nameBefore(const XmlRpcVariant::Member& member, std::string_view name) {
    return std::string_view(member.first) < name;
}

// The type tags the reader tells apart; an empty tag and "</value>" (the empty element) both
// start an untagged string.
enum class TypeTag { Untagged, Boolean, Int, Double, String, DateTime, Base64, Array, Struct, Other };

TypeTag typeTag(std::string_view tag) {
    using namespace std::string_view_literals;
    switch (tag.size()) {
    case 0:
        return TypeTag::Untagged;
    case 4:
        return tag == "<i4>"sv ? TypeTag::Int : TypeTag::Other;
    case 5:
        return tag == "<int>"sv ? TypeTag::Int : TypeTag::Other;
    case 7:
        return tag == "<array>"sv ? TypeTag::Array : TypeTag::Other;
    case 8:
        if (tag == "<string>"sv)
            return TypeTag::String;
        if (tag == "<struct>"sv)
            return TypeTag::Struct;
        if (tag == "</value>"sv)
            return TypeTag::Untagged;
        if (tag == "<base64>"sv)
            return TypeTag::Base64;
        return tag == "<double>"sv ? TypeTag::Double : TypeTag::Other;
    case 9:
        return tag == "<boolean>"sv ? TypeTag::Boolean : TypeTag::Other;
    case 18:
        return tag == "<dateTime.iso8601>"sv ? TypeTag::DateTime : TypeTag::Other;
    default:
        return TypeTag::Other;
    }
}

void appendEncoded(std::string& out, std::string_view text) {
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char* entity = nullptr;
        switch (text[i]) {
        case '<':
            entity = "&lt;";
            break;
        case '>':
            entity = "&gt;";
            break;
        case '&':
            entity = "&amp;";
            break;
        case '\'':
            entity = "&apos;";
            break;
        case '"':
            entity = "&quot;";
            break;
        default:
            continue;
        }
        out.append(text, start, i - start);
        out += entity;
        start = i + 1;
    }
    out.append(text, start);
}

} // namespace

XmlRpcVariant::XmlRpcVariant(const char* value) : type_(TypeString), string_(value ? value : "") {}

XmlRpcVariant::XmlRpcVariant(std::string value) : type_(TypeString), string_(std::move(value)) {}

XmlRpcVariant::XmlRpcVariant(const std::tm& value) : type_(TypeDateTime), time_(new std::tm(value)) {}

XmlRpcVariant::XmlRpcVariant(BinaryData value) : type_(TypeBase64), binary_(std::move(value)) {}

XmlRpcVariant::XmlRpcVariant(const XmlRpcVariant& other) {
    copyFrom(other);
}

XmlRpcVariant::XmlRpcVariant(XmlRpcVariant&& other) noexcept {
    moveFrom(other);
}

XmlRpcVariant& XmlRpcVariant::operator=(const XmlRpcVariant& other) {
    // Copy before releasing: `other` may be this value or lie inside it.
    XmlRpcVariant copy(other);
    swap(copy);
    return *this;
}

XmlRpcVariant& XmlRpcVariant::operator=(XmlRpcVariant&& other) noexcept {
    if (this == &other)
        return *this;
    if (type_ <= TypeDouble) {
        // Nothing to release, and nothing `other` could lie inside.
        type_ = TypeInvalid;
        moveFrom(other);
    } else {
        // Take `other` first: it may lie inside this value.
        XmlRpcVariant taken(std::move(other));
        clear();
        moveFrom(taken);
    }
    return *this;
}

void XmlRpcVariant::swap(XmlRpcVariant& other) noexcept {
    if (this == &other)
        return;
    XmlRpcVariant held;
    held.moveFrom(*this);
    moveFrom(other);
    other.moveFrom(held);
}

void XmlRpcVariant::copyFrom(const XmlRpcVariant& other) {
    // Only called on an invalid value.
    switch (other.type_) {
    case TypeInvalid:
        break;
    case TypeBoolean:
        bool_ = other.bool_;
        break;
    case TypeInt:
        int_ = other.int_;
        break;
    case TypeDouble:
        double_ = other.double_;
        break;
    case TypeString:
        new (&string_) std::string(other.string_);
        break;
    case TypeDateTime:
        time_ = new std::tm(*other.time_);
        break;
    case TypeBase64:
        new (&binary_) BinaryData(other.binary_);
        break;
    case TypeArray:
        new (&array_) ValueArray(other.array_);
        break;
    case TypeStruct:
        new (&struct_) ValueStruct(other.struct_);
        break;
    }
    type_ = other.type_;
}

void XmlRpcVariant::moveFrom(XmlRpcVariant& other) noexcept {
    // Only called on an invalid value; leaves `other` invalid.
    switch (other.type_) {
    case TypeInvalid:
        break;
    case TypeBoolean:
        bool_ = other.bool_;
        break;
    case TypeInt:
        int_ = other.int_;
        break;
    case TypeDouble:
        double_ = other.double_;
        break;
    case TypeString:
        new (&string_) std::string(std::move(other.string_));
        break;
    case TypeDateTime:
        time_ = std::exchange(other.time_, nullptr);
        break;
    case TypeBase64:
        new (&binary_) BinaryData(std::move(other.binary_));
        break;
    case TypeArray:
        new (&array_) ValueArray(std::move(other.array_));
        break;
    case TypeStruct:
        new (&struct_) ValueStruct(std::move(other.struct_));
        break;
    }
    type_ = other.type_;
    other.clear();
}

void XmlRpcVariant::clear() noexcept {
    switch (type_) {
    case TypeString:
        string_.~basic_string();
        break;
    case TypeDateTime:
        delete time_;
        break;
    case TypeBase64:
        binary_.~BinaryData();
        break;
    case TypeArray:
        array_.~ValueArray();
        break;
    case TypeStruct:
        struct_.~ValueStruct();
        break;
    default:
        break;
    }
    type_ = TypeInvalid;
}

// Makes an invalid value `type` with an empty payload.
void XmlRpcVariant::become(Type type) {
    switch (type) {
    case TypeInvalid:
        break;
    case TypeBoolean:
        bool_ = false;
        break;
    case TypeInt:
        int_ = 0;
        break;
    case TypeDouble:
        double_ = 0.0;
        break;
    case TypeString:
        new (&string_) std::string();
        break;
    case TypeDateTime:
        time_ = new std::tm{};
        break;
    case TypeBase64:
        new (&binary_) BinaryData();
        break;
    case TypeArray:
        new (&array_) ValueArray();
        break;
    case TypeStruct:
        new (&struct_) ValueStruct();
        break;
    }
    type_ = type;
}

void XmlRpcVariant::requireType(Type type) {
    if (type_ == TypeInvalid)
        become(type);
    else if (type_ != type)
        throw XmlRpcException(kTypeError);
}

void XmlRpcVariant::requireTypeConst(Type type) const {
    if (type_ != type)
        throw XmlRpcException(kTypeError);
}

bool& XmlRpcVariant::asBool() {
    requireType(TypeBoolean);
    return bool_;
}

int& XmlRpcVariant::asInt() {
    requireType(TypeInt);
    return int_;
}

double& XmlRpcVariant::asDouble() {
    requireType(TypeDouble);
    return double_;
}

std::string& XmlRpcVariant::asString() {
    requireType(TypeString);
    return string_;
}

std::tm& XmlRpcVariant::asDateTime() {
    requireType(TypeDateTime);
    return *time_;
}

BinaryData& XmlRpcVariant::asBinary() {
    requireType(TypeBase64);
    return binary_;
}

XmlRpcVariant::ValueArray& XmlRpcVariant::asArray() {
    requireType(TypeArray);
    return array_;
}

XmlRpcVariant::ValueStruct& XmlRpcVariant::asStruct() {
    requireType(TypeStruct);
    return struct_;
}

bool XmlRpcVariant::asBool() const {
    if (type_ == TypeInvalid)
        return false;
    requireTypeConst(TypeBoolean);
    return bool_;
}

int XmlRpcVariant::asInt() const {
    if (type_ == TypeInvalid)
        return 0;
    requireTypeConst(TypeInt);
    return int_;
}

double XmlRpcVariant::asDouble() const {
    if (type_ == TypeInvalid)
        return 0.0;
    requireTypeConst(TypeDouble);
    return double_;
}

const std::string& XmlRpcVariant::asString() const {
    static const std::string empty;
    if (type_ == TypeInvalid)
        return empty;
    requireTypeConst(TypeString);
    return string_;
}

const std::tm& XmlRpcVariant::asDateTime() const {
    static const std::tm empty{};
    if (type_ == TypeInvalid)
        return empty;
    requireTypeConst(TypeDateTime);
    return *time_;
}

const BinaryData& XmlRpcVariant::asBinary() const {
    static const BinaryData empty;
    if (type_ == TypeInvalid)
        return empty;
    requireTypeConst(TypeBase64);
    return binary_;
}

const XmlRpcVariant::ValueArray& XmlRpcVariant::asArray() const {
    static const ValueArray empty;
    if (type_ == TypeInvalid)
        return empty;
    requireTypeConst(TypeArray);
    return array_;
}

const XmlRpcVariant::ValueStruct& XmlRpcVariant::asStruct() const {
    static const ValueStruct empty;
    if (type_ == TypeInvalid)
        return empty;
    requireTypeConst(TypeStruct);
    return struct_;
}

std::size_t XmlRpcVariant::size() const {
    switch (type_) {
    case TypeString:
        return string_.size();
    case TypeBase64:
        return binary_.size();
    case TypeArray:
        return array_.size();
    case TypeStruct:
        return struct_.size();
    default:
        throw XmlRpcException(kTypeError);
    }
}

const XmlRpcVariant& XmlRpcVariant::operator[](std::size_t i) const {
    if (type_ != TypeArray)
        throw XmlRpcException(kExpectedArray);
    if (i >= array_.size())
        throw XmlRpcException(kIndexTooLarge);
    return array_[i];
}

XmlRpcVariant& XmlRpcVariant::operator[](std::size_t i) {
    if (i >= array_.max_size())
        throw XmlRpcException(kIndexTooLarge);
    resize(i + 1);
    return array_[i];
}

void XmlRpcVariant::resize(std::size_t n) {
    if (type_ == TypeInvalid)
        become(TypeArray);
    else if (type_ != TypeArray)
        throw XmlRpcException(kExpectedArray);
    if (array_.size() < n)
        array_.resize(n);
}

const XmlRpcVariant* XmlRpcVariant::ValueStruct::find(std::string_view name) const noexcept {
    const auto found = std::lower_bound(members_.begin(), members_.end(), name, nameBefore);
    return found != members_.end() && found->first == name ? &found->second : nullptr;
}

XmlRpcVariant* XmlRpcVariant::ValueStruct::find(std::string_view name) noexcept {
    return const_cast<XmlRpcVariant*>(std::as_const(*this).find(name));
}

XmlRpcVariant& XmlRpcVariant::ValueStruct::operator[](std::string_view name) {
    auto found = std::lower_bound(members_.begin(), members_.end(), name, nameBefore);
    if (found == members_.end() || found->first != name)
        found = members_.emplace(found, std::string(name), XmlRpcVariant());
    return found->second;
}

void XmlRpcVariant::ValueStruct::settle() {
    const auto before = [](const Member& a, const Member& b) { return a.first < b.first; };
    const auto notBefore = [&](const Member& a, const Member& b) { return !before(a, b); };
    if (std::adjacent_find(members_.begin(), members_.end(), notBefore) == members_.end())
        return;
    // Stable, so the first of equal names stays first and is the one kept.
    constexpr std::size_t kSmall = 16;
    const std::size_t n = members_.size();
    if (n <= kSmall) {
        // A reply's struct has a handful of members: their order is worked out on indexes by
        // insertion, then each member moves once along its cycle, with no buffer.
        std::uint8_t order[kSmall];
        for (std::size_t i = 0; i < n; ++i) {
            std::size_t to = i;
            for (; to > 0 && before(members_[i], members_[order[to - 1]]); --to)
                order[to] = order[to - 1];
            order[to] = static_cast<std::uint8_t>(i);
        }
        bool placed[kSmall] = {};
        for (std::size_t start = 0; start < n; ++start) {
            if (placed[start] || order[start] == start)
                continue;
            Member held = std::move(members_[start]);
            std::size_t slot = start;
            for (;;) {
                placed[slot] = true;
                const std::size_t from = order[slot];
                if (from == start) {
                    members_[slot] = std::move(held);
                    break;
                }
                members_[slot] = std::move(members_[from]);
                slot = from;
            }
        }
    } else {
        std::stable_sort(members_.begin(), members_.end(), before);
    }
    members_.erase(std::unique(members_.begin(), members_.end(),
                               [](const Member& a, const Member& b) { return a.first == b.first; }),
                   members_.end());
}

XmlRpcVariant& XmlRpcVariant::operator[](std::string_view name) {
    if (type_ == TypeInvalid)
        become(TypeStruct);
    else if (type_ != TypeStruct)
        throw XmlRpcException(kExpectedStruct);
    return struct_[name];
}

bool XmlRpcVariant::contains(std::string_view name) const noexcept {
    return type_ == TypeStruct && struct_.find(name) != nullptr;
}

std::string XmlRpcVariant::writeXml() const {
    std::string out;
    appendXml(out);
    return out;
}

void XmlRpcVariant::appendXml(std::string& out) const {
    switch (type_) {
    case TypeInvalid:
        return;
    case TypeBoolean:
        out += bool_ ? "<value><boolean>1</boolean></value>" : "<value><boolean>0</boolean></value>";
        return;
    case TypeInt: {
        char buffer[16];
        const auto result = std::to_chars(buffer, buffer + sizeof buffer, int_);
        out += "<value><i4>";
        out.append(buffer, result.ptr);
        out += "</i4></value>";
        return;
    }
    case TypeDouble: {
        // printf "%f" of the C locale, cut to 255 characters as the 256-byte buffer did.
        char buffer[512];
        const auto result =
            std::to_chars(buffer, buffer + sizeof buffer, double_, std::chars_format::fixed, 6);
        const std::size_t length = std::min<std::size_t>(static_cast<std::size_t>(result.ptr - buffer), 255);
        out += "<value><double>";
        out.append(buffer, length);
        out += "</double></value>";
        return;
    }
    case TypeString:
        out += "<value>";
        appendEncoded(out, string_);
        out += "</value>";
        return;
    case TypeDateTime: {
        // At most 19 characters, as the 20-byte buffer held; only absurd fields are cut.
        char buffer[96];
        const int length =
            std::snprintf(buffer, sizeof buffer, "%4lld%02lld%02dT%02d:%02d:%02d", time_->tm_year + 1900LL,
                          time_->tm_mon + 1LL, time_->tm_mday, time_->tm_hour, time_->tm_min, time_->tm_sec);
        out += "<value><dateTime.iso8601>";
        out.append(buffer, static_cast<std::size_t>(std::clamp(length, 0, 19)));
        out += "</dateTime.iso8601></value>";
        return;
    }
    case TypeBase64:
        out += "<value><base64>";
        out += base64Encode(binary_);
        out += "</base64></value>";
        return;
    case TypeArray:
        out += "<value><array><data>";
        for (const XmlRpcVariant& element : array_)
            element.appendXml(out);
        out += "</data></array></value>";
        return;
    case TypeStruct:
        out += "<value><struct>";
        for (const auto& [name, member] : struct_) {
            out += "<member><name>";
            appendEncoded(out, name);
            out += "</name>";
            member.appendXml(out);
            out += "</member>";
        }
        out += "</struct></value>";
        return;
    }
}

// Every forward search of the reader goes through here. A malformed reply can make the same
// search, or the same skip over whitespace, start again and again from points that an earlier one
// already passed (a member without its <name> looks ahead to a <name> that lies far beyond it; a
// failed element is read again by each enclosing array), so each answer is remembered as "nothing
// in [from, found)" and a later search starting inside that span costs nothing. Should searches
// still scan more than twice the text, the needle's positions are indexed once and looked up.
// Answers are exactly those of a plain forward search.
class XmlRpcVariant::TagSearch {
public:
    enum Needle { ValueEnd, NameStart, NameEnd, TagOpen, TagClose, NeedleCount };

    explicit TagSearch(std::string_view text) : text(text), budget_(2 * text.size() + 4096) {}

    std::size_t find(Needle needle, std::size_t from) {
        Memo& memo = memo_[needle];
        if (from >= memo.from && from <= memo.found)
            return memo.found;
        if (!memo.index.empty() || memo.scanned > budget_)
            return lookUp(needle, from);
        const std::size_t found = from >= text.size() ? std::string_view::npos : text.find(kNeedles[needle], from);
        memo.scanned += (found == std::string_view::npos ? text.size() : found) - std::min(from, text.size());
        memo.from = from;
        memo.found = found;
        return found;
    }

    static std::size_t length(Needle needle) { return kNeedles[needle].size(); }

    // The first byte at or after `from` that is not whitespace (or the end).
    std::size_t skipSpace(std::size_t from) {
        if (from >= spaceFrom_ && from <= spaceTo_)
            return spaceTo_;
        std::size_t at = from;
        while (at < text.size() && isSpace(text[at]))
            ++at;
        spaceFrom_ = from;
        spaceTo_ = at;
        return at;
    }

    // consumeTag of the tag scanner, with the whitespace skip remembered; the tags are literals,
    // so the comparison is inlined.
    template <std::size_t N>
    bool consumeTag(const char (&tag)[N], std::size_t& offset) {
        constexpr std::size_t length = N - 1;
        if (offset > text.size())
            return false;
        const std::size_t start = skipSpace(offset);
        if (text.size() - start < length || std::memcmp(text.data() + start, tag, length) != 0)
            return false;
        offset = start + length;
        return true;
    }

    // A value that failed to read at `offset` fails there again at the same or a lesser depth:
    // the depth limit is the only thing that depends on it, and it was not reached.
    bool knownToFail(std::size_t offset, int nesting) const {
        return offset == failedAt_ && nesting <= failedNesting_;
    }
    void noteFailure(std::size_t offset, int nesting) {
        failedAt_ = offset;
        failedNesting_ = nesting;
    }

    const std::string_view text;

private:
    struct Memo {
        std::size_t from = std::string_view::npos;
        std::size_t found = 0;
        std::size_t scanned = 0;
        std::vector<std::size_t> index;
    };

    // The index holds, for each block of the text, the needle's first position at or after the
    // block's start: a look-up searches the rest of one block at most, and it costs an eighth of
    // the text's size in memory.
    static constexpr std::size_t kBlock = 64;

    std::size_t lookUp(Needle needle, std::size_t from) {
        Memo& memo = memo_[needle];
        const std::string_view target = kNeedles[needle];
        const std::size_t blocks = text.size() / kBlock + 1;
        if (memo.index.empty()) {
            memo.index.assign(blocks, std::string_view::npos);
            std::size_t block = 0;
            for (std::size_t at = text.find(target); at != std::string_view::npos; at = text.find(target, at + 1)) {
                for (; block < blocks && block * kBlock <= at; ++block)
                    memo.index[block] = at;
            }
        }
        std::size_t found = std::string_view::npos;
        if (from < text.size()) {
            const std::size_t next = from / kBlock + 1;
            const std::size_t inBlock = text.substr(from, next * kBlock - from + target.size() - 1).find(target);
            if (inBlock != std::string_view::npos)
                found = from + inBlock;
            else if (next < blocks)
                found = memo.index[next];
        }
        memo.from = from;
        memo.found = found;
        return found;
    }

    static constexpr std::string_view kNeedles[] = {"</value>", "<name>", "</name>", "<", ">"};
    const std::size_t budget_;
    Memo memo_[NeedleCount];
    std::size_t spaceFrom_ = std::string_view::npos;
    std::size_t spaceTo_ = 0;
    std::size_t failedAt_ = std::string_view::npos;
    int failedNesting_ = -1;
};

bool XmlRpcVariant::readXml(std::string_view text, std::size_t& offset) {
    clear();
    std::size_t position = offset;
    XmlRpcVariant parsed;
    TagSearch search(text);
    if (readValue(search, position, 0, parsed) != ReadResult::Ok)
        return false;
    moveFrom(parsed);
    offset = position;
    return true;
}

XmlRpcVariant::ReadResult XmlRpcVariant::readValue(TagSearch& search, std::size_t& offset, int nesting,
                                                   XmlRpcVariant& out) {
    // `offset` moves only on success.
    if (search.knownToFail(offset, nesting))
        return ReadResult::Failed;
    const ReadResult result = readValueAt(search, offset, nesting, out);
    if (result == ReadResult::Failed)
        search.noteFailure(offset, nesting);
    return result;
}

XmlRpcVariant::ReadResult XmlRpcVariant::readValueAt(TagSearch& search, std::size_t& offset, int nesting,
                                                     XmlRpcVariant& out) {
    // `out` comes in invalid; every payload is built in place in it.
    const std::string_view text = search.text;
    std::size_t pos = offset;
    if (!search.consumeTag("<value>", pos))
        return ReadResult::Failed;
    const std::size_t afterValue = pos;

    // The type tag, as readAnyTag finds it, without copying it.
    std::string_view tag;
    {
        const std::size_t p = search.skipSpace(pos);
        if (p < text.size() && text[p] == '<') {
            const std::size_t close = search.find(TagSearch::TagClose, p);
            const std::size_t end = close == std::string_view::npos ? text.size() : close + 1;
            tag = text.substr(p, end - p);
            pos = end;
        }
    }
    // The text from `from` up to the next "<"; false when there is none.
    const auto textToNextTag = [&](std::size_t from, std::string_view& field) {
        const std::size_t stop = search.find(TagSearch::TagOpen, from);
        if (stop == std::string_view::npos)
            return false;
        field = text.substr(from, stop - from);
        return true;
    };
    // Numbers and dates skip leading whitespace as strtol, strtod and sscanf do, and end before
    // the next "<".
    const auto numberField = [&](std::size_t from) {
        const std::size_t start = search.skipSpace(from);
        const std::size_t stop = search.find(TagSearch::TagOpen, start);
        return std::pair(start, text.substr(start, stop == std::string_view::npos ? text.size() : stop - start));
    };

    bool ok = false;
    switch (typeTag(tag)) {
    case TypeTag::Boolean: {
        int number = 0;
        const auto [start, field] = numberField(pos);
        const std::size_t used = parseLong(field, number);
        if (used > 0 && (number == 0 || number == 1)) {
            out.bool_ = number == 1;
            out.type_ = TypeBoolean;
            pos = start + used;
            ok = true;
        }
        break;
    }
    case TypeTag::Int: {
        int number = 0;
        const auto [start, field] = numberField(pos);
        const std::size_t used = parseLong(field, number);
        if (used > 0) {
            out.int_ = number;
            out.type_ = TypeInt;
            pos = start + used;
            ok = true;
        }
        break;
    }
    case TypeTag::Double: {
        double number = 0;
        const auto [start, field] = numberField(pos);
        const std::size_t used = parseDouble(field, number);
        if (used > 0) {
            out.double_ = number;
            out.type_ = TypeDouble;
            pos = start + used;
            ok = true;
        }
        break;
    }
    case TypeTag::Untagged:
        // An untagged string starts right after <value>, keeping its leading whitespace; so does
        // the empty element <value></value>.
        pos = afterValue;
        [[fallthrough]];
    case TypeTag::String: {
        std::string_view field;
        if (textToNextTag(pos, field)) {
            new (&out.string_) std::string(decodeEntities(field));
            out.type_ = TypeString;
            pos += field.size();
            ok = true;
        }
        break;
    }
    case TypeTag::DateTime: {
        std::tm time{};
        if (parseDateTime(numberField(pos).second, time)) {
            out.time_ = new std::tm(time);
            out.type_ = TypeDateTime;
            ok = true;
        }
        break;
    }
    case TypeTag::Base64: {
        std::string_view field;
        if (textToNextTag(pos, field)) {
            new (&out.binary_) BinaryData(base64Decode(field));
            out.type_ = TypeBase64;
            pos += field.size();
            ok = true;
        }
        break;
    }
    case TypeTag::Array:
        if (nesting >= kMaxNesting)
            return ReadResult::TooDeep;
        if (search.consumeTag("<data>", pos)) {
            out.become(TypeArray);
            // Room for a short array and the probe after its last element, in one allocation.
            out.array_.reserve(4);
            // Elements until the first that does not read; the array itself never fails here.
            // Each is read straight into its place.
            for (;;) {
                const ReadResult result = readValue(search, pos, nesting + 1, out.array_.emplace_back());
                if (result == ReadResult::Ok)
                    continue;
                out.array_.pop_back();
                if (result == ReadResult::TooDeep) {
                    out.clear();
                    return result;
                }
                break;
            }
            search.consumeTag("</data>", pos);
            ok = true;
        }
        break;
    case TypeTag::Struct: {
        if (nesting >= kMaxNesting)
            return ReadResult::TooDeep;
        out.become(TypeStruct);
        std::vector<Member>& members = out.struct_.members_;
        members.reserve(4);
        while (search.consumeTag("<member>", pos)) {
            Member& member = members.emplace_back();
            // extractElement("<name>"): names are taken as they stand, entities and all.
            const std::size_t open = search.find(TagSearch::NameStart, pos);
            if (open != std::string_view::npos) {
                const std::size_t nameStart = open + TagSearch::length(TagSearch::NameStart);
                const std::size_t close = search.find(TagSearch::NameEnd, nameStart);
                if (close != std::string_view::npos) {
                    member.first.assign(text.substr(nameStart, close - nameStart));
                    pos = close + TagSearch::length(TagSearch::NameEnd);
                }
            }
            const ReadResult result = readValue(search, pos, nesting + 1, member.second);
            if (result != ReadResult::Ok) {
                out.clear();
                return result;
            }
            search.consumeTag("</member>", pos);
        }
        out.struct_.settle();
        ok = true;
        break;
    }
    case TypeTag::Other:
        break;
    }

    if (!ok) {
        out.clear();
        return ReadResult::Failed;
    }
    // Also skips the closing type tag, which is never checked.
    if (const std::size_t close = search.find(TagSearch::ValueEnd, pos); close != std::string_view::npos)
        pos = close + TagSearch::length(TagSearch::ValueEnd);
    offset = pos;
    return ReadResult::Ok;
}

bool operator==(const XmlRpcVariant& a, const XmlRpcVariant& b) {
    if (a.type_ != b.type_)
        return false;
    switch (a.type_) {
    case XmlRpcVariant::TypeInvalid:
        return true;
    case XmlRpcVariant::TypeBoolean:
        return a.bool_ == b.bool_;
    case XmlRpcVariant::TypeInt:
        return a.int_ == b.int_;
    case XmlRpcVariant::TypeDouble:
        return a.double_ == b.double_;
    case XmlRpcVariant::TypeString:
        return a.string_ == b.string_;
    case XmlRpcVariant::TypeDateTime:
        return a.time_->tm_year == b.time_->tm_year && a.time_->tm_mon == b.time_->tm_mon &&
               a.time_->tm_mday == b.time_->tm_mday && a.time_->tm_hour == b.time_->tm_hour &&
               a.time_->tm_min == b.time_->tm_min && a.time_->tm_sec == b.time_->tm_sec;
    case XmlRpcVariant::TypeBase64:
        return a.binary_ == b.binary_;
    case XmlRpcVariant::TypeArray:
        return a.array_ == b.array_;
    case XmlRpcVariant::TypeStruct:
        return a.struct_ == b.struct_;
    }
    return false;
}

} // namespace XmlRpc
