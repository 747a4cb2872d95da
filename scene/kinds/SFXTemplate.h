// SFXTemplate: the template (type 7) that owns one SFXDefinition, a composite effect. Its record is
// the template's own followed directly by the definition's. Tools preview the effect through an
// SFXContext. Main thread; the resource thread reads the record; the render thread reads the
// definition while effects play, so the definition dies only after the render thread is done.
#pragma once

#include "scene/templates/EntityTemplate.h"

#include <cstdint>

class SFXDefinition;

// Template of effect entities.
class SFXTemplate : public EntityTemplate
{
    RTTI_DECLARE_CLASS(SFXTemplate, EntityTemplate)

public:
    static constexpr uint32_t kTypeId = 7;

    SFXTemplate();
    ~SFXTemplate() override;
    SFXTemplate(const SFXTemplate&) = delete;
    SFXTemplate& operator=(const SFXTemplate&) = delete;

    const char* GetTemplateClassName() const override { return "SFXTemplate"; }
    Entity* CreateEntity() override;
    const char* GetEntityClassName() const override { return "SFXEntity"; }
    void InvalidateSafePointers() override;
    // The template's record, then the definition's; the sum of both (a null buffer only counts).
    size_t SerializeToMemory(uint8_t* buffer, size_t capacity, uint32_t flags) override;
    // Reads both records; false, with nothing of the definition read, when either is not whole.
    bool DeserializeFromMemory(const uint8_t* buffer, size_t size, uint32_t flags, size_t* consumed = nullptr) override;
    void DeleteUnflaggedResources() override;
    void PrepareDependencies() override;
    void SetResourceFlags(uint32_t flags) override;
    void OnUnload() override;
    bool ReadsBody() const override { return false; }
    EntityTemplatePreview* CreatePreviewInstance() override;
    void DestroyPreviewInstance(EntityTemplatePreview* instance) override;
    bool DrawPreview(const Matrix& matrix, const HDRColor& color, EntityTemplatePreview* instance) override;

    SFXDefinition& GetDefinition() { return *m_definition; }
    const SFXDefinition& GetDefinition() const { return *m_definition; }
    uint8_t GetActivityTimer() const { return m_activityTimer; }
    float GetActivationDelay() const { return m_activationDelay; }
    bool IsOffscreenProcessing() const { return m_offscreenProcessing; }
    bool IsConstantBoundsUpdateEnabled() const { return m_constantBoundsUpdate; }
    bool UsesSFXColorMultiplier() const { return m_useSFXColorMultiplier; }

private:
    uint8_t m_activityTimer = 0;
    bool m_offscreenProcessing = false;
    float m_activationDelay = 0.0f;
    bool m_constantBoundsUpdate = false;
    bool m_useSFXColorMultiplier = true;
    SFXDefinition* m_definition;
};

// The bounds every preview instance is drawn with.
extern const BoundingBox4 kTemplatePreviewBounds;
