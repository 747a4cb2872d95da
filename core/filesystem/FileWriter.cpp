#include "core/filesystem/FileWriter.h"

#include "core/filesystem/FileSystem.h"

#include <cstring>

FileWriter::FileWriter(const char* name, const char* extension, const char* base, uint32_t option)
{
    if (name != nullptr)
        Open(name, extension, base, option);
}

FileWriter::~FileWriter()
{
    if (m_stream != nullptr)
        Close();
}

bool FileWriter::Open(const char* name, const char* extension, const char* base, uint32_t option)
{
    if (m_stream != nullptr)
        Close();
    m_position = 0;
    m_failed = false;
    m_stream = gFileSystem.OpenOutputStream(name, extension, base, option);
    return m_stream != nullptr;
}

bool FileWriter::Close()
{
    if (m_stream == nullptr)
        return false;
    const bool ok = m_stream->Close() && !m_failed;
    m_stream.reset();
    return ok;
}

bool FileWriter::Write(const void* source, uint32_t count)
{
    if (m_stream == nullptr || !m_stream->Write(source, count))
    {
        m_failed = true;
        return false;
    }
    m_position += count;
    return true;
}

bool FileWriter::WriteU8(uint8_t value)
{
    return Write(&value, 1);
}

bool FileWriter::WriteU16(uint16_t value, uint32_t flags)
{
    if ((flags & kByteSwapFlag) != 0)
        value = __builtin_bswap16(value);
    const uint8_t bytes[2] = {uint8_t(value), uint8_t(value >> 8)};
    return Write(bytes, 2);
}

bool FileWriter::WriteU32(uint32_t value, uint32_t flags)
{
    if ((flags & kByteSwapFlag) != 0)
        value = __builtin_bswap32(value);
    const uint8_t bytes[4] = {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16), uint8_t(value >> 24)};
    return Write(bytes, 4);
}

bool FileWriter::WriteU64(uint64_t value, uint32_t flags)
{
    if ((flags & kByteSwapFlag) != 0)
        value = __builtin_bswap64(value);
    return WriteU32(uint32_t(value)) && WriteU32(uint32_t(value >> 32));
}

bool FileWriter::WriteF32(float value, uint32_t flags)
{
    uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof(bits));
    return WriteU32(bits, flags);
}

FILE* FileWriter::GetFile()
{
    return m_stream != nullptr ? m_stream->GetFile() : nullptr;
}
