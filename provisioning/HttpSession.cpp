#include "provisioning/HttpSession.h"

#include "platform/Clock.h"
#include "platform/CodePage.h"
#include "platform/ServerClock.h"
#include "provisioning/CurlLibrary.h"
#include "provisioning/HttpDate.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>

namespace XmlRpc {
namespace {

using SteadyClock = std::chrono::steady_clock;

// What a browser would say where the platform would ask the system for its browser's string.
constexpr const char* genericUserAgent = "Mozilla/5.0 (X11; Linux x86_64)";

// Only called once openSession() has found the library.
const CurlLibrary& curl() {
    return *curlLibrary();
}

CURLM* multiHandle(void* handle) {
    return static_cast<CURLM*>(handle);
}

CURL* easyHandle(void* handle) {
    return static_cast<CURL*>(handle);
}

// Path and query go to libcurl as they are, except for bytes a request line cannot carry.
std::string escapedForRequestLine(std::u16string_view text) {
    static const char hex[] = "0123456789ABCDEF";
    std::string bytes = platform::utf16ToUtf8(text);
    std::string escaped;
    escaped.reserve(bytes.size());
    for (unsigned char c : bytes) {
        if (c <= 0x20 || c >= 0x7F) {
            escaped += '%';
            escaped += hex[c >> 4];
            escaped += hex[c & 0x0F];
        } else {
            escaped += static_cast<char>(c);
        }
    }
    return escaped;
}

std::u16string latin1ToUtf16(std::string_view bytes) {
    std::u16string text;
    text.reserve(bytes.size());
    for (unsigned char c : bytes)
        text += static_cast<char16_t>(c);
    return text;
}

} // namespace

// libcurl's callbacks, with the session as their user data.
struct CurlCallbacks {
    static std::size_t onWrite(char* data, std::size_t size, std::size_t count, void* user);
    static std::size_t onHeader(char* data, std::size_t size, std::size_t count, void* user);
    static int onProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t);
    static int onConnected(void* user, char*, char*, int, int);
};

struct HttpSession::Exchange {
    std::string* sink = nullptr;
    std::size_t bodySize = 0;
    std::size_t received = 0;
    bool tooLarge = false;
    bool connected = false;
    std::int64_t uploaded = 0;
    std::int64_t downloaded = 0;
    SteadyClock::time_point lastProgress = SteadyClock::now();
    std::string statusText;
    std::string refusedRedirect; // why a redirect was not followed
};

HttpSession::HttpSession(std::u16string userAgent)
    : userAgent_(userAgent.empty() ? platform::utf8ToUtf16(genericUserAgent) : std::move(userAgent)) {}

HttpSession::~HttpSession() {
    close();
}

void HttpSession::close() {
    std::lock_guard lock(mutex_);
    closed_ = true;
    if (busy_) {
        // The worker owns the handles while send() runs: wake it, and it closes them on its way out.
        if (multi_ != nullptr)
            curl().multi_wakeup(multiHandle(multi_));
        return;
    }
    closeHandles();
}

void HttpSession::closeHandles() {
    if (easy_ != nullptr)
        curl().easy_cleanup(easyHandle(easy_));
    easy_ = nullptr;
    if (headers_ != nullptr)
        curl().slist_free_all(static_cast<curl_slist*>(headers_));
    headers_ = nullptr;
    if (multi_ != nullptr)
        curl().multi_cleanup(multiHandle(multi_));
    multi_ = nullptr;
}

void HttpSession::recordFailure(std::uint32_t code, std::string message) {
    lastErrorCode_ = code;
    lastMessage_ = std::move(message);
}

std::u16string HttpSession::lastErrorText() const {
    if (!errorText_.empty())
        return errorText_;
    if (lastErrorCode_ == 0)
        return {};
    if (lastErrorCode_ == accessDenied)
        return u"Access is denied.";
    if (!lastMessage_.empty())
        return platform::utf8ToUtf16(lastMessage_);
    return platform::utf8ToUtf16(std::to_string(lastErrorCode_));
}

void HttpSession::openSession() {
    std::lock_guard lock(mutex_);
    if (multi_ != nullptr)
        return;
    if (curlLibrary() == nullptr) {
        recordFailure(CURLE_FAILED_INIT, "The HTTP library (libcurl.so.4) could not be loaded.");
        throw std::runtime_error("Open WinInet failed.");
    }
    multi_ = curl().multi_init();
    if (multi_ == nullptr) {
        recordFailure(CURLE_FAILED_INIT, curl().easy_strerror(CURLE_FAILED_INIT));
        throw std::runtime_error("Open WinInet failed.");
    }
}

bool HttpSession::openConnection() {
    // Read again for every connection, so a changed file applies to the next call.
    timeouts_ = readNetworkTimeouts();

    CURL* easy = curl().easy_init();
    if (easy == nullptr) {
        recordFailure(CURLE_FAILED_INIT, curl().easy_strerror(CURLE_FAILED_INIT));
        return false;
    }
    {
        std::lock_guard lock(mutex_);
        easy_ = easy;
    }

    const std::string agent = platform::utf16ToUtf8(userAgent_);
    curl().easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl().easy_setopt(easy, CURLOPT_USERAGENT, agent.c_str());
    // An empty proxy name turns off every proxy, including those of http_proxy and friends.
    curl().easy_setopt(easy, CURLOPT_PROXY, "");
    curl().easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl().easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
    curl().easy_setopt(easy, CURLOPT_MAXREDIRS, 10L);
    curl().easy_setopt(easy, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    curl().easy_setopt(easy, CURLOPT_BUFFERSIZE, static_cast<long>(readChunkSize));
    curl().easy_setopt(easy, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(maxBodySize));
    curl().easy_setopt(easy, CURLOPT_ERRORBUFFER, curlError_);
    curl().easy_setopt(easy, CURLOPT_WRITEFUNCTION, &CurlCallbacks::onWrite);
    curl().easy_setopt(easy, CURLOPT_WRITEDATA, this);
    curl().easy_setopt(easy, CURLOPT_HEADERFUNCTION, &CurlCallbacks::onHeader);
    curl().easy_setopt(easy, CURLOPT_HEADERDATA, this);
    curl().easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
    curl().easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, &CurlCallbacks::onProgress);
    curl().easy_setopt(easy, CURLOPT_XFERINFODATA, this);
    curl().easy_setopt(easy, CURLOPT_PREREQFUNCTION, &CurlCallbacks::onConnected);
    curl().easy_setopt(easy, CURLOPT_PREREQDATA, this);

    // Timeouts. libcurl has one limit for name resolution and connecting together, and none per
    // send or receive. So: the connect limit is ResolveTimeout plus the request's own connect
    // timeout of 30 s (which, as on the platform client, replaces the file's ConnectTimeout for
    // every request); SendTimeout and ReceiveTimeout become stall limits (no byte moved for that
    // long while sending, or while waiting for and reading the response) that performExchange()
    // enforces, together with the limit on the whole call. Without the file the platform
    // library's defaults apply, as they would there.
    const long connectLimit = requestConnectTimeout + static_cast<long>(timeouts_.resolve);
    curl().easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, connectLimit);
    return true;
}

bool HttpSession::prepareRequest(const UrlParts& parts, std::u16string_view verb, std::string_view body) {
    CURL* easy = easyHandle(easy_);
    // Only https selects TLS; every other scheme is spoken as plain HTTP to its port.
    requestUrl_ = parts.secure ? "https://" : "http://";
    requestUrl_ += platform::utf16ToUtf8(parts.host);
    if (parts.port != 0)
        requestUrl_ += ":" + std::to_string(parts.port);
    requestUrl_ += escapedForRequestLine(parts.objectName());
    curl().easy_setopt(easy, CURLOPT_URL, requestUrl_.c_str());
    // libcurl's own guard against a downgrade; the header callback also keeps redirects on the host.
    curl().easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, parts.secure ? "https" : "http,https");

    curl_slist* headers = nullptr;
    const bool post = verb == u"POST";
    if (post) {
        const std::string contentType = "Content-Type: " + platform::utf16ToUtf8(contentType_);
        headers = curl().slist_append(headers, contentType.c_str());
        curl().easy_setopt(easy, CURLOPT_POST, 1L);
        curl().easy_setopt(easy, CURLOPT_POSTFIELDS, body.data());
        curl().easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
    } else {
        const std::string method = platform::utf16ToUtf8(verb);
        curl().easy_setopt(easy, CURLOPT_HTTPGET, 1L);
        curl().easy_setopt(easy, CURLOPT_CUSTOMREQUEST, method == "GET" ? nullptr : method.c_str());
    }
    // libcurl's own Accept and Expect headers are not ours to send.
    headers = curl().slist_append(headers, "Accept:");
    headers = curl().slist_append(headers, "Expect:");
    if (headers == nullptr) {
        recordFailure(CURLE_OUT_OF_MEMORY, curl().easy_strerror(CURLE_OUT_OF_MEMORY));
        return false;
    }
    if (headers_ != nullptr)
        curl().slist_free_all(static_cast<curl_slist*>(headers_));
    headers_ = headers;
    curl().easy_setopt(easy, CURLOPT_HTTPHEADER, headers);

    const long verify = ignoreCertificateErrors_ ? 0L : 1L;
    curl().easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, verify);
    curl().easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, verify * 2);
    return true;
}

void HttpSession::useEmptyCredentials(long status) {
    // Basic alone keeps it to one request per send, as the retry count expects.
    CURL* easy = easyHandle(easy_);
    if (status == 401) {
        curl().easy_setopt(easy, CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_BASIC));
        curl().easy_setopt(easy, CURLOPT_USERNAME, "");
        curl().easy_setopt(easy, CURLOPT_PASSWORD, "");
    } else {
        curl().easy_setopt(easy, CURLOPT_PROXYAUTH, static_cast<long>(CURLAUTH_BASIC));
        curl().easy_setopt(easy, CURLOPT_PROXYUSERNAME, "");
        curl().easy_setopt(easy, CURLOPT_PROXYPASSWORD, "");
    }
}

bool HttpSession::send(const std::u16string& url, std::u16string_view verb, std::string_view body,
                       std::string& sink) {
    {
        std::lock_guard lock(mutex_);
        busy_ = true;
    }
    // On every way out: a close() that came meanwhile gets its handles closed here.
    struct Release {
        HttpSession& session;
        ~Release() {
            std::lock_guard lock(session.mutex_);
            session.busy_ = false;
            if (session.closed_)
                session.closeHandles();
        }
    } release{*this};

    errorText_.clear();
    recordFailure(0, {});
    if (closed_) {
        recordFailure(CURLE_ABORTED_BY_CALLBACK, curl().easy_strerror(CURLE_ABORTED_BY_CALLBACK));
        return false;
    }
    // A new URL gets a new connection. The connection lives in the multi handle's cache, so
    // that goes too and is opened afresh below.
    if (!lastUrl_.empty() && lastUrl_ != url) {
        std::lock_guard lock(mutex_);
        closeHandles();
    }
    lastUrl_ = url;
    openSession();

    auto parts = splitUrl(url);
    if (!parts)
        return false;

    auto failWithAllClosed = [this] {
        std::lock_guard lock(mutex_);
        closeHandles();
        return false;
    };
    if (easy_ == nullptr && !openConnection())
        return failWithAllClosed();
    if (!prepareRequest(*parts, verb, body))
        return failWithAllClosed();
    // A server that sends a byte now and then never trips the stall limits; this ends the call.
    const auto callLimit = timeouts_.callLimit();
    callDeadline_.reset();
    if (callLimit)
        callDeadline_ = SteadyClock::now() + *callLimit;

    for (int authentications = 0;;) {
        long status = 0;
        Exchange exchange;
        exchange.sink = &sink;
        exchange.bodySize = verb == u"POST" ? body.size() : 0;
        if (!performExchange(exchange, status))
            return failWithAllClosed();

        if (status == 401 || status == 407) {
            useEmptyCredentials(status);
            if (++authentications <= 5)
                continue;
            recordFailure(accessDenied, {});
            return failWithAllClosed();
        }
        if (status < 400)
            return true; // the body is in `sink`; connection and session stay open

        // "%d %s" of code and status text, within the platform's 256-character buffer.
        std::u16string statusText = latin1ToUtf16(exchange.statusText.substr(0, 255));
        std::u16string line = platform::utf8ToUtf16(std::to_string(status)) + u" " + statusText;
        errorText_ = line.substr(0, 250);
        recordFailure(static_cast<std::uint32_t>(status), {});
        return failWithAllClosed();
    }
}

bool HttpSession::performExchange(Exchange& exchange, long& status) {
    CURLM* multi = multiHandle(multi_);
    CURL* easy = easyHandle(easy_);
    curlError_[0] = '\0';
    exchange_ = &exchange;
    struct Detach {
        HttpSession& session;
        CURLM* multi;
        CURL* easy;
        ~Detach() {
            curl().multi_remove_handle(multi, easy);
            session.exchange_ = nullptr;
        }
    };
    if (curl().multi_add_handle(multi, easy) != CURLM_OK) {
        recordFailure(CURLE_FAILED_INIT, curl().easy_strerror(CURLE_FAILED_INIT));
        exchange_ = nullptr;
        return false;
    }
    Detach detach{*this, multi, easy};

    auto fail = [this](CURLcode code, std::string detail = {}) {
        std::string message = curl().easy_strerror(code);
        if (!detail.empty())
            message += ": " + detail;
        else if (curlError_[0] != '\0')
            message += ": " + std::string(curlError_);
        recordFailure(static_cast<std::uint32_t>(code), std::move(message));
        return false;
    };

    for (;;) {
        if (closed_)
            return fail(CURLE_ABORTED_BY_CALLBACK, "the connection was closed");
        int running = 0;
        CURLMcode multiCode = curl().multi_perform(multi, &running);
        if (multiCode != CURLM_OK)
            return fail(CURLE_RECV_ERROR, curl().multi_strerror(multiCode));
        int queued = 0;
        while (CURLMsg* message = curl().multi_info_read(multi, &queued)) {
            if (message->msg != CURLMSG_DONE || message->easy_handle != easy)
                continue;
            if (!exchange.refusedRedirect.empty())
                return fail(CURLE_REMOTE_ACCESS_DENIED, exchange.refusedRedirect);
            if (exchange.tooLarge)
                return fail(CURLE_FILESIZE_EXCEEDED,
                            "the response is larger than " + std::to_string(maxBodySize) + " bytes");
            if (message->data.result != CURLE_OK) {
                if (closed_)
                    return fail(CURLE_ABORTED_BY_CALLBACK, "the connection was closed");
                return fail(message->data.result);
            }
            curl().easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
            return true;
        }

        // Progress as libcurl counts it: bytes of the request handed to the socket, bytes received.
        curl_off_t uploaded = 0;
        curl_off_t downloaded = 0;
        curl().easy_getinfo(easy, CURLINFO_SIZE_UPLOAD_T, &uploaded);
        curl().easy_getinfo(easy, CURLINFO_SIZE_DOWNLOAD_T, &downloaded);
        if (uploaded != exchange.uploaded || downloaded != exchange.downloaded) {
            exchange.uploaded = uploaded;
            exchange.downloaded = downloaded;
            exchange.lastProgress = SteadyClock::now();
        }

        int waitMs = 1000;
        if (callDeadline_) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(*callDeadline_ -
                                                                                   SteadyClock::now());
            if (left.count() <= 0)
                return fail(CURLE_OPERATION_TIMEDOUT,
                            "the call took longer than " +
                                std::to_string(timeouts_.callLimit().value_or(left).count()) + " ms");
            waitMs = static_cast<int>(std::min<long long>(waitMs, left.count()));
        }
        if (exchange.connected) {
            const bool sending = exchange.uploaded < static_cast<std::int64_t>(exchange.bodySize);
            const std::uint32_t limit = sending ? timeouts_.send : timeouts_.receive;
            if (limit != 0) {
                auto idle = std::chrono::duration_cast<std::chrono::milliseconds>(SteadyClock::now() -
                                                                                  exchange.lastProgress);
                if (idle.count() >= static_cast<long long>(limit))
                    return fail(CURLE_OPERATION_TIMEDOUT,
                                std::string(sending ? "nothing sent" : "nothing received") + " for " +
                                    std::to_string(limit) + " ms");
                waitMs = static_cast<int>(std::min<long long>(waitMs, limit - idle.count()));
            }
        }
        curl().multi_poll(multi, nullptr, 0, std::max(waitMs, 1), nullptr);
    }
}

std::size_t CurlCallbacks::onWrite(char* data, std::size_t size, std::size_t count, void* user) {
    auto* session = static_cast<HttpSession*>(user);
    HttpSession::Exchange* exchange = session->exchange_;
    const std::size_t length = size * count;
    if (exchange == nullptr)
        return 0;
    exchange->lastProgress = SteadyClock::now();
    long status = 0;
    curl().easy_getinfo(easyHandle(session->easy_), CURLINFO_RESPONSE_CODE, &status);
    if (status >= 400)
        return length; // the body of a refusal is not wanted
    if (length > HttpSession::maxBodySize - exchange->received) {
        exchange->tooLarge = true;
        return CURL_WRITEFUNC_ERROR;
    }
    exchange->sink->append(data, length);
    exchange->received += length;
    return length;
}

std::size_t CurlCallbacks::onHeader(char* data, std::size_t size, std::size_t count, void* user) {
    auto* session = static_cast<HttpSession*>(user);
    HttpSession::Exchange* exchange = session->exchange_;
    const std::size_t length = size * count;
    if (exchange == nullptr)
        return length;
    exchange->lastProgress = SteadyClock::now();
    // A status line ("HTTP/1.1 500 Internal Server Error") starts every response, redirects and
    // interim answers included; the last one counts.
    std::string_view line(data, length);
    if (line.starts_with("HTTP/")) {
        size_t code = line.find(' ');
        size_t text = code == std::string_view::npos ? std::string_view::npos : line.find(' ', code + 1);
        std::string_view reason = text == std::string_view::npos ? std::string_view() : line.substr(text + 1);
        while (!reason.empty() && (reason.back() == '\r' || reason.back() == '\n'))
            reason.remove_suffix(1);
        exchange->statusText = std::string(reason);
    } else if (line.size() > 5 && (line[0] | 0x20) == 'd' && (line[1] | 0x20) == 'a' && (line[2] | 0x20) == 't' &&
               (line[3] | 0x20) == 'e' && line[4] == ':') {
        // Every dated reply tells how far our clock is from the server's.
        if (const std::optional<std::int64_t> date = parseHttpDate(line.substr(5)))
            platform::noteServerTime(*date, platform::now());
    }
    // A redirect is checked before libcurl follows it: the body it would post again holds the
    // password.
    constexpr std::string_view locationName = "location:";
    if (line.size() > locationName.size() &&
        std::equal(locationName.begin(), locationName.end(), line.begin(),
                   [](char a, char b) { return a == (b >= 'A' && b <= 'Z' ? b - 'A' + 'a' : b); })) {
        CURL* easy = easyHandle(session->easy_);
        long status = 0;
        char* current = nullptr;
        curl().easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
        curl().easy_getinfo(easy, CURLINFO_EFFECTIVE_URL, &current);
        if (status >= 300 && status < 400) {
            exchange->refusedRedirect =
                redirectRefusal(current ? current : "", line.substr(locationName.size()));
            if (!exchange->refusedRedirect.empty())
                return 0; // ends the transfer
        }
    }
    return length;
}

int CurlCallbacks::onProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    // Ends the transfer with CURLE_ABORTED_BY_CALLBACK once the session is closed.
    return static_cast<HttpSession*>(user)->closed_ ? 1 : 0;
}

int CurlCallbacks::onConnected(void* user, char*, char*, int, int) {
    auto* session = static_cast<HttpSession*>(user);
    if (HttpSession::Exchange* exchange = session->exchange_) {
        exchange->connected = true;
        exchange->lastProgress = SteadyClock::now();
    }
    return CURL_PREREQFUNC_OK;
}

} // namespace XmlRpc
