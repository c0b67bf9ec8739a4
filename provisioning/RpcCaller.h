#pragma once

#include "provisioning/XmlRpcValue.h"

#include <memory>
#include <mutex>
#include <string>
#include <string_view>

namespace XmlRpc {
class XmlRpcSSLClient;
}

// The one object through which every server call goes: it makes a fresh client per call, turns
// the server's reply convention (a status array, or a fault) into true or false with an error
// text, and lets another thread abort the running call.
//
// Workers may share one caller: each call owns its client together with the caller, so abort()
// never reaches a destroyed client, and the caller only remembers the latest one.
class RpcCaller {
public:
    RpcCaller();
    ~RpcCaller();
    RpcCaller(const RpcCaller&) = delete;
    RpcCaller& operator=(const RpcCaller&) = delete;

    void setServiceUrl(std::u16string url);
    std::u16string serviceUrl() const;

    // True when the server accepted the call: the reply is an array whose element 0 is "OK" in
    // any case. Otherwise false, with errorText() saying why ("Failed to connect the server." for
    // a transport or parse failure, the server's status or explanation, a fault's faultString).
    // A reply whose status or faultString is not a string throws XmlRpc::XmlRpcException.
    bool call(std::string_view methodName, const XmlRpc::XmlRpcVariant& params,
              XmlRpc::XmlRpcVariant& result);

    // The text of the last failed call; kept until a later call replaces it.
    std::u16string errorText() const;

    // Closes the connection of the current or last client (any thread). A call that waits for the
    // server then fails at once; one that has not reached the network yet fails without it. The
    // abort sticks: every call started afterwards fails at once, without touching the network.
    void abort();

private:
    void setErrorText(std::u16string text);

    mutable std::mutex mutex_; // guards the four members below
    std::u16string serviceUrl_;
    std::u16string errorText_;
    std::shared_ptr<XmlRpc::XmlRpcSSLClient> client_;
    bool aborted_ = false;
};
