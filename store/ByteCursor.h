#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <vector>

// Little-endian field readers and writers for the database file. The reader never reads past
// its span: every read checks what remains, and the first failed read leaves the cursor failed,
// so a caller can read a run of fields and test once.
class ByteReader {
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

    bool peekU8(std::uint8_t& value) {
        if (!require(1))
            return false;
        value = bytes_[position_];
        return true;
    }

    bool skip(std::size_t count) {
        if (!require(count))
            return false;
        position_ += count;
        return true;
    }

    // The next `count` bytes, consumed.
    bool take(std::size_t count, std::span<const std::uint8_t>& out) {
        if (!require(count))
            return false;
        out = bytes_.subspan(position_, count);
        position_ += count;
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
    template <typename T>
    bool readLittle(T& value, std::size_t width) {
        if (!require(width))
            return false;
        T result = 0;
        for (std::size_t n = 0; n < width; ++n)
            result |= static_cast<T>(static_cast<T>(bytes_[position_ + n]) << (8 * n));
        position_ += width;
        value = result;
        return true;
    }

    std::span<const std::uint8_t> bytes_;
    std::size_t position_ = 0;
    bool failed_ = false;
};

// Appends little-endian fields to a byte vector.
class ByteWriter {
public:
    explicit ByteWriter(std::vector<std::uint8_t>& out) : out_(out) {}

    std::size_t size() const { return out_.size(); }

    void putU8(std::uint8_t value) { out_.push_back(value); }
    void putU16(std::uint16_t value) { putLittle(value, 2); }
    void putU32(std::uint32_t value) { putLittle(value, 4); }
    void putS32(std::int32_t value) { putLittle(static_cast<std::uint32_t>(value), 4); }
    void putS64(std::int64_t value) { putLittle(static_cast<std::uint64_t>(value), 8); }

    void putBytes(std::span<const std::uint8_t> bytes) {
        out_.insert(out_.end(), bytes.begin(), bytes.end());
    }

    // UTF-16LE code units, no length, no terminator.
    void putUtf16(std::u16string_view text) {
        const std::size_t start = out_.size();
        out_.resize(start + text.size() * 2);
        std::uint8_t* p = out_.data() + start;
        if constexpr (std::endian::native == std::endian::little) {
            std::memcpy(p, text.data(), text.size() * 2);
        } else {
            for (std::size_t n = 0; n < text.size(); ++n) {
                p[2 * n] = static_cast<std::uint8_t>(text[n]);
                p[2 * n + 1] = static_cast<std::uint8_t>(text[n] >> 8);
            }
        }
    }

private:
    template <typename T>
    void putLittle(T value, std::size_t width) {
        const std::size_t start = out_.size();
        out_.resize(start + width);
        for (std::size_t n = 0; n < width; ++n)
            out_[start + n] = static_cast<std::uint8_t>(value >> (8 * n));
    }

    std::vector<std::uint8_t>& out_;
};
