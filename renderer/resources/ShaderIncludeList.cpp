#include "renderer/resources/ShaderIncludeList.h"

#include "core/filesystem/FileReader.h"
#include "core/filesystem/FileWriter.h"

#include <new>

namespace
{
// Longest include text a compiled file may claim.
constexpr uint32_t kMaxTextBytes = 1u << 20;
} // namespace

void ShaderIncludeList::Clear()
{
    m_text.clear();
    m_times.Clear();
}

bool ShaderIncludeList::Read(FileReader& reader)
{
    Clear();
    uint32_t textBytes = 0;
    if (!reader.ReadU32(textBytes) || textBytes > reader.GetRemaining() || textBytes > kMaxTextBytes)
        return false;
    m_text.resize(textBytes);
    uint32_t count = 0;
    if (!reader.Read(m_text.data(), textBytes) || !reader.ReadU32(count) || count > reader.GetRemaining() / 8)
    {
        Clear();
        return false;
    }
    for (uint32_t i = 0; i < count; ++i)
    {
        uint64_t time = 0;
        if (!reader.ReadU64(time))
        {
            Clear();
            return false;
        }
        m_times.Add(time);
    }
    return true;
}

bool ShaderIncludeList::Write(FileWriter& writer) const
{
    bool written = writer.WriteU32(uint32_t(m_text.size())) && writer.Write(m_text.data(), uint32_t(m_text.size())) &&
                   writer.WriteU32(GetCount());
    for (const uint64_t time : m_times)
        written = written && writer.WriteU64(time);
    return written;
}

bool ShaderIncludeList::IsUpToDate() const
{
    size_t position = 0;
    for (const uint64_t time : m_times)
    {
        if (position >= m_text.size() || m_text[position] != '|')
            return false;
        const size_t next = m_text.find('|', position + 1);
        const std::string name = m_text.substr(position + 1, next == std::string::npos ? std::string::npos
                                                                                      : next - position - 1);
        position = next == std::string::npos ? m_text.size() : next;
        FileReader file(name.c_str(), nullptr, kFolder, 0);
        if (!file.IsOpen() || file.GetLastWriteTime() != time)
            return false;
    }
    return true;
}

gpu::Result ShaderIncludeList::Open(gpu::IncludeType, const char* fileName, const void*, const void** data,
                                    uint32_t* bytes)
{
    FileReader file(fileName, nullptr, kFolder, 0);
    if (!file.IsOpen())
        return gpu::kErrNotAvailable;
    const uint32_t size = file.GetSize();
    char* text = new (std::nothrow) char[size + 1];
    if (text == nullptr || !file.Read(text, size))
    {
        delete[] text;
        return gpu::kErrNotAvailable;
    }
    text[size] = 0;
    m_text += '|';
    m_text += fileName;
    m_times.Add(file.GetLastWriteTime());
    *data = text;
    *bytes = size;
    return gpu::kOk;
}

void ShaderIncludeList::Close(const void* data)
{
    delete[] static_cast<const char*>(data);
}
