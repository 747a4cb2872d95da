// Bounded list of entered strings, newest first (the console's command history). Main thread.
#pragma once

#include "core/containers/Dynarray.h"
#include "core/reflection/RTTIPolyBaseClass.h"
#include "core/strings/NameString.h"

#include <cstdint>

// Reflected history of at most "Maximum size" names; index 0 is the newest.
class StringHistoryContainer : public RTTIPolyBaseClass
{
    RTTI_DECLARE_CLASS(StringHistoryContainer, RTTIPolyBaseClass)

public:
    explicit StringHistoryContainer(uint32_t maximumSize = 0) : m_maximumSize(maximumSize) {}

    // Moves an equal entry to the front or inserts a new one there, dropping the entries from the
    // maximum size on. A null or empty text (the empty name) is ignored.
    void Add(const char* text);
    // Entry i, or the empty name when there is no such entry.
    NameString GetAt(int32_t index) const;
    int32_t GetCount() const { return m_history.Count(); }
    uint32_t GetMaximumSize() const { return m_maximumSize; }
    void Clear() { m_history.FreeStorage(); }

private:
    uint32_t m_maximumSize;
    DynarraySafe<NameString> m_history;
};
