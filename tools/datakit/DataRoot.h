// Makes a complete data root in a folder, for tests and the demo: the data folders (or their
// containers), "Project.ConfigBin" in "common" written through the engine's record writer, any
// text or binary files, and a user "config.bin" for a per-user folder. Any thread; one root per user.
#pragma once

#include "engine/config/ProjectConfig.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

class EngineConfig;

// Collects the files of a data root and writes them out as folders or containers.
class DataRoot
{
public:
    // The mount aliases by bit of the engine's mount mask.
    static const std::vector<std::string>& GetFolderNames();
    // The containers the engine mounts with "Use container files": bits 0 to 6 under their own
    // names, then bit 7 ("textures") from "textures-s3".
    static const std::vector<std::string>& GetContainerNames();

    DataRoot();

    // The project configuration written as "common/Project.ConfigBin".
    ProjectConfig& GetProjectConfig() { return m_project; }
    // Adds or replaces a file below a data folder ("common", "scripts/Main.lua").
    void AddFile(const std::string& folder, const std::string& path, const std::string& bytes);

    // Folder mode: every alias a folder of its own. Container mode: one "<name>.dat" part with its
    // index and its name list "<name>.txt" per container. False (with a message on standard error)
    // when anything failed.
    bool Write(const std::string& rootPath, bool containers);

    // The record of a configuration object exactly as the engine saves it (flags 16).
    static bool BuildConfigRecord(RTTIPolyBaseClass& config, std::vector<uint8_t>& bytes);
    static bool WriteConfigRecord(RTTIPolyBaseClass& config, const std::string& path);

private:
    ProjectConfig m_project;
    // Folder name -> (path inside the folder -> bytes).
    std::map<std::string, std::map<std::string, std::string>> m_files;
};

// What engine start-up cannot pass without: the shader data and the system textures.
bool AddEngineStartupData(DataRoot& data);
