#include "platform/os/Folders.h"

#include <cstdlib>
#include <unistd.h>

namespace os
{
namespace
{
std::string Environment(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr ? std::string(value) : std::string();
}

std::string WithoutTrailingSlash(std::string path)
{
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}
} // namespace

std::string GetUserAppDataFolder()
{
    std::string folder = Environment("NORVEX_APPDATA");
    if (folder.empty())
        folder = Environment("XDG_DATA_HOME");
    if (folder.empty())
    {
        const std::string home = Environment("HOME");
        if (!home.empty())
            folder = WithoutTrailingSlash(home) + "/.local/share";
    }
    return WithoutTrailingSlash(folder);
}

std::string GetExecutableFolder()
{
    char path[4096];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof(path));
    if (length <= 0 || static_cast<size_t>(length) >= sizeof(path))
        return std::string();
    const std::string file(path, static_cast<size_t>(length));
    const size_t slash = file.rfind('/');
    if (slash == std::string::npos)
        return std::string();
    return slash == 0 ? std::string("/") : file.substr(0, slash);
}

std::string GetRuntimeFolder(bool* shared)
{
    std::string folder = Environment("NORVEX_RUNTIME_DIR");
    if (folder.empty())
        folder = Environment("XDG_RUNTIME_DIR");
    if (shared != nullptr)
        *shared = folder.empty();
    if (folder.empty())
        folder = "/tmp";
    return WithoutTrailingSlash(folder);
}
} // namespace os
