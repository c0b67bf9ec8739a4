#include "platform/Folders.h"

#include "platform/ReadFile.h"
#include "platform/Trim.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <sstream>

namespace platform {
namespace {

std::optional<std::string>& machineIdOverride()
{
    static std::optional<std::string> id;
    return id;
}

std::string environment(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr ? std::string(value) : std::string();
}

// Creates every missing folder of `path` (mode 0700 for the ones we make).
bool makeFolders(const std::string& path)
{
    if (path.empty())
        return false;
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0)
        return S_ISDIR(info.st_mode);
    size_t slash = path.find_last_of('/');
    if (slash != std::string::npos && slash > 0 && !makeFolders(path.substr(0, slash)))
        return false;
    return ::mkdir(path.c_str(), 0700) == 0 || errno == EEXIST;
}

std::string trimmed(const std::string& text)
{
    return std::string(platform::trimmed(std::string_view(text), platform::isLineBlank));
}

} // namespace

std::string executableFolder()
{
    char buffer[4096];
    ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (length <= 0)
        return ".";
    std::string path(buffer, static_cast<size_t>(length));
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

std::string productFolder()
{
    std::string data = environment("XDG_DATA_HOME");
    if (data.empty() || data.front() != '/') {
        std::string home = environment("HOME");
        data = home.empty() ? std::string() : home + "/.local/share";
    }
    if (!data.empty()) {
        std::string folder = data + "/Valdorix";
        if (makeFolders(folder))
            return folder;
    }
    std::string folder = executableFolder() + "/Valdorix";
    makeFolders(folder);
    return folder;
}

std::string machineId()
{
    if (machineIdOverride())
        return *machineIdOverride();
    for (const char* path : {"/etc/machine-id", "/var/lib/dbus/machine-id"}) {
        std::error_code error;
        const auto bytes = readFileHead(path, 4096, error);
        if (!bytes)
            continue;
        std::string id = trimmed(std::string(bytes->begin(), bytes->end()));
        if (!id.empty())
            return id;
    }
    return {};
}

void setMachineIdForTesting(std::optional<std::string> id)
{
    machineIdOverride() = std::move(id);
}

std::optional<std::string> findSystemConfigFile(std::string_view relativePath)
{
    std::string dirs = environment("XDG_CONFIG_DIRS");
    if (dirs.empty())
        dirs = "/etc/xdg";
    std::istringstream list(dirs);
    std::string dir;
    while (std::getline(list, dir, ':')) {
        if (dir.empty())
            continue;
        std::string path = dir + "/" + std::string(relativePath);
        if (::access(path.c_str(), R_OK) == 0)
            return path;
    }
    return std::nullopt;
}

} // namespace platform
