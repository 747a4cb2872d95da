// Where finished log lines go: standard error, the file named by NORVEX_LOG, and the installed
// sinks. Written by the console thread, and directly by the console's fallback path; any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <vector>

class ConsoleSink;

// Writes each line to every destination under one lock, so lines never interleave.
class ConsoleOutput
{
public:
    void Write(uint32_t kind, uint8_t channel, const char* text, size_t length);
    void AddSink(ConsoleSink* sink);
    void RemoveSink(ConsoleSink* sink);
    void SetStandardErrorEcho(bool on);

private:
    std::FILE* LogFile();

    // Recursive: a sink may itself log from inside Write.
    std::recursive_mutex m_mutex;
    std::vector<ConsoleSink*> m_sinks;
    std::FILE* m_file = nullptr; // stays open to the end of the process; flushed per line
    bool m_fileOpened = false;
    bool m_echo = true;
};
