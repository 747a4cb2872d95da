// Records every log line while it lives, so tests can assert on messages and their order. The log
// is written on the console thread, so every query first waits until what was logged is written.
#pragma once

#include "core/console/GameConsole.h"

#include <mutex>
#include <string>
#include <vector>

struct CapturedMessage
{
    uint32_t kind;
    uint8_t channel;
    std::string text;
};

class ConsoleCapture : public ConsoleSink
{
public:
    ConsoleCapture() { gConsole.AddSink(this); }
    ~ConsoleCapture() override { gConsole.RemoveSink(this); }

    void Write(uint32_t kind, uint8_t channel, const char* text, size_t length) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_messages.push_back({kind, channel, std::string(text, length)});
    }

    std::vector<CapturedMessage> Messages() const
    {
        gConsole.Flush();
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_messages;
    }

    // True when some message contains `fragment` (optionally of the given kind).
    bool Contains(const std::string& fragment, int kind = -1) const
    {
        gConsole.Flush();
        std::lock_guard<std::mutex> lock(m_mutex);
        for (const CapturedMessage& message : m_messages)
            if (message.text.find(fragment) != std::string::npos && (kind < 0 || message.kind == uint32_t(kind)))
                return true;
        return false;
    }

    size_t CountOfKind(uint32_t kind) const
    {
        gConsole.Flush();
        std::lock_guard<std::mutex> lock(m_mutex);
        size_t count = 0;
        for (const CapturedMessage& message : m_messages)
            count += message.kind == kind;
        return count;
    }

    void Clear()
    {
        gConsole.Flush();
        std::lock_guard<std::mutex> lock(m_mutex);
        m_messages.clear();
    }

private:
    mutable std::mutex m_mutex;
    std::vector<CapturedMessage> m_messages;
};
