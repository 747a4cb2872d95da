#include "platform/os/Shell.h"

namespace os
{
namespace
{
std::vector<std::string> gShellOpenRequests;
} // namespace

bool ShellOpen(const char* target)
{
    if (target == nullptr || target[0] == '\0')
        return false;
    gShellOpenRequests.emplace_back(target);
    return true;
}

const std::vector<std::string>& GetShellOpenRequests()
{
    return gShellOpenRequests;
}

void ResetShellOpenRequests()
{
    gShellOpenRequests.clear();
}
} // namespace os
