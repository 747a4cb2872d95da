// The global log (script global gConsole).
//
// Any thread may log, with no set-up: the text is formatted on the calling thread (at most 8191
// characters) and posted as a record to the console thread, a BaseThread started on first use,
// which writes it to standard error, to the file named by NORVEX_LOG and to the installed sinks
// (tests install one). Records carry at most 1024 text bytes. Error waits until its message has
// been written. The channel-4 listener sees the full text on the calling thread. At process exit,
// or after Close, messages are written directly on the calling thread, so none are lost.
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

// Every log channel the system uses; call sites name one of these, never a number.
enum ConsoleChannel : uint8_t
{
    CONSOLE_CHANNEL_GENERAL = 0, // font table, animation lookups and optional device extras
    CONSOLE_CHANNEL_LIGHTMAP = 1, // lightmap loading
    CONSOLE_CHANNEL_ENGINE = 2, // engine, file system, records, configuration, loading, string tables and fonts
    CONSOLE_CHANNEL_RESOURCE = 3, // resource manager, pools, resource loads and user-interface build errors
    CONSOLE_CHANNEL_SCRIPT = 4, // Lua wrapper and script errors; seen by the listener; frame information
    CONSOLE_CHANNEL_RENDER = 5, // render thread, device, shaders, renderer jobs and video
    CONSOLE_CHANNEL_SOUND = 6, // sound engine and sound resources
    CONSOLE_CHANNEL_MULTIPLAYER = 7, // multiplayer timer correction and online services; frame information
    CONSOLE_CHANNEL_REPORT = 9, // distribution, template and user-interface reports
    CONSOLE_CHANNEL_CORE = 10, // fixed core errors and container index errors
    CONSOLE_CHANNEL_SPEAKER = 12, // speaker value store
};

// Console window actions.
enum ConsoleWindowAction : uint8_t
{
    CONSOLE_WINDOW_SHOW = 5,
    CONSOLE_WINDOW_HIDE = 6,
    CONSOLE_WINDOW_TOGGLE = 7,
    CONSOLE_WINDOW_CLEAR = 14,
};

// Frame information on channels 4 and 7 (the "Log frame info" setting).
enum ConsoleFrameInfoMode : uint32_t
{
    CONSOLE_FRAME_INFO_DISABLED = 0,
    CONSOLE_FRAME_INFO_EVERY_LINE = 1, // " [frame: tick/frame]" appended to each line
    CONSOLE_FRAME_INFO_WHEN_CHANGED = 2, // a "[frame: tick/frame]" line when the pair changes
};

// The game's logic tick and frame counters, read (in that order) through a hook the engine installs.
struct ConsoleFrameCounters
{
    uint32_t tick;
    uint32_t frame;
};
using ConsoleFrameCounterHook = ConsoleFrameCounters (*)();

// Receives every finished log line. Write is called on the console thread (or, at exit, the logging one).
class ConsoleSink
{
public:
    virtual ~ConsoleSink() = default;
    virtual void Write(uint32_t kind, uint8_t channel, const char* text, size_t length) = 0;
};

// The log front end; one global instance, any thread.
class GameConsole
{
public:
    // Observer of channel-4 (script) messages, called on the logging thread with the full text.
    using Listener = void (*)(uint32_t kind, uint32_t channel, const char* text);

    static constexpr size_t kMaxMessageLength = 8191;
    static constexpr size_t kMaxRecordText = 1024;

    constexpr GameConsole() = default;

    void Printf(uint32_t kind, uint8_t channel, const char* format, ...) __attribute__((format(printf, 4, 5)));
    void Warning(uint8_t channel, const char* format, ...) __attribute__((format(printf, 3, 4)));
    // Returns once the message has been written.
    void Error(uint8_t channel, const char* format, ...) __attribute__((format(printf, 3, 4)));
    // Error on channel 10 with the text as its format.
    void ReportCoreError(const char* text);

    // Script prints on channel 4: kind 2, 3 and 4 (PrintError waits until written).
    void Print(const char* text);
    void PrintWarning(const char* text);
    void PrintError(const char* text);

    void Show();
    void Hide();
    void Toggle();
    void Cls();
    // Whether the console window would be shown (there is no window; Cls has nothing to clear).
    bool IsWindowShown() const;

    // Returns once everything logged before has been written (at once on the console thread).
    void Flush();
    // Flushes and ends the console thread; later messages are written on the logging thread.
    void Close();

    void SetFrameInfoMode(uint32_t mode);
    void SetFrameCounterHook(ConsoleFrameCounterHook hook);

    void SetListener(Listener listener);
    Listener GetListener() const;

    // Sinks are kept by pointer; a sink must be removed before it dies. A sink sees what is logged
    // after AddSink and before RemoveSink.
    void AddSink(ConsoleSink* sink);
    void RemoveSink(ConsoleSink* sink);
    // Whether lines go to standard error (the default); the log file and the sinks get them either
    // way. Takes effect for what is logged after the call.
    void SetStandardErrorEcho(bool on);

private:
    void Post(uint32_t kind, uint8_t channel, const char* format, __builtin_va_list args);
    void Deliver(uint32_t kind, uint8_t channel, const char* text, bool flush);
    void WindowAction(uint8_t action);
};

extern GameConsole gConsole;
