// EntityLayerSystem: the layer tree of a scene (owned by the entity manager, stored at the head of
// scene files) and the 256-bit layer masks the renderer and the game ask for. Main thread only.
#pragma once

#include "core/reflection/RTTIClass.h"
#include "scene/entities/EntityLayer.h"

#include <cstdint>

// 256 bits, one per layer id.
struct EntityLayerMask
{
    uint8_t bytes[32] = {};

    bool Test(uint32_t id) const { return id < 256 && (bytes[id >> 3] & (1u << (id & 7))) != 0; }
    void Set(uint32_t id)
    {
        if (id < 256)
            bytes[id >> 3] = uint8_t(bytes[id >> 3] | (1u << (id & 7)));
    }
};

// The root group of layers and the layer new editor entities get.
class EntityLayerSystem : public RTTIPolyBaseClass
{
    RTTI_DECLARE_CLASS(EntityLayerSystem, RTTIPolyBaseClass)

public:
    // Reset at construction.
    EntityLayerSystem();

    // Empties the tree: root "LAYERS" with one persistent layer "Default" of id 1, active id 1.
    void Reset();

    void HideLayerInGame(const char* name, bool hide);
    void HideLayerGroupInGame(const char* name, bool hide);
    void GetSceneLayerMask(EntityLayerMask& mask) const;
    void GetVisibleLayerMask(EntityLayerMask& mask) const;
    void GetFrozenLayerMask(EntityLayerMask& mask) const;

    EntityLayerGroup& GetRoot() { return m_root; }
    uint8_t GetActiveLayerId() const { return m_activeLayerId; }
    void SetActiveLayerId(uint8_t id) { m_activeLayerId = id; }

private:
    EntityLayerGroup m_root;
    uint8_t m_activeLayerId = 1;
};
