// SequenceActionFactory (script global gSequenceActionFactory): the action classes the editor and
// the spawner can name, entered in their fixed order at start-up, with the scripts' outdated flag.
// Emptied at engine shutdown. Main thread only.
#pragma once

#include "core/containers/Dynarray.h"

#include <cstdint>
#include <string>
#include <vector>

// One action class known to the factory.
struct SequenceActionClassEntry
{
    int32_t classId = -1;
    int32_t categoryIndex = -1;
    std::string className;
    std::string baseClassName;
    bool scriptDefined = false;
};

// The registry of sequence action classes.
class SequenceActionFactory
{
public:
    // Enters a built-in class by name (its id from the class registry); false when it is unknown.
    bool RegisterNativeActionClass(const char* className);
    void Clear() { m_entries.clear(); }
    bool IsOutdated() const { return m_outdated; }
    void SetOutdated(bool outdated) { m_outdated = outdated; }
    const std::vector<SequenceActionClassEntry>& GetEntries() const { return m_entries; }

private:
    bool m_outdated = true;
    std::vector<SequenceActionClassEntry> m_entries;
};

extern SequenceActionFactory gSequenceActionFactory;
