// The property table of one reflected class: its descriptors in serialization order, a name index,
// its base table and the class chain (this table and every ancestor, sorted by class name without
// case, which is the order records walk them in). Built once on the main thread; read-only after.
#pragma once

#include "core/containers/Dynarray.h"
#include "core/reflection/RTTIProperty.h"

#include <atomic>

#include <cstddef>
#include <cstdint>
#include <string>

class FileReader;
class RTTIPolyBaseClass;
class RecordInput;
class RecordOutput;
class RTTIRecordPlan;
struct RecordTextLengths;

// Table of the typed properties of one reflected class.
class RTTIPropertiesBase
{
public:
    RTTIPropertiesBase() = default;
    ~RTTIPropertiesBase();
    RTTIPropertiesBase(const RTTIPropertiesBase&) = delete;
    RTTIPropertiesBase& operator=(const RTTIPropertiesBase&) = delete;

    // Names the table, links its ancestors found by name among the built tables and registers it.
    // A base name that matches no table ("RTTIPropertiesBase" for classes on the root) gives no base.
    void Init(const char* className, const char* baseClassName);
    // Takes ownership; folds the type, flags and name into the layout accumulator.
    RTTIProperty* AddProperty(RTTIProperty* property);

    RTTIProperty* FindProperty(const char* name) const;
    // This table first, then each base table in inheritance order.
    RTTIProperty* FindPropertyInClassChain(const char* name) const;

    bool AreObjectsEqual(const RTTIPolyBaseClass* a, const RTTIPolyBaseClass* b) const;

    // The script-side text access to a named property: the table keeps no text side for scripts,
    // so reading yields an empty text and setting is refused.
    std::string GetPropertyValueAsString(const RTTIPolyBaseClass* object, const char* name) const;
    bool SetPropertyFromString(RTTIPolyBaseClass* object, const char* name, const char* text) const;
    uint32_t GetLayoutMagic() const;

    // Payload walk: every table of the class chain (only this one with flag 8), every property in
    // order. A null-buffer `out` only counts.
    void SerializeObject(RecordOutput& out, const RTTIPolyBaseClass* object, uint32_t flags) const;
    // Checks that `in` holds a whole payload for this class, storing nothing; the lengths of the
    // texts among its own properties go to `found` when given, for the read that follows.
    bool ValidateObject(RecordInput& in, uint32_t flags, RecordTextLengths* found = nullptr) const;
    // Validates, then reads; false with the object untouched when the payload is not whole. Opens the
    // pending entity-reference list unless flag 4 is given, and resolves it when it opened it.
    bool DeserializeObject(RecordInput& in, RTTIPolyBaseClass* object, uint32_t flags) const;
    // Reads a validated payload: opens the pending entity-reference list unless flag 4, reads, and
    // resolves the list when it opened it. `found` is what the validation of the same bytes found.
    bool ReadValidatedObject(RecordInput& in, RTTIPolyBaseClass* object, uint32_t flags,
                             const RecordTextLengths* found = nullptr) const;
    // A whole payload of at most `size` bytes into `object`: validates it, then reads it between the
    // object's pre- and post-load hooks as ReadValidatedObject does. False, with the object untouched
    // and no hook called, when the bytes do not hold a whole valid payload.
    bool ReadRecord(RTTIPolyBaseClass* object, const uint8_t* buffer, size_t size, uint32_t flags,
                    size_t* consumed) const;
    size_t GetMinimumPayloadSize(uint32_t flags) const;
    // Reads a u32 byte count and that many bytes into `scratch` (reused between calls), reads the
    // object from them and empties `scratch`. False when the bytes are not there or not valid.
    bool DeserializeFromFileReader(FileReader& reader, RTTIPolyBaseClass* object, Dynarray<uint8_t>& scratch,
                                   uint32_t flags) const;

    const char* GetClassName() const { return m_className.c_str(); }
    RTTIPropertiesBase* GetBaseTable() const { return m_baseTable; }
    const Dynarray<RTTIProperty*>& GetProperties() const { return m_properties; }
    const Dynarray<RTTIPropertiesBase*>& GetClassChain() const { return m_classChain; }

    // Any built table by class name (case-insensitive), or null.
    static RTTIPropertiesBase* FindTable(const char* className);
    void RemoveFromClassList();

    // Deepest nesting of objects inside a record's objects that a read accepts.
    static constexpr int kMaxNestingDepth = 64;

private:
    // The record walk for these flags (the flags that choose properties are 1 and 8), made on first use.
    const RTTIRecordPlan& GetRecordPlan(uint32_t flags) const
    {
        const uint32_t index = ((flags & 1u) ? 1u : 0u) | ((flags & 8u) ? 2u : 0u);
        if (const RTTIRecordPlan* plan = m_recordPlans[index].load(std::memory_order_acquire))
            return *plan;
        return MakeRecordPlan(index, flags);
    }
    const RTTIRecordPlan& MakeRecordPlan(uint32_t index, uint32_t flags) const;
    bool ValidateWithPlan(const RTTIRecordPlan& plan, RecordInput& in, uint32_t flags, RecordTextLengths* found) const;
    bool ReadWithPlan(const RTTIRecordPlan& plan, RecordInput& in, RTTIPolyBaseClass* object, uint32_t flags,
                      const RecordTextLengths* found) const;
    void DropRecordPlans();

    Dynarray<RTTIProperty*> m_properties;
    Dynarray<RTTIProperty*> m_nameIndex;
    std::string m_className;
    RTTIPropertiesBase* m_baseTable = nullptr;
    Dynarray<RTTIPropertiesBase*> m_classChain;
    uint32_t m_layoutAccumulator = 0;
    // One plan per combination of the flags that choose properties (1 and 8).
    mutable std::atomic<const RTTIRecordPlan*> m_recordPlans[4] = {};
};

// Builds a class's table once: the base class's table first, so that Init finds it by name.
template <class TClass>
RTTIPropertiesBase* RTTIBuildClassTable(const char* className, const char* baseClassName,
                                        RTTIPropertiesBase* (*baseTable)())
{
    if (baseTable != nullptr)
        baseTable();
    RTTIPropertiesBase* table = new RTTIPropertiesBase;
    table->Init(className, baseClassName);
    TClass::BuildClassProperties(*table);
    return table;
}
