// Bounded list of entered strings, newest first (the console's command history). Main thread.
#pragma once

#include "core/containers/Dynarray.h"
#include "core/reflection/RTTIObjectProperties.h"
#include "core/reflection/RTTIPolyBaseClass.h"
#include "core/strings/NameString.h"

#include <cstdint>

// Reflected history of at most "Maximum size" names; index 0 is the newest.
//
// Its payload is "History" and then "Maximum size". Configurations saved before kept the maximum
// size first; reads take either order (ReadEitherOrder), by the form that fits the bytes.
class StringHistoryContainer : public RTTIPolyBaseClass
{
    RTTI_DECLARE_CLASS(StringHistoryContainer, RTTIPolyBaseClass)

public:
    explicit StringHistoryContainer(uint32_t maximumSize = 0) : m_maximumSize(maximumSize) {}

    bool DeserializeFromMemory(const uint8_t* buffer, size_t size, uint32_t flags, size_t* consumed = nullptr) override;
    // Checks (null `target`) or reads a payload of either order; false, with `target` untouched,
    // when neither fits.
    static bool ReadEitherOrder(RecordInput& in, StringHistoryContainer* target);

    // Moves an equal entry to the front or inserts a new one there, dropping the entries from the
    // maximum size on. A null or empty text (the empty name) is ignored.
    void Add(const char* text);
    // Entry i, or the empty name when there is no such entry.
    NameString GetAt(int32_t index) const;
    int32_t GetCount() const { return m_history.Count(); }
    uint32_t GetMaximumSize() const { return m_maximumSize; }
    void Clear() { m_history.FreeStorage(); }

private:
    DynarraySafe<NameString> m_history;
    uint32_t m_maximumSize;
};

// A history embedded in another record, read in either order.
template <class TClass>
class RTTIStringHistoryProperty : public RTTIEmbeddedObjectProperty<TClass, StringHistoryContainer>
{
public:
    RTTIStringHistoryProperty(const char* name, StringHistoryContainer TClass::*member)
        : RTTIEmbeddedObjectProperty<TClass, StringHistoryContainer>(name, member), m_history(member)
    {
    }
    bool Deserialize(RecordInput& in, RTTIPolyBaseClass* object, uint32_t) const override
    {
        return StringHistoryContainer::ReadEitherOrder(in, &(static_cast<TClass*>(object)->*m_history));
    }
    bool Validate(RecordInput& in, uint32_t) const override
    {
        return StringHistoryContainer::ReadEitherOrder(in, nullptr);
    }

private:
    StringHistoryContainer TClass::*m_history;
};
