#include "core/console/GameConsole.h"

#include <algorithm>
#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <vector>

GameConsole gConsole;

namespace
{
std::mutex gSinkMutex;
std::vector<ConsoleSink*> gSinks;
std::atomic<GameConsole::Listener> gListener{nullptr};

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

void GameConsole::Post(uint32_t kind, uint8_t channel, const char* format, va_list args)
{
    if (format == nullptr)
        return;
    char text[kMaxMessageLength + 1];
    const int written = std::vsnprintf(text, sizeof(text), format, args);
    if (written < 0)
        return;
    const size_t length = std::min<size_t>(static_cast<size_t>(written), kMaxMessageLength);
    {
        std::lock_guard<std::mutex> lock(gSinkMutex);
        std::fprintf(stderr, "%s%.*s\n", KindPrefix(kind), static_cast<int>(length), text);
        for (ConsoleSink* sink : gSinks)
            sink->Write(kind, channel, text, length);
    }
    if (channel == 4)
    {
        if (Listener listener = gListener.load(std::memory_order_acquire))
            listener(kind, 4, text);
    }
}

void GameConsole::Printf(uint32_t kind, uint8_t channel, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    Post(kind, channel, format, args);
    va_end(args);
}

void GameConsole::Warning(uint8_t channel, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    Post(CONSOLE_WARNING, channel, format, args);
    va_end(args);
}

void GameConsole::Error(uint8_t channel, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    Post(CONSOLE_ERROR, channel, format, args);
    va_end(args);
}

void GameConsole::SetListener(Listener listener)
{
    gListener.store(listener, std::memory_order_release);
}

GameConsole::Listener GameConsole::GetListener() const
{
    return gListener.load(std::memory_order_acquire);
}

void GameConsole::AddSink(ConsoleSink* sink)
{
    std::lock_guard<std::mutex> lock(gSinkMutex);
    gSinks.push_back(sink);
}

void GameConsole::RemoveSink(ConsoleSink* sink)
{
    std::lock_guard<std::mutex> lock(gSinkMutex);
    gSinks.erase(std::remove(gSinks.begin(), gSinks.end(), sink), gSinks.end());
}
