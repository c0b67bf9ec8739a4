#pragma once

#include "provisioning/XmlRpcUtil.h"

#include <memory>
#include <string>
#include <string_view>

class COtpToken;
class RpcCaller;

// How a server operation ends, for the progress page to show.
struct Outcome {
    enum class Kind {
        Nothing,     // no text
        Information, // `text` in the information line
        Error,       // `text` in the error line
        PackHandOff, // `text` is the token pack as Base64 for the activation page
    };
    Kind kind = Kind::Nothing;
    std::u16string text;
    // A downloaded token (provisioned 1); the UI thread adds it to the store and saves.
    std::shared_ptr<COtpToken> token;

    static Outcome nothing() { return {}; }
    static Outcome information(std::u16string text) { return {Kind::Information, std::move(text), nullptr}; }
    static Outcome error(std::u16string text) { return {Kind::Error, std::move(text), nullptr}; }
    static Outcome packHandOff(std::u16string text) { return {Kind::PackHandOff, std::move(text), nullptr}; }
};

// The three calls of the authentication server, each through `caller` (whose abort() ends it).
// Texts go to the server in the ANSI code page; none of these throws.

// "oxa.downloadTokenV5" with the login name, the password and the product codes. A reply with
// the authorisation code ("ac") gives the deciphered token; one without it hands the enciphered
// pack to the activation page.
Outcome downloadToken(RpcCaller& caller, std::u16string_view serviceUrl, std::u16string_view loginName,
                      std::u16string_view password);

// "oxa.activateToken" with the reference, the SHA-1 of the code (never the code) and an empty
// string.
Outcome activateToken(RpcCaller& caller, std::u16string_view serviceUrl, std::u16string_view reference,
                      std::u16string_view code);

// "oxa.syncToken" with the token's serial and its run of codes.
Outcome syncToken(RpcCaller& caller, std::u16string_view serviceUrl, std::u16string_view serial,
                  std::u16string_view codes);

// A token pack as text for the activation page: Base64 with CR LF after every 72 characters.
std::u16string packText(const XmlRpc::BinaryData& pack);
