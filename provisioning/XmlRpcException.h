#pragma once

#include <exception>
#include <string>
#include <utility>

namespace XmlRpc {

// Raised for misuse of an XmlRpcVariant (wrong type, index out of range). It never leaves the
// provisioning layer: the server operations catch it.
class XmlRpcException : public std::exception {
public:
    explicit XmlRpcException(std::string message, int code = -1)
        : message_(std::move(message)), code_(code) {}

    const std::string& message() const noexcept { return message_; }
    int code() const noexcept { return code_; }
    const char* what() const noexcept override { return message_.c_str(); }

private:
    std::string message_;
    int code_;
};

} // namespace XmlRpc
