#include "core/filesystem/FileSystemLocalFileOutputStream.h"

#include "core/console/GameConsole.h"

FileSystemLocalFileOutputStream::FileSystemLocalFileOutputStream(const char* physicalPath)
    : m_path(physicalPath != nullptr ? physicalPath : "")
{
    m_file.Open(physicalPath);
}

FileSystemLocalFileOutputStream::~FileSystemLocalFileOutputStream()
{
    Close();
}

bool FileSystemLocalFileOutputStream::Write(const void* data, uint32_t count)
{
    FILE* const file = m_file.GetFile();
    if (file == nullptr)
        return false;
    if (count == 0)
        return true;
    if (data == nullptr || std::fwrite(data, count, 1, file) != 1)
    {
        m_failed = true;
        return false;
    }
    return true;
}

bool FileSystemLocalFileOutputStream::Close()
{
    if (m_closed)
        return m_result;
    m_closed = true;
    if (m_file.GetFile() == nullptr)
        return false;
    // A failed save must not replace the last good file.
    if (m_failed)
        m_file.Abandon();
    else
        m_result = m_file.Commit();
    if (!m_result)
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Unable to write file %s", m_path.c_str());
    return m_result;
}
