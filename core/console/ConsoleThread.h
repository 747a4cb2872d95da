// The console's worker: takes message records (command 6) and window actions (command 7) from any
// thread and writes the messages to the console output on its own thread.
#pragma once

#include "core/console/GameConsole.h"
#include "core/threads/BaseThread.h"

#include <atomic>
#include <cstdint>
#include <mutex>

class ConsoleOutput;

// Console thread commands.
enum ConsoleThreadCommand : uint32_t
{
    CONSOLE_COMMAND_MESSAGE = kFirstSubclassCommand, // u8 kind, u8 channel, text, u8 0
    CONSOLE_COMMAND_WINDOW = kFirstSubclassCommand + 1, // u8 action
};

// BaseThread that owns the log output.
class ConsoleThread : public BaseThread
{
public:
    static constexpr uint32_t kRingBytes = 65536;
    // Text bytes of one record, frame suffix included.
    static constexpr uint32_t kMaxRecordText = 1024;

    explicit ConsoleThread(ConsoleOutput& output);
    ~ConsoleThread() override;

    // Any thread. Channels 4 and 7 carry frame information in modes 1 and 2 when a hook is given;
    // the text is cut so that text plus suffix fit kMaxRecordText.
    void PostMessage(uint8_t kind, uint8_t channel, const char* text, uint32_t frameInfoMode,
                     ConsoleFrameCounterHook counters);
    void PostWindowAction(uint8_t action);
    bool IsWindowShown() const { return m_windowShown.load(std::memory_order_acquire); }

protected:
    void HandleCommand(const uint8_t* record) override;

private:
    void PostRecord(uint8_t kind, uint8_t channel, const char* text, size_t textLength, const char* suffix,
                    size_t suffixLength);

    ConsoleOutput& m_output;
    // Keeps the last frame pair and a "[frame: ...]" line together with the message that caused it.
    std::mutex m_frameMutex;
    ConsoleFrameCounters m_lastFrame{0, 0};
    std::atomic<bool> m_windowShown{false};
};
