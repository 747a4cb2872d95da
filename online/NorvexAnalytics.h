// The analytics client: gameplay records built field by field on the main thread in pooled
// requests, then queued on the ServerRequestThread or dropped. A request is idle in the pool, open
// while its fields are added, or queued until the request thread has handled it.
//
// Threads: every call on the main thread; the request thread only marks handled requests idle.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// One analytics record: its table and fields, and whether it is free for the next Begin.
class NorvexAnalyticsRequest
{
public:
    struct Field
    {
        enum Kind : uint8_t
        {
            INT = 0,
            FLOAT = 1,
            STRING = 2,
        };
        std::string name;
        Kind kind = INT;
        int32_t intValue = 0;
        float floatValue = 0.0f;
        std::string text;
    };

    bool IsIdle() const { return m_idle.load(std::memory_order_acquire); }
    // Back to the pool (the request thread calls it once it has handled the request).
    void MarkIdle();

    std::string table;
    std::vector<Field> fields;

private:
    friend class NorvexAnalytics;
    std::atomic<bool> m_idle{true};
};

// The analytics client with its request pool (one global instance).
class NorvexAnalytics
{
public:
    static constexpr uint32_t kPoolGrowth = 8;

    // Starts a record on an idle request, growing the pool when none is idle.
    void Begin(const char* table);
    // Ignored when no record is open.
    void AddInt(const char* name, int32_t value);
    void AddFloat(const char* name, float value);
    void AddString(const char* name, const char* value);
    // Queues the record on the request thread when `send` is set, else drops it.
    void End(bool send);
    void GrowRequestPool();
    // Game close: drops every request (the request thread has stopped).
    void ClearPool();

    bool HasOpenRecord() const { return m_open != nullptr; }
    const NorvexAnalyticsRequest* GetOpenRecord() const { return m_open; }
    uint32_t GetPoolSize() const { return uint32_t(m_pool.size()); }

private:
    std::vector<std::unique_ptr<NorvexAnalyticsRequest>> m_pool;
    NorvexAnalyticsRequest* m_open = nullptr;
};

extern NorvexAnalytics gNorvexAnalytics;
