#pragma once

#include "provisioning/NetworkTimeouts.h"
#include "provisioning/Url.h"

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace XmlRpc {

// One HTTP(S) client session on libcurl, with the behaviour the server and operators rely on:
// no proxy whatever the environment says, optional tolerance of certificate errors, 401 and 407
// answered with empty credentials up to five times, any status from 400 a failure, the body read
// in chunks of at most 2047 bytes, the connection kept while the URL stays the same, timeouts
// from the configuration file (else the platform library's defaults) read whenever a connection
// is opened, and a limit on the whole of one send() (NetworkTimeouts::callLimit).
// (Our stand-in for the platform's WinHttpSession.)
//
// Handles: the multi handle plays the session, the easy handle the connection (its connection
// lives in the multi handle's cache), and an easy handle attached to the multi handle the
// request. One thread uses the session at a time; close() may come from any thread.
class HttpSession {
public:
    // Responses above this size fail as a transport failure instead of exhausting memory.
    static constexpr std::size_t maxBodySize = 64u * 1024u * 1024u;
    // The body arrives in pieces of at most this many bytes.
    static constexpr std::size_t readChunkSize = 2047;
    // Applies to every request; replaces the ConnectTimeout of the configuration file.
    static constexpr std::uint32_t requestConnectTimeout = 30000;
    // The error code after six refused authentications (access denied).
    static constexpr std::uint32_t accessDenied = 0x80070005u;

    // An empty user agent stands for a generic browser's.
    explicit HttpSession(std::u16string userAgent = {});
    ~HttpSession();
    HttpSession(const HttpSession&) = delete;
    HttpSession& operator=(const HttpSession&) = delete;

    void setContentType(std::u16string contentType) { contentType_ = std::move(contentType); }
    void setIgnoreCertificateErrors(bool ignore) { ignoreCertificateErrors_ = ignore; }
    const std::u16string& userAgent() const { return userAgent_; }

    // One exchange: `verb` on `url` with `body` as the whole content. On success (a final status
    // below 400) the response body has been appended to `sink`. On failure lastErrorText() says
    // why. Throws std::runtime_error("Open WinInet failed.") when no session can be opened.
    bool send(const std::u16string& url, std::u16string_view verb, std::string_view body, std::string& sink);

    // The status line of the last failed exchange ("500 Internal Server Error"), else the message
    // for the last error code; empty when there is none.
    std::u16string lastErrorText() const;
    std::uint32_t lastErrorCode() const { return lastErrorCode_; }

    // Closes the request, the connection and the session. Called from another thread while send()
    // waits, it wakes that call, which then fails at once. A closed session stays closed: every
    // later send() fails without touching the network, so an abort can never be lost.
    void close();

private:
    struct Exchange; // the state of one running transfer, seen by libcurl's callbacks

    void openSession();
    bool openConnection();
    bool prepareRequest(const UrlParts& parts, std::u16string_view verb, std::string_view body);
    bool performExchange(Exchange& exchange, long& status);
    void useEmptyCredentials(long status);
    void closeHandles(); // call with mutex_ held
    void recordFailure(std::uint32_t code, std::string message);

    friend struct CurlCallbacks;

    std::u16string userAgent_;
    std::u16string contentType_ = u"application/x-www-form-urlencoded";
    bool ignoreCertificateErrors_ = false;

    std::u16string lastUrl_;
    std::u16string errorText_;
    std::uint32_t lastErrorCode_ = 0;
    std::string lastMessage_; // libcurl's message for lastErrorCode_
    NetworkTimeouts timeouts_;
    std::optional<std::chrono::steady_clock::time_point> callDeadline_; // of the running send()

    // The handles are libcurl's CURLM* and CURL*, kept opaque so that no libcurl header leaks out.
    void* multi_ = nullptr;
    void* easy_ = nullptr;
    void* headers_ = nullptr; // curl_slist*
    std::string requestUrl_;
    char curlError_[256] = {};
    Exchange* exchange_ = nullptr;

    std::mutex mutex_;  // guards creation and destruction of the handles and busy_
    bool busy_ = false; // a transfer is attached to the multi handle
    std::atomic<bool> closed_ = false;
};

} // namespace XmlRpc
