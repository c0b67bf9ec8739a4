#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// Text helpers of the XML-RPC layer: entities, Base64, the small tag scanner the value reader is
// built from, and the diagnostics hooks. All text is 8-bit bytes; offsets are byte positions.
namespace XmlRpc {

using BinaryData = std::vector<unsigned char>;

// --- Entities -------------------------------------------------------------------------------

// Replaces < > & ' " by their five named entities; every other byte passes through.
std::string encodeEntities(std::string_view text);

// Decodes the five named entities and decimal numeric references (to UTF-8). Anything else that
// starts with "&" is kept as it stands. A reference read the way atoi reads it, so "&#x41;" is 0.
// Throws std::range_error("bad conversion") for a reference above U+10FFFF or below zero.
std::string decodeEntities(std::string_view text);

// --- Base64 ---------------------------------------------------------------------------------

// Standard alphabet with "=" padding, on one line whatever the length.
std::string base64Encode(const unsigned char* data, std::size_t length);
std::string base64Encode(const BinaryData& bytes);

// Skips every character outside the alphabet; "=" ends the data. Never fails: a group cut short
// by the end of the text gives nothing.
BinaryData base64Decode(std::string_view text);

// --- Tag scanner ----------------------------------------------------------------------------
// Each one leaves `offset` where it was when it does not find what it looks for. An offset past
// the end of the text finds nothing.

// Skips whitespace; true and moves past `tag` when the text continues with exactly `tag`.
bool consumeTag(std::string_view tag, std::string_view text, std::size_t& offset);

// Moves just past the first `tag` at or after `offset`; false when there is none.
bool seekPastTag(std::string_view tag, std::string_view text, std::size_t& offset);

// Skips whitespace; when a "<" follows, returns it up to and including the next ">" (or to the
// end of the text) and moves past it; otherwise returns an empty string.
std::string readAnyTag(std::string_view text, std::size_t& offset);

// Finds `tag` (such as "<name>") and then its closing tag, returns what lies between and moves
// past the closing tag; an empty string when either is missing.
std::string extractElement(std::string_view tag, std::string_view text, std::size_t& offset);

// --- Diagnostics ----------------------------------------------------------------------------

// Receives the layer's error messages. They are diagnostics for developers, never user texts.
class XmlRpcErrorHandler {
public:
    virtual ~XmlRpcErrorHandler() = default;
    virtual void report(const char* message) = 0;
};

// Receives the layer's log messages with their level.
class XmlRpcLogHandler {
public:
    virtual ~XmlRpcLogHandler() = default;
    virtual void write(int level, const char* message) = 0;
};

// The current handlers, process-wide. Setting nullptr returns to the default handler; the
// caller keeps ownership and must keep a handler alive while it is installed.
XmlRpcErrorHandler& errorHandler();
void setErrorHandler(XmlRpcErrorHandler* handler);
XmlRpcLogHandler& logHandler();
void setLogHandler(XmlRpcLogHandler* handler);

// Log messages above this level are dropped by the default log handler. Starts at 0.
int verbosity();
void setVerbosity(int level);

// Formats printf-style (at most 1023 characters, the rest is cut) and hands the text to the
// current error handler.
void reportError(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Formats like reportError and hands the text with its level to the current log handler.
void reportLog(int level, const char* format, ...) __attribute__((format(printf, 2, 3)));

} // namespace XmlRpc

// The default handlers write the message and a line feed to standard error, which stands in for
// the Windows debugger output (OutputDebugStringA).
class DefaultErrorHandler : public XmlRpc::XmlRpcErrorHandler {
public:
    void report(const char* message) override;
};

class DefaultLogHandler : public XmlRpc::XmlRpcLogHandler {
public:
    void write(int level, const char* message) override;
};
