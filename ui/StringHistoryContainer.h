// Bounded list of entered strings, newest first (the console's command history). Main thread.
#pragma once

#include "core/containers/Dynarray.h"
#include "core/reflection/RTTIPolyBaseClass.h"

#include <cstdint>
#include <string>

// Reflected history of at most "Maximum size" strings; index 0 is the newest.
class StringHistoryContainer : public RTTIPolyBaseClass
{
    RTTI_DECLARE_CLASS(StringHistoryContainer, RTTIPolyBaseClass)

public:
    explicit StringHistoryContainer(uint32_t maximumSize = 0) : m_maximumSize(maximumSize) {}

    // Moves an equal entry to the front or inserts a new one there, dropping the oldest beyond the
    // maximum size. A null or empty string is ignored.
    void Add(const char* text);
    // The entry, or null when the index is out of range (scripts pass it).
    const char* GetAt(int32_t index) const;
    int32_t GetCount() const { return m_history.Count(); }
    uint32_t GetMaximumSize() const { return m_maximumSize; }
    void Clear() { m_history.FreeStorage(); }

private:
    uint32_t m_maximumSize;
    DynarraySafe<std::string> m_history;
};
