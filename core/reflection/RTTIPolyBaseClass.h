// Reflected classes.
//
// Every persistent or editable class derives from RTTIPolyBaseClass and owns one RTTIPropertiesBase:
// a table of typed property descriptors built the first time the class asks for it. The tables drive
// the binary object records (a u32 payload size, with serialization flag 16 the layout magic and a
// CRC-32, then each property's binary form class by class in the order of the class chain), the
// one-line text forms, object comparison and the class registry's creation by name.
//
// Reading is all or nothing: a payload is first walked without touching the object, so a truncated
// or malformed record, or one naming an unknown class, is refused and leaves the object as it was.
//
// Tables are built and objects serialized on the main thread (the resource thread also reads
// templates; it never builds tables).
#pragma once

#include "core/containers/SafePointer.h"

#include <cstddef>
#include <cstdint>

class FileReader;
class RTTIPropertiesBase;
class RTTIProperty;
class NameString;
template <typename T>
class DynarraySafe;
class RecordInput;
class RecordOutput;

// Serialization flags, passed through every record reader and writer.
enum RTTISerializationFlags : uint32_t
{
    RTTI_SKIP_FLAGGED_4 = 1,     // skip properties whose flags contain 4
    RTTI_BYTE_SWAP = 2,          // write multi-byte values byte-swapped; readers never swap
    RTTI_NO_ENTITY_RESOLVE = 4,  // do not open or resolve the pending entity-reference list
    RTTI_OWN_CLASS_ONLY = 8,     // only the most-derived class's own properties
    RTTI_MAGIC_AND_CRC = 16,     // the record carries the layout magic and a CRC-32
};

// Root of the reflected classes: records, hooks and the class's property table.
class RTTIPolyBaseClass : public SafePointerRoot
{
public:
    RTTIPolyBaseClass() = default;
    RTTIPolyBaseClass(const RTTIPolyBaseClass& other) = default;
    RTTIPolyBaseClass& operator=(const RTTIPolyBaseClass& other) = default;
    ~RTTIPolyBaseClass() override = default;

    // The class's property table; null only for the root itself.
    virtual RTTIPropertiesBase* GetClassProperties() const { return nullptr; }

    // Writes the payload into `buffer` (calling the pre-save hook first) or, with a null buffer,
    // returns its size without the hook. Returns 0 and logs when the payload does not fit.
    virtual size_t SerializeToMemory(uint8_t* buffer, size_t capacity, uint32_t flags);
    // Reads a payload of at most `size` bytes between the pre- and post-load hooks. False, with the
    // object untouched and no hook called, when the bytes do not hold a whole valid payload.
    virtual bool DeserializeFromMemory(const uint8_t* buffer, size_t size, uint32_t flags, size_t* consumed = nullptr);

    virtual bool LoadFromFile(const char* path, const char* extension, const char* base, uint32_t flags);
    virtual bool SaveToFile(const char* path, const char* extension, const char* base, uint32_t flags);
    // Extension "bin", flags 0.
    virtual bool LoadFromFile(const char* path, const char* base);

    virtual void OnPropertyChanged(const RTTIProperty* property) { (void)property; }
    // The names offered for a property (bone names, preset names), by its display name; a class
    // fills the list for the names it knows and passes the others to its base. The root offers none.
    virtual void GetPropertyChoices(const char* propertyName, DynarraySafe<NameString>& choices) const
    {
        (void)propertyName;
        (void)choices;
    }
    virtual void OnPreLoad(uint32_t flags) { (void)flags; }
    virtual void OnPostLoad(uint32_t flags) { (void)flags; }
    virtual void OnPreSave(uint32_t flags) { (void)flags; }

    // Reads one whole record (size, optional magic and CRC, payload) from the reader.
    bool SolidDeserializeFromFileReader(FileReader& reader, uint32_t flags);

    // The payload of an embedded object inside a larger payload: the pre-save hook runs when `out`
    // really writes; reading runs the load hooks around the table's read (already validated).
    void WriteEmbeddedPayload(RecordOutput& out, uint32_t flags);
    bool ReadEmbeddedPayload(RecordInput& in, uint32_t flags);
};

// Declares the table functions of a reflected class; `Base` is its reflected base class.
#define RTTI_DECLARE_CLASS(Class, Base)                                                            \
public:                                                                                            \
    using RTTIBaseClass = Base;                                                                    \
    static RTTIPropertiesBase* StaticClassProperties();                                            \
    RTTIPropertiesBase* GetClassProperties() const override { return StaticClassProperties(); }    \
    static void BuildClassProperties(RTTIPropertiesBase& table);                                   \
                                                                                                   \
private:
