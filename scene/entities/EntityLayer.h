// EntityLayer and EntityLayerGroup: the records of a scene's layer tree (EntityLayerSystem). Layers
// are also reachable by id through one table of 256 entries, which the mask builders read.
// Main thread only.
#pragma once

#include "core/SimpleGUID.h"
#include "core/containers/Dynarray.h"
#include "core/math/HDRColor.h"
#include "core/reflection/RTTIClass.h"
#include "core/strings/NameString.h"

#include <cstdint>
#include <string>

// One layer: visibility, freeze state, colour, platform presence and its id.
class EntityLayer : public RTTIPolyBaseClass
{
    RTTI_DECLARE_CLASS(EntityLayer, RTTIPolyBaseClass)

public:
    static constexpr uint32_t kLayerCount = 256;

    EntityLayer();
    // Clears its id slot only while the slot names this layer.
    ~EntityLayer() override;

    // Moves the layer's slot in the id table; a slot held by another layer is left alone.
    void SetId(const uint8_t& id);
    uint8_t GetId() const { return m_id; }
    // The layer holding an id, or null.
    static EntityLayer* FindById(uint32_t id);

    const char* GetName() const { return m_name.c_str(); }
    void SetName(const char* name) { m_name = name != nullptr ? name : ""; }
    const SimpleGUID& GetGUID() const { return m_guid; }
    void GenerateGUID() { m_guid.Generate(); }

    bool m_visible = true;
    bool m_frozen = false;
    bool m_visibleInGame = true;
    bool m_persistent = false;
    bool m_proprietaryColorSet = false;
    bool m_selectionEditorSelected = true;
    HDRColor m_color;

private:
    const uint8_t* GetIdValue() const { return &m_id; }

    std::string m_name;
    SimpleGUID m_guid;
    uint8_t m_id = 0;
    float m_optimizationSectorSize = 100.0f;
    uint32_t m_userData = 0;
    uint32_t m_sceneVariationMask = 0xFFFFFFFFu;
    bool m_presentInIPhoneBuild = true;
    bool m_presentInIPadBuild = true;
    NameString m_requiredDistroTag;
};

// A node of the layer tree: child groups and layers.
class EntityLayerGroup : public RTTIPolyBaseClass
{
    RTTI_DECLARE_CLASS(EntityLayerGroup, RTTIPolyBaseClass)

public:
    EntityLayerGroup();
    ~EntityLayerGroup() override;
    EntityLayerGroup(const EntityLayerGroup&) = delete;
    EntityLayerGroup& operator=(const EntityLayerGroup&) = delete;

    const char* GetName() const { return m_name.c_str(); }
    void SetName(const char* name) { m_name = name != nullptr ? name : ""; }
    const HDRColor& GetColor() const { return m_color; }
    // Hands the colour down to every child group and layer without a colour of its own.
    void SetColor(const HDRColor& color);
    bool HasProprietaryColor() const { return m_proprietaryColorSet; }
    void SetProprietaryColor(bool set) { m_proprietaryColorSet = set; }

    Dynarray<EntityLayerGroup*>& GetChildren() { return m_children; }
    Dynarray<EntityLayer*>& GetLayers() { return m_layers; }
    // Deletes every child group and layer.
    void Clear();

    // Own layers first, then each child group's subtree in order.
    EntityLayer* FindLayer(const char* name);
    // Child groups first, then each child group's subtree in order; this group is not compared.
    EntityLayerGroup* FindGroup(const char* name);
    // "Visible in game" on every layer of this group and its subgroups.
    void SetVisibleInGame(bool visible);

private:
    const HDRColor* GetColorValue() const { return &m_color; }

    std::string m_name;
    HDRColor m_color;
    bool m_proprietaryColorSet = false;
    bool m_expanded = false;
    Dynarray<EntityLayerGroup*> m_children;
    Dynarray<EntityLayer*> m_layers;
};
