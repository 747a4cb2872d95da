#include "platform/gpu/GpuLog.h"
#include "platform/gpu/GpuTypes.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>

namespace gpu
{
namespace
{
std::atomic<LogHandler> gHandler{nullptr};

void Post(LogLevel level, const char* format, va_list args)
{
    char text[1024];
    vsnprintf(text, sizeof(text), format, args);
    if (const LogHandler handler = gHandler.load(std::memory_order_acquire))
        handler(level, text);
    else
        fprintf(stderr, "gpu %s: %s\n", level == LogLevel::Error ? "error" : "warning", text);
}
} // namespace

void SetLogHandler(LogHandler handler) { gHandler.store(handler, std::memory_order_release); }

void LogWarning(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    Post(LogLevel::Warning, format, args);
    va_end(args);
}

void LogError(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    Post(LogLevel::Error, format, args);
    va_end(args);
}

const char* ResultName(Result r)
{
    switch (r)
    {
    case kOk: return "ok";
    case kNotReady: return "not ready";
    case kErrDeviceLost: return "device lost";
    case kErrInvalidCall: return "invalid call";
    case kErrOutOfVideoMemory: return "out of video memory";
    case kErrDriverInternalError: return "driver internal error";
    case kErrDeviceRemoved: return "device removed";
    case kErrNotAvailable: return "not available";
    case kErrCompile: return "compile error";
    default: return "unknown";
    }
}
} // namespace gpu
