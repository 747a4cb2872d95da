// CompoundEntity: the entity of a CompoundTemplate. When initialised it creates one child entity per
// element of its template, recursively, places them by the elements' matrices, hands on its layer
// and colour, gives mesh elements their shader presets, lightmap mappings and start animations, and
// keeps its own box the union of its elements' boxes. Any property change rebuilds the elements.
// Main thread only.
#pragma once

#include "core/containers/Dynarray.h"
#include "core/math/HDRColor.h"
#include "core/reflection/RTTIPolyBaseClass.h"
#include "core/strings/NameString.h"
#include "renderer/LightmapMapping.h"
#include "scene/entities/Entity.h"

#include <cstdint>

class CompoundTemplate;
class CompoundTemplateElement;

// The shader preset a compound gives the mesh element of one name.
class ShaderPresetElement : public RTTIPolyBaseClass
{
    RTTI_DECLARE_CLASS(ShaderPresetElement, RTTIPolyBaseClass)

public:
    NameString m_meshName;
    NameString m_shaderPreset;
};

// Entity of template kind 5; see the comment above.
class CompoundEntity : public Entity
{
    RTTI_DECLARE_CLASS(CompoundEntity, Entity)

public:
    CompoundEntity();
    ~CompoundEntity() override;

    void InitFromTemplate(EntityTemplate* entityTemplate, uint32_t creationFlags) override;
    void OnPropertyChanged(const RTTIProperty* property) override;
    void OnPostLoad(uint32_t flags) override;
    void OnPreSave(uint32_t flags) override;
    void OnPostSceneLoad() override;
    void SetLayer(uint8_t layer) override;
    void PostCreateInit() override;
    void DrawDebug(uint32_t flags) override;
    void DebugDrawBoundingBox(const BoundingBox4& box, const Vector& color) override;
    void RemoveChild(Entity* child) override;

    // Creates the element entities unless they exist or the compound suppresses them; a template
    // already being built further up is a cycle and creates nothing.
    void BuildElements(uint32_t creationFlags);
    // Destroys the element entities (last first); they may be built again.
    void DestroyElements();
    // The refresh hook of every element at every depth (lights re-post themselves).
    void RefreshElements();

    bool AreElementsBuilt() const { return m_elementsBuilt; }
    const HDRColor& GetLocalColor() const { return m_localColor; }
    const DynarraySafe<LightmapMapping>& GetLightmapMappings() const { return m_lightmapMappings; }
    const DynarraySafe<ShaderPresetElement>& GetShaderPresetMappings() const { return m_shaderPresetMappings; }
    // For tools and tests; an edit is announced through OnPropertyChanged.
    DynarraySafe<LightmapMapping>& EditLightmapMappings() { return m_lightmapMappings; }
    DynarraySafe<ShaderPresetElement>& EditShaderPresetMappings() { return m_shaderPresetMappings; }
    const CompoundTemplate* GetCompoundTemplate() const;

private:
    // A direct child made for a top-level element, and which element (by index) it was made for.
    struct ElementChild
    {
        Entity* entity;
        int32_t element;
    };

    void BuildLevel(const DynarraySafe<CompoundTemplateElement>& elements, Entity* parent, uint32_t creationFlags);
    void SetUpMeshElement(Entity* entity, const CompoundTemplateElement& element);
    // Index of the first mapping whose mesh name is `name` (any case), or -1.
    int32_t FindShaderPresetMapping(const NameString& name) const;
    // The shader preset mapped to the direct child `child`, by its element's name; false when none.
    bool FindPresetForChild(const Entity* child, NameString& preset) const;
    const CompoundTemplateElement* FindTopLevelElement(const Entity* child) const;
    // The union of the element children's boxes placed by their matrices; false when there is none.
    bool ComputeElementsBox(BoundingBox4& box) const;
    template <class TVisit>
    void ForEachElement(TVisit visit) const;

    void SetLocalBoxValue(const BoundingBox4& box) { SetLocalBoundingBox(box); }
    const BoundingBox4* GetLocalBoxValue() const { return &GetLocalBoundingBox(); }

    HDRColor m_localColor = HDRColor(255, 255, 255, 255, 1.0f);
    bool m_elementsBuilt = false;
    DynarraySafe<LightmapMapping> m_lightmapMappings;
    DynarraySafe<ShaderPresetElement> m_shaderPresetMappings;
    Dynarray<ElementChild> m_elementChildren;
};
