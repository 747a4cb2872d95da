#include "scene/entities/EntityMPProperties.h"

#include "scene/entities/Entity.h"
#include "scene/entities/EntityManager.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace
{
void PutBytes(Dynarray<uint8_t>& out, const void* data, size_t size)
{
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    for (size_t i = 0; i < size; ++i)
        out.Add(bytes[i]);
}

// Little-endian fields, whatever the host.
void PutU64(Dynarray<uint8_t>& out, uint64_t value)
{
    uint8_t bytes[8];
    for (int i = 0; i < 8; ++i)
        bytes[i] = uint8_t(value >> (8 * i));
    PutBytes(out, bytes, sizeof(bytes));
}

void PutF32(Dynarray<uint8_t>& out, float value)
{
    uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof(bits));
    uint8_t bytes[4];
    for (int i = 0; i < 4; ++i)
        bytes[i] = uint8_t(bits >> (8 * i));
    PutBytes(out, bytes, sizeof(bytes));
}

uint64_t GetU64(const uint8_t* data)
{
    uint64_t value = 0;
    for (int i = 7; i >= 0; --i)
        value = (value << 8) | data[i];
    return value;
}

float GetF32(const uint8_t* data)
{
    const uint32_t bits = uint32_t(data[0]) | uint32_t(data[1]) << 8 | uint32_t(data[2]) << 16 | uint32_t(data[3]) << 24;
    float value = 0.0f;
    std::memcpy(&value, &bits, sizeof(value));
    return value;
}

size_t EncodedSize(uint8_t type)
{
    switch (type)
    {
    case MPPROPERTY_RANGED_FLOAT:
        return 1;
    case MPPROPERTY_ROTATION:
        return 12;
    case MPPROPERTY_VECTOR2:
        return 8;
    case MPPROPERTY_ANIMATION:
        return 3;
    default:
        return 0;
    }
}

// The scene's height range, or 0 to 1 before a scene has bounds.
void HeightRange(float& low, float& high)
{
    const BoundingBox4& bounds = gEntityManager.GetSceneBounds();
    low = bounds.min.y;
    high = bounds.max.y;
    if (!(high > low))
    {
        low = 0.0f;
        high = 1.0f;
    }
}
} // namespace

void EntityMPProperties::InitStartSet(Entity& entity)
{
    m_properties.clear();
    Property posXZ;
    posXZ.name = "PosXZ";
    posXZ.type = MPPROPERTY_VECTOR2;
    m_properties.push_back(posXZ);
    Property posY;
    posY.name = "PosY";
    posY.type = MPPROPERTY_RANGED_FLOAT;
    posY.minimum = 0.0f;
    posY.maximum = 1.0f;
    posY.step = 0.01f;
    m_properties.push_back(posY);
    Property rot;
    rot.name = "Rot";
    rot.type = MPPROPERTY_ROTATION;
    m_properties.push_back(rot);
    Capture(entity);
}

void EntityMPProperties::Capture(Entity& entity)
{
    if (m_properties.size() <= kRot)
        return;
    const Vector& position = entity.GetGlobalPosition();
    m_properties[kPosXZ].value = Vector(position.x, 0.0f, position.z, 0.0f);
    float low = 0.0f;
    float high = 1.0f;
    HeightRange(low, high);
    const float fraction = std::clamp((position.y - low) / (high - low), 0.0f, 1.0f);
    m_properties[kPosY].value = Vector(std::round(fraction / 0.01f) * 0.01f, 0.0f, 0.0f, 0.0f);
    m_properties[kRot].value = entity.GetGlobalRotation();
}

void EntityMPProperties::Apply(Entity& entity) const
{
    if (m_properties.size() <= kRot)
        return;
    float low = 0.0f;
    float high = 1.0f;
    HeightRange(low, high);
    const Vector& xz = m_properties[kPosXZ].value;
    const float y = low + m_properties[kPosY].value.x * (high - low);
    entity.SetGlobalPosition(Vector(xz.x, y, xz.z, 1.0f));
    entity.SetGlobalRotation(m_properties[kRot].value);
}

int32_t EntityMPProperties::Add(const Property& property)
{
    if (m_properties.size() >= 64)
        return -1;
    m_properties.push_back(property);
    return int32_t(m_properties.size() - 1);
}

int32_t EntityMPProperties::Find(const char* name) const
{
    for (size_t i = 0; i < m_properties.size(); ++i)
        if (m_properties[i].name == name)
            return int32_t(i);
    return -1;
}

void EntityMPProperties::Write(uint64_t mask, uint64_t time, Dynarray<uint8_t>& out) const
{
    if (m_properties.size() < 64)
        mask &= (uint64_t(1) << m_properties.size()) - 1;
    PutU64(out, time);
    PutU64(out, mask);
    for (size_t i = 0; i < m_properties.size() && i < 64; ++i)
    {
        if ((mask & (uint64_t(1) << i)) == 0)
            continue;
        const Property& property = m_properties[i];
        switch (property.type)
        {
        case MPPROPERTY_RANGED_FLOAT:
        {
            const float steps = std::round((property.value.x - property.minimum) / property.step);
            const float most = std::round((property.maximum - property.minimum) / property.step);
            out.Add(uint8_t(std::clamp(steps, 0.0f, std::min(most, 255.0f))));
            break;
        }
        case MPPROPERTY_ROTATION:
            PutF32(out, property.value.x);
            PutF32(out, property.value.y);
            PutF32(out, property.value.z);
            break;
        case MPPROPERTY_VECTOR2:
            PutF32(out, property.value.x);
            PutF32(out, property.value.z);
            break;
        case MPPROPERTY_ANIMATION:
            for (int b = 0; b < 3; ++b)
                out.Add(uint8_t(property.packed >> (8 * b)));
            break;
        default:
            break;
        }
    }
}

bool EntityMPProperties::Read(const uint8_t* data, size_t size, size_t& offset, uint64_t* time)
{
    if (offset > size || size - offset < 16)
        return false;
    const uint64_t stamp = GetU64(data + offset);
    const uint64_t mask = GetU64(data + offset + 8);
    size_t need = 16;
    for (size_t i = 0; i < 64; ++i)
    {
        if ((mask & (uint64_t(1) << i)) == 0)
            continue;
        if (i >= m_properties.size())
            return false;
        need += EncodedSize(m_properties[i].type);
    }
    if (size - offset < need)
        return false;
    const uint8_t* cursor = data + offset + 16;
    for (size_t i = 0; i < m_properties.size() && i < 64; ++i)
    {
        if ((mask & (uint64_t(1) << i)) == 0)
            continue;
        Property& property = m_properties[i];
        switch (property.type)
        {
        case MPPROPERTY_RANGED_FLOAT:
            property.value.x = std::min(property.minimum + float(cursor[0]) * property.step, property.maximum);
            break;
        case MPPROPERTY_ROTATION:
            property.value = Vector(GetF32(cursor), GetF32(cursor + 4), GetF32(cursor + 8), 0.0f);
            break;
        case MPPROPERTY_VECTOR2:
            property.value = Vector(GetF32(cursor), 0.0f, GetF32(cursor + 4), 0.0f);
            break;
        case MPPROPERTY_ANIMATION:
            property.packed = uint32_t(cursor[0]) | uint32_t(cursor[1]) << 8 | uint32_t(cursor[2]) << 16;
            break;
        default:
            break;
        }
        cursor += EncodedSize(property.type);
    }
    offset += need;
    if (time != nullptr)
        *time = stamp;
    return true;
}
