#include "provisioning/XmlRpcSSLClient.h"

#include "platform/CodePage.h"
#include "provisioning/XmlRpcUtil.h"

#include <exception>

namespace XmlRpc {

XmlRpcSSLClient::XmlRpcSSLClient(std::string url) : url_(std::move(url)), session_(u"corvane xmlrpc 1.0") {
    session_.setContentType(u"text/xml; charset=utf-8");
    session_.setIgnoreCertificateErrors(true);
}

XmlRpcSSLClient::~XmlRpcSSLClient() {
    session_.close();
}

void XmlRpcSSLClient::close() {
    session_.close();
}

std::string XmlRpcSSLClient::frameCall(std::string_view methodName, const XmlRpcVariant& params) {
    std::string body = "<?xml version=\"1.0\"?>\r\n<methodCall><methodName>";
    body += methodName;
    body += "</methodName>\r\n";
    if (params.isValid()) {
        body += "<params>";
        if (params.type() == XmlRpcVariant::TypeArray) {
            for (const XmlRpcVariant& param : params.asArray()) {
                body += "<param>";
                param.appendXml(body);
                body += "</param>";
            }
        } else {
            body += "<param>";
            params.appendXml(body);
            body += "</param>";
        }
        body += "</params>";
    }
    body += "</methodCall>\r\n";
    return body;
}

bool XmlRpcSSLClient::invoke(std::string_view methodName, const XmlRpcVariant& params,
                             XmlRpcVariant& result) {
    if (url_.empty())
        return false;
    bool expected = false;
    if (!executing_.compare_exchange_strong(expected, true))
        return false;
    struct ClearExecuting {
        std::atomic<bool>& flag;
        ~ClearExecuting() { flag = false; }
    } clearExecuting{executing_};

    try {
        const std::string body = frameCall(methodName, params);
        result.clear();
        std::string sink;
        if (session_.send(platform::fromAnsi(url_), u"POST", body, sink)) {
            response_ = std::move(sink);
            return parseResponse(result);
        }
        const std::string text = platform::toAnsi(session_.lastErrorText());
        reportError("%s", text.c_str());
        result.clear();
        result["faultString"] = text;
        return false;
    } catch (const std::exception& failure) {
        response_.clear();
        reportError("%s", failure.what());
        result.clear();
        result["faultString"] = std::string(failure.what());
        return false;
    }
}

bool XmlRpcSSLClient::parseResponse(XmlRpcVariant& result) {
    fault_ = false;
    std::size_t offset = response_.find("<methodResponse>");
    if (offset == std::string::npos) {
        reportError(
            "Error in XmlRpcClient::parseResponse: Invalid response - no methodResponse. Response:\n%s",
            response_.c_str());
        return false;
    }
    offset += std::string_view("<methodResponse>").size();

    std::size_t start = offset;
    if (!(consumeTag("<params>", response_, offset) && consumeTag("<param>", response_, offset))) {
        offset = start;
        if (consumeTag("<fault>", response_, offset)) {
            fault_ = true;
        } else {
            reportError("Error in XmlRpcClient::parseResponse: Invalid response - no param or fault tag. "
                        "Response:\n%s",
                        response_.c_str());
            response_.clear();
            return false;
        }
    }

    if (!result.readXml(response_, offset)) {
        reportError("Error in XmlRpcClient::parseResponse: Invalid response value. Response:\n%s",
                    response_.c_str());
        response_.clear();
        return false;
    }
    response_.clear();
    return result.isValid();
}

} // namespace XmlRpc
