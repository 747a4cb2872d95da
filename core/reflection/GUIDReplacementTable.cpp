#include "core/reflection/GUIDReplacementTable.h"

#include "core/reflection/RTTIClass.h"

namespace
{
GUIDReplacementTable* gActiveReplacementTable = nullptr;
// A load is open: its table is made when first asked for, so loads that never map a GUID make none.
bool gActiveReplacementTableOpen = false;
} // namespace

RTTI_DEFINE_CLASS(GUIDReplacementEntry, RTTIPolyBaseClass)
RTTI_DEFINE_CLASS(GUIDReplacementTable, RTTIPolyBaseClass)

void GUIDReplacementEntry::BuildClassProperties(RTTIPropertiesBase& table)
{
    table.AddProperty(new RTTIDirectAccessTypedProperty<GUIDReplacementEntry, SimpleGUID>(
        "Original", &GUIDReplacementEntry::m_original));
    table.AddProperty(new RTTIDirectAccessTypedProperty<GUIDReplacementEntry, SimpleGUID>(
        "Replacement", &GUIDReplacementEntry::m_replacement));
}

void GUIDReplacementTable::BuildClassProperties(RTTIPropertiesBase& table)
{
    table.AddProperty(new RTTIDynarrayOfEmbeddedObjectsProperty<GUIDReplacementTable, GUIDReplacementEntry>(
        "Entries", &GUIDReplacementTable::m_entries));
}

int32_t GUIDReplacementTable::LowerBound(const SimpleGUID& guid) const
{
    int32_t low = 0;
    int32_t high = m_entries.Count();
    while (low < high)
    {
        const int32_t middle = (low + high) / 2;
        if (SimpleGUID::Compare(m_entries[middle].m_original, guid) < 0)
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}

void GUIDReplacementTable::AddReplacement(const SimpleGUID& original, const SimpleGUID& replacement)
{
    const int32_t at = LowerBound(original);
    if (at < m_entries.Count() && m_entries[at].m_original == original)
    {
        m_entries[at].m_replacement = replacement;
        return;
    }
    GUIDReplacementEntry entry;
    entry.m_original = original;
    entry.m_replacement = replacement;
    m_entries.Insert(entry, at);
}

SimpleGUID GUIDReplacementTable::Lookup(const SimpleGUID& guid) const
{
    const int32_t at = LowerBound(guid);
    if (at < m_entries.Count() && m_entries[at].m_original == guid)
        return m_entries[at].m_replacement;
    return guid;
}

GUIDReplacementTable* GUIDReplacementTable::GetActive()
{
    if (gActiveReplacementTable == nullptr && gActiveReplacementTableOpen)
        gActiveReplacementTable = new GUIDReplacementTable;
    return gActiveReplacementTable;
}

SimpleGUID GUIDReplacementTable::MapThroughActive(const SimpleGUID& guid)
{
    return gActiveReplacementTable != nullptr ? gActiveReplacementTable->Lookup(guid) : guid;
}

void GUIDReplacementTable::OpenActive()
{
    gActiveReplacementTableOpen = true;
}

GUIDReplacementTable* GUIDReplacementTable::CloseActive()
{
    GUIDReplacementTable* const table = gActiveReplacementTable;
    gActiveReplacementTable = nullptr;
    gActiveReplacementTableOpen = false;
    return table;
}
