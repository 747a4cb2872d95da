#include "core/filesystem/FileSystemLocalFileInputStream.h"

#include "core/filesystem/FileSystemTimes.h"
#include "platform/os/Files.h"

#include <sys/types.h>

FileSystemLocalFileInputStream::FileSystemLocalFileInputStream(const char* physicalPath)
    : m_file(os::OpenFile(physicalPath, "rb"))
{
}

FileSystemLocalFileInputStream::~FileSystemLocalFileInputStream()
{
    if (m_file != nullptr)
        std::fclose(m_file);
}

uint32_t FileSystemLocalFileInputStream::GetSize()
{
    if (m_file == nullptr)
        return 0;
    if (!m_sizeKnown)
    {
        const off_t position = ftello(m_file);
        if (position < 0 || fseeko(m_file, 0, SEEK_END) != 0)
            return 0;
        const off_t end = ftello(m_file);
        fseeko(m_file, position, SEEK_SET);
        if (end < 0)
            return 0;
        // Sizes are 32-bit throughout the file system; larger files report the largest size.
        m_size = end > off_t(0xFFFFFFFF) ? 0xFFFFFFFFu : static_cast<uint32_t>(end);
        m_sizeKnown = true;
    }
    return m_size;
}

uint64_t FileSystemLocalFileInputStream::GetLastWriteTime()
{
    if (m_lastWriteTime == 0 && m_file != nullptr)
        m_lastWriteTime = os::GetLastWriteTime(m_file);
    return m_lastWriteTime;
}

bool FileSystemLocalFileInputStream::Read(void* destination, uint32_t count)
{
    if (m_file == nullptr || count == 0)
        return false;
    if (destination == nullptr)
    {
        // A skip past the end is a failed read, as it is for every other stream.
        const off_t position = ftello(m_file);
        return position >= 0 && uint64_t(position) + count <= GetSize() &&
               fseeko(m_file, off_t(count), SEEK_CUR) == 0;
    }
    FileSystemTimer timer(FILESYSTEM_TIME_READ);
    const off_t position = ftello(m_file);
    if (std::fread(destination, count, 1, m_file) == 1)
        return true;
    // A short read leaves the position where it was, so the caller's count stays true.
    std::clearerr(m_file);
    if (position >= 0)
        fseeko(m_file, position, SEEK_SET);
    return false;
}

bool FileSystemLocalFileInputStream::ReadByte(uint8_t& byte)
{
    if (m_file == nullptr)
        return false;
    const int value = std::fgetc(m_file);
    if (value == EOF)
        return false;
    byte = static_cast<uint8_t>(value);
    return true;
}

FILE* FileSystemLocalFileInputStream::DetachFile(bool take)
{
    FILE* const file = m_file;
    if (take)
        m_file = nullptr;
    return file;
}
