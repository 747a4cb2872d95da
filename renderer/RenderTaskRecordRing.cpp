#include "renderer/RenderTaskRecordRing.h"

void RenderTaskRecordRing::Allocate()
{
    m_records.assign(kCapacity, RenderTaskRecord());
    m_sortKeys.assign(kCapacity, RenderTaskSortKey());
    Clear();
}

void RenderTaskRecordRing::Free()
{
    m_records = {};
    m_sortKeys = {};
    Clear();
}

void RenderTaskRecordRing::Clear()
{
    m_next = 0;
    m_count = 0;
    m_last = 0;
    m_overflowed = false;
}

RenderTaskRecord* RenderTaskRecordRing::AllocTaskRecord()
{
    if (m_records.empty())
        return nullptr;
    if (m_next == kCapacity)
    {
        m_next = 0;
        m_overflowed = true;
    }
    m_last = m_next++;
    if (m_count < kCapacity)
        ++m_count;
    m_records[m_last] = RenderTaskRecord();
    m_sortKeys[m_last] = {0.0f, m_last};
    return &m_records[m_last];
}

void RenderTaskRecordRing::AddSortKey(float key)
{
    if (m_count == 0)
        return;
    m_sortKeys[m_last] = {key, m_last};
}
