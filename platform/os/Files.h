// Files and directories on disk, over POSIX. Paths use '/' separators. Any thread may call these.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace os
{
enum class PathType
{
    Missing,
    File,
    Directory,
    SymbolicLink, // only reported when links are not followed
    Other,
};

// What the path names; `followLinks` false reports a link itself.
PathType GetPathType(const char* path, bool followLinks = true);

FILE* OpenFile(const char* path, const char* mode);
// Creates one directory level.
bool CreateDirectory(const char* path);
// Removes a file or a symbolic link (never what the link points to).
bool DeleteFile(const char* path);
// Removes an empty directory.
bool RemoveDirectory(const char* path);
// Gives the owner write permission (the stand-in for clearing the read-only attribute).
bool ClearReadOnly(const char* path);
// True when the file is there without owner write permission (the read-only attribute's stand-in).
bool IsReadOnly(const char* path);
// Replaces `to` by `from` in one step.
bool RenameReplace(const char* from, const char* to);

// Windows file time: 100 ns ticks since 1601-01-01 UTC; 0 when unknown.
uint64_t GetLastWriteTime(FILE* file);
uint64_t UnixToFileTime(int64_t seconds, int64_t nanoseconds);

// Joins root and rest ('/' between them unless rest begins with one) into out, matching each
// component of rest exactly first and then ASCII case-insensitively; components with no match
// are kept as given (so new files can be created). False when the result does not fit.
bool ResolvePathNoCase(const char* root, const char* rest, char* out, size_t outSize);

// A new file beside a target that replaces it only when committed, so a failed save never
// destroys the previous good copy.
class ReplacingFile
{
public:
    ReplacingFile() = default;
    ~ReplacingFile();
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    // Creates the temporary file beside `targetPath`.
    bool Open(const char* targetPath);
    FILE* GetFile() const { return m_file; }
    // Flushes, closes and renames over the target. False (temporary removed) on any failure.
    bool Commit();
    // Closes and removes the temporary file; the target is untouched.
    void Abandon();

private:
    FILE* m_file = nullptr;
    std::string m_tempPath;
    std::string m_targetPath;
};
} // namespace os
