#include "platform/os/Files.h"

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace os
{
namespace
{
// Seconds between 1601-01-01 and 1970-01-01.
constexpr int64_t kFileTimeEpochOffsetSeconds = 11644473600;

int FoldFileAscii(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c;
}

bool EqualsNoCase(const char* a, const char* b, size_t bLength)
{
    size_t i = 0;
    for (; i < bLength; ++i)
        if (a[i] == '\0' || FoldFileAscii(static_cast<unsigned char>(a[i])) != FoldFileAscii(static_cast<unsigned char>(b[i])))
            return false;
    return a[i] == '\0';
}

bool Append(std::string& path, const char* text, size_t length, size_t outSize)
{
    if (path.size() + length + 1 > outSize)
        return false;
    path.append(text, length);
    return true;
}
} // namespace

PathType GetPathType(const char* path, bool followLinks)
{
    struct stat info;
    if (path == nullptr || (followLinks ? stat(path, &info) : lstat(path, &info)) != 0)
        return PathType::Missing;
    if (S_ISREG(info.st_mode))
        return PathType::File;
    if (S_ISDIR(info.st_mode))
        return PathType::Directory;
    if (S_ISLNK(info.st_mode))
        return PathType::SymbolicLink;
    return PathType::Other;
}

FILE* OpenFile(const char* path, const char* mode)
{
    if (path == nullptr || mode == nullptr)
        return nullptr;
    FILE* file = std::fopen(path, mode);
    // fopen succeeds on directories for reading; Windows does not.
    if (file != nullptr)
    {
        struct stat info;
        if (fstat(fileno(file), &info) != 0 || S_ISDIR(info.st_mode))
        {
            std::fclose(file);
            return nullptr;
        }
    }
    return file;
}

bool CreateDirectory(const char* path)
{
    return path != nullptr && mkdir(path, 0777) == 0;
}

bool DeleteFile(const char* path)
{
    return path != nullptr && GetPathType(path, false) != PathType::Directory && unlink(path) == 0;
}

bool RemoveDirectory(const char* path)
{
    return path != nullptr && rmdir(path) == 0;
}

bool ClearReadOnly(const char* path)
{
    struct stat info;
    if (path == nullptr || lstat(path, &info) != 0)
        return false;
    if (S_ISLNK(info.st_mode) || (info.st_mode & S_IWUSR) != 0)
        return true;
    return chmod(path, (info.st_mode & 07777) | S_IWUSR) == 0;
}

bool IsReadOnly(const char* path)
{
    struct stat info;
    return path != nullptr && stat(path, &info) == 0 && S_ISREG(info.st_mode) && (info.st_mode & S_IWUSR) == 0;
}

bool RenameReplace(const char* from, const char* to)
{
    return from != nullptr && to != nullptr && std::rename(from, to) == 0;
}

uint64_t UnixToFileTime(int64_t seconds, int64_t nanoseconds)
{
    const int64_t ticks = (seconds + kFileTimeEpochOffsetSeconds) * 10000000 + nanoseconds / 100;
    return ticks > 0 ? static_cast<uint64_t>(ticks) : 0;
}

uint64_t GetLastWriteTime(FILE* file)
{
    struct stat info;
    if (file == nullptr || fstat(fileno(file), &info) != 0)
        return 0;
    return UnixToFileTime(info.st_mtim.tv_sec, info.st_mtim.tv_nsec);
}

bool ResolvePathNoCase(const char* root, const char* rest, char* out, size_t outSize)
{
    if (out == nullptr || outSize == 0)
        return false;
    out[0] = '\0';
    std::string path;
    if (root != nullptr && !Append(path, root, std::strlen(root), outSize))
        return false;
    if (rest == nullptr)
        rest = "";
    if (*rest != '/' && !path.empty() && !Append(path, "/", 1, outSize))
        return false;
    bool searching = true;
    const char* cursor = rest;
    while (*cursor != '\0')
    {
        if (*cursor == '/')
        {
            if (!Append(path, "/", 1, outSize))
                return false;
            ++cursor;
            continue;
        }
        const char* end = std::strchr(cursor, '/');
        const size_t length = end != nullptr ? static_cast<size_t>(end - cursor) : std::strlen(cursor);
        const size_t parentLength = path.size();
        if (!Append(path, cursor, length, outSize))
            return false;
        if (searching && GetPathType(path.c_str(), false) == PathType::Missing)
        {
            // Exact name missing: take the first entry that matches case-insensitively.
            path.resize(parentLength);
            const std::string parent = parentLength != 0 ? path : std::string(".");
            bool found = false;
            if (DIR* dir = opendir(parent.c_str()))
            {
                while (dirent* entry = readdir(dir))
                {
                    if (std::strlen(entry->d_name) == length && EqualsNoCase(entry->d_name, cursor, length))
                    {
                        path.append(entry->d_name, length);
                        found = true;
                        break;
                    }
                }
                closedir(dir);
            }
            if (!found)
            {
                path.append(cursor, length);
                searching = false; // nothing below a missing level can exist
            }
        }
        cursor += length;
    }
    std::memcpy(out, path.c_str(), path.size() + 1);
    return true;
}

ReplacingFile::~ReplacingFile()
{
    Abandon();
}

bool ReplacingFile::Open(const char* targetPath)
{
    Abandon();
    if (targetPath == nullptr || *targetPath == '\0')
        return false;
    static std::atomic<uint32_t> sequence{0};
    for (int attempt = 0; attempt < 100; ++attempt)
    {
        const std::string path = std::string(targetPath) + "." + std::to_string(getpid()) + "." +
                                 std::to_string(sequence.fetch_add(1)) + ".tmp";
        // Created with the mode of a plain new file and the kernel applying the umask: reading the
        // process-wide umask by changing it would race with files other threads create meanwhile.
        const int descriptor = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (descriptor < 0)
        {
            if (errno == EEXIST)
                continue;
            return false;
        }
        m_file = fdopen(descriptor, "wb");
        if (m_file == nullptr)
        {
            close(descriptor);
            unlink(path.c_str());
            return false;
        }
        m_tempPath = path;
        m_targetPath = targetPath;
        return true;
    }
    return false;
}

bool ReplacingFile::Commit()
{
    if (m_file == nullptr)
        return false;
    bool ok = std::fflush(m_file) == 0 && std::ferror(m_file) == 0 && fsync(fileno(m_file)) == 0;
    ok = std::fclose(m_file) == 0 && ok;
    m_file = nullptr;
    if (ok && RenameReplace(m_tempPath.c_str(), m_targetPath.c_str()))
    {
        m_tempPath.clear();
        m_targetPath.clear();
        return true;
    }
    Abandon();
    return false;
}

void ReplacingFile::Abandon()
{
    if (m_file != nullptr)
    {
        std::fclose(m_file);
        m_file = nullptr;
    }
    if (!m_tempPath.empty())
        unlink(m_tempPath.c_str());
    m_tempPath.clear();
    m_targetPath.clear();
}
} // namespace os
