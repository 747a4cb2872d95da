#include "core/memory/IdAllocator.h"

#include "core/console/GameConsole.h"

uint32_t IdAllocator::Allocate()
{
    if (m_free.IsEmpty())
        return m_nextId++;
    const uint32_t id = m_free[m_free.Count() - 1];
    m_free.RemoveAt(m_free.Count() - 1);
    Trim();
    return id;
}

void IdAllocator::Release(uint32_t id)
{
    if (id >= m_nextId)
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Released id %u was never allocated (next id %u)", id, m_nextId);
        return;
    }
    if (id + 1 == m_nextId)
    {
        --m_nextId;
        Trim();
        return;
    }
    m_free.Add(id);
}

void IdAllocator::Trim()
{
    while (!m_free.IsEmpty() && m_free[m_free.Count() - 1] + 1 == m_nextId)
    {
        m_free.RemoveAt(m_free.Count() - 1);
        --m_nextId;
    }
}
