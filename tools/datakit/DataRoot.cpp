#include "tools/datakit/DataRoot.h"

#include "core/reflection/ObjectRecord.h"
#include "engine/config/ConfigFiles.h"
#include "tools/datakit/ContainerWriter.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace
{
namespace fs = std::filesystem;

constexpr const char* kProjectConfigFile = "Project.ConfigBin";
// Containers are mounted with this hash multiplier.
constexpr uint32_t kContainerHashMultiplier = 0x5BD1E995u;
// Beside "<name>.dat": the entry paths, one a line, as "datakit extract --names" reads them.
constexpr const char* kNameListSuffix = ".txt";

bool WriteBytes(const fs::path& path, const void* data, size_t size)
{
    std::error_code error;
    fs::create_directories(path.parent_path(), error);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(static_cast<const char*>(data), std::streamsize(size));
    out.close();
    if (!out)
    {
        std::fprintf(stderr, "datakit: cannot write %s\n", path.string().c_str());
        return false;
    }
    return true;
}

// The folder a container's entries come from: "textures-s3" is mounted as "textures".
const std::string& SourceFolder(const std::string& containerName)
{
    static const std::string textures = "textures";
    return containerName == "textures-s3" ? textures : containerName;
}
} // namespace

const std::vector<std::string>& DataRoot::GetFolderNames()
{
    static const std::vector<std::string> names = {"animations", "common",   "scenes",       "sounds",
                                                   "templates",  "voices",   "videos",       "textures",
                                                   "textures-pvr", "textures-ati", "textures-s3"};
    return names;
}

const std::vector<std::string>& DataRoot::GetContainerNames()
{
    static const std::vector<std::string> names = {"animations", "common", "scenes", "sounds",
                                                   "templates",  "voices", "videos", "textures-s3"};
    return names;
}

DataRoot::DataRoot()
{
    for (const std::string& folder : GetFolderNames())
        m_files[folder];
}

void DataRoot::AddFile(const std::string& folder, const std::string& path, const std::string& bytes)
{
    m_files[folder][path] = bytes;
}

bool DataRoot::BuildConfigRecord(RTTIPolyBaseClass& config, std::vector<uint8_t>& bytes)
{
    Dynarray<uint8_t> record;
    if (!BuildObjectRecord(config, ConfigFiles::kRecordFlags, record))
        return false;
    bytes.assign(record.begin(), record.end());
    return true;
}

bool DataRoot::WriteConfigRecord(RTTIPolyBaseClass& config, const std::string& path)
{
    std::vector<uint8_t> bytes;
    if (!BuildConfigRecord(config, bytes))
    {
        std::fprintf(stderr, "datakit: cannot serialize the configuration for %s\n", path.c_str());
        return false;
    }
    return WriteBytes(path, bytes.data(), bytes.size());
}

bool DataRoot::Write(const std::string& rootPath, bool containers)
{
    std::vector<uint8_t> project;
    if (!BuildConfigRecord(m_project, project))
    {
        std::fprintf(stderr, "datakit: cannot serialize the project configuration\n");
        return false;
    }
    std::map<std::string, std::map<std::string, std::string>> files = m_files;
    files["common"][kProjectConfigFile] = std::string(project.begin(), project.end());

    const fs::path root(rootPath);
    if (!containers)
    {
        for (const auto& [folder, entries] : files)
        {
            std::error_code error;
            fs::create_directories(root / folder, error);
            for (const auto& [path, bytes] : entries)
                if (!WriteBytes(root / folder / path, bytes.data(), bytes.size()))
                    return false;
        }
        return true;
    }
    for (const std::string& name : GetContainerNames())
    {
        ContainerWriter writer(0, 1, ContainerWriter::kDefaultSeed, kContainerHashMultiplier);
        std::string list;
        for (const auto& [path, bytes] : files[SourceFolder(name)])
        {
            if (!writer.Add(path, std::vector<uint8_t>(bytes.begin(), bytes.end()), false))
            {
                std::fprintf(stderr, "datakit: %s/%s collides with another entry\n", name.c_str(), path.c_str());
                return false;
            }
            list += path + '\n';
        }
        std::error_code error;
        fs::create_directories(root, error);
        if (!writer.Write((root / (name + ".dat")).string()))
        {
            std::fprintf(stderr, "datakit: cannot write the container %s\n", name.c_str());
            return false;
        }
        if (!WriteBytes(root / (name + kNameListSuffix), list.data(), list.size()))
            return false;
    }
    return true;
}
