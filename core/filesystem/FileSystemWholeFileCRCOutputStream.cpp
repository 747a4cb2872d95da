#include "core/filesystem/FileSystemWholeFileCRCOutputStream.h"

#include "core/Crc32.h"
#include "core/console/GameConsole.h"

FileSystemWholeFileCRCOutputStream::FileSystemWholeFileCRCOutputStream(const char* physicalPath)
    : m_path(physicalPath != nullptr ? physicalPath : "")
{
    m_file.Open(physicalPath);
}

FileSystemWholeFileCRCOutputStream::~FileSystemWholeFileCRCOutputStream()
{
    Close();
}

bool FileSystemWholeFileCRCOutputStream::Write(const void* data, uint32_t count)
{
    if (m_file.GetFile() == nullptr || m_closed)
        return false;
    if (count == 0)
        return true;
    // The payload size is stored in 32 bits.
    if (data == nullptr || count > 0xFFFFFFFFu - m_bytes.size())
    {
        m_failed = true;
        return false;
    }
    const uint8_t* const bytes = static_cast<const uint8_t*>(data);
    m_bytes.insert(m_bytes.end(), bytes, bytes + count);
    return true;
}

bool FileSystemWholeFileCRCOutputStream::WriteFile()
{
    const uint32_t size = static_cast<uint32_t>(m_bytes.size());
    const uint32_t crc = ComputeCrc32(m_bytes.data(), m_bytes.size());
    const uint8_t header[12] = {
        'F', 'W', 'S', 'F',
        uint8_t(size), uint8_t(size >> 8), uint8_t(size >> 16), uint8_t(size >> 24),
        uint8_t(crc), uint8_t(crc >> 8), uint8_t(crc >> 16), uint8_t(crc >> 24),
    };
    FILE* const file = m_file.GetFile();
    return std::fwrite(header, sizeof(header), 1, file) == 1 &&
           (size == 0 || std::fwrite(m_bytes.data(), size, 1, file) == 1);
}

bool FileSystemWholeFileCRCOutputStream::Close()
{
    if (m_closed)
        return m_result;
    m_closed = true;
    if (m_file.GetFile() == nullptr)
        return false;
    // A failed save must not replace the last good file: the temporary is dropped instead.
    if (!m_failed && WriteFile())
        m_result = m_file.Commit();
    else
        m_file.Abandon();
    m_bytes = {};
    if (!m_result)
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Unable to write file %s", m_path.c_str());
    return m_result;
}
