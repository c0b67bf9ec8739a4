#pragma once

#include "engine/OtpToken.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace storetest {

// Builds archives by hand, field by field, for any library version, so tests can state the
// expected bytes from the format's tables rather than from the writer under test.
class ArchiveBuilder {
public:
    // `twoByteVersion7`: version 7 written with the two-byte form of its version field.
    explicit ArchiveBuilder(unsigned version = 14, bool twoByteVersion7 = false)
        : version_(version), twoByteVersion7_(twoByteVersion7) {}

    std::vector<std::uint8_t> bytes;

    ArchiveBuilder& u8(std::uint8_t v) {
        bytes.push_back(v);
        return *this;
    }
    ArchiveBuilder& le(std::uint64_t v, int width) {
        for (int i = 0; i < width; ++i)
            bytes.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
        return *this;
    }
    ArchiveBuilder& u16(std::uint16_t v) { return le(v, 2); }
    ArchiveBuilder& u32(std::uint32_t v) { return le(v, 4); }
    ArchiveBuilder& s32(std::int32_t v) { return le(static_cast<std::uint32_t>(v), 4); }
    ArchiveBuilder& s64(std::int64_t v) { return le(static_cast<std::uint64_t>(v), 8); }
    ArchiveBuilder& raw(std::string_view text) {
        bytes.insert(bytes.end(), text.begin(), text.end());
        return *this;
    }
    ArchiveBuilder& text(std::u16string_view t) {
        u32(static_cast<std::uint32_t>(t.size()));
        for (char16_t c : t)
            u16(c);
        return *this;
    }

    // Widths from the version table.
    ArchiveBuilder& classId(std::uint16_t id) { return le(id, version_ <= 6 ? 4 : 2); }
    ArchiveBuilder& classVersion(std::uint32_t v) {
        int width = 4;
        if (version_ >= 3 && version_ <= 5)
            width = 1;
        else if (version_ == 6)
            width = 2;
        else if (version_ == 7)
            width = 1;
        return le(v, width);
    }

    // Signature, version field, native sizes, byte order check.
    ArchiveBuilder& preamble() {
        u32(22).raw("serialization::archive");
        const bool twoBytes = version_ == 6 || version_ >= 8 || (version_ == 7 && twoByteVersion7_);
        le(version_, twoBytes ? 2 : 1);
        return u8(4).u8(4).u8(4).u8(8).s32(1);
    }

    // Preamble, marker, default index and the list header with `count` elements.
    ArchiveBuilder& head(std::int32_t defaultIndex, std::uint32_t count,
                         std::u16string_view marker = u"VALDORIXDATABASEFLAG4") {
        preamble().text(marker).s32(defaultIndex);
        u8(0).classVersion(0).u32(count);
        if (version_ >= 4)
            u32(1);
        return *this;
    }

    // Tracking flag and class version of the shared reference type (before the first element).
    ArchiveBuilder& referencePreamble() { return u8(0).classVersion(1); }
    // Tracking flag and class version of the token type (at its first non-null occurrence).
    ArchiveBuilder& tokenPreamble(std::uint32_t classVersion = 1, std::uint8_t tracking = 1) {
        return u8(tracking).classVersion(classVersion);
    }

    // The record's fields in archive order; the suite only for class version 1 and above, the
    // tag and the hash first from version 2.
    ArchiveBuilder& record(const COtpToken& t, std::uint32_t classVersion = 1) {
        if (classVersion >= 2)
            u32(0xFFFFFFFF).s32(static_cast<std::int32_t>(t.hash));
        text(t.label).text(t.application).text(t.appId).text(t.serial).text(t.tokenName);
        text(t.userName).text(t.appUrl).text(t.serviceUrl).text(t.iconFile);
        u32(128);
        bytes.insert(bytes.end(), t.secondaryKey.begin(), t.secondaryKey.end());
        u32(128);
        bytes.insert(bytes.end(), t.primaryKey.begin(), t.primaryKey.end());
        s32(t.secondaryKeyLength).s32(t.primaryKeyLength).s64(t.expiryDate).s32(t.digits);
        s32(t.provisioned).s32(static_cast<std::int32_t>(t.kind)).s32(t.syncCount).s32(t.interval);
        s64(t.counter).s32(t.goDelay).u8(t.checksum).u8(t.dualDisplay).u8(t.spareFlag);
        if (classVersion >= 1)
            text(t.ocraSuite);
        return *this;
    }

private:
    unsigned version_;
    bool twoByteVersion7_;
};

} // namespace storetest
