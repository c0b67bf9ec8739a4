#pragma once

#include "provisioning/XmlRpcUtil.h"

#include <cstddef>
#include <ctime>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace XmlRpc {

// One XML-RPC value: a tagged union over the nine types of the protocol. A value owns its
// payload; copies are deep.
//
// Typed access (asBool, asString, ...) follows one rule: an invalid value first becomes the
// requested type with an empty payload, a value of that type returns its payload, any other
// type throws XmlRpcException "type error" and leaves the value as it was. The const forms
// cannot change the value, so for an invalid value they return an empty payload instead.
class XmlRpcVariant {
public:
    // Stable codes; other parts of the client compare against them.
    enum Type {
        TypeInvalid = 0,
        TypeBoolean = 1,
        TypeInt = 2,
        TypeDouble = 3,
        TypeString = 4,
        TypeDateTime = 5,
        TypeBase64 = 6,
        TypeArray = 7,
        TypeStruct = 8,
    };

    using ValueArray = std::vector<XmlRpcVariant>;
    using Member = std::pair<std::string, XmlRpcVariant>;

    // The members of a struct, ordered by name byte by byte (so they are written in that order),
    // each name once. One flat block: replies carry a handful of members, and a tree would cost an
    // allocation per member.
    class ValueStruct {
    public:
        using const_iterator = std::vector<Member>::const_iterator;

        const_iterator begin() const noexcept { return members_.begin(); }
        const_iterator end() const noexcept { return members_.end(); }
        std::size_t size() const noexcept { return members_.size(); }
        bool empty() const noexcept { return members_.empty(); }

        // The member called `name`, or null.
        const XmlRpcVariant* find(std::string_view name) const noexcept;
        XmlRpcVariant* find(std::string_view name) noexcept;
        // The member called `name`, added invalid when missing.
        XmlRpcVariant& operator[](std::string_view name);

        friend bool operator==(const ValueStruct& a, const ValueStruct& b) { return a.members_ == b.members_; }

    private:
        friend class XmlRpcVariant;
        // Sorts members read in the reply's order; a repeated name keeps its first value.
        void settle();

        std::vector<Member> members_;
    };

    // readXml refuses arrays and structs nested deeper than this, so a hostile reply cannot
    // exhaust the stack.
    static constexpr int kMaxNesting = 256;

    XmlRpcVariant() noexcept {}
    XmlRpcVariant(bool value) noexcept : type_(TypeBoolean), bool_(value) {}
    XmlRpcVariant(int value) noexcept : type_(TypeInt), int_(value) {}
    XmlRpcVariant(double value) noexcept : type_(TypeDouble), double_(value) {}
    // A null pointer gives the empty string.
    XmlRpcVariant(const char* value);
    XmlRpcVariant(std::string value);
    // Calendar time as std::tm: year from 1900, month 0..11.
    XmlRpcVariant(const std::tm& value);
    XmlRpcVariant(BinaryData value);

    XmlRpcVariant(const XmlRpcVariant& other);
    XmlRpcVariant(XmlRpcVariant&& other) noexcept;
    XmlRpcVariant& operator=(const XmlRpcVariant& other);
    XmlRpcVariant& operator=(XmlRpcVariant&& other) noexcept;
    ~XmlRpcVariant() { clear(); }

    void swap(XmlRpcVariant& other) noexcept;

    // Back to invalid; releases the payload.
    void clear() noexcept;
    Type type() const noexcept { return type_; }
    bool isValid() const noexcept { return type_ != TypeInvalid; }

    bool& asBool();
    int& asInt();
    double& asDouble();
    std::string& asString();
    std::tm& asDateTime();
    BinaryData& asBinary();
    ValueArray& asArray();
    ValueStruct& asStruct();

    bool asBool() const;
    int asInt() const;
    double asDouble() const;
    const std::string& asString() const;
    const std::tm& asDateTime() const;
    const BinaryData& asBinary() const;
    const ValueArray& asArray() const;
    const ValueStruct& asStruct() const;

    // Bytes of a string or base64 value, elements of an array, members of a struct; "type error"
    // for every other type.
    std::size_t size() const;

    // Element i of an array that has it; "type error: expected an array" or "range error: array
    // index too large" otherwise.
    const XmlRpcVariant& operator[](std::size_t i) const;
    // Grows the array (an invalid value becomes one) to hold element i, then returns it.
    XmlRpcVariant& operator[](std::size_t i);
    // An invalid value becomes an array of n invalid elements; a shorter array grows to n, a
    // longer one is left alone. "type error: expected an array" for any other type.
    void resize(std::size_t n);

    // The member called `name`, created invalid when missing; an invalid value becomes an empty
    // struct first. "type error: expected a struct" for any other type.
    XmlRpcVariant& operator[](std::string_view name);
    // True only for a struct that has the member; never throws.
    bool contains(std::string_view name) const noexcept;

    // The <value> element of this value, without whitespace; empty for an invalid value.
    std::string writeXml() const;
    // Appends writeXml() to `out`.
    void appendXml(std::string& out) const;

    // Reads one <value> element starting at byte `offset`. On success replaces this value, moves
    // `offset` past "</value>" and returns true; on failure leaves this value invalid and
    // `offset` unchanged. Malformed text only gives false; the one exception is
    // std::range_error("bad conversion") for a character reference beyond Unicode.
    bool readXml(std::string_view text, std::size_t& offset);

    // Same type and same payload (a dateTime compares its six calendar fields).
    friend bool operator==(const XmlRpcVariant& a, const XmlRpcVariant& b);

private:
    enum class ReadResult { Ok, Failed, TooDeep };
    class TagSearch;
    static ReadResult readValue(TagSearch& search, std::size_t& offset, int nesting, XmlRpcVariant& out);
    static ReadResult readValueAt(TagSearch& search, std::size_t& offset, int nesting, XmlRpcVariant& out);

    void become(Type type);
    void requireType(Type type);
    void requireTypeConst(Type type) const;
    void copyFrom(const XmlRpcVariant& other);
    void moveFrom(XmlRpcVariant& other) noexcept;

    Type type_ = TypeInvalid;
    union {
        bool bool_;
        int int_;
        double double_;
        std::string string_;
        std::tm* time_;
        BinaryData binary_;
        ValueArray array_;
        ValueStruct struct_;
    };
};

inline void swap(XmlRpcVariant& a, XmlRpcVariant& b) noexcept {
    a.swap(b);
}

} // namespace XmlRpc
