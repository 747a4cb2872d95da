#include "platform/os/DirectoryFind.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>

namespace os
{
namespace
{
int FoldAscii(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c;
}
} // namespace

bool MatchWildcard(const char* pattern, const char* name)
{
    if (pattern == nullptr || name == nullptr)
        return false;
    // Greedy match with one backtrack point: linear in practice, never recursive.
    const char* star = nullptr;
    const char* resume = nullptr;
    while (*name != '\0')
    {
        if (*pattern == '*')
        {
            star = pattern++;
            resume = name;
        }
        else if (*pattern != '\0' &&
                 (*pattern == '?' ||
                  FoldAscii(static_cast<unsigned char>(*pattern)) == FoldAscii(static_cast<unsigned char>(*name))))
        {
            ++pattern;
            ++name;
        }
        else if (star != nullptr)
        {
            pattern = star + 1;
            name = ++resume;
        }
        else
        {
            return false;
        }
    }
    while (*pattern == '*')
        ++pattern;
    return *pattern == '\0';
}

DirectoryFind::~DirectoryFind()
{
    if (m_dir != nullptr)
        closedir(m_dir);
    std::free(m_directory);
    std::free(m_pattern);
}

bool DirectoryFind::Open(const char* directory, const char* pattern)
{
    if (m_dir != nullptr || directory == nullptr)
        return false;
    m_dir = opendir(*directory != '\0' ? directory : ".");
    if (m_dir == nullptr)
        return false;
    m_directory = strdup(directory);
    m_pattern = strdup(pattern != nullptr && *pattern != '\0' ? pattern : "*");
    return m_directory != nullptr && m_pattern != nullptr;
}

const char* DirectoryFind::Next(bool& isDirectory)
{
    isDirectory = false;
    if (m_dir == nullptr || m_directory == nullptr || m_pattern == nullptr)
        return nullptr;
    while (const dirent* entry = readdir(m_dir))
    {
        if (!MatchWildcard(m_pattern, entry->d_name))
            continue;
        std::string full = m_directory;
        if (!full.empty() && full.back() != '/')
            full += '/';
        full += entry->d_name;
        struct stat info;
        isDirectory = stat(full.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
        return entry->d_name;
    }
    return nullptr;
}
} // namespace os
