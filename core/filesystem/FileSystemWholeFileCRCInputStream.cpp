#include "core/filesystem/FileSystemWholeFileCRCInputStream.h"

#include "core/Crc32.h"
#include "core/console/GameConsole.h"
#include "platform/os/Files.h"

#include <cstring>
#include <sys/stat.h>

namespace
{
constexpr uint8_t kMagic[4] = {'F', 'W', 'S', 'F'};

uint32_t LoadU32(const uint8_t* bytes)
{
    return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 | uint32_t(bytes[3]) << 24;
}
} // namespace

FileSystemWholeFileCRCInputStream::FileSystemWholeFileCRCInputStream(const char* physicalPath)
{
    FILE* const file = os::OpenFile(physicalPath, "rb");
    if (file == nullptr)
        return;
    uint8_t header[kHeaderSize];
    struct stat info;
    if (std::fread(header, sizeof(header), 1, file) == 1 && std::memcmp(header, kMagic, 4) == 0 &&
        fstat(fileno(file), &info) == 0)
    {
        const uint32_t size = LoadU32(header + 4);
        // The stored size is checked against the file before anything is allocated for it.
        if (size != 0 && uint64_t(size) > uint64_t(info.st_size) - kHeaderSize)
            gConsole.Warning(CONSOLE_CHANNEL_ENGINE, "Crc file %s is shorter than its header says", physicalPath);
        else if (size != 0)
        {
            m_payload.resize(size);
            if (std::fread(m_payload.data(), size, 1, file) == 1)
                Accept(physicalPath, LoadU32(header + 8));
            else
                gConsole.Warning(CONSOLE_CHANNEL_ENGINE, "Crc file %s is shorter than its header says", physicalPath);
        }
    }
    std::fclose(file);
    if (!m_open)
        m_payload = {};
}

bool FileSystemWholeFileCRCInputStream::Accept(const char* name, uint32_t storedCrc)
{
    if (!CheckCrc32(m_payload.data(), m_payload.size(), storedCrc))
    {
        gConsole.Warning(CONSOLE_CHANNEL_ENGINE, "Crc check failed for %s", name);
        return false;
    }
    m_open = true;
    m_position = 0;
    return true;
}

bool FileSystemWholeFileCRCInputStream::Read(void* destination, uint32_t count)
{
    if (!m_open || count > m_payload.size() - m_position)
        return false;
    if (destination != nullptr && count != 0)
        std::memcpy(destination, m_payload.data() + m_position, count);
    m_position += count;
    return true;
}

bool FileSystemWholeFileCRCInputStream::ReadByte(uint8_t& byte)
{
    if (!m_open || m_position >= m_payload.size())
        return false;
    byte = m_payload[m_position++];
    return true;
}
