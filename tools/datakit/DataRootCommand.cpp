// "datakit dataroot": writes a data root with the default project configuration, the engine's
// shader data and its system textures, optionally a start scene, text files given as folder/path=text, and a user
// "config.bin" with the defaults that points the game at this root, packed or loose as written.
#include "engine/config/GameConfig.h"
#include "tools/datakit/DataRoot.h"
#include "tools/datakit/DatakitCommand.h"
#include "tools/datakit/PathContainment.h"
#include "tools/datakit/ShaderDataWriter.h"
#include "tools/datakit/TextureFileWriter.h"

#include <cstdio>
#include <filesystem>
#include <string>

namespace
{
// The textures the shader manager loads at start-up, by file name below "textures".
constexpr const char* kSystemTextures[] = {"System/RefractionNoise.texture", "iPhone/System/Shadow_Dynamic_$lxy.texture",
                                           "System/White_4x4$cxy.texture",   "System/Gray_4x4$cxy.texture",
                                           "System/SteamAvatar0.texture",     "System/SteamAvatar1.texture"};

// Small 4x4 stand-ins: grey for the gray texture, white for the rest.
bool AddSystemTextures(DataRoot& data)
{
    for (const char* name : kSystemTextures)
    {
        TextureFileSpec spec;
        spec.width = 4;
        spec.height = 4;
        const bool gray = std::string(name).find("Gray") != std::string::npos;
        spec.texel = [gray](uint32_t, uint32_t, uint32_t, uint32_t) { return gray ? 0xFF808080u : 0xFFFFFFFFu; };
        std::string bytes;
        if (!BuildTextureFile(spec, bytes))
            return false;
        data.AddFile("textures", name, bytes);
    }
    return true;
}

} // namespace

bool AddEngineStartupData(DataRoot& data) { return AddShaderData(data, nullptr) && AddSystemTextures(data); }

int RunDataRootCommand(const std::vector<std::string>& arguments)
{
    std::string root;
    std::string userConfig;
    bool containers = false;
    DataRoot data;
    for (size_t i = 0; i < arguments.size(); ++i)
    {
        const std::string& argument = arguments[i];
        const bool hasValue = i + 1 < arguments.size();
        if (argument == "--containers")
            containers = true;
        else if (argument == "--default-scene" && hasValue)
            data.GetProjectConfig().m_defaultScene = arguments[++i];
        else if (argument == "--user-config" && hasValue)
            userConfig = arguments[++i];
        else if (argument == "--text" && hasValue)
        {
            const std::string& spec = arguments[++i];
            const size_t slash = spec.find('/');
            const size_t equals = spec.find('=');
            if (slash == std::string::npos || equals == std::string::npos || equals < slash)
            {
                std::fprintf(stderr, "datakit: --text wants folder/path=text, not %s\n", spec.c_str());
                return 2;
            }
            // An absolute name, or one that climbs out of the root, would write elsewhere on the disk.
            if (!IsPathInsideFolder(spec.substr(0, equals)))
            {
                std::fprintf(stderr, "datakit: --text name %s leaves the data root; nothing written\n",
                             spec.substr(0, equals).c_str());
                return 2;
            }
            data.AddFile(spec.substr(0, slash), spec.substr(slash + 1, equals - slash - 1), spec.substr(equals + 1));
        }
        else if (root.empty() && argument.rfind("--", 0) != 0)
            root = argument;
        else
        {
            std::fprintf(stderr, "datakit: unexpected argument %s\n", argument.c_str());
            return 2;
        }
    }
    if (root.empty())
    {
        std::fprintf(stderr, "datakit: dataroot needs an output folder\n");
        return 2;
    }
    // Start-up cannot pass the shader manager without its definitions.
    if (!AddEngineStartupData(data))
    {
        std::fprintf(stderr, "datakit: the shader data or system textures could not be made\n");
        return 1;
    }
    if (!data.Write(root, containers))
        return 1;
    if (!userConfig.empty())
    {
        GameConfig config;
        // The defaults would have the game look for containers in its own folder, not in this root.
        config.m_repositoryPath = std::filesystem::absolute(root).lexically_normal().generic_string();
        if (config.m_repositoryPath.size() > 1 && config.m_repositoryPath.back() == '/')
            config.m_repositoryPath.pop_back();
        config.m_useContainerFiles = containers;
        if (!DataRoot::WriteConfigRecord(config, userConfig))
            return 1;
    }
    return 0;
}
