// GUIDs read during a load can be mapped to other GUIDs through the active replacement table, which
// exists only while a pending entity-reference list is open, and then only once someone asked for
// it. Main thread.
#pragma once

#include "core/SimpleGUID.h"
#include "core/reflection/RTTIPolyBaseClass.h"

// One mapping: "Original" to "Replacement".
class GUIDReplacementEntry : public RTTIPolyBaseClass
{
    RTTI_DECLARE_CLASS(GUIDReplacementEntry, RTTIPolyBaseClass)

public:
    SimpleGUID m_original;
    SimpleGUID m_replacement;
};

// The entries kept sorted by "Original" in GUID order.
class GUIDReplacementTable : public RTTIPolyBaseClass
{
    RTTI_DECLARE_CLASS(GUIDReplacementTable, RTTIPolyBaseClass)

public:
    // Inserts or overwrites the mapping of `original`.
    void AddReplacement(const SimpleGUID& original, const SimpleGUID& replacement);
    // The replacement of `guid`, or `guid` itself.
    SimpleGUID Lookup(const SimpleGUID& guid) const;
    int32_t GetEntryCount() const { return m_entries.Count(); }

    // The table of the open load (made on the first call), or null when no load is open.
    static GUIDReplacementTable* GetActive();
    // `guid` through the open load's table, when it has one.
    static SimpleGUID MapThroughActive(const SimpleGUID& guid);
    // A load opens; CloseActive ends it and hands over its table (null when none was made).
    static void OpenActive();
    static GUIDReplacementTable* CloseActive();

private:
    int32_t LowerBound(const SimpleGUID& guid) const;
    DynarraySafe<GUIDReplacementEntry> m_entries;
};
