#include "tools/datakit/ShaderDataWriter.h"

#include "core/reflection/RTTIPolyBaseClass.h"
#include "renderer/resources/ShaderDefinitions.h"
#include "tools/datakit/DataRoot.h"
#include "tools/datakit/InputFile.h"

#include <cstdio>
#include <filesystem>
#include <vector>

namespace
{
void AppendShaderU32(std::string& out, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(char(value >> (8 * i)));
}

} // namespace

const char* GetShaderSourceFolder()
{
    return NORVEX_SHADER_SOURCE_DIR;
}

std::string WriteShaderDefBin(const ShaderDefinitions& definitions)
{
    std::string out;
    AppendShaderU32(out, ShaderDefinitions::kMagic);
    const uint64_t stamp = definitions.GetStamp();
    AppendShaderU32(out, uint32_t(stamp));
    AppendShaderU32(out, uint32_t(stamp >> 32));
    AppendShaderU32(out, uint32_t(definitions.Count()));
    for (int32_t i = 0; i < definitions.Count(); ++i)
    {
        ShaderFamily* family = definitions.Get(i);
        const size_t size = family->SerializeToMemory(nullptr, 0, 0);
        std::vector<uint8_t> record(size);
        family->SerializeToMemory(record.data(), record.size(), 0);
        AppendShaderU32(out, uint32_t(size));
        out.append(reinterpret_cast<const char*>(record.data()), record.size());
    }
    return out;
}

bool BuildShaderDefBin(const std::string& text, std::string& out)
{
    ShaderDefinitions definitions;
    if (!definitions.ReadText(text.data(), text.size(), "Shaders.Def"))
    {
        std::fprintf(stderr, "datakit: the shader definitions do not read\n");
        return false;
    }
    out = WriteShaderDefBin(definitions);
    return true;
}

bool CollectShaderData(const char* sourceFolder, std::map<std::string, std::string>& files)
{
    namespace fs = std::filesystem;
    const fs::path folder = sourceFolder != nullptr ? sourceFolder : GetShaderSourceFolder();
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, error))
    {
        if (!entry.is_regular_file() || entry.path().extension() != ".hlsl")
            continue;
        std::string text;
        if (!ReadInputFile(entry.path().string(), text))
            return false;
        files["Shaders/" + entry.path().filename().string()] = text;
    }
    std::string definitions;
    std::string binary;
    if (error || !ReadInputFile((folder / "Shaders.Def").string(), definitions) || !BuildShaderDefBin(definitions, binary))
    {
        std::fprintf(stderr, "datakit: no usable shader definitions in %s\n", folder.string().c_str());
        return false;
    }
    files["Shaders/Shaders.Def"] = definitions;
    files["Shaders/Shaders.DefBin"] = binary;
    return true;
}

bool AddShaderData(DataRoot& root, const char* sourceFolder)
{
    std::map<std::string, std::string> files;
    if (!CollectShaderData(sourceFolder, files))
        return false;
    for (const auto& [path, bytes] : files)
        root.AddFile("common", path, bytes);
    return true;
}
