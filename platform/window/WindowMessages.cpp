#include "platform/window/WindowMessages.h"

#include "platform/os/Thread.h"
#include "platform/window/Cursor.h"
#include "platform/window/WindowState.h"

#include <atomic>
#include <cctype>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <vector>

namespace win
{
namespace
{
std::mutex gQueueMutex;
std::deque<Message> gQueue;
std::atomic<bool> gCloseSignalled{false};
bool gMaxFramesRead = false;
uint32_t gMaxFrames = 0;
uint32_t gCountedFrames = 0;

void OnCloseSignal(int) { gCloseSignalled.store(true, std::memory_order_release); }

// Every live window of the calling thread.
std::vector<WindowHandle> ThreadWindows()
{
    std::vector<WindowHandle> windows;
    const uint32_t thread = os::CurrentThreadId();
    for (const auto& [id, record] : detail::GetState().windows)
        if (record.thread == thread)
            windows.push_back(detail::HandleOf(id));
    return windows;
}

void PostCloseToThreadWindows()
{
    for (WindowHandle window : ThreadWindows())
        PostMessage(window, kMsgClose, 0, 0);
}

// A paint message for the first visible window of this thread that needs painting; the queue
// makes one only when nothing else waits, as the desktop does.
bool SynthesisePaint(Message& message)
{
    const uint32_t thread = os::CurrentThreadId();
    for (const auto& [id, record] : detail::GetState().windows)
    {
        if (record.thread == thread && record.visible && record.needsPaint)
        {
            message = Message();
            message.window = detail::HandleOf(id);
            message.id = kMsgPaint;
            GetCursorPos(message.position);
            return true;
        }
    }
    return false;
}
} // namespace

namespace detail
{
void DropQueuedMessages()
{
    std::lock_guard<std::mutex> lock(gQueueMutex);
    gQueue.clear();
}

void ResetFrameLimit()
{
    gMaxFramesRead = false;
    gMaxFrames = 0;
    gCountedFrames = 0;
    gCloseSignalled.store(false, std::memory_order_release);
}
} // namespace detail

bool PostMessage(WindowHandle window, uint32_t id, uintptr_t wParam, intptr_t lParam, uint32_t extraInfo)
{
    if (window == nullptr || window == detail::OtherProcessWindow())
        return false;
    Message message;
    message.window = window;
    message.id = id;
    message.wParam = wParam;
    message.lParam = lParam;
    message.extraInfo = extraInfo;
    GetCursorPos(message.position);
    std::lock_guard<std::mutex> lock(gQueueMutex);
    gQueue.push_back(message);
    return true;
}

bool PeekMessage(Message& message, bool remove)
{
    if (gCloseSignalled.exchange(false, std::memory_order_acq_rel))
        PostCloseToThreadWindows();
    const uint32_t thread = os::CurrentThreadId();
    {
        std::lock_guard<std::mutex> lock(gQueueMutex);
        for (auto it = gQueue.begin(); it != gQueue.end();)
        {
            const detail::WindowRecord* record = detail::FindWindowRecord(it->window);
            if (record == nullptr)
            {
                it = gQueue.erase(it); // its window is gone
                continue;
            }
            if (record->thread != thread)
            {
                ++it;
                continue;
            }
            message = *it;
            if (remove)
                gQueue.erase(it);
            return true;
        }
    }
    return SynthesisePaint(message);
}

bool TranslateMessage(const Message& message) { return message.id == kMsgKeyDown; }

intptr_t DispatchMessage(const Message& message)
{
    detail::State& state = detail::GetState();
    if (detail::FindWindowRecord(message.window) == nullptr)
        return 0;
    const bool outerDispatching = state.dispatching;
    const uint32_t outerExtraInfo = state.dispatchExtraInfo;
    const Point outerPosition = state.dispatchPosition;
    state.dispatching = true;
    state.dispatchExtraInfo = message.extraInfo;
    state.dispatchPosition = message.position;
    const bool mouse = message.id >= kMsgMouseMove && message.id <= kMsgMiddleButtonDoubleClick;
    if (mouse)
        SendMessage(message.window, kMsgSetCursor, reinterpret_cast<uintptr_t>(message.window),
                    MakeLParam(int32_t(kHitClient), int32_t(message.id)));
    const intptr_t result = SendMessage(message.window, message.id, message.wParam, message.lParam);
    state.dispatching = outerDispatching;
    state.dispatchExtraInfo = outerExtraInfo;
    state.dispatchPosition = outerPosition;
    return result;
}

uint32_t GetMessageExtraInfo()
{
    const detail::State& state = detail::GetState();
    return state.dispatching ? state.dispatchExtraInfo : 0;
}

Point GetMessagePos()
{
    const detail::State& state = detail::GetState();
    if (state.dispatching)
        return state.dispatchPosition;
    Point point;
    GetCursorPos(point);
    return point;
}

uint32_t GetQueuedMessageCount()
{
    const uint32_t thread = os::CurrentThreadId();
    std::lock_guard<std::mutex> lock(gQueueMutex);
    uint32_t count = 0;
    for (const Message& message : gQueue)
    {
        const detail::WindowRecord* record = detail::FindWindowRecord(message.window);
        if (record != nullptr && record->thread == thread)
            ++count;
    }
    return count;
}

void SetMaxFrames(uint32_t frames)
{
    gMaxFramesRead = true;
    gMaxFrames = frames;
}

uint32_t GetMaxFrames()
{
    if (!gMaxFramesRead)
    {
        gMaxFramesRead = true;
        const char* text = std::getenv("NORVEX_MAX_FRAMES");
        char* end = nullptr;
        const bool digits = text != nullptr && std::isdigit(static_cast<unsigned char>(text[0])) != 0;
        const unsigned long value = digits ? std::strtoul(text, &end, 10) : 0;
        gMaxFrames = (digits && *end == '\0' && value <= 0xFFFFFFFFul) ? uint32_t(value) : 0;
        // A mistyped limit would otherwise run the game without one, unnoticed.
        if (text != nullptr && *text != '\0' && gMaxFrames == 0)
            std::fprintf(stderr, "warning: NORVEX_MAX_FRAMES=%s is not a positive number of frames: the run has no "
                                 "frame limit\n",
                         text);
    }
    return gMaxFrames;
}

void CountFrame()
{
    ++gCountedFrames;
    const uint32_t limit = GetMaxFrames();
    if (limit != 0 && gCountedFrames == limit)
        PostCloseToThreadWindows();
}

uint32_t GetCountedFrames() { return gCountedFrames; }

void InstallCloseOnSignals()
{
    struct sigaction action = {};
    action.sa_handler = OnCloseSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}
} // namespace win
