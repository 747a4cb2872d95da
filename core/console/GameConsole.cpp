#include "core/console/GameConsole.h"

#include "core/console/ConsoleOutput.h"
#include "core/console/ConsoleThread.h"
#include "platform/os/Thread.h"

#include <algorithm>
#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <shared_mutex>

constinit GameConsole gConsole;

namespace
{
struct ConsoleState
{
    ConsoleOutput output;
    // Shared while posting to the thread; exclusive while starting or closing it.
    std::shared_mutex threadMutex;
    ConsoleThread* thread = nullptr;
    bool closed = false;
    std::atomic<uint32_t> threadId{0};
    std::atomic<uint32_t> frameInfoMode{CONSOLE_FRAME_INFO_DISABLED};
    std::atomic<ConsoleFrameCounterHook> counters{nullptr};
    std::atomic<GameConsole::Listener> listener{nullptr};
};

// Never destroyed: anything may log while static destructors run.
ConsoleState& State()
{
    static ConsoleState* state = new ConsoleState;
    return *state;
}

// Set while Close holds the thread exclusively: a report of a slow stop must not wait for itself.
thread_local bool tClosing = false;

// True where posting would wait for the console thread from within it, or from Close.
bool MustWriteDirectly(const ConsoleState& state)
{
    if (tClosing)
        return true;
    const uint32_t id = state.threadId.load(std::memory_order_acquire);
    return id != 0 && id == os::CurrentThreadId();
}

// Logging works without set-up: the first message starts the thread, and process exit closes it
// after its queue has been written.
void StartThread(ConsoleState& state)
{
    std::unique_lock<std::shared_mutex> lock(state.threadMutex);
    if (state.thread != nullptr || state.closed)
        return;
    ConsoleThread* thread = new ConsoleThread(state.output);
    if (!thread->Start())
    {
        delete thread;
        state.closed = true;
        std::fprintf(stderr, "warning: the console thread could not start; logging directly\n");
        return;
    }
    state.thread = thread;
    state.threadId.store(thread->GetThreadId(), std::memory_order_release);
    static std::once_flag exitHook;
    std::call_once(exitHook, [] { std::atexit([] { gConsole.Close(); }); });
}

void WriteDirect(ConsoleState& state, uint32_t kind, uint8_t channel, const char* text)
{
    const size_t length = std::min(std::strlen(text), GameConsole::kMaxRecordText);
    state.output.Write(kind, channel, text, length);
}
} // namespace

void GameConsole::Deliver(uint32_t kind, uint8_t channel, const char* text, bool flush)
{
    ConsoleState& state = State();
    // A sink logging from the console thread itself cannot wait for that thread.
    if (MustWriteDirectly(state))
    {
        WriteDirect(state, kind, channel, text);
        return;
    }
    std::shared_lock<std::shared_mutex> lock(state.threadMutex);
    if (state.thread == nullptr && !state.closed)
    {
        lock.unlock();
        StartThread(state);
        lock.lock();
    }
    if (state.thread == nullptr)
    {
        WriteDirect(state, kind, channel, text);
        return;
    }
    state.thread->PostMessage(static_cast<uint8_t>(kind), channel, text,
                              state.frameInfoMode.load(std::memory_order_relaxed),
                              state.counters.load(std::memory_order_acquire));
    if (flush)
        state.thread->Flush();
}

void GameConsole::Post(uint32_t kind, uint8_t channel, const char* format, va_list args)
{
    if (format == nullptr)
        return;
    char text[kMaxMessageLength + 1];
    if (std::vsnprintf(text, sizeof(text), format, args) < 0)
        return;
    Deliver(kind, channel, text, kind == CONSOLE_ERROR);
    if (channel == CONSOLE_CHANNEL_SCRIPT)
    {
        if (Listener listener = GetListener())
            listener(kind, CONSOLE_CHANNEL_SCRIPT, text);
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

void GameConsole::ReportCoreError(const char* text)
{
    if (text != nullptr)
        Error(CONSOLE_CHANNEL_CORE, "%s", text);
}

void GameConsole::Print(const char* text)
{
    if (text != nullptr)
        Printf(CONSOLE_PRINT, CONSOLE_CHANNEL_SCRIPT, "%s", text);
}

void GameConsole::PrintWarning(const char* text)
{
    if (text != nullptr)
        Printf(CONSOLE_WARNING, CONSOLE_CHANNEL_SCRIPT, "%s", text);
}

void GameConsole::PrintError(const char* text)
{
    if (text != nullptr)
        Printf(CONSOLE_ERROR, CONSOLE_CHANNEL_SCRIPT, "%s", text);
}

void GameConsole::WindowAction(uint8_t action)
{
    ConsoleState& state = State();
    if (MustWriteDirectly(state))
        return;
    std::shared_lock<std::shared_mutex> lock(state.threadMutex);
    if (state.thread != nullptr)
        state.thread->PostWindowAction(action);
}

void GameConsole::Show()
{
    WindowAction(CONSOLE_WINDOW_SHOW);
}

void GameConsole::Hide()
{
    WindowAction(CONSOLE_WINDOW_HIDE);
}

void GameConsole::Toggle()
{
    WindowAction(CONSOLE_WINDOW_TOGGLE);
}

void GameConsole::Cls()
{
    WindowAction(CONSOLE_WINDOW_CLEAR);
}

bool GameConsole::IsWindowShown() const
{
    ConsoleState& state = State();
    std::shared_lock<std::shared_mutex> lock(state.threadMutex);
    return state.thread != nullptr && state.thread->IsWindowShown();
}

void GameConsole::Flush()
{
    ConsoleState& state = State();
    if (MustWriteDirectly(state))
        return;
    std::shared_lock<std::shared_mutex> lock(state.threadMutex);
    if (state.thread != nullptr)
        state.thread->Flush();
}

void GameConsole::Close()
{
    ConsoleState& state = State();
    if (MustWriteDirectly(state))
        return;
    std::unique_lock<std::shared_mutex> lock(state.threadMutex);
    state.closed = true;
    if (state.thread == nullptr)
        return;
    tClosing = true;
    state.thread->Flush();
    state.thread->Stop();
    delete state.thread;
    state.thread = nullptr;
    state.threadId.store(0, std::memory_order_release);
    tClosing = false;
}

void GameConsole::SetFrameInfoMode(uint32_t mode)
{
    State().frameInfoMode.store(mode, std::memory_order_relaxed);
}

void GameConsole::SetFrameCounterHook(ConsoleFrameCounterHook hook)
{
    State().counters.store(hook, std::memory_order_release);
}

void GameConsole::SetListener(Listener listener)
{
    State().listener.store(listener, std::memory_order_release);
}

GameConsole::Listener GameConsole::GetListener() const
{
    return State().listener.load(std::memory_order_acquire);
}

void GameConsole::AddSink(ConsoleSink* sink)
{
    Flush();
    State().output.AddSink(sink);
}

void GameConsole::RemoveSink(ConsoleSink* sink)
{
    Flush();
    State().output.RemoveSink(sink);
}

void GameConsole::SetStandardErrorEcho(bool on)
{
    Flush();
    State().output.SetStandardErrorEcho(on);
}
