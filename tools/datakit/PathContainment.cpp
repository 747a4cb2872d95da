#include "tools/datakit/PathContainment.h"

#include "core/strings/StringUtils.h"

#include <algorithm>
#include <filesystem>

bool IsPathInsideFolder(const std::string& name)
{
    std::string slashed = name;
    std::replace(slashed.begin(), slashed.end(), '\\', '/');
    if (slashed.empty() || IsAbsolutePath(slashed.c_str()))
        return false;
    const std::filesystem::path normal = std::filesystem::path(slashed).lexically_normal();
    return normal != "." && *normal.begin() != "..";
}
