#include "core/console/ConsoleOutput.h"

#include "core/console/GameConsole.h"

#include <algorithm>
#include <cstdlib>

namespace
{
const char* KindPrefix(uint32_t kind)
{
    switch (kind)
    {
    case CONSOLE_WARNING:
        return "warning: ";
    case CONSOLE_ERROR:
        return "error: ";
    default:
        return "";
    }
}
} // namespace

std::FILE* ConsoleOutput::LogFile()
{
    if (!m_fileOpened)
    {
        m_fileOpened = true;
        const char* path = std::getenv("NORVEX_LOG");
        if (path != nullptr && path[0] != '\0')
        {
            m_file = std::fopen(path, "w");
            if (m_file == nullptr)
                std::fprintf(stderr, "warning: cannot open the log file \"%s\"\n", path);
        }
    }
    return m_file;
}

void ConsoleOutput::Write(uint32_t kind, uint8_t channel, const char* text, size_t length)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    const int shown = static_cast<int>(length);
    if (m_echo)
        std::fprintf(stderr, "%s%.*s\n", KindPrefix(kind), shown, text);
    if (std::FILE* file = LogFile())
    {
        std::fprintf(file, "%s%.*s\n", KindPrefix(kind), shown, text);
        std::fflush(file);
    }
    for (ConsoleSink* sink : m_sinks)
        sink->Write(kind, channel, text, length);
}

void ConsoleOutput::AddSink(ConsoleSink* sink)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    m_sinks.push_back(sink);
}

void ConsoleOutput::RemoveSink(ConsoleSink* sink)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    m_sinks.erase(std::remove(m_sinks.begin(), m_sinks.end(), sink), m_sinks.end());
}

void ConsoleOutput::SetStandardErrorEcho(bool on)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    m_echo = on;
}
