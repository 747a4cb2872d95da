// The shader definitions reader over arbitrary bytes, in binary form and as text. Whatever reads
// must answer variant and option-name requests, and binary definitions must write back to bytes
// that read to the same families.
#include "renderer/resources/ShaderDefinitions.h"
#include "tools/datakit/ShaderDataWriter.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace
{
void Exercise(ShaderDefinitions& definitions)
{
    Dynarray<ShaderOptionName> names;
    for (int32_t i = 0; i < definitions.Count(); ++i)
    {
        ShaderFamily* family = definitions.Get(i);
        if (definitions.Find(family->GetName()) == nullptr)
            __builtin_trap();
        for (const ShaderOption& option : family->m_options)
        {
            const ShaderVariant variant = family->GetVariant(option.m_name.CStr());
            const char* vertex = std::strchr(variant.vertexName, '/');
            const char* pixel = std::strchr(variant.pixelName, '/');
            // A family name holding '/' moves the split, and a long one cuts the name; only whole
            // names of ours must list.
            const bool whole = std::strlen(variant.pixelName) + 1 < ShaderVariant::kResourceNameSize &&
                               std::strlen(variant.vertexName) + 1 < ShaderVariant::kResourceNameSize;
            if (whole && vertex != nullptr && std::strchr(family->GetName(), '/') == nullptr &&
                (!family->ListOptionNames(vertex + 1, names, false) || !family->ListOptionNames(pixel + 1, names, true)))
                __builtin_trap();
        }
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    ShaderDefinitions binary;
    if (binary.ReadBinary(data, size))
    {
        Exercise(binary);
        const std::string written = WriteShaderDefBin(binary);
        ShaderDefinitions again;
        if (!again.ReadBinary(reinterpret_cast<const uint8_t*>(written.data()), written.size()) ||
            again.Count() != binary.Count() || again.GetStamp() != binary.GetStamp())
            __builtin_trap();
    }
    ShaderDefinitions text;
    if (text.ReadText(reinterpret_cast<const char*>(data), size, "fuzz"))
        Exercise(text);
    return 0;
}
