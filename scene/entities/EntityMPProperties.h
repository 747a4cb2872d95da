// An entity's replicated-property record: the values the multiplayer engine keeps in step with the
// peer, with their encoding in entity state messages. Main thread only.
//
// The start set describes where the entity stands: "PosXZ" (its world x and z), "PosY" (its world
// height as a fraction of the scene's height range, in steps of 0.01) and "Rot" (its world rotation
// in degrees). A state record holds a time, the 64-bit mask of the properties it carries and their
// values in property order: a vector as two or three f32, a ranged float as one byte of steps.
#pragma once

#include "core/containers/Dynarray.h"
#include "core/math/Vector.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class Entity;

enum MPPropertyType : uint8_t
{
    MPPROPERTY_RANGED_FLOAT = 3, // one byte: the value in steps from the minimum
    MPPROPERTY_ROTATION = 5,     // three f32 degrees
    MPPROPERTY_VECTOR2 = 10,     // two f32: x and z
    MPPROPERTY_ANIMATION = 11,   // three bytes: a mesh's packed animation state (ReplicatedAnimState)
};

class EntityMPProperties
{
public:
    static constexpr uint32_t kPosXZ = 0;
    static constexpr uint32_t kPosY = 1;
    static constexpr uint32_t kRot = 2;

    struct Property
    {
        std::string name;
        uint8_t type = 0;
        float minimum = 0.0f;
        float maximum = 1.0f;
        float step = 0.01f;
        Vector value;
        uint32_t packed = 0; // MPPROPERTY_ANIMATION: the low three bytes
    };

    // The start set, filled from the entity.
    void InitStartSet(Entity& entity);
    // The start set's values from the entity's current world transform.
    void Capture(Entity& entity);
    // Moves the entity to the start set's values.
    void Apply(Entity& entity) const;

    int32_t Count() const { return int32_t(m_properties.size()); }
    const Property& Get(int32_t index) const { return m_properties[size_t(index)]; }
    // The property at the index, or null past the end.
    Property* Edit(int32_t index) { return index >= 0 && index < Count() ? &m_properties[size_t(index)] : nullptr; }
    // Appends a property after the start set; its index, or -1 once 64 are held (a state's mask
    // has 64 bits).
    int32_t Add(const Property& property);
    int32_t Find(const char* name) const;

    // Appends the properties of `mask` (bits past the last property are dropped) after the time.
    void Write(uint64_t mask, uint64_t time, Dynarray<uint8_t>& out) const;
    // Reads one state record at `offset`; false, with nothing changed, when it is short or names a
    // property this record lacks. On success `offset` moves past the record.
    bool Read(const uint8_t* data, size_t size, size_t& offset, uint64_t* time);

private:
    std::vector<Property> m_properties;
};
