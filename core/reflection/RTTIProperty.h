// Property descriptors: one per reflected field, owned by its class's table. Built on the main thread,
// read-only afterwards.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class NameString;
class RTTIPolyBaseClass;
class RTTIProperty;
class RecordInput;
class RecordOutput;

// Property type ids as stored in layouts and seen by scripts.
enum RTTIPropertyType : uint32_t
{
    RTTI_TYPE_GROUP = 0,
    RTTI_TYPE_SEPARATOR = 1,
    RTTI_TYPE_DYNARRAY = 2,
    RTTI_TYPE_EMBEDDED_OBJECT = 3,
    RTTI_TYPE_EMBEDDED_POLY_OBJECT_POINTER = 4,
    RTTI_TYPE_DYNARRAY_OF_EMBEDDED_OBJECT_POINTERS = 6,
    RTTI_TYPE_DYNARRAY_OF_EMBEDDED_OBJECTS = 7,
    RTTI_TYPE_DYNARRAY_OF_POLY_OBJECT_POINTERS = 8,
    RTTI_TYPE_FLOAT = 9,
    RTTI_TYPE_INT = 10,
    RTTI_TYPE_UNSIGNED_INT = 11,
    RTTI_TYPE_UNSIGNED_SHORT = 12,
    RTTI_TYPE_STRING = 13,
    RTTI_TYPE_WIDE_STRING = 14,
    RTTI_TYPE_VECTOR = 15,
    RTTI_TYPE_VECTOR3 = 16,
    RTTI_TYPE_BOUNDING_BOX4 = 17,
    RTTI_TYPE_QUATERNION = 18,
    RTTI_TYPE_MATRIX = 19,
    RTTI_TYPE_BOOL = 20,
    RTTI_TYPE_GUID = 21,
    RTTI_TYPE_NAME_STRING = 22,
    RTTI_TYPE_HDR_COLOR = 23,
    RTTI_TYPE_CHAR = 24,
    RTTI_TYPE_UNSIGNED_CHAR = 25,
    RTTI_TYPE_STATIC_BIT_VECTOR = 26,
    RTTI_TYPE_MEMORY_BLOCK = 28,
    RTTI_TYPE_ENTITY_POINTER = 31,
    RTTI_TYPE_ENTITY_SAFE_POINTER = 32,
};

// Property flags.
enum RTTIPropertyFlags : uint32_t
{
    RTTI_PROPERTY_SKIPPABLE = 4,        // left out of records written or read with flag 1
    RTTI_PROPERTY_ENUMERATION = 0x80,   // the value names are listed
    RTTI_PROPERTY_NOT_SERIALIZED = 0x4000,
};

// What a record plan may do with a property's field directly (RTTIProperty::GetDirectField).
enum RTTIFieldForm : uint8_t
{
    RTTI_FIELD_NONE = 0,
    RTTI_FIELD_RAW,
    RTTI_FIELD_BOOL,
    RTTI_FIELD_STRING,
    RTTI_FIELD_NAME_STRING,
};

// The calls a record plan makes in place of a property's virtual ones, each compiled for the
// property's concrete kind: a plan reading thousands of objects then pays one call per value
// instead of a chain of virtual calls. `fixed` does what ReadFixed does; `text`, for kinds with a
// record text setter, what SetFromRecordText does; `name`, for NameString kinds, sets the value as
// the property's Deserialize would once it has read it (null for other kinds).
struct RTTIRecordReaders
{
    using Fixed = void (*)(const RTTIProperty& property, const uint8_t* at, RTTIPolyBaseClass* object);
    using Text = void (*)(const RTTIProperty& property, RTTIPolyBaseClass* object, const char* text);
    using Name = void (*)(const RTTIProperty& property, RTTIPolyBaseClass* object, const NameString& value);
    Fixed fixed;
    Text text;
    Name name;
};

// Base of all property descriptors: display name (also the serialized key and script name),
// description, flags and a kind-specific data word.
class RTTIProperty
{
public:
    RTTIProperty(const char* name, const char* description, uint32_t flags, uint32_t data = 0);
    virtual ~RTTIProperty() = default;
    RTTIProperty(const RTTIProperty&) = delete;
    RTTIProperty& operator=(const RTTIProperty&) = delete;

    // True for value kinds, groups and separators.
    virtual bool HasTextForm() const { return false; }
    virtual bool SetFromText(RTTIPolyBaseClass* object, const char* text) const;
    // Writes the text form, cut to `size` (always terminated); false for kinds without one.
    virtual bool ToText(const RTTIPolyBaseClass* object, char* buffer, size_t size) const;

    virtual uint32_t GetType() const = 0;
    virtual bool Equals(const RTTIPolyBaseClass* a, const RTTIPolyBaseClass* b) const = 0;
    virtual void Serialize(RecordOutput& out, const RTTIPolyBaseClass* object, uint32_t flags) const = 0;
    // Reads a value that Validate accepted; false only on a failure it could not foresee.
    virtual bool Deserialize(RecordInput& in, RTTIPolyBaseClass* object, uint32_t flags) const = 0;
    // Walks the binary form without storing it; false (with the reason logged when it is not a plain
    // shortage of bytes) when it is not whole.
    virtual bool Validate(RecordInput& in, uint32_t flags) const = 0;
    // Fewest bytes the binary form can take.
    virtual size_t GetMinimumSize(uint32_t flags) const = 0;

    // Bytes of the binary form when every value takes the same number, else 0. Such properties are
    // written and read in runs by the table's record plan, through the two calls below, which the
    // plan makes only with that many bytes at `at` (already checked).
    virtual uint32_t GetFixedSize() const { return 0; }
    virtual void WriteFixed(uint8_t* at, const RTTIPolyBaseClass* object, bool byteSwap) const
    {
        (void)at, (void)object, (void)byteSwap;
    }
    virtual void ReadFixed(const uint8_t* at, RTTIPolyBaseClass* object) const { (void)at, (void)object; }
    // For a dynarray whose elements' form has one size: that size (also the fewest bytes an element
    // takes), which lets a record plan check the array without a call; else 0.
    virtual uint32_t GetFixedElementSize() const { return 0; }
    // For such a dynarray: makes the array `count` elements long, read from `at` (already checked to
    // hold them); elements are values, so no entity reference is queued.
    virtual void ReadFixedElements(const uint8_t* at, uint32_t count, RTTIPolyBaseClass* object) const
    {
        (void)at, (void)count, (void)object;
    }

    // For a text kind set through a setter that takes the record's own 0-terminated text: sets it
    // from `text` (already checked to end in a 0), which spares the copy into a temporary string.
    virtual bool HasRecordTextSetter() const { return false; }
    virtual void SetFromRecordText(RTTIPolyBaseClass* object, const char* text) const { (void)object, (void)text; }

    // The compiled forms of the reads above; by default calls of the virtual ones.
    virtual RTTIRecordReaders GetRecordReaders() const;

    // How a record plan may reach the value without calls: RTTI_FIELD_NONE, or the form of a field at
    // `offset` bytes from `object` (the same for every object of the class) whose reading has no side
    // effects: RAW when its memory holds exactly its stored bytes, or a bool, a string or a NameString.
    virtual RTTIFieldForm GetDirectField(const RTTIPolyBaseClass* object, ptrdiff_t& offset) const
    {
        (void)object, (void)offset;
        return RTTI_FIELD_NONE;
    }

    uint32_t GetSignature() const { return GetType() ^ m_flags; }

    // Empty when the property has no display name (serialized, but not found by name).
    const std::string& GetName() const { return m_name; }
    const std::string& GetDescription() const { return m_description; }
    uint32_t GetFlags() const { return m_flags; }
    uint32_t GetData() const { return m_data; }
    // Null-terminated value names of an enumeration (flag 0x80), else null. The original kept this
    // pointer in the 32-bit data word; here it has a field of its own.
    const char* const* GetEnumerationNames() const { return m_enumerationNames; }
    RTTIProperty* SetEnumerationNames(const char* const* names);
    // The 0-based index of the enumeration choice named `text` (ASCII case ignored).
    bool FindEnumerationChoice(const char* text, uint32_t& index) const;
    // Whether `text` is an optionally signed decimal integer, surrounding blanks allowed.
    static bool IsIntegerText(const char* text);

    // Whether a record written or read with `flags` carries this property.
    bool IsSerialized(uint32_t flags) const;

private:
    std::string m_name;
    std::string m_description;
    uint32_t m_flags;
    uint32_t m_data;
    const char* const* m_enumerationNames = nullptr;
};

// Group header: no value; the parameter is kept for editors.
class RTTIPropertyGroup : public RTTIProperty
{
public:
    RTTIPropertyGroup(const char* name, uint32_t parameter = 0, const char* description = nullptr);
    bool HasTextForm() const override { return true; }
    bool ToText(const RTTIPolyBaseClass* object, char* buffer, size_t size) const override;
    uint32_t GetType() const override { return RTTI_TYPE_GROUP; }
    bool Equals(const RTTIPolyBaseClass*, const RTTIPolyBaseClass*) const override { return true; }
    void Serialize(RecordOutput&, const RTTIPolyBaseClass*, uint32_t) const override {}
    bool Deserialize(RecordInput&, RTTIPolyBaseClass*, uint32_t) const override { return true; }
    bool Validate(RecordInput&, uint32_t) const override { return true; }
    size_t GetMinimumSize(uint32_t) const override { return 0; }
    uint32_t GetParameter() const { return m_parameter; }

private:
    uint32_t m_parameter;
};

// Separator line in editors: no value.
class RTTIPropertySeparator : public RTTIPropertyGroup
{
public:
    explicit RTTIPropertySeparator(const char* name = nullptr) : RTTIPropertyGroup(name) {}
    uint32_t GetType() const override { return RTTI_TYPE_SEPARATOR; }
};
