// A temporary folder mounted under a file system name for a whole fuzzing run, into which each
// input is written as the file the reader under test opens. Called on the fuzzing thread only.
#pragma once

#include "core/filesystem/FileSystem.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

class MountedFuzzFolder
{
public:
    MountedFuzzFolder(const char* mountName, const char* tag)
    {
        std::string pattern = (std::filesystem::temp_directory_path() / (std::string("norvex-") + tag + "-XXXXXX")).string();
        if (mkdtemp(pattern.data()) == nullptr || !gFileSystem.MountDirectory(mountName, pattern.c_str()))
            std::abort();
        m_path = pattern;
    }
    ~MountedFuzzFolder()
    {
        gFileSystem.UnmountAll();
        std::error_code error;
        std::filesystem::remove_all(m_path, error);
    }
    MountedFuzzFolder(const MountedFuzzFolder&) = delete;
    MountedFuzzFolder& operator=(const MountedFuzzFolder&) = delete;

    const std::string& GetPath() const { return m_path; }

    // The input becomes the file at the relative path, replacing what the last input left.
    void Write(const std::string& relativePath, const uint8_t* data, size_t size) const
    {
        FILE* file = std::fopen((m_path + "/" + relativePath).c_str(), "wb");
        if (file == nullptr)
            std::abort();
        if (size != 0)
            std::fwrite(data, 1, size, file);
        std::fclose(file);
    }

private:
    std::string m_path;
};
