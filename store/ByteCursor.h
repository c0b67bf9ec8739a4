#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// A little-endian unsigned number of `width` bytes at `p`; the caller has checked the bytes.
template <typename T>
T loadLittle(const std::uint8_t* p, std::size_t width = sizeof(T)) {
    T value = 0;
    for (std::size_t n = 0; n < width; ++n)
        value |= static_cast<T>(static_cast<T>(p[n]) << (8 * n));
    return value;
}

// The typed fields both readers below share, read through the reader's own `require` (true
// when `count` more bytes can be had at `here()`, else the reader fails), `here()` and `advance()`.
template <class Reader>
class LittleEndianFields {
public:
    bool peekU8(std::uint8_t& value) {
        if (!self().require(1))
            return false;
        value = *self().here();
        return true;
    }

    bool skip(std::size_t count) {
        if (!self().require(count))
            return false;
        self().advance(count);
        return true;
    }

    // The next `count` bytes, consumed (a stream's are valid until its next read).
    bool take(std::size_t count, std::span<const std::uint8_t>& out) {
        if (!self().require(count))
            return false;
        out = {self().here(), count};
        self().advance(count);
        return true;
    }

    bool readU8(std::uint8_t& value) { return readLittle(value, 1); }
    bool readU16(std::uint16_t& value) { return readLittle(value, 2); }
    bool readU32(std::uint32_t& value) { return readLittle(value, 4); }

    bool readS32(std::int32_t& value) {
        std::uint32_t raw = 0;
        if (!readU32(raw))
            return false;
        value = static_cast<std::int32_t>(raw);
        return true;
    }

    bool readS64(std::int64_t& value) {
        std::uint64_t raw = 0;
        if (!readLittle(raw, 8))
            return false;
        value = static_cast<std::int64_t>(raw);
        return true;
    }

    // An unsigned number stored in `width` bytes (1, 2 or 4), least significant first.
    bool readUnsigned(std::uint32_t& value, std::size_t width) { return readLittle(value, width); }

private:
    Reader& self() { return static_cast<Reader&>(*this); }

    template <typename T>
    bool readLittle(T& value, std::size_t width) {
        if (!self().require(width))
            return false;
        value = loadLittle<T>(self().here(), width);
        self().advance(width);
        return true;
    }
};

// Little-endian field readers and writers for the database file. The reader never reads past
// its span: every read checks what remains, and the first failed read leaves the cursor failed,
// so a caller can read a run of fields and test once.
class ByteReader : public LittleEndianFields<ByteReader> {
public:
    explicit ByteReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    std::size_t remaining() const { return bytes_.size() - position_; }
    std::size_t position() const { return position_; }
    bool failed() const { return failed_; }

    // True when at least `count` bytes remain; otherwise the cursor fails.
    bool require(std::size_t count) {
        if (failed_ || count > remaining()) {
            failed_ = true;
            return false;
        }
        return true;
    }

    // `count` UTF-16LE code units. The length is checked before anything is allocated.
    bool readUtf16(std::u16string& text, std::uint32_t count) {
        if (!require(std::size_t{count} * 2))
            return false;
        text.resize(count);
        const std::uint8_t* p = bytes_.data() + position_;
        if constexpr (std::endian::native == std::endian::little) {
            std::memcpy(text.data(), p, std::size_t{count} * 2);
        } else {
            for (std::uint32_t n = 0; n < count; ++n)
                text[n] = static_cast<char16_t>(p[2 * n] | (p[2 * n + 1] << 8));
        }
        position_ += std::size_t{count} * 2;
        return true;
    }

private:
    friend class LittleEndianFields<ByteReader>;
    const std::uint8_t* here() const { return bytes_.data() + position_; }
    void advance(std::size_t count) { position_ += count; }

    std::span<const std::uint8_t> bytes_;
    std::size_t position_ = 0;
    bool failed_ = false;
};

// The same field readers over a stream of known length that arrives in pieces: `fill` puts the
// next bytes into the span it is given and returns how many (0 at the end or on a failure; it is
// asked again while more are needed). Only
// a window of the stream is in memory at a time; a field taken whole (take) must fit in it, and
// texts of any length are copied through it. `remaining()` counts from the length given, so a
// length field can be checked against it before anything is allocated, as ByteReader does.
class StreamReader : public LittleEndianFields<StreamReader> {
public:
    using Fill = std::function<std::size_t(std::span<std::uint8_t>)>;

    StreamReader(std::uint64_t size, std::span<std::uint8_t> window, Fill fill)
        : size_(size), window_(window), fill_(std::move(fill)) {}

    std::uint64_t remaining() const { return size_ - position(); }
    std::uint64_t position() const { return windowStart_ + at_; }
    bool failed() const { return failed_; }

    // True when `count` more bytes are in the window, read into it if need be; otherwise the
    // reader fails.
    bool require(std::size_t count) {
        if (count <= filled_ - at_ && !failed_)
            return true;
        if (failed_ || count > remaining() || count > window_.size() || !refill(count)) {
            failed_ = true;
            return false;
        }
        return true;
    }

    // `count` UTF-16LE code units. The length is checked against the stream before anything is
    // allocated.
    bool readUtf16(std::u16string& text, std::uint32_t count) {
        const std::size_t bytes = std::size_t{count} * 2;
        if (failed_ || bytes > remaining()) {
            failed_ = true;
            return false;
        }
        text.resize(count);
        auto* into = reinterpret_cast<std::uint8_t*>(text.data());
        for (std::size_t copied = 0; copied < bytes;) {
            if (at_ == filled_ && !require(1))
                return false;
            const std::size_t part = std::min(bytes - copied, filled_ - at_);
            std::memcpy(into + copied, window_.data() + at_, part);
            at_ += part;
            copied += part;
        }
        if constexpr (std::endian::native != std::endian::little) {
            for (char16_t& c : text)
                c = static_cast<char16_t>((c >> 8) | (c << 8));
        }
        return true;
    }

private:
    friend class LittleEndianFields<StreamReader>;
    const std::uint8_t* here() const { return window_.data() + at_; }
    void advance(std::size_t count) { at_ += count; }

    // Moves the unread bytes to the front of the window and reads after them until `count`
    // are there or the stream ends.
    bool refill(std::size_t count) {
        const std::size_t kept = filled_ - at_;
        std::memmove(window_.data(), window_.data() + at_, kept);
        windowStart_ += at_;
        at_ = 0;
        filled_ = kept;
        while (filled_ < count) {
            const std::uint64_t unread = size_ - windowStart_ - filled_;
            const std::size_t room = window_.size() - filled_;
            const std::size_t ask = unread < room ? static_cast<std::size_t>(unread) : room;
            const std::size_t got = ask == 0 ? 0 : fill_(window_.subspan(filled_, ask));
            if (got == 0 || got > ask)
                return false;
            filled_ += got;
        }
        return true;
    }

    std::uint64_t size_;
    std::span<std::uint8_t> window_;
    Fill fill_;
    std::uint64_t windowStart_ = 0;
    std::size_t at_ = 0;
    std::size_t filled_ = 0;
    bool failed_ = false;
};

// Appends little-endian fields to a byte vector.
class ByteWriter {
public:
    explicit ByteWriter(std::vector<std::uint8_t>& out) : out_(out) {}

    std::size_t size() const { return out_.size(); }

    void putU8(std::uint8_t value) { out_.push_back(value); }
    void putBytes(std::span<const std::uint8_t> bytes) {
        out_.insert(out_.end(), bytes.begin(), bytes.end());
    }

    // Grows the vector by `count` bytes at once and returns them, for a writer that knows its
    // size in advance (see FixedWriter).
    std::span<std::uint8_t> extend(std::size_t count) {
        const std::size_t start = out_.size();
        out_.resize(start + count);
        return std::span(out_).subspan(start, count);
    }

private:
    std::vector<std::uint8_t>& out_;
};

// The little-endian field writers over a `put(bytes, count)` of the derived class.
template <class Derived>
class FieldWriter {
public:
    void putU8(std::uint8_t value) { self().put(&value, 1); }
    void putU16(std::uint16_t value) { putLittle(value); }
    void putU32(std::uint32_t value) { putLittle(value); }
    void putS32(std::int32_t value) { putLittle(static_cast<std::uint32_t>(value)); }
    void putS64(std::int64_t value) { putLittle(static_cast<std::uint64_t>(value)); }
    void putBytes(std::span<const std::uint8_t> bytes) { self().put(bytes.data(), bytes.size()); }

    // UTF-16LE code units, no length, no terminator.
    void putUtf16(std::u16string_view text) {
        if constexpr (std::endian::native == std::endian::little) {
            self().put(text.data(), text.size() * 2);
        } else {
            for (char16_t c : text)
                putU16(c);
        }
    }

private:
    Derived& self() { return static_cast<Derived&>(*this); }

    template <typename T>
    void putLittle(T value) {
        std::uint8_t bytes[sizeof(T)];
        for (std::size_t n = 0; n < sizeof(T); ++n)
            bytes[n] = static_cast<std::uint8_t>(value >> (8 * n));
        self().put(bytes, sizeof(T));
    }
};

// Writes little-endian fields into a region sized in advance by the caller, which counts the
// exact size first; writing past the region is a programming error, caught by `overrun`.
class FixedWriter : public FieldWriter<FixedWriter> {
public:
    explicit FixedWriter(std::span<std::uint8_t> region)
        : at_(region.data()), end_(region.data() + region.size()) {}

    // True when more was written than the region holds (nothing past it was touched).
    bool overrun() const { return overrun_; }
    bool full() const { return at_ == end_; }

    void put(const void* bytes, std::size_t count) {
        if (count > static_cast<std::size_t>(end_ - at_)) {
            overrun_ = true;
            return;
        }
        if (count != 0)
            std::memcpy(at_, bytes, count);
        at_ += count;
    }

private:
    std::uint8_t* at_;
    std::uint8_t* end_;
    bool overrun_ = false;
};

// Writes little-endian fields into a buffer and hands the buffer over each time it fills, so a
// stream of any length goes out in pieces of the buffer's size without ever being whole in
// memory. `Take` is called as take(std::span<std::uint8_t>) -> bool; once it returns false,
// nothing more is handed over.
template <class Take>
class PieceWriter : public FieldWriter<PieceWriter<Take>> {
public:
    // An empty buffer could never be handed over: the writer starts failed.
    PieceWriter(std::span<std::uint8_t> buffer, Take take)
        : buffer_(buffer), take_(std::move(take)), failed_(buffer.empty()) {}

    bool failed() const { return failed_; }
    // Every byte put so far, handed over or still in the buffer.
    std::uint64_t written() const { return handed_ + used_; }

    // Hands over what the buffer holds. False when any hand-over failed.
    bool finish() {
        handOver();
        return !failed_;
    }

    void put(const void* bytes, std::size_t count) {
        // Nearly every field fits in what is left of the buffer, and is a fixed-size copy.
        if (count < buffer_.size() - used_) {
            std::memcpy(buffer_.data() + used_, bytes, count);
            used_ += count;
            return;
        }
        const auto* from = static_cast<const std::uint8_t*>(bytes);
        while (count != 0 && !failed_) {
            const std::size_t room = buffer_.size() - used_;
            const std::size_t part = count < room ? count : room;
            std::memcpy(buffer_.data() + used_, from, part);
            used_ += part;
            from += part;
            count -= part;
            if (used_ == buffer_.size())
                handOver();
        }
    }

private:
    void handOver() {
        if (used_ == 0 || failed_)
            return;
        failed_ = !take_(buffer_.first(used_));
        handed_ += used_;
        used_ = 0;
    }

    std::span<std::uint8_t> buffer_;
    Take take_;
    std::size_t used_ = 0;
    std::uint64_t handed_ = 0;
    bool failed_;
};
