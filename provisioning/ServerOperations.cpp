#include "provisioning/ServerOperations.h"

#include "engine/Descriptor.h"
#include "engine/OtpToken.h"
#include "engine/Sha1.h"
#include "platform/CodePage.h"
#include "provisioning/RpcCaller.h"
#include "provisioning/XmlRpcException.h"
#include "provisioning/XmlRpcValue.h"
#include "resources/StringTable.h"

#include <exception>

using XmlRpc::XmlRpcException;
using XmlRpc::XmlRpcVariant;
using namespace resources::ids;

namespace {

std::u16string tableText(int id) {
    return std::u16string(resources::loadString(id));
}

} // namespace

std::u16string packText(const XmlRpc::BinaryData& pack) {
    const std::string base64 = XmlRpc::base64Encode(pack);
    std::u16string text;
    text.reserve(base64.size() + base64.size() / 36 + 2);
    for (std::size_t i = 0; i < base64.size(); ++i) {
        text += static_cast<char16_t>(static_cast<unsigned char>(base64[i]));
        if ((i + 1) % 72 == 0)
            text += u"\r\n";
    }
    return text;
}

Outcome downloadToken(RpcCaller& caller, std::u16string_view serviceUrl, std::u16string_view loginName,
                      std::u16string_view password) {
    try {
        caller.setServiceUrl(std::u16string(serviceUrl));
        // Three separate structs, in this order.
        XmlRpcVariant params;
        params[0]["loginName"] = platform::toAnsi(loginName);
        params[1]["password"] = platform::toAnsi(password);
        params[2]["manufacturerCode"] = "CV";
        params[2]["productCode"] = "QZ";

        XmlRpcVariant result;
        if (!caller.call("oxa.downloadTokenV5", params, result))
            return Outcome::error(caller.errorText());
        if (result.type() != XmlRpcVariant::TypeArray || result.size() < 2)
            return Outcome::nothing();

        XmlRpcVariant& data = result[1];
        const XmlRpc::BinaryData pack = data["secret"].asBinary();
        // Read to check their type; nothing else uses them.
        (void)data["identifier"].asString();
        (void)data["status"].asString();

        if (!data.contains("ac"))
            return Outcome::packHandOff(packText(pack));
        std::shared_ptr<COtpToken> token = decryptDescriptor(data["ac"].asString(), pack);
        if (!token)
            return Outcome::error(tableText(IDS_INVALID_TOKEN_DATA));
        token->provisioned = 1;
        Outcome outcome = Outcome::information(tableText(IDS_DOWNLOADED));
        outcome.token = std::move(token);
        return outcome;
    } catch (const XmlRpcException& wrongShape) {
        return Outcome::error(platform::fromAnsi(wrongShape.message()));
    } catch (...) {
        return Outcome::nothing();
    }
}

Outcome activateToken(RpcCaller& caller, std::u16string_view serviceUrl, std::u16string_view reference,
                      std::u16string_view code) {
    try {
        caller.setServiceUrl(std::u16string(serviceUrl));
        const std::string codeBytes = platform::toAnsi(code);
        XmlRpc::BinaryData digest(Sha1DigestLength);
        sha1(codeBytes.data(), codeBytes.size(), digest.data());

        XmlRpcVariant params;
        params[0] = platform::toAnsi(reference);
        params[1] = std::move(digest);
        params[2] = std::string();

        XmlRpcVariant result;
        if (caller.call("oxa.activateToken", params, result))
            return Outcome::information(tableText(IDS_ACTIVATED));
        return Outcome::error(caller.errorText());
    } catch (const XmlRpcException& wrongShape) {
        // A reply of the wrong shape: shown like the download shows it.
        return Outcome::error(platform::fromAnsi(wrongShape.message()));
    } catch (...) {
        return Outcome::nothing();
    }
}

Outcome syncToken(RpcCaller& caller, std::u16string_view serviceUrl, std::u16string_view serial,
                  std::u16string_view codes) {
    try {
        caller.setServiceUrl(std::u16string(serviceUrl));
        XmlRpcVariant params;
        params[0] = platform::toAnsi(serial);
        params[1] = platform::toAnsi(codes);

        XmlRpcVariant result;
        if (caller.call("oxa.syncToken", params, result))
            return Outcome::information(tableText(IDS_SYNCHRONISED));
        return Outcome::error(caller.errorText());
    } catch (...) {
        return Outcome::error(tableText(IDS_SYNC_FAILED));
    }
}
