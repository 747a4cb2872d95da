#include "gameplay/sequences/SequenceActionFactory.h"

#include "core/reflection/RTTIClassRegistry.h"

SequenceActionFactory gSequenceActionFactory;

bool SequenceActionFactory::RegisterNativeActionClass(const char* className)
{
    const int32_t id = RTTIClassRegistry::FindClassId(className);
    if (id < 0)
        return false;
    for (const SequenceActionClassEntry& entry : m_entries)
        if (entry.className == className)
            return true;
    SequenceActionClassEntry entry;
    entry.classId = id;
    entry.className = className;
    m_entries.push_back(entry);
    return true;
}
