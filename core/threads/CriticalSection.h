// Recursive lock used by the workers and their producers. Any thread may use it.
#pragma once

#include "platform/os/Sync.h"

// Recursive critical section with an optional non-waiting enter.
class CriticalSection
{
public:
    // wait: block until held (always true); no wait: true only when it could be taken at once.
    bool Enter(bool wait = true)
    {
        if (wait)
        {
            m_section.Enter();
            return true;
        }
        return m_section.TryEnter();
    }
    void Leave() { m_section.Leave(); }

private:
    os::CriticalSection m_section;
};
