#include "platform/window/InstanceLock.h"

#include "platform/os/Folders.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <sys/file.h>
#include <unistd.h>

namespace win
{
namespace
{
// The open lock files of this process by class name.
std::map<std::string, int>& HeldLocks()
{
    static std::map<std::string, int> locks;
    return locks;
}

int OpenLockFile(const char* className)
{
    const std::string path = InstanceLockPath(className);
    int file = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (file < 0 && errno == ENOENT)
    {
        // Without its folder the lock could not be made and two games would share one user folder.
        std::error_code error;
        std::filesystem::create_directories(os::GetRuntimeFolder(), error);
        file = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    }
    if (file < 0)
        std::fprintf(stderr, "warning: the single-instance lock %s cannot be made (%s): a second start is not refused\n",
                     path.c_str(), std::strerror(errno));
    return file;
}
} // namespace

std::string InstanceLockPath(const char* className)
{
    bool shared = false;
    const std::string folder = os::GetRuntimeFolder(&shared);
    // In a folder every user shares, another user's lock file would turn this user's lock off (a
    // file this user cannot open) or make the game exit as if it ran already: each user has their own.
    const std::string user = shared ? std::to_string(getuid()) + "-" : std::string();
    return folder + "/norvex-" + user + (className != nullptr ? className : "") + ".lock";
}

bool AcquireInstanceLock(const char* className)
{
    if (className == nullptr)
        return false;
    if (HeldLocks().count(className) != 0)
        return true;
    const int file = OpenLockFile(className);
    if (file < 0)
        return false;
    if (flock(file, LOCK_EX | LOCK_NB) != 0)
    {
        close(file);
        return false;
    }
    HeldLocks()[className] = file;
    return true;
}

void ReleaseInstanceLock(const char* className)
{
    if (className == nullptr)
        return;
    const auto found = HeldLocks().find(className);
    if (found == HeldLocks().end())
        return;
    flock(found->second, LOCK_UN);
    close(found->second);
    HeldLocks().erase(found);
}

bool IsInstanceLockedElsewhere(const char* className)
{
    if (className == nullptr || HeldLocks().count(className) != 0)
        return false;
    const int file = OpenLockFile(className);
    if (file < 0)
        return false;
    const bool lockedElsewhere = flock(file, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    close(file); // also drops the probe's own lock when it got one
    return lockedElsewhere;
}
} // namespace win
