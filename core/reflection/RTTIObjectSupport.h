// Helpers shared by the property kinds that hold arrays and embedded objects. Main thread.
#pragma once

#include "core/reflection/RTTIClassRegistry.h"
#include "core/reflection/RTTIPolyBaseClass.h"
#include "core/reflection/RTTIPropertiesBase.h"
#include "core/reflection/RecordStream.h"

#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace rtti
{
// Elements of a payload that may take no bytes at all are still limited, so a forged count cannot
// make the reader allocate without bound.
constexpr uint32_t kMaxEmptyElements = 1u << 16;

// Logs that an array's count cannot fit the bytes left.
void ReportElementCountTooLarge(const char* propertyName, uint32_t count, size_t remaining);

// Reads an element count and checks it against the bytes left; logs and fails when it cannot fit.
// Inline, with a product rather than a division: it runs for every array of every record.
inline bool ReadElementCount(RecordInput& in, size_t minimumElementSize, const char* propertyName, uint32_t& count)
{
    if (!in.ReadU32(count))
        return false;
    // count > remaining / size exactly when count * size > remaining; element sizes are far below
    // 2^32, so the product of two 32-bit numbers cannot wrap.
    const bool fits = minimumElementSize == 0        ? count <= kMaxEmptyElements
                      : minimumElementSize <= 0xFFFFFFFFu ? uint64_t(count) * minimumElementSize <= in.Remaining()
                                                          : count <= in.Remaining() / minimumElementSize;
    if (!fits)
    {
        ReportElementCountTooLarge(propertyName, count, in.Remaining());
        return false;
    }
    return true;
}

// The table of a registered class by exact name (built on demand), or null with the unknown-class
// error logged.
RTTIPropertiesBase* FindRegisteredTable(const char* className);

// True when `table` is `base` or one of its ancestors is; a null base accepts any table.
bool IsTableKindOf(const RTTIPropertiesBase* table, const RTTIPropertiesBase* base);

// Logs that an object of a class that is not a kind of the property's class was named.
void ReportWrongClass(const char* className, const char* propertyName);

// Table of a reflected class, or null for the root.
template <class T>
RTTIPropertiesBase* StaticTableOf()
{
    if constexpr (std::is_same_v<T, RTTIPolyBaseClass>)
        return nullptr;
    else
        return T::StaticClassProperties();
}

// Creates an object of a registered class that is a kind of TBase (validation checked this).
template <class TBase>
TBase* CreateKindOf(const char* className)
{
    RTTIPolyBaseClass* object = RTTIClassRegistry::CreateObject(className);
    TBase* typed = dynamic_cast<TBase*>(object);
    if (typed == nullptr)
        delete object;
    return typed;
}
} // namespace rtti
