// Directory listing with wildcard patterns, the stand-in for the Windows find calls. One object
// belongs to one thread.
#pragma once

#include <dirent.h>

namespace os
{
// '*' any run, '?' any one character; letters compare ASCII case-insensitively.
bool MatchWildcard(const char* pattern, const char* name);

// Walks the entries of one directory whose names match a pattern, "." and ".." included.
class DirectoryFind
{
public:
    DirectoryFind() = default;
    ~DirectoryFind();
    DirectoryFind(const DirectoryFind&) = delete;
    DirectoryFind& operator=(const DirectoryFind&) = delete;

    // `directory` without the pattern; false when it cannot be listed.
    bool Open(const char* directory, const char* pattern);
    // The next matching name (valid until the next call) or null; `isDirectory` follows links.
    const char* Next(bool& isDirectory);

private:
    DIR* m_dir = nullptr;
    char* m_directory = nullptr;
    char* m_pattern = nullptr;
};
} // namespace os
