// The global log (script global gConsole). Any thread may log: the text is formatted on the calling
// thread and handed to the registered sinks (standard error, the NORVEX_LOG file, test sinks).
#pragma once

#include <cstddef>
#include <cstdint>

// Message kinds: 0 to 2 ordinary (2 for script prints and banners), 3 warning, 4 error.
enum ConsoleMessageKind : uint32_t
{
    CONSOLE_MESSAGE = 0,
    CONSOLE_INFO = 1,
    CONSOLE_PRINT = 2,
    CONSOLE_WARNING = 3,
    CONSOLE_ERROR = 4,
};

// Receives every finished log line. Write may be called from any thread.
class ConsoleSink
{
public:
    virtual ~ConsoleSink() = default;
    virtual void Write(uint32_t kind, uint8_t channel, const char* text, size_t length) = 0;
};

class GameConsole
{
public:
    // Observer of channel-4 (script) messages, called on the logging thread with the full text.
    using Listener = void (*)(uint32_t kind, uint32_t channel, const char* text);

    static constexpr size_t kMaxMessageLength = 8191;

    void Printf(uint32_t kind, uint8_t channel, const char* format, ...) __attribute__((format(printf, 4, 5)));
    void Warning(uint8_t channel, const char* format, ...) __attribute__((format(printf, 3, 4)));
    void Error(uint8_t channel, const char* format, ...) __attribute__((format(printf, 3, 4)));

    void SetListener(Listener listener);
    Listener GetListener() const;

    // Sinks are kept by pointer; a sink must be removed before it dies.
    void AddSink(ConsoleSink* sink);
    void RemoveSink(ConsoleSink* sink);

private:
    void Post(uint32_t kind, uint8_t channel, const char* format, __builtin_va_list args);
};

extern GameConsole gConsole;
