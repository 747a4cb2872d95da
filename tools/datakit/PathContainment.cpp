#include "tools/datakit/PathContainment.h"

#include "core/strings/StringUtils.h"

#include <algorithm>
#include <filesystem>

namespace
{
// "." and ".." resolved with only '/' as a separator.
bool StaysBelow(const std::string& name)
{
    const std::filesystem::path normal = std::filesystem::path(name).lexically_normal();
    return normal != "." && *normal.begin() != "..";
}
} // namespace

bool IsPathInsideFolder(const std::string& name)
{
    if (name.empty() || IsAbsolutePath(name.c_str()))
        return false;
    // Judging only the engine's reading let "sub\x/../../x" out: on disk "sub\x" is one folder, climbed twice.
    std::string slashed = name;
    std::replace(slashed.begin(), slashed.end(), '\\', '/');
    return StaysBelow(slashed) && StaysBelow(name);
}
