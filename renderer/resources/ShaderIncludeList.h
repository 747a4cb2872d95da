// The include files a shader source opened while it compiled: names (each preceded by '|',
// relative to "Common/Shaders") with one 8-byte last-write time per name, in opening order. It is
// the compiler's include handler, and compiled shader files store it, so that a reload recompiles
// when an include changed. Belongs to its shader resource's loading thread.
#pragma once

#include "core/containers/Dynarray.h"
#include "platform/gpu/ShaderPreprocessor.h"

#include <cstdint>
#include <string>

class FileReader;
class FileWriter;

// Include handler that records what it opened.
class ShaderIncludeList : public gpu::ShaderIncludeHandler
{
public:
    // Where includes are looked up.
    static constexpr const char* kFolder = "Common/Shaders";

    void Clear();
    // The count, text and times of a compiled shader file; Read empties the list first and fails on
    // counts the file cannot hold.
    bool Read(FileReader& reader);
    bool Write(FileWriter& writer) const;
    // Every include still has its recorded time; a missing include counts as changed, an empty list as
    // unchanged.
    bool IsUpToDate() const;

    const std::string& GetText() const { return m_text; }
    uint32_t GetCount() const { return uint32_t(m_times.Count()); }

    gpu::Result Open(gpu::IncludeType type, const char* fileName, const void* parentData, const void** data,
                     uint32_t* bytes) override;
    void Close(const void* data) override;

private:
    std::string m_text;
    Dynarray<uint64_t> m_times;
};
