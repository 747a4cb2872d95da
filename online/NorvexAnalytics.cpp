#include "online/NorvexAnalytics.h"

#include "core/console/GameConsole.h"
#include "online/ServerRequestThread.h"

NorvexAnalytics gNorvexAnalytics;

void NorvexAnalyticsRequest::MarkIdle()
{
    table.clear();
    fields.clear();
    m_idle.store(true, std::memory_order_release);
}

void NorvexAnalytics::GrowRequestPool()
{
    for (uint32_t i = 0; i < kPoolGrowth; ++i)
        m_pool.push_back(std::make_unique<NorvexAnalyticsRequest>());
}

void NorvexAnalytics::Begin(const char* table)
{
    const char* const name = table != nullptr ? table : "";
    gConsole.Printf(CONSOLE_MESSAGE, CONSOLE_CHANNEL_MULTIPLAYER, "NorvexAnalytics: Begin [%s]", name);
    // A record left open is dropped: its request goes back to the pool rather than being lost.
    if (m_open != nullptr)
        m_open->MarkIdle();
    m_open = nullptr;
    for (const std::unique_ptr<NorvexAnalyticsRequest>& request : m_pool)
        if (request->IsIdle())
        {
            m_open = request.get();
            break;
        }
    if (m_open == nullptr)
    {
        GrowRequestPool();
        m_open = m_pool[m_pool.size() - kPoolGrowth].get();
    }
    m_open->m_idle.store(false, std::memory_order_release);
    m_open->table = name;
    m_open->fields.clear();
}

void NorvexAnalytics::AddInt(const char* name, int32_t value)
{
    if (m_open == nullptr || name == nullptr)
        return;
    NorvexAnalyticsRequest::Field field;
    field.name = name;
    field.kind = NorvexAnalyticsRequest::Field::INT;
    field.intValue = value;
    m_open->fields.push_back(std::move(field));
}

void NorvexAnalytics::AddFloat(const char* name, float value)
{
    if (m_open == nullptr || name == nullptr)
        return;
    NorvexAnalyticsRequest::Field field;
    field.name = name;
    field.kind = NorvexAnalyticsRequest::Field::FLOAT;
    field.floatValue = value;
    m_open->fields.push_back(std::move(field));
}

void NorvexAnalytics::AddString(const char* name, const char* value)
{
    if (m_open == nullptr || name == nullptr)
        return;
    NorvexAnalyticsRequest::Field field;
    field.name = name;
    field.kind = NorvexAnalyticsRequest::Field::STRING;
    field.text = value != nullptr ? value : "";
    m_open->fields.push_back(std::move(field));
}

void NorvexAnalytics::End(bool send)
{
    gConsole.Printf(CONSOLE_MESSAGE, CONSOLE_CHANNEL_MULTIPLAYER, "NorvexAnalytics: End [%d]", send ? 1 : 0);
    NorvexAnalyticsRequest* const request = m_open;
    m_open = nullptr;
    if (request == nullptr)
        return;
    // A request the thread does not take is dropped here, so it never stays out of the pool.
    if (!send || !gServerRequestThread.Queue(request))
        request->MarkIdle();
}

void NorvexAnalytics::ClearPool()
{
    m_open = nullptr;
    m_pool.clear();
}
