#pragma once

#include "provisioning/HttpSession.h"
#include "provisioning/XmlRpcValue.h"

#include <atomic>
#include <string>
#include <string_view>

namespace XmlRpc {

// XML-RPC calls against one service URL over HTTP or HTTPS. invoke() blocks its thread until the
// exchange is over; close() from another thread ends it at once. Failures come back as false with
// the reason in result["faultString"]; diagnostics go to reportError().
class XmlRpcSSLClient {
public:
    // `url` is 8-bit text in the ANSI code page. Certificate errors of the server are ignored.
    explicit XmlRpcSSLClient(std::string url);
    virtual ~XmlRpcSSLClient();
    XmlRpcSSLClient(const XmlRpcSSLClient&) = delete;
    XmlRpcSSLClient& operator=(const XmlRpcSSLClient&) = delete;

    // Closes every handle; safe from another thread while invoke() runs, which then returns false.
    virtual void close();

    // One call. `params` is one parameter, or an array whose elements are the parameters (an
    // invalid value sends none). True when a methodResponse was parsed: `result` holds its value,
    // which for a fault document is the fault struct. False for an empty URL or a call already
    // running (result untouched), or on a transport or parse failure.
    bool invoke(std::string_view methodName, const XmlRpcVariant& params, XmlRpcVariant& result);

    // Parses the response text of the last exchange into `result`; empties it.
    bool parseResponse(XmlRpcVariant& result);

    // The last response carried <fault> instead of <params>.
    bool isFault() const { return fault_; }
    bool executing() const { return executing_; }
    const std::string& url() const { return url_; }

    // The request body of a call, byte for byte.
    static std::string frameCall(std::string_view methodName, const XmlRpcVariant& params);

private:
    std::string url_;
    std::atomic<bool> executing_ = false; // refuses a nested invoke; no lock
    bool fault_ = false;
    std::string response_;
    HttpSession session_;
};

} // namespace XmlRpc
