// SFXEmbeddedSfxElementDefinition: an effect element that plays another effect template at its
// place, after a start delay and restarting it at a fixed period. A nested effect may not itself
// hold embedded effects. Edited and resolved on the game thread.
#pragma once

#include "core/SimpleGUID.h"
#include "effects/sfx/SFXElementDefinition.h"

class SFXTemplate;

// An embedded effect element: which effect, when it starts and how often it restarts.
class SFXEmbeddedSfxElementDefinition : public SFXElementDefinition
{
    RTTI_DECLARE_CLASS(SFXEmbeddedSfxElementDefinition, SFXElementDefinition)

public:
    ~SFXEmbeddedSfxElementDefinition() override;

    void ResolveResources(bool load) override;
    // The nested effect's elements are what may wait for their templates: its passes follow theirs.
    bool IsTemplatePending() const override;
    void TakeLoadedTemplate() override;
    void ReleaseResources(uint32_t flag) override;
    void PreloadResources() override;
    void SetResourceFlags(uint32_t flags) override;
    bool IsNestedSfx() const override { return true; }
    SFXElementContext* CreateContext() const override;
    // The nested effect draws in the pass with the element's colour.
    void Draw(const Matrix& matrix, const Vector& color, SFXElementContext* context, uint32_t passMask,
              uint32_t extra, uint32_t passFlags) const override;

    const SimpleGUID& GetSFXTemplateGUID() const { return m_templateGUID; }
    void SetSFXTemplateGUID(const SimpleGUID& guid) { m_templateGUID = guid; }
    float GetStartDelay() const { return m_startDelay; }
    void SetStartDelay(float seconds) { m_startDelay = seconds; }
    float GetRestartAfter() const { return m_restartAfter; }
    void SetRestartAfter(float seconds) { m_restartAfter = seconds; }
    // The resolved effect template, or null.
    SFXTemplate* GetSFXTemplate() const;

private:
    // Pass bits and bytes: the base's and the nested definition's aggregates.
    void TakeNestedPasses();

    SimpleGUID m_templateGUID;
    float m_startDelay = 0.0f;   // seconds
    float m_restartAfter = 0.0f; // seconds
    EntityTemplate* m_template = nullptr;
};
