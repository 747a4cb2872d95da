// Where the graphics stand-in reports misuse and failures. The platform layer sits below the log of
// the core, so the engine installs a handler that forwards to it; without one, lines go to standard
// error. Any thread may log; the handler is installed once at start-up.
#pragma once

#include <cstdint>

namespace gpu
{
enum class LogLevel : uint32_t
{
    Warning,
    Error,
};

using LogHandler = void (*)(LogLevel level, const char* text);

// Installs the handler (null restores standard error).
void SetLogHandler(LogHandler handler);
void LogWarning(const char* format, ...) __attribute__((format(printf, 1, 2)));
void LogError(const char* format, ...) __attribute__((format(printf, 1, 2)));
} // namespace gpu
