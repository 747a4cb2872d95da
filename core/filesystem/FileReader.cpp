#include "core/filesystem/FileReader.h"

#include "core/filesystem/FileSystem.h"

#include <cstring>

FileReader::FileReader(const char* name, const char* extension, const char* base, uint32_t option)
{
    if (name != nullptr)
        Open(name, extension, base, option);
}

FileReader::~FileReader() = default;

bool FileReader::Open(const char* name, const char* extension, const char* base, uint32_t option)
{
    Close();
    m_stream = gFileSystem.OpenInputStream(name, extension, base, option);
    return m_stream != nullptr;
}

void FileReader::Close()
{
    m_stream.reset();
    m_position = 0;
    m_failed = false;
}

bool FileReader::Read(void* destination, uint32_t count)
{
    // A disk stream answers false to 0 bytes, but empty data (an empty script, a zero-length patch
    // run, a shader with no includes, an empty record) is valid and must not read as a failure.
    if (count == 0 && m_stream != nullptr)
        return true;
    if (m_stream == nullptr || !m_stream->Read(destination, count))
    {
        m_failed = true;
        return false;
    }
    m_position += count;
    return true;
}

const uint8_t* FileReader::ReadWholeInPlace()
{
    if (m_stream == nullptr)
        return nullptr;
    const uint8_t* bytes = m_stream->ReadWholeInPlace();
    if (bytes != nullptr)
        m_position = m_stream->GetSize();
    return bytes;
}

bool FileReader::ReadU8(uint8_t& value)
{
    return Read(&value, 1);
}

bool FileReader::ReadU16(uint16_t& value)
{
    uint8_t bytes[2];
    if (!Read(bytes, 2))
        return false;
    value = static_cast<uint16_t>(bytes[0] | bytes[1] << 8);
    return true;
}

bool FileReader::ReadU32(uint32_t& value)
{
    uint8_t bytes[4];
    if (!Read(bytes, 4))
        return false;
    value = uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 | uint32_t(bytes[3]) << 24;
    return true;
}

bool FileReader::ReadU64(uint64_t& value)
{
    uint32_t low = 0;
    uint32_t high = 0;
    if (!ReadU32(low) || !ReadU32(high))
        return false;
    value = uint64_t(high) << 32 | low;
    return true;
}

bool FileReader::ReadF32(float& value)
{
    uint32_t bits = 0;
    if (!ReadU32(bits))
        return false;
    std::memcpy(&value, &bits, sizeof(value));
    return true;
}

bool FileReader::ReadLine(char* buffer, uint32_t size)
{
    if (m_stream == nullptr)
        return false;
    uint32_t consumed = 0;
    const bool ok = m_stream->ReadLine(buffer, size, &consumed);
    m_position += consumed;
    return ok;
}

uint32_t FileReader::GetSize()
{
    return m_stream != nullptr ? m_stream->GetSize() : 0;
}

uint32_t FileReader::GetRemaining()
{
    const uint32_t size = GetSize();
    return size > m_position ? size - m_position : 0;
}

uint64_t FileReader::GetLastWriteTime()
{
    return m_stream != nullptr ? m_stream->GetLastWriteTime() : 0;
}

FILE* FileReader::DetachFile(bool take)
{
    return m_stream != nullptr ? m_stream->DetachFile(take) : nullptr;
}
