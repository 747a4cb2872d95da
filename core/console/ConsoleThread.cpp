#include "core/console/ConsoleThread.h"

#include "core/console/ConsoleOutput.h"
#include "core/console/GameConsole.h"

#include <cstdio>
#include <cstring>

namespace
{
bool CarriesFrameInfo(uint8_t channel)
{
    return channel == CONSOLE_CHANNEL_SCRIPT || channel == CONSOLE_CHANNEL_MULTIPLAYER;
}
} // namespace

ConsoleThread::ConsoleThread(ConsoleOutput& output)
    : BaseThread("Console", kRingBytes, true, os::kInfinite, 0), m_output(output)
{
}

ConsoleThread::~ConsoleThread()
{
    Stop();
}

void ConsoleThread::PostMessage(uint8_t kind, uint8_t channel, const char* text, uint32_t frameInfoMode,
                                ConsoleFrameCounterHook counters)
{
    if (text == nullptr)
        return;
    char suffix[48];
    size_t suffixLength = 0;
    std::lock_guard<std::mutex> lock(m_frameMutex);
    if (CarriesFrameInfo(channel) && counters != nullptr &&
        (frameInfoMode == CONSOLE_FRAME_INFO_EVERY_LINE || frameInfoMode == CONSOLE_FRAME_INFO_WHEN_CHANGED))
    {
        const ConsoleFrameCounters now = counters();
        if (frameInfoMode == CONSOLE_FRAME_INFO_EVERY_LINE)
        {
            m_lastFrame = now;
            suffixLength = static_cast<size_t>(
                std::snprintf(suffix, sizeof(suffix), " [frame: %d/%d]", int(now.tick), int(now.frame)));
        }
        else if (now.tick != m_lastFrame.tick || now.frame != m_lastFrame.frame)
        {
            m_lastFrame = now;
            char line[48];
            const int lineLength = std::snprintf(line, sizeof(line), "[frame: %d/%d]", int(now.tick), int(now.frame));
            PostRecord(kind, channel, line, static_cast<size_t>(lineLength), nullptr, 0);
        }
    }
    size_t textLength = std::strlen(text);
    if (textLength + suffixLength > kMaxRecordText)
        textLength = kMaxRecordText - suffixLength;
    PostRecord(kind, channel, text, textLength, suffix, suffixLength);
}

void ConsoleThread::PostRecord(uint8_t kind, uint8_t channel, const char* text, size_t textLength,
                               const char* suffix, size_t suffixLength)
{
    const uint32_t payload = static_cast<uint32_t>(textLength + suffixLength + 3);
    if (!BeginCommand(CONSOLE_COMMAND_MESSAGE, payload))
        return;
    CommandRingBuffer& ring = GetRing();
    const uint8_t end = 0;
    ring.Write(&kind, 1);
    ring.Write(&channel, 1);
    ring.Write(text, static_cast<uint32_t>(textLength));
    ring.Write(suffix, static_cast<uint32_t>(suffixLength));
    ring.Write(&end, 1);
    EndCommand();
}

void ConsoleThread::PostWindowAction(uint8_t action)
{
    PostCommand(CONSOLE_COMMAND_WINDOW, &action, sizeof(action));
}

void ConsoleThread::HandleCommand(const uint8_t* record)
{
    CommandRingBuffer& ring = GetRing();
    uint32_t id = 0;
    std::memcpy(&id, record, sizeof(id));
    if (id == CONSOLE_COMMAND_MESSAGE)
    {
        const uint32_t size = ring.GetReadPayloadSize();
        if (size < 3)
            return;
        const uint8_t* payload = ring.GetReadCursor();
        m_output.Write(payload[0], payload[1], reinterpret_cast<const char*>(payload + 2), size - 3);
    }
    else if (id == CONSOLE_COMMAND_WINDOW)
    {
        uint8_t action = 0;
        if (!ring.Read(&action, sizeof(action)))
            return;
        // There is no console window here; its visibility is kept for whoever shows the log.
        if (action == CONSOLE_WINDOW_SHOW)
            m_windowShown.store(true, std::memory_order_release);
        else if (action == CONSOLE_WINDOW_HIDE)
            m_windowShown.store(false, std::memory_order_release);
        else if (action == CONSOLE_WINDOW_TOGGLE)
            m_windowShown.store(!m_windowShown.load(std::memory_order_acquire), std::memory_order_release);
    }
}
