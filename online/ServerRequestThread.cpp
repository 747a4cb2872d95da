#include "online/ServerRequestThread.h"

#include "core/console/GameConsole.h"
#include "online/NorvexAnalytics.h"

ServerRequestThread gServerRequestThread;

namespace
{
constexpr uint32_t kRequestRingBytes = 8192;
constexpr uint32_t kCommandRequest = kFirstSubclassCommand;
} // namespace

ServerRequestThread::ServerRequestThread()
    : BaseThread("ServerRequestThread", kRequestRingBytes, false, os::kInfinite, kSubclassWord)
{
}

ServerRequestThread::~ServerRequestThread()
{
    Stop();
}

bool ServerRequestThread::Queue(NorvexAnalyticsRequest* request)
{
    if (request == nullptr || !IsRunning())
        return false;
    return PostCommand(kCommandRequest, &request, sizeof(request));
}

void ServerRequestThread::HandleCommand(const uint8_t*)
{
    NorvexAnalyticsRequest* request = nullptr;
    if (GetRing().GetReadId() != kCommandRequest || !GetRing().Read(&request, sizeof(request)) || request == nullptr)
        return;
    if (!m_postingReported)
    {
        m_postingReported = true;
        gConsole.Printf(CONSOLE_INFO, CONSOLE_CHANNEL_MULTIPLAYER,
                        "ServerRequestThread: posting analytics is not built yet; records are dropped");
    }
    request->MarkIdle();
    m_handled.fetch_add(1, std::memory_order_release);
}
