// Container kinds: dynarrays of values (2), embedded objects (3), owned polymorphic objects (4) and
// dynarrays of embedded objects and object pointers (6, 7, 8). None has a text form. Reading builds
// the new contents aside and swaps them in, so a refused read changes nothing. Main thread.
#pragma once

#include "core/containers/Dynarray.h"
#include "core/reflection/RTTIFixedForm.h"
#include "core/reflection/RTTIObjectSupport.h"
#include "core/reflection/RTTIProperty.h"
#include "core/reflection/RTTIValueTraits.h"

#include <cstring>
#include <utility>

// Kind 2: u32 count, then each element's value form.
template <class TClass, typename TElement, class TArray = Dynarray<TElement>>
class RTTIDynarrayProperty : public RTTIProperty
{
public:
    using Traits = RTTIValueTraits<TElement>;
    using Fixed = RTTIFixedForm<TElement>;

    RTTIDynarrayProperty(const char* name, TArray TClass::*member, uint32_t flags = 0,
                         const char* description = nullptr)
        : RTTIProperty(name, description, flags), m_member(member)
    {
    }
    uint32_t GetType() const override { return RTTI_TYPE_DYNARRAY; }
    bool Equals(const RTTIPolyBaseClass* a, const RTTIPolyBaseClass* b) const override
    {
        const TArray& x = Array(a);
        const TArray& y = Array(b);
        if (x.Count() != y.Count())
            return false;
        for (int32_t i = 0; i < x.Count(); ++i)
            if (!Traits::Equals(x[i], y[i]))
                return false;
        return true;
    }
    void Serialize(RecordOutput& out, const RTTIPolyBaseClass* object, uint32_t) const override
    {
        const TArray& array = Array(object);
        out.WriteU32(uint32_t(array.Count()));
        if constexpr (Fixed::kSize != 0)
        {
            // Elements of one size: room for all of them at once (null when only counting or when
            // they do not fit, which the output then records as WriteBytes would).
            uint8_t* at = out.Reserve(size_t(array.Count()) * Fixed::kSize);
            if (at != nullptr)
                for (const TElement& element : array)
                {
                    Fixed::Store(at, element, out.ByteSwaps());
                    at += Fixed::kSize;
                }
            return;
        }
        for (const TElement& element : array)
            Traits::Write(out, element);
    }
    bool Deserialize(RecordInput& in, RTTIPolyBaseClass* object, uint32_t) const override
    {
        uint32_t count;
        if (!rtti::ReadElementCount(in, Traits::kMinimumSize, GetName().c_str(), count))
            return false;
        if constexpr (Fixed::kSize != 0)
        {
            // Elements of one size: one check for all of them, and the array's block is reused.
            const uint8_t* at = in.Take(size_t(count) * Fixed::kSize);
            if (at == nullptr)
                return false;
            RTTIDynarrayProperty::ReadFixedElements(at, count, object);
            return true;
        }
        TArray array;
        for (uint32_t i = 0; i < count; ++i)
        {
            TElement element{};
            if (!Traits::Read(in, element))
                return false;
            array.Add(element);
        }
        static_cast<TClass*>(object)->*m_member = std::move(array);
        return true;
    }
    bool Validate(RecordInput& in, uint32_t) const override
    {
        uint32_t count;
        if (!rtti::ReadElementCount(in, Traits::kMinimumSize, GetName().c_str(), count))
            return false;
        if constexpr (Fixed::kSize != 0)
            return in.Skip(size_t(count) * Fixed::kSize);
        for (uint32_t i = 0; i < count; ++i)
            if (!Traits::Skip(in))
                return false;
        return true;
    }
    size_t GetMinimumSize(uint32_t) const override { return 4; }
    uint32_t GetFixedElementSize() const override
    {
        static_assert(Fixed::kSize == 0 || Fixed::kSize == Traits::kMinimumSize, "a fixed form is its own minimum");
        return Fixed::kSize;
    }
    void ReadFixedElements(const uint8_t* at, uint32_t count, RTTIPolyBaseClass* object) const override
    {
        if constexpr (Fixed::kSize != 0)
        {
            // Every kept slot is overwritten below: only the slots past the new count are reset.
            TArray& array = static_cast<TClass*>(object)->*m_member;
            if (array.Count() > int32_t(count))
                array.RemoveRange(int32_t(count), array.Count() - 1);
            array.Resize(int32_t(count));
            for (uint32_t i = 0; i < count; ++i, at += Fixed::kSize)
                Fixed::Load(at, array[int32_t(i)]);
        }
        else
            (void)at, (void)count, (void)object;
    }

private:
    const TArray& Array(const RTTIPolyBaseClass* object) const { return static_cast<const TClass*>(object)->*m_member; }
    TArray TClass::*m_member;
};

// Kind 3: the embedded object's own payload, no header.
template <class TClass, class TObject>
class RTTIEmbeddedObjectProperty : public RTTIProperty
{
public:
    RTTIEmbeddedObjectProperty(const char* name, TObject TClass::*member, uint32_t flags = 0,
                               const char* description = nullptr)
        : RTTIProperty(name, description, flags), m_member(member)
    {
    }
    uint32_t GetType() const override { return RTTI_TYPE_EMBEDDED_OBJECT; }
    bool Equals(const RTTIPolyBaseClass* a, const RTTIPolyBaseClass* b) const override
    {
        return TObject::StaticClassProperties()->AreObjectsEqual(&Object(a), &Object(b));
    }
    void Serialize(RecordOutput& out, const RTTIPolyBaseClass* object, uint32_t flags) const override
    {
        const_cast<TObject&>(Object(object)).WriteEmbeddedPayload(out, flags);
    }
    bool Deserialize(RecordInput& in, RTTIPolyBaseClass* object, uint32_t flags) const override
    {
        return (static_cast<TClass*>(object)->*m_member).ReadEmbeddedPayload(in, flags);
    }
    bool Validate(RecordInput& in, uint32_t flags) const override
    {
        return TObject::StaticClassProperties()->ValidateObject(in, flags);
    }
    size_t GetMinimumSize(uint32_t flags) const override
    {
        return TObject::StaticClassProperties()->GetMinimumPayloadSize(flags);
    }

private:
    const TObject& Object(const RTTIPolyBaseClass* object) const { return static_cast<const TClass*>(object)->*m_member; }
    TObject TClass::*m_member;
};

namespace rtti
{
// Equality of two owned polymorphic objects: both null, or the same class with equal properties.
inline bool PolyObjectsEqual(const RTTIPolyBaseClass* a, const RTTIPolyBaseClass* b)
{
    if (a == nullptr || b == nullptr)
        return a == b;
    const RTTIPropertiesBase* table = a->GetClassProperties();
    return table == b->GetClassProperties() && (table == nullptr || table->AreObjectsEqual(a, b));
}

// Arrays of owned object pointers are equal when each pair of elements is.
template <class TObject>
bool PolyPointerArraysEqual(const Dynarray<TObject*>& x, const Dynarray<TObject*>& y)
{
    if (x.Count() != y.Count())
        return false;
    for (int32_t i = 0; i < x.Count(); ++i)
        if (!PolyObjectsEqual(x[i], y[i]))
            return false;
    return true;
}

// A read array replaces the held one only when every element was read; otherwise it is dropped
// and the object keeps what it had.
template <class TObject>
bool AdoptReadPointerArray(Dynarray<TObject*>& read, bool complete, Dynarray<TObject*>& held)
{
    if (!complete)
    {
        read.DeleteAllPointers();
        return false;
    }
    held.DeleteAllPointers();
    held = std::move(read);
    return true;
}
} // namespace rtti

// Kind 4: one byte L (0 = none), L characters of the class name, then the object's payload.
template <class TClass, class TBase>
class RTTIEmbeddedPolyObjectPointerProperty : public RTTIProperty
{
public:
    RTTIEmbeddedPolyObjectPointerProperty(const char* name, TBase* TClass::*member, uint32_t flags = 0,
                                          const char* description = nullptr)
        : RTTIProperty(name, description, flags), m_member(member)
    {
    }
    uint32_t GetType() const override { return RTTI_TYPE_EMBEDDED_POLY_OBJECT_POINTER; }
    bool Equals(const RTTIPolyBaseClass* a, const RTTIPolyBaseClass* b) const override
    {
        return rtti::PolyObjectsEqual(Pointer(a), Pointer(b));
    }
    void Serialize(RecordOutput& out, const RTTIPolyBaseClass* object, uint32_t flags) const override
    {
        TBase* held = Pointer(object);
        const RTTIPropertiesBase* table = held != nullptr ? held->GetClassProperties() : nullptr;
        const size_t length = table != nullptr ? std::strlen(table->GetClassName()) : 0;
        // A class name longer than the length byte cannot be stored; the object is left out.
        if (length == 0 || length > 255)
        {
            out.WriteU8(0);
            return;
        }
        out.WriteU8(uint8_t(length));
        out.WriteBytes(table->GetClassName(), length);
        held->WriteEmbeddedPayload(out, flags);
    }
    bool Deserialize(RecordInput& in, RTTIPolyBaseClass* object, uint32_t flags) const override
    {
        char className[256];
        if (!ReadClassName(in, className))
            return false;
        TBase* created = nullptr;
        if (className[0] != 0)
        {
            created = rtti::CreateKindOf<TBase>(className);
            if (created == nullptr || !created->ReadEmbeddedPayload(in, flags))
            {
                delete created;
                return false;
            }
        }
        TBase*& held = static_cast<TClass*>(object)->*m_member;
        delete held;
        held = created;
        return true;
    }
    bool Validate(RecordInput& in, uint32_t flags) const override
    {
        char className[256];
        if (!ReadClassName(in, className))
            return false;
        if (className[0] == 0)
            return true;
        const RTTIPropertiesBase* table = rtti::FindRegisteredTable(className);
        if (table == nullptr)
            return false;
        if (!rtti::IsTableKindOf(table, rtti::StaticTableOf<TBase>()))
        {
            rtti::ReportWrongClass(className, GetName().c_str());
            return false;
        }
        return table->ValidateObject(in, flags);
    }
    size_t GetMinimumSize(uint32_t) const override { return 1; }

private:
    static bool ReadClassName(RecordInput& in, char (&className)[256])
    {
        uint8_t length;
        if (!in.ReadU8(length) || !in.ReadBytes(className, length))
            return false;
        className[length] = 0;
        return true;
    }
    TBase* Pointer(const RTTIPolyBaseClass* object) const { return static_cast<const TClass*>(object)->*m_member; }
    TBase* TClass::*m_member;
};

// Kind 6: u32 count, then per element a byte 0 (null) or 1 and the element's payload.
template <class TClass, class TObject>
class RTTIDynarrayOfEmbeddedObjectPointersProperty : public RTTIProperty
{
public:
    RTTIDynarrayOfEmbeddedObjectPointersProperty(const char* name, Dynarray<TObject*> TClass::*member,
                                                 uint32_t flags = 0, const char* description = nullptr)
        : RTTIProperty(name, description, flags), m_member(member)
    {
    }
    uint32_t GetType() const override { return RTTI_TYPE_DYNARRAY_OF_EMBEDDED_OBJECT_POINTERS; }
    bool Equals(const RTTIPolyBaseClass* a, const RTTIPolyBaseClass* b) const override
    {
        return rtti::PolyPointerArraysEqual(Array(a), Array(b));
    }
    void Serialize(RecordOutput& out, const RTTIPolyBaseClass* object, uint32_t flags) const override
    {
        const Dynarray<TObject*>& array = Array(object);
        out.WriteU32(uint32_t(array.Count()));
        for (TObject* element : array)
        {
            out.WriteU8(element != nullptr ? 1 : 0);
            if (element != nullptr)
                element->WriteEmbeddedPayload(out, flags);
        }
    }
    bool Deserialize(RecordInput& in, RTTIPolyBaseClass* object, uint32_t flags) const override
    {
        uint32_t count;
        if (!rtti::ReadElementCount(in, 1, GetName().c_str(), count))
            return false;
        Dynarray<TObject*> array;
        bool read = true;
        for (uint32_t i = 0; i < count && read; ++i)
        {
            uint8_t present;
            TObject* element = nullptr;
            read = in.ReadU8(present);
            if (read && present != 0)
            {
                element = new TObject;
                read = element->ReadEmbeddedPayload(in, flags);
            }
            array.Add(element);
        }
        return rtti::AdoptReadPointerArray(array, read, static_cast<TClass*>(object)->*m_member);
    }
    bool Validate(RecordInput& in, uint32_t flags) const override
    {
        uint32_t count;
        if (!rtti::ReadElementCount(in, 1, GetName().c_str(), count))
            return false;
        const RTTIPropertiesBase* table = TObject::StaticClassProperties();
        for (uint32_t i = 0; i < count; ++i)
        {
            uint8_t present;
            if (!in.ReadU8(present) || (present != 0 && !table->ValidateObject(in, flags)))
                return false;
        }
        return true;
    }
    size_t GetMinimumSize(uint32_t) const override { return 4; }

private:
    const Dynarray<TObject*>& Array(const RTTIPolyBaseClass* object) const
    {
        return static_cast<const TClass*>(object)->*m_member;
    }
    Dynarray<TObject*> TClass::*m_member;
};

// Kind 7: u32 count, then each element's payload.
template <class TClass, class TObject>
class RTTIDynarrayOfEmbeddedObjectsProperty : public RTTIProperty
{
public:
    RTTIDynarrayOfEmbeddedObjectsProperty(const char* name, DynarraySafe<TObject> TClass::*member, uint32_t flags = 0,
                                          const char* description = nullptr)
        : RTTIProperty(name, description, flags), m_member(member)
    {
    }
    uint32_t GetType() const override { return RTTI_TYPE_DYNARRAY_OF_EMBEDDED_OBJECTS; }
    bool Equals(const RTTIPolyBaseClass* a, const RTTIPolyBaseClass* b) const override
    {
        const DynarraySafe<TObject>& x = Array(a);
        const DynarraySafe<TObject>& y = Array(b);
        if (x.Count() != y.Count())
            return false;
        const RTTIPropertiesBase* table = TObject::StaticClassProperties();
        for (int32_t i = 0; i < x.Count(); ++i)
            if (!table->AreObjectsEqual(&x[i], &y[i]))
                return false;
        return true;
    }
    void Serialize(RecordOutput& out, const RTTIPolyBaseClass* object, uint32_t flags) const override
    {
        DynarraySafe<TObject>& array = const_cast<DynarraySafe<TObject>&>(Array(object));
        out.WriteU32(uint32_t(array.Count()));
        for (TObject& element : array)
            element.WriteEmbeddedPayload(out, flags);
    }
    bool Deserialize(RecordInput& in, RTTIPolyBaseClass* object, uint32_t flags) const override
    {
        uint32_t count;
        if (!rtti::ReadElementCount(in, MinimumElementSize(flags), GetName().c_str(), count))
            return false;
        DynarraySafe<TObject> array;
        array.Resize(int32_t(count));
        for (TObject& element : array)
            if (!element.ReadEmbeddedPayload(in, flags))
                return false;
        static_cast<TClass*>(object)->*m_member = std::move(array);
        return true;
    }
    bool Validate(RecordInput& in, uint32_t flags) const override
    {
        uint32_t count;
        if (!rtti::ReadElementCount(in, MinimumElementSize(flags), GetName().c_str(), count))
            return false;
        const RTTIPropertiesBase* table = TObject::StaticClassProperties();
        for (uint32_t i = 0; i < count; ++i)
            if (!table->ValidateObject(in, flags))
                return false;
        return true;
    }
    size_t GetMinimumSize(uint32_t) const override { return 4; }

private:
    static size_t MinimumElementSize(uint32_t flags)
    {
        return TObject::StaticClassProperties()->GetMinimumPayloadSize(flags);
    }
    const DynarraySafe<TObject>& Array(const RTTIPolyBaseClass* object) const
    {
        return static_cast<const TClass*>(object)->*m_member;
    }
    DynarraySafe<TObject> TClass::*m_member;
};

// Kind 8: u32 count, then per element a byte 0 (null) or 1, the class name without the property's
// class-name prefix and a 0 byte, then the element's payload.
template <class TClass, class TBase>
class RTTIDynarrayOfPolyObjectPointersProperty : public RTTIProperty
{
public:
    RTTIDynarrayOfPolyObjectPointersProperty(const char* name, Dynarray<TBase*> TClass::*member,
                                             const char* classNamePrefix = "", uint32_t flags = 0,
                                             const char* description = nullptr)
        : RTTIProperty(name, description, flags), m_member(member), m_prefix(classNamePrefix ? classNamePrefix : "")
    {
    }
    uint32_t GetType() const override { return RTTI_TYPE_DYNARRAY_OF_POLY_OBJECT_POINTERS; }
    bool Equals(const RTTIPolyBaseClass* a, const RTTIPolyBaseClass* b) const override
    {
        return rtti::PolyPointerArraysEqual(Array(a), Array(b));
    }
    void Serialize(RecordOutput& out, const RTTIPolyBaseClass* object, uint32_t flags) const override
    {
        const Dynarray<TBase*>& array = Array(object);
        out.WriteU32(uint32_t(array.Count()));
        for (TBase* element : array)
        {
            const RTTIPropertiesBase* table = element != nullptr ? element->GetClassProperties() : nullptr;
            out.WriteU8(table != nullptr ? 1 : 0);
            if (table == nullptr)
                continue;
            const char* className = table->GetClassName();
            if (std::strncmp(className, m_prefix.c_str(), m_prefix.size()) == 0)
                className += m_prefix.size();
            out.WriteBytes(className, std::strlen(className) + 1);
            element->WriteEmbeddedPayload(out, flags);
        }
    }
    bool Deserialize(RecordInput& in, RTTIPolyBaseClass* object, uint32_t flags) const override
    {
        uint32_t count;
        if (!rtti::ReadElementCount(in, 1, GetName().c_str(), count))
            return false;
        Dynarray<TBase*> array;
        bool read = true;
        for (uint32_t i = 0; i < count && read; ++i)
        {
            uint8_t present;
            TBase* element = nullptr;
            std::string className;
            read = in.ReadU8(present);
            if (read && present != 0)
            {
                read = ReadClassName(in, className);
                element = read ? rtti::CreateKindOf<TBase>(className.c_str()) : nullptr;
                read = element != nullptr && element->ReadEmbeddedPayload(in, flags);
            }
            array.Add(element);
        }
        return rtti::AdoptReadPointerArray(array, read, static_cast<TClass*>(object)->*m_member);
    }
    // An unknown class cannot be skipped (its payload length is not stored), so it refuses the whole
    // read instead of reading on out of step.
    bool Validate(RecordInput& in, uint32_t flags) const override
    {
        uint32_t count;
        if (!rtti::ReadElementCount(in, 1, GetName().c_str(), count))
            return false;
        for (uint32_t i = 0; i < count; ++i)
        {
            uint8_t present;
            if (!in.ReadU8(present))
                return false;
            if (present == 0)
                continue;
            std::string className;
            if (!ReadClassName(in, className))
                return false;
            const RTTIPropertiesBase* table = rtti::FindRegisteredTable(className.c_str());
            if (table == nullptr)
                return false;
            if (!rtti::IsTableKindOf(table, rtti::StaticTableOf<TBase>()))
            {
                rtti::ReportWrongClass(className.c_str(), GetName().c_str());
                return false;
            }
            if (!table->ValidateObject(in, flags))
                return false;
        }
        return true;
    }
    size_t GetMinimumSize(uint32_t) const override { return 4; }

private:
    bool ReadClassName(RecordInput& in, std::string& className) const
    {
        const char* text;
        size_t length;
        if (!in.ReadCString(text, length))
            return false;
        className = m_prefix;
        className.append(text, length);
        return true;
    }
    const Dynarray<TBase*>& Array(const RTTIPolyBaseClass* object) const
    {
        return static_cast<const TClass*>(object)->*m_member;
    }
    Dynarray<TBase*> TClass::*m_member;
    std::string m_prefix;
};
