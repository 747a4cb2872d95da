// ConsoleLineQueue: the log lines the Game's console listener has seen and the console screen has
// not shown yet. Push from any thread (the log's listener runs on whichever thread logs); TakeAll
// and Clear on the main thread, which alone touches the console screen.
#pragma once

#include "platform/os/Sync.h"

#include <cstdint>
#include <string>
#include <vector>

// Lines waiting for the main thread, in the order they were logged.
class ConsoleLineQueue
{
public:
    struct Line
    {
        uint32_t kind = 0;
        std::string text;
    };

    // At most this many lines wait; older ones are dropped, so a queue nobody drains stays bounded.
    static constexpr size_t kMaxLines = 256;

    ConsoleLineQueue() = default;
    ConsoleLineQueue(const ConsoleLineQueue&) = delete;
    ConsoleLineQueue& operator=(const ConsoleLineQueue&) = delete;

    // Grey for message kinds 0 to 2, yellow for warnings (3), red for errors (4 and above).
    static void ColourForKind(uint32_t kind, float colour[4]);

    void Push(uint32_t kind, const char* text);
    // Moves every waiting line to `lines` (appended), oldest first.
    void TakeAll(std::vector<Line>& lines);
    void Clear();
    size_t GetCount();

private:
    os::CriticalSection m_lock;
    std::vector<Line> m_lines;
};
