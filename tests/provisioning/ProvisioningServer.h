#pragma once

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <string>
#include <sys/types.h>
#include <vector>

// The local provisioning server of tools/provisioning-server as a child process on 127.0.0.1:
// started once per test suite, its URLs read from its output, every request it received readable
// from its log folder, stopped at the end.
class ProvisioningServer {
public:
    struct Request {
        std::string head; // request line and headers, one per line ("\n")
        std::string body;
        int peerPort = 0;
    };

    ProvisioningServer() = default;
    ~ProvisioningServer();
    ProvisioningServer(const ProvisioningServer&) = delete;
    ProvisioningServer& operator=(const ProvisioningServer&) = delete;

    // Starts the server and waits (generously) for its URLs. False with the reason when python3
    // or openssl is missing (`skip` set) or the server did not come up.
    bool start(std::string& reason, bool& skip);
    void stop();

    std::string httpUrl;         // http://127.0.0.1:PORT/rpc
    std::string httpsUrl;        // self-signed, issued for another name
    std::string expiredHttpsUrl; // self-signed and expired

    // The requests received so far, oldest first (only those whose body has been written).
    std::vector<Request> requests() const;
    void clearRequests();
    // Waits until at least `count` requests have arrived; false after `timeout`.
    bool waitForRequests(std::size_t count, std::chrono::milliseconds timeout) const;

    // Every request gets this behaviour while it is set; an empty word removes the control file.
    void setBehaviour(const std::string& word);

    // A URL of the plain HTTP server whose path picks `behaviour` ("/rpc/<behaviour>").
    std::string httpUrlFor(const std::string& behaviour) const { return httpUrl + "/" + behaviour; }

private:
    pid_t pid_ = -1;
    int stdin_ = -1; // write end of the server's standard input
    std::filesystem::path folder_;
};

// A port on 127.0.0.1 where nothing listens (bound, then released).
int unusedLocalPort();

// Sets an environment variable for the life of the object, then restores the old value.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const std::string& value);
    ~ScopedEnvironment();
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    std::string name_;
    bool had_ = false;
    std::string old_;
};
