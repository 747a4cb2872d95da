// "datakit shaders": installs the shader sources, their text definitions and "Shaders.DefBin" into
// a data root's common folder. "datakit texture": writes a texture file with a test pattern.
#include "renderer/resources/TextureFile.h"
#include "tools/datakit/DatakitCommand.h"
#include "tools/datakit/NumberArgument.h"
#include "tools/datakit/ShaderDataWriter.h"
#include "tools/datakit/TextureFileWriter.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>

int RunShadersCommand(const std::vector<std::string>& arguments)
{
    std::string root;
    std::string source;
    for (size_t i = 0; i < arguments.size(); ++i)
    {
        if (arguments[i] == "--source" && i + 1 < arguments.size())
            source = arguments[++i];
        else if (root.empty())
            root = arguments[i];
        else
        {
            std::fprintf(stderr, "datakit: unexpected argument %s\n", arguments[i].c_str());
            return 2;
        }
    }
    if (root.empty())
    {
        std::fprintf(stderr, "datakit: shaders needs a data root folder\n");
        return 2;
    }
    std::map<std::string, std::string> files;
    if (!CollectShaderData(source.empty() ? nullptr : source.c_str(), files))
        return 1;
    // Only these files: the rest of an existing root stays as it is.
    namespace fs = std::filesystem;
    for (const auto& [path, bytes] : files)
    {
        const fs::path target = fs::path(root) / "common" / path;
        std::error_code error;
        fs::create_directories(target.parent_path(), error);
        std::ofstream out(target, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), std::streamsize(bytes.size()));
        out.close();
        if (!out)
        {
            std::fprintf(stderr, "datakit: cannot write %s\n", target.string().c_str());
            return 1;
        }
    }
    return 0;
}

int RunTextureCommand(const std::vector<std::string>& arguments)
{
    if (arguments.size() < 3)
    {
        std::fprintf(stderr, "datakit: texture needs <out.texture> <width> <height>\n");
        return 2;
    }
    TextureFileSpec spec;
    // The graphics device takes no texture wider or higher.
    constexpr int64_t kMaxSide = 8192;
    if (!ParseNumberArgument("<width>", arguments[1], 1, kMaxSide, spec.width) ||
        !ParseNumberArgument("<height>", arguments[2], 1, kMaxSide, spec.height))
        return 2;
    for (size_t i = 3; i < arguments.size(); ++i)
    {
        if (arguments[i] == "--cube")
            spec.cube = true;
        else if (arguments[i] == "--levels" && i + 1 < arguments.size())
        {
            if (!ParseNumberArgument("--levels", arguments[++i], 1, TextureFileHeader::kMaxLevels, spec.levels))
                return 2;
        }
        else
        {
            std::fprintf(stderr, "datakit: unexpected argument %s\n", arguments[i].c_str());
            return 2;
        }
    }
    // A checker of two greys whose tint tells face and level apart.
    spec.texel = [](uint32_t face, uint32_t level, uint32_t x, uint32_t y) {
        const uint32_t grey = ((x ^ y) & 1) != 0 ? 0xC0 : 0x40;
        return 0xFF000000u | (grey + face * 8) << 16 | (grey + level * 8) << 8 | grey;
    };
    std::string bytes;
    if (!BuildTextureFile(spec, bytes))
    {
        std::fprintf(stderr, "datakit: cannot build a %ux%u texture with %u levels\n", spec.width, spec.height,
                     spec.levels);
        return 2;
    }
    std::ofstream out(arguments[0], std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
    out.close();
    if (!out)
    {
        std::fprintf(stderr, "datakit: cannot write %s\n", arguments[0].c_str());
        return 1;
    }
    return 0;
}
