#include "provisioning/RpcCaller.h"

#include "platform/CodePage.h"
#include "provisioning/XmlRpcException.h"
#include "provisioning/XmlRpcSSLClient.h"
#include "resources/StringTable.h"

#include <utility>

using XmlRpc::XmlRpcVariant;

namespace {

bool isOk(const std::string& status) {
    return status.size() == 2 && (status[0] == 'O' || status[0] == 'o') &&
           (status[1] == 'K' || status[1] == 'k');
}

} // namespace

RpcCaller::RpcCaller() = default;
RpcCaller::~RpcCaller() = default;

void RpcCaller::setServiceUrl(std::u16string url) {
    std::lock_guard lock(mutex_);
    serviceUrl_ = std::move(url);
}

std::u16string RpcCaller::serviceUrl() const {
    std::lock_guard lock(mutex_);
    return serviceUrl_;
}

std::u16string RpcCaller::errorText() const {
    std::lock_guard lock(mutex_);
    return errorText_;
}

void RpcCaller::setErrorText(std::u16string text) {
    std::lock_guard lock(mutex_);
    errorText_ = std::move(text);
}

void RpcCaller::abort() {
    std::shared_ptr<XmlRpc::XmlRpcSSLClient> client;
    {
        std::lock_guard lock(mutex_);
        aborted_ = true;
        client = client_;
    }
    if (client)
        client->close();
}

bool RpcCaller::call(std::string_view methodName, const XmlRpcVariant& params, XmlRpcVariant& result) {
    std::shared_ptr<XmlRpc::XmlRpcSSLClient> client;
    {
        std::lock_guard lock(mutex_);
        // An abort that came before this call's client existed must still end it.
        if (aborted_) {
            errorText_ = u"Failed to connect the server.";
            return false;
        }
        client = std::make_shared<XmlRpc::XmlRpcSSLClient>(platform::toAnsi(serviceUrl_));
        client_ = client; // the previous client goes once its own call, if any, has let go of it
    }

    if (!client->invoke(methodName, params, result)) {
        setErrorText(std::u16string(resources::loadString(resources::ids::IDS_CONNECT_FAILED)));
        return false;
    }

    try {
        if (result.type() == XmlRpcVariant::TypeArray) {
            const XmlRpcVariant& reply = std::as_const(result);
            if (reply.size() == 0)
                return false;
            const std::string& status = reply[0].asString();
            setErrorText(platform::fromAnsi(status));
            if (isOk(status))
                return true;
            if (reply.size() > 1 && reply[1].type() == XmlRpcVariant::TypeString)
                setErrorText(platform::fromAnsi(reply[1].asString()));
            return false;
        }
        if (result.type() == XmlRpcVariant::TypeStruct) {
            setErrorText(platform::fromAnsi(result["faultString"].asString()));
            return false;
        }
        return false;
    } catch (const XmlRpc::XmlRpcException&) {
        // A status or faultString that is no string: looking at faultString once more raises
        // again ("type error: expected a struct" for an array, "type error" for a struct), and
        // that exception leaves the call for the operation to handle.
        setErrorText(platform::fromAnsi(result["faultString"].asString()));
        throw;
    }
}
