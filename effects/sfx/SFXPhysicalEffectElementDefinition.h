// SFXPhysicalEffectElementDefinition: an effect element that emits the rigid pieces of a physical
// effect template, their spawn rate scaled by an envelope. The pieces belong to the physics world;
// the element sets only their multipliers and spawn rate. Edited and resolved on the game thread.
#pragma once

#include "core/SimpleGUID.h"
#include "core/strings/NameString.h"
#include "effects/sfx/SFXElementDefinition.h"

class MeshTemplate;
class PhysicalEffectTemplate;

// A physical effect element: the template, the preset of its mesh pieces and the spawn envelope.
class SFXPhysicalEffectElementDefinition : public SFXElementDefinition
{
    RTTI_DECLARE_CLASS(SFXPhysicalEffectElementDefinition, SFXElementDefinition)

public:
    // The spawn envelope's playback state in the element context.
    static constexpr uint32_t STATE_SPAWN = BASE_STATE_COUNT;

    SFXPhysicalEffectElementDefinition();
    ~SFXPhysicalEffectElementDefinition() override;

    void ResolveResources(bool load) override;
    // Waits for the effect template's body, then takes its custom mesh (waited for), preset and
    // passes.
    void TakeLoadedTemplate() override;
    // Once the effect template is in, its custom mesh is taken (and requested); once that is in too,
    // its passes.
    bool TakesArrivedTemplates() const override { return true; }
    bool HasTemplateArrived() const override;
    void TakeArrivedTemplate(SFXElementDrawData& drawn) override;
    void ReleaseResources(uint32_t flag) override;
    void SetResourceFlags(uint32_t flags) override;
    // The element's physical effect (made only while the physics world runs); it draws nothing.
    SFXElementContext* CreateContext() const override;

    const SimpleGUID& GetPhysicalEffectTemplateGUID() const { return m_templateGUID; }
    void SetPhysicalEffectTemplateGUID(const SimpleGUID& guid) { m_templateGUID = guid; }
    const NameString& GetShaderPreset() const { return m_shaderPreset; }
    const TEnvelope<Vector>& GetSpawnRateMultiplier() const { return m_spawnRateMultiplier; }
    TEnvelope<Vector>& EditSpawnRateMultiplier() { return m_spawnRateMultiplier; }
    // Resolved data: the template, the mesh of a custom-mesh effect and its preset index.
    PhysicalEffectTemplate* GetPhysicalEffectTemplate() const;
    MeshTemplate* GetMeshTemplate() const;
    uint32_t GetPresetIndex() const { return m_presetIndex; }

private:
    void ReleaseTemplates();
    // The custom mesh of the effect template held (taken with `load`) and its preset; returns the
    // passes it gives.
    uint32_t TakeMesh(bool load);

    SimpleGUID m_templateGUID;
    NameString m_shaderPreset;
    TEnvelope<Vector> m_spawnRateMultiplier;

    EntityTemplate* m_template = nullptr;
    EntityTemplate* m_mesh = nullptr;
    uint32_t m_presetIndex = 0;
};
