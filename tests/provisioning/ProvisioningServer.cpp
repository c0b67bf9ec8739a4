#include "ProvisioningServer.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sstream>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace fs = std::filesystem;

namespace {

std::string readFile(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

bool onPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::istringstream folders(path != nullptr ? path : "/usr/bin:/bin");
    std::string folder;
    while (std::getline(folders, folder, ':'))
        if (!folder.empty() && ::access((folder + "/" + program).c_str(), X_OK) == 0)
            return true;
    return false;
}

std::string serverScript() {
    const char* source = std::getenv("VALDORIX_SOURCE_DIR");
    std::string root = source != nullptr ? source : VALDORIX_SOURCE_DIR_FALLBACK;
    return root + "/tools/provisioning-server/provisioning_server.py";
}

} // namespace

ProvisioningServer::~ProvisioningServer() {
    stop();
}

bool ProvisioningServer::start(std::string& reason, bool& skip) {
    skip = false;
    for (const char* program : {"python3", "openssl"}) {
        if (!onPath(program)) {
            reason = std::string(program) + " is not installed";
            skip = true;
            return false;
        }
    }
    folder_ = fs::temp_directory_path() / ("valdorix-server-" + std::to_string(::getpid()) + "-" +
                                           std::to_string(reinterpret_cast<std::uintptr_t>(this)));
    fs::remove_all(folder_);
    fs::create_directories(folder_ / "log");

    // Standard output carries the URLs; standard input stays open while this process lives, so
    // the server stops by itself even when the test dies without stop().
    int out[2];
    int in[2];
    if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(in, O_CLOEXEC) != 0) {
        reason = "no pipe";
        return false;
    }
    stdin_ = in[1];
    const std::string script = serverScript();
    const std::string logDir = (folder_ / "log").string();
    const std::string control = (folder_ / "control").string();
    const std::string errors = (folder_ / "stderr.txt").string();
    std::vector<std::string> args = {"python3",   script,  "--log-dir",        logDir,
                                     "--control", control, "--exit-with-stdin"};
    std::vector<char*> argv;
    for (auto& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    int spawned = ::posix_spawnp(&pid_, "python3", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    ::close(in[0]);
    if (spawned != 0) {
        ::close(out[0]);
        pid_ = -1;
        reason = "python3 could not be started";
        skip = true;
        return false;
    }

    // A loaded machine may take a while to start Python and make two keys.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    std::string output;
    bool ready = false;
    while (!ready && std::chrono::steady_clock::now() < deadline) {
        pollfd wait{out[0], POLLIN, 0};
        if (::poll(&wait, 1, 500) <= 0)
            continue;
        char buffer[512];
        ssize_t got = ::read(out[0], buffer, sizeof buffer);
        if (got <= 0)
            break;
        output.append(buffer, static_cast<size_t>(got));
        ready = output.find("\nready\n") != std::string::npos;
    }
    ::close(out[0]);
    if (!ready) {
        reason = "the provisioning server did not start: " + output + readFile(errors);
        stop();
        return false;
    }
    std::istringstream lines(output);
    std::string name, url;
    while (lines >> name) {
        if (name == "ready")
            break;
        lines >> url;
        if (name == "http_url")
            httpUrl = url;
        else if (name == "https_url")
            httpsUrl = url;
        else if (name == "expired_https_url")
            expiredHttpsUrl = url;
    }
    return true;
}

void ProvisioningServer::stop() {
    if (stdin_ >= 0)
        ::close(stdin_);
    stdin_ = -1;
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
    }
    if (!folder_.empty()) {
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
        folder_.clear();
    }
}

std::vector<ProvisioningServer::Request> ProvisioningServer::requests() const {
    std::vector<fs::path> bodies;
    std::error_code ignored;
    for (const auto& entry : fs::directory_iterator(folder_ / "log", ignored))
        if (entry.path().extension() == ".body")
            bodies.push_back(entry.path());
    std::sort(bodies.begin(), bodies.end());
    std::vector<Request> found;
    for (const auto& body : bodies) {
        fs::path stem = body;
        stem.replace_extension();
        Request request;
        request.body = readFile(body);
        request.head = readFile(stem.string() + ".head");
        request.peerPort = std::atoi(readFile(stem.string() + ".peer").c_str());
        found.push_back(std::move(request));
    }
    return found;
}

void ProvisioningServer::clearRequests() {
    std::error_code ignored;
    for (const auto& entry : fs::directory_iterator(folder_ / "log", ignored))
        fs::remove(entry.path(), ignored);
}

bool ProvisioningServer::waitForRequests(std::size_t count, std::chrono::milliseconds timeout) const {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (requests().size() < count) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

void ProvisioningServer::setBehaviour(const std::string& word) {
    std::error_code ignored;
    if (word.empty())
        fs::remove(folder_ / "control", ignored);
    else
        std::ofstream(folder_ / "control") << word << "\n";
}

int unusedLocalPort() {
    int socket = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(socket, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(socket);
    return ntohs(address.sin_port);
}

ScopedEnvironment::ScopedEnvironment(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) {
        had_ = true;
        old_ = old;
    }
    ::setenv(name, value.c_str(), 1);
}

ScopedEnvironment::~ScopedEnvironment() {
    if (had_)
        ::setenv(name_.c_str(), old_.c_str(), 1);
    else
        ::unsetenv(name_.c_str());
}
