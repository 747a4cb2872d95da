// Binary and text forms, equality and type ids of the value kinds. One specialization per stored
// type; the property kinds and the dynarray-of-values kind share them. Plain functions; any thread.
#pragma once

#include "core/reflection/RTTIProperty.h"

#include <cstddef>
#include <cstdint>
#include <string>

class RecordInput;
class RecordOutput;
struct SimpleGUID;
class NameString;
struct Vector;
struct Vector3;
struct BoundingBox4;
struct Quaternion;
struct Matrix;
struct HDRColor;

// Declares the forms of one value type. FromText returns false (value unspecified) when the text
// does not parse; callers then keep the old value.
#define RTTI_DECLARE_VALUE_TRAITS(Type, TypeId, MinimumSize)                                    \
    template <>                                                                                \
    struct RTTIValueTraits<Type>                                                               \
    {                                                                                          \
        static constexpr uint32_t kType = TypeId;                                              \
        static constexpr size_t kMinimumSize = MinimumSize;                                    \
        static void Write(RecordOutput& out, const Type& value);                               \
        static bool Read(RecordInput& in, Type& value);                                        \
        static bool Skip(RecordInput& in);                                                     \
        static void ToText(const Type& value, char* buffer, size_t size);                      \
        static bool FromText(Type& value, const char* text);                                   \
        static bool Equals(const Type& a, const Type& b);                                      \
    };

template <typename T>
struct RTTIValueTraits;

RTTI_DECLARE_VALUE_TRAITS(float, RTTI_TYPE_FLOAT, 4)
RTTI_DECLARE_VALUE_TRAITS(int32_t, RTTI_TYPE_INT, 4)
RTTI_DECLARE_VALUE_TRAITS(uint32_t, RTTI_TYPE_UNSIGNED_INT, 4)
RTTI_DECLARE_VALUE_TRAITS(uint16_t, RTTI_TYPE_UNSIGNED_SHORT, 2)
RTTI_DECLARE_VALUE_TRAITS(std::string, RTTI_TYPE_STRING, 1)
RTTI_DECLARE_VALUE_TRAITS(std::u16string, RTTI_TYPE_WIDE_STRING, 2)
RTTI_DECLARE_VALUE_TRAITS(Vector, RTTI_TYPE_VECTOR, 16)
RTTI_DECLARE_VALUE_TRAITS(Vector3, RTTI_TYPE_VECTOR3, 12)
RTTI_DECLARE_VALUE_TRAITS(BoundingBox4, RTTI_TYPE_BOUNDING_BOX4, 32)
RTTI_DECLARE_VALUE_TRAITS(Quaternion, RTTI_TYPE_QUATERNION, 16)
RTTI_DECLARE_VALUE_TRAITS(Matrix, RTTI_TYPE_MATRIX, 64)
RTTI_DECLARE_VALUE_TRAITS(bool, RTTI_TYPE_BOOL, 1)
RTTI_DECLARE_VALUE_TRAITS(SimpleGUID, RTTI_TYPE_GUID, 16)
RTTI_DECLARE_VALUE_TRAITS(NameString, RTTI_TYPE_NAME_STRING, 1)
RTTI_DECLARE_VALUE_TRAITS(HDRColor, RTTI_TYPE_HDR_COLOR, 8)
RTTI_DECLARE_VALUE_TRAITS(char, RTTI_TYPE_CHAR, 1)
RTTI_DECLARE_VALUE_TRAITS(uint8_t, RTTI_TYPE_UNSIGNED_CHAR, 1)

#undef RTTI_DECLARE_VALUE_TRAITS

// Sets a name read from a record: `text` holds `length` characters and a 0. A name that already
// holds that text is left alone, so reading the same name again leaves the pool alone.
void RTTIAssignNameText(NameString& value, const char* text, size_t length);
