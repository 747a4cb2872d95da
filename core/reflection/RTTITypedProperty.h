// Value kinds (type ids 9 to 25): one typed base over RTTIValueTraits and two access styles, a field
// of the object (RTTIDirectAccessTypedProperty) or the owning class's getter and setter
// (RTTISGProperty, where setting has side effects). Main thread.
#pragma once

#include "core/reflection/RTTIFixedForm.h"
#include "core/reflection/RTTIProperty.h"
#include "core/reflection/RTTIValueTraits.h"

#include <string>
#include <type_traits>

class RTTIPolyBaseClass;

// A property holding one value of a value kind.
template <typename TValue>
class RTTITypedProperty : public RTTIProperty
{
public:
    using Traits = RTTIValueTraits<TValue>;
    using Fixed = RTTIFixedForm<TValue>;
    using RTTIProperty::RTTIProperty;

    virtual const TValue* GetValueAddress(const RTTIPolyBaseClass* object) const = 0;
    virtual void SetValue(RTTIPolyBaseClass* object, const TValue& value) const = 0;

    bool HasTextForm() const override { return true; }
    bool SetFromText(RTTIPolyBaseClass* object, const char* text) const override
    {
        TValue value = *GetValueAddress(object);
        if (text == nullptr)
            return false;
        if constexpr (std::is_integral_v<TValue>)
        {
            // An enumeration reads its choice names too; a text that is neither a choice nor a
            // number names nothing, and is refused rather than stored as choice 0.
            uint32_t choice = 0;
            if (FindEnumerationChoice(text, choice))
            {
                SetValue(object, TValue(choice));
                return true;
            }
            if (GetEnumerationNames() != nullptr && !IsIntegerText(text))
                return false;
        }
        if (!Traits::FromText(value, text))
            return false;
        SetValue(object, value);
        return true;
    }
    bool ToText(const RTTIPolyBaseClass* object, char* buffer, size_t size) const override
    {
        if (size == 0)
            return false;
        Traits::ToText(*GetValueAddress(object), buffer, size);
        return true;
    }
    uint32_t GetType() const override { return Traits::kType; }
    bool Equals(const RTTIPolyBaseClass* a, const RTTIPolyBaseClass* b) const override
    {
        return Traits::Equals(*GetValueAddress(a), *GetValueAddress(b));
    }
    void Serialize(RecordOutput& out, const RTTIPolyBaseClass* object, uint32_t flags) const override
    {
        (void)flags;
        Traits::Write(out, *GetValueAddress(object));
    }
    bool Deserialize(RecordInput& in, RTTIPolyBaseClass* object, uint32_t flags) const override
    {
        (void)flags;
        TValue value{};
        if (!Traits::Read(in, value))
            return false;
        SetValue(object, value);
        return true;
    }
    bool Validate(RecordInput& in, uint32_t flags) const override
    {
        (void)flags;
        return Traits::Skip(in);
    }
    size_t GetMinimumSize(uint32_t) const override { return Traits::kMinimumSize; }
    uint32_t GetFixedSize() const override { return Fixed::kSize; }
    void WriteFixed(uint8_t* at, const RTTIPolyBaseClass* object, bool byteSwap) const override
    {
        if constexpr (Fixed::kSize != 0)
            Fixed::Store(at, *GetValueAddress(object), byteSwap);
        else
            (void)at, (void)object, (void)byteSwap;
    }
    void ReadFixed(const uint8_t* at, RTTIPolyBaseClass* object) const override
    {
        if constexpr (Fixed::kSize != 0)
        {
            TValue value{};
            Fixed::Load(at, value);
            SetValue(object, value);
        }
        else
            (void)at, (void)object;
    }
    RTTIRecordReaders GetRecordReaders() const override
    {
        RTTIRecordReaders readers = RTTIProperty::GetRecordReaders();
        if constexpr (std::is_same_v<TValue, NameString>)
            readers.name = [](const RTTIProperty& property, RTTIPolyBaseClass* object, const NameString& value) {
                static_cast<const RTTITypedProperty&>(property).SetValue(object, value);
            };
        return readers;
    }
};

// Value stored in a field of the object.
template <class TClass, typename TValue>
class RTTIDirectAccessTypedProperty : public RTTITypedProperty<TValue>
{
public:
    RTTIDirectAccessTypedProperty(const char* name, TValue TClass::*member, uint32_t flags = 0,
                                  const char* description = nullptr, uint32_t data = 0)
        : RTTITypedProperty<TValue>(name, description, flags, data), m_member(member)
    {
    }
    const TValue* GetValueAddress(const RTTIPolyBaseClass* object) const override
    {
        return &(static_cast<const TClass*>(object)->*m_member);
    }
    void SetValue(RTTIPolyBaseClass* object, const TValue& value) const override
    {
        static_cast<TClass*>(object)->*m_member = value;
    }
    RTTIFieldForm GetDirectField(const RTTIPolyBaseClass* object, ptrdiff_t& offset) const override
    {
        offset = reinterpret_cast<const char*>(GetValueAddress(object)) - reinterpret_cast<const char*>(object);
        if constexpr (RTTIFixedForm<TValue>::kRaw)
            return RTTI_FIELD_RAW;
        else if constexpr (std::is_same_v<TValue, bool>)
            return RTTI_FIELD_BOOL;
        else if constexpr (std::is_same_v<TValue, std::string>)
            return RTTI_FIELD_STRING;
        else if constexpr (std::is_same_v<TValue, NameString>)
            return RTTI_FIELD_NAME_STRING;
        else
            return RTTI_FIELD_NONE;
    }
    // Straight into the field, without the copy and the setter call.
    void ReadFixed(const uint8_t* at, RTTIPolyBaseClass* object) const override
    {
        if constexpr (RTTIFixedForm<TValue>::kSize != 0)
            RTTIFixedForm<TValue>::Load(at, static_cast<TClass*>(object)->*m_member);
        else
            (void)at, (void)object;
    }
    bool Deserialize(RecordInput& in, RTTIPolyBaseClass* object, uint32_t flags) const override
    {
        (void)flags;
        return RTTIValueTraits<TValue>::Read(in, static_cast<TClass*>(object)->*m_member);
    }

private:
    TValue TClass::*m_member;
};

// Value read through the class's getter (returning its address) and written through its setter.
// Final: its compiled record reads call the setter without asking for an override.
template <class TClass, typename TValue>
class RTTISGProperty final : public RTTITypedProperty<TValue>
{
public:
    using Setter = void (TClass::*)(const TValue&);
    using Getter = const TValue* (TClass::*)() const;

    RTTISGProperty(const char* name, Setter setter, Getter getter, uint32_t flags = 0,
                   const char* description = nullptr, uint32_t data = 0)
        : RTTITypedProperty<TValue>(name, description, flags, data), m_setter(setter), m_getter(getter)
    {
    }
    const TValue* GetValueAddress(const RTTIPolyBaseClass* object) const override
    {
        return (static_cast<const TClass*>(object)->*m_getter)();
    }
    void SetValue(RTTIPolyBaseClass* object, const TValue& value) const override
    {
        (static_cast<TClass*>(object)->*m_setter)(value);
    }
    RTTIRecordReaders GetRecordReaders() const override
    {
        RTTIRecordReaders readers = RTTITypedProperty<TValue>::GetRecordReaders();
        if constexpr (RTTIFixedForm<TValue>::kSize != 0)
            readers.fixed = [](const RTTIProperty& property, const uint8_t* at, RTTIPolyBaseClass* object) {
                TValue value{};
                RTTIFixedForm<TValue>::Load(at, value);
                static_cast<const RTTISGProperty&>(property).SetValue(object, value);
            };
        if constexpr (std::is_same_v<TValue, NameString>)
            readers.name = [](const RTTIProperty& property, RTTIPolyBaseClass* object, const NameString& value) {
                static_cast<const RTTISGProperty&>(property).SetValue(object, value);
            };
        return readers;
    }

private:
    Setter m_setter;
    Getter m_getter;
};

// Text read through the class's getter and written through a setter taking a 0-terminated text (the
// record's own bytes when read from a record).
template <class TClass>
class RTTISGTextProperty final : public RTTITypedProperty<std::string>
{
public:
    using Setter = void (TClass::*)(const char* text);
    using Getter = const std::string* (TClass::*)() const;

    RTTISGTextProperty(const char* name, Setter setter, Getter getter, uint32_t flags = 0,
                       const char* description = nullptr, uint32_t data = 0)
        : RTTITypedProperty<std::string>(name, description, flags, data), m_setter(setter), m_getter(getter)
    {
    }
    const std::string* GetValueAddress(const RTTIPolyBaseClass* object) const override
    {
        return (static_cast<const TClass*>(object)->*m_getter)();
    }
    void SetValue(RTTIPolyBaseClass* object, const std::string& value) const override
    {
        (static_cast<TClass*>(object)->*m_setter)(value.c_str());
    }
    bool HasRecordTextSetter() const override { return true; }
    void SetFromRecordText(RTTIPolyBaseClass* object, const char* text) const override
    {
        (static_cast<TClass*>(object)->*m_setter)(text);
    }
    RTTIRecordReaders GetRecordReaders() const override
    {
        RTTIRecordReaders readers = RTTITypedProperty<std::string>::GetRecordReaders();
        readers.text = [](const RTTIProperty& property, RTTIPolyBaseClass* object, const char* text) {
            static_cast<const RTTISGTextProperty&>(property).SetFromRecordText(object, text);
        };
        return readers;
    }

private:
    Setter m_setter;
    Getter m_getter;
};
