// A template class for resource tests: its load behaviour is chosen by its name's prefix.
//   "gate/...":   blocks until the test opens the gate (at most 5 s)
//   "stream/...": reads a u32 from the manager's optimized templates stream
//   "holder/...": holds a reference to the texture "tex/<rest>" until it dies
//   "fail/...":   fails
//   anything else loads at once.
#pragma once

#include "platform/os/Sync.h"
#include "renderer/resources/ResourceTemplate.h"

#include <atomic>

class ResourceTestTemplate : public ResourceTemplate
{
    RTTI_DECLARE_CLASS(ResourceTestTemplate, ResourceTemplate)

public:
    static constexpr uint32_t kTypeId = 300;

    ~ResourceTestTemplate() override;
    bool DoLoad() override;
    void Prefetch() override { ++s_prefetches; }
    void UnloadData() override { ++m_unloads; }

    std::atomic<int> m_loads{0};
    std::atomic<int> m_unloads{0};
    uint32_t m_streamValue = 0;
    Resource* m_texture = nullptr;

    // Shared test controls.
    static os::Event s_gate;            // manual reset
    static std::atomic<int> s_gateWaiters;
    static std::atomic<int> s_prefetches;
    static void Reset();
};
