// Mounts, in place of what a mount point held, a container written to `containerPath` whose one entry
// opens but whose compressed bytes do not read: the road a resource takes from a damaged packed file.
// Test thread only.
#pragma once

#include "core/filesystem/FileSystem.h"
#include "tools/datakit/ContainerWriter.h"

#include <gtest/gtest.h>

#include <string>

inline void MountUnreadablePackedEntry(const char* mountName, const std::string& entry, const std::string& containerPath)
{
    ContainerWriter packed(1);
    ASSERT_TRUE(packed.AddRaw(entry, {1, 2, 3, 4}, 64, true) && packed.Write(containerPath));
    ASSERT_TRUE(gFileSystem.Unmount(mountName));
    ASSERT_TRUE(gFileSystem.MountContainer(mountName, containerPath.c_str(), 0, 0x5BD1E995u, 0));
}
