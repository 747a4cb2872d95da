// The single-instance lock: a file per window class in the runtime folder (os::GetRuntimeFolder),
// held with an exclusive advisory lock while this process has a window of the class, so that a
// second process finds the first one's window. The kernel drops the lock when a process dies.
// Main thread only.
#pragma once

#include <string>

namespace win
{
// The lock file's path for a class; in the shared fallback folder its name holds the user id.
std::string InstanceLockPath(const char* className);
// Takes the lock for this process; false (and nothing held) when another process holds it or the
// file cannot be made.
bool AcquireInstanceLock(const char* className);
void ReleaseInstanceLock(const char* className);
// True when another process holds the lock.
bool IsInstanceLockedElsewhere(const char* className);
} // namespace win
