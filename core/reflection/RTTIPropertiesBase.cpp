#include "core/reflection/RTTIPropertiesBase.h"

#include "core/Crc32.h"
#include "core/console/GameConsole.h"
#include "core/filesystem/FileReader.h"
#include "core/reflection/EntityReferences.h"
#include "core/reflection/RTTIPolyBaseClass.h"
#include "core/reflection/RTTIRecordPlan.h"
#include "core/reflection/RecordStream.h"

#include <climits>
#include <cstring>
#include <mutex>

namespace
{
// _stricmp: ASCII letters folded to lower case.
int CompareNoCase(const char* a, const char* b)
{
    for (;; ++a, ++b)
    {
        int ca = uint8_t(*a);
        int cb = uint8_t(*b);
        if (ca >= 'A' && ca <= 'Z')
            ca += 'a' - 'A';
        if (cb >= 'A' && cb <= 'Z')
            cb += 'a' - 'A';
        if (ca != cb || ca == 0)
            return ca - cb;
    }
}

// Every table of the program, sorted by class name; created on first use.
Dynarray<RTTIPropertiesBase*>& ClassList()
{
    static Dynarray<RTTIPropertiesBase*>* list = new Dynarray<RTTIPropertiesBase*>;
    return *list;
}

// First position whose element's name sorts after `name` (equal names keep insertion order).
template <typename T, typename NameOf>
int32_t UpperBound(const Dynarray<T>& array, const char* name, NameOf nameOf)
{
    int32_t low = 0;
    int32_t high = array.Count();
    while (low < high)
    {
        const int32_t middle = (low + high) / 2;
        if (CompareNoCase(nameOf(array[middle]), name) <= 0)
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}

const char* TableName(const RTTIPropertiesBase* table)
{
    return table->GetClassName();
}

const char* PropertyName(const RTTIProperty* property)
{
    return property->GetName().c_str();
}

void InsertByClassName(Dynarray<RTTIPropertiesBase*>& array, RTTIPropertiesBase* table)
{
    array.Insert(table, UpperBound(array, table->GetClassName(), TableName));
}

// Serializes the making of record plans: the resource thread reads templates too.
std::mutex& PlanLock()
{
    static std::mutex* const lock = new std::mutex;
    return *lock;
}
} // namespace

RTTIPropertiesBase::~RTTIPropertiesBase()
{
    DropRecordPlans();
    RemoveFromClassList();
    for (RTTIProperty* property : m_properties)
        delete property;
}

void RTTIPropertiesBase::Init(const char* className, const char* baseClassName)
{
    m_className = className != nullptr ? className : "";
    m_classChain.Add(this);
    m_baseTable = baseClassName != nullptr ? FindTable(baseClassName) : nullptr;
    for (RTTIPropertiesBase* ancestor = m_baseTable; ancestor != nullptr; ancestor = ancestor->m_baseTable)
        InsertByClassName(m_classChain, ancestor);
    InsertByClassName(ClassList(), this);
}

RTTIProperty* RTTIPropertiesBase::AddProperty(RTTIProperty* property)
{
    const uint32_t type = property->GetType();
    const uint32_t flags = property->GetFlags();
    const uint8_t layout[8] = {uint8_t(type),  uint8_t(type >> 8),  uint8_t(type >> 16),  uint8_t(type >> 24),
                               uint8_t(flags), uint8_t(flags >> 8), uint8_t(flags >> 16), uint8_t(flags >> 24)};
    m_layoutAccumulator = ComputeCrc32(layout, sizeof(layout), m_layoutAccumulator);
    m_properties.Add(property);
    DropRecordPlans();
    const std::string& name = property->GetName();
    if (!name.empty())
    {
        m_layoutAccumulator = ComputeCrc32(name.data(), name.size(), m_layoutAccumulator);
        m_nameIndex.Insert(property, UpperBound(m_nameIndex, name.c_str(), PropertyName));
    }
    return property;
}

RTTIProperty* RTTIPropertiesBase::FindProperty(const char* name) const
{
    if (name == nullptr)
        return nullptr;
    char key[260];
    std::strncpy(key, name, sizeof(key) - 1);
    key[sizeof(key) - 1] = 0;
    const int32_t after = UpperBound(m_nameIndex, key, PropertyName);
    if (after == 0 || CompareNoCase(m_nameIndex[after - 1]->GetName().c_str(), key) != 0)
        return nullptr;
    // Equal names sort in insertion order: the first added wins.
    int32_t first = after - 1;
    while (first > 0 && CompareNoCase(m_nameIndex[first - 1]->GetName().c_str(), key) == 0)
        --first;
    return m_nameIndex[first];
}

RTTIProperty* RTTIPropertiesBase::FindPropertyInClassChain(const char* name) const
{
    for (const RTTIPropertiesBase* table = this; table != nullptr; table = table->m_baseTable)
        if (RTTIProperty* property = table->FindProperty(name))
            return property;
    return nullptr;
}

bool RTTIPropertiesBase::AreObjectsEqual(const RTTIPolyBaseClass* a, const RTTIPolyBaseClass* b) const
{
    for (const RTTIPropertiesBase* table : m_classChain)
        for (const RTTIProperty* property : table->m_properties)
            if (!property->Equals(a, b))
                return false;
    return true;
}

std::string RTTIPropertiesBase::GetPropertyValueAsString(const RTTIPolyBaseClass* object, const char* name) const
{
    (void)object;
    (void)name;
    return {};
}

bool RTTIPropertiesBase::SetPropertyFromString(RTTIPolyBaseClass* object, const char* name, const char* text) const
{
    (void)object;
    (void)name;
    (void)text;
    return false;
}

uint32_t RTTIPropertiesBase::GetLayoutMagic() const
{
    uint32_t magic = m_layoutAccumulator;
    for (const RTTIProperty* property : m_properties)
        magic ^= property->GetSignature();
    magic ^= uint32_t(m_properties.Count());
    if (m_baseTable != nullptr)
        magic ^= m_baseTable->GetLayoutMagic();
    return magic;
}

const RTTIRecordPlan& RTTIPropertiesBase::MakeRecordPlan(uint32_t index, uint32_t flags) const
{
    std::atomic<const RTTIRecordPlan*>& slot = m_recordPlans[index];
    const std::lock_guard<std::mutex> lock(PlanLock());
    const RTTIRecordPlan* plan = slot.load(std::memory_order_relaxed);
    if (plan == nullptr)
    {
        plan = new RTTIRecordPlan(*this, flags);
        slot.store(plan, std::memory_order_release);
    }
    return *plan;
}

// Tables are complete before their first record; a property added later (tests build tables by
// hand) makes the plans again.
void RTTIPropertiesBase::DropRecordPlans()
{
    for (std::atomic<const RTTIRecordPlan*>& slot : m_recordPlans)
        delete slot.exchange(nullptr, std::memory_order_acq_rel);
}

void RTTIPropertiesBase::SerializeObject(RecordOutput& out, const RTTIPolyBaseClass* object, uint32_t flags) const
{
    GetRecordPlan(flags).Write(out, object, flags);
}

namespace
{
// Objects nested in objects recurse through validation; a forged record must not run the stack out.
thread_local int gValidationDepth = 0;
} // namespace

bool RTTIPropertiesBase::ValidateWithPlan(const RTTIRecordPlan& plan, RecordInput& in, uint32_t flags,
                                          RecordTextLengths* found) const
{
    if (gValidationDepth >= kMaxNestingDepth)
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Record of class %s nests objects deeper than %d", GetClassName(), kMaxNestingDepth);
        return false;
    }
    ++gValidationDepth;
    const bool valid = plan.Validate(in, flags, found);
    --gValidationDepth;
    return valid;
}

bool RTTIPropertiesBase::ValidateObject(RecordInput& in, uint32_t flags, RecordTextLengths* found) const
{
    return ValidateWithPlan(GetRecordPlan(flags), in, flags, found);
}

size_t RTTIPropertiesBase::GetMinimumPayloadSize(uint32_t flags) const
{
    size_t size = 0;
    for (const RTTIPropertiesBase* table : m_classChain)
    {
        if ((flags & RTTI_OWN_CLASS_ONLY) && table != this)
            continue;
        for (const RTTIProperty* property : table->m_properties)
            if (property->IsSerialized(flags))
                size += property->GetMinimumSize(flags);
    }
    return size;
}

bool RTTIPropertiesBase::ReadWithPlan(const RTTIRecordPlan& plan, RecordInput& in, RTTIPolyBaseClass* object,
                                      uint32_t flags, const RecordTextLengths* found) const
{
    // A read that runs no property code queues nothing, so opening and resolving the list would
    // change nothing unless references already wait for a load.
    const bool opened = !(flags & RTTI_NO_ENTITY_RESOLVE) &&
                        (!plan.ReadCallsNothing(object) || AreEntityReferencesPending()) && BeginPendingEntityReferences();
    const bool read = plan.Read(in, object, flags, found);
    if (opened)
        ResolvePendingEntityReferences();
    return read;
}

bool RTTIPropertiesBase::ReadValidatedObject(RecordInput& in, RTTIPolyBaseClass* object, uint32_t flags,
                                             const RecordTextLengths* found) const
{
    return ReadWithPlan(GetRecordPlan(flags), in, object, flags, found);
}

bool RTTIPropertiesBase::ReadRecord(RTTIPolyBaseClass* object, const uint8_t* buffer, size_t size, uint32_t flags,
                                    size_t* consumed) const
{
    const RTTIRecordPlan& plan = GetRecordPlan(flags);
    RecordInput probe(buffer, size);
    RecordTextLengths found;
    if (!ValidateWithPlan(plan, probe, flags, &found))
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Record of class %s is truncated or malformed; nothing was read", GetClassName());
        return false;
    }
    RecordInput in(buffer, size);
    object->OnPreLoad(flags);
    const bool read = ReadWithPlan(plan, in, object, flags, &found);
    object->OnPostLoad(flags);
    if (consumed != nullptr)
        *consumed = in.Position();
    return read;
}

bool RTTIPropertiesBase::DeserializeObject(RecordInput& in, RTTIPolyBaseClass* object, uint32_t flags) const
{
    RecordInput probe = in;
    RecordTextLengths found;
    if (!ValidateObject(probe, flags, &found))
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Record of class %s is truncated or malformed; nothing was read", GetClassName());
        return false;
    }
    return ReadValidatedObject(in, object, flags, &found);
}

bool RTTIPropertiesBase::DeserializeFromFileReader(FileReader& reader, RTTIPolyBaseClass* object,
                                                   Dynarray<uint8_t>& scratch, uint32_t flags) const
{
    uint32_t size = 0;
    if (!reader.ReadU32(size))
        return false;
    if (size > reader.GetRemaining() || size > uint32_t(INT32_MAX))
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Record of class %s claims %u bytes but the file is shorter", GetClassName(), size);
        return false;
    }
    scratch.Clear();
    scratch.Resize(int32_t(size));
    bool read = reader.Read(scratch.Data(), size);
    if (read)
    {
        RecordInput in(scratch.Data(), size);
        read = DeserializeObject(in, object, flags);
    }
    scratch.Clear();
    return read;
}

RTTIPropertiesBase* RTTIPropertiesBase::FindTable(const char* className)
{
    if (className == nullptr)
        return nullptr;
    const Dynarray<RTTIPropertiesBase*>& list = ClassList();
    const int32_t after = UpperBound(list, className, TableName);
    if (after == 0 || CompareNoCase(list[after - 1]->GetClassName(), className) != 0)
        return nullptr;
    return list[after - 1];
}

void RTTIPropertiesBase::RemoveFromClassList()
{
    Dynarray<RTTIPropertiesBase*>& list = ClassList();
    list.RemoveValue(this);
}
