// SFXMeshElementDefinition: an effect element that draws a mesh template with a shader preset,
// optionally posed by one of its animations whose progress an envelope drives. Edited and resolved
// on the game thread; drawn on the render thread.
#pragma once

#include "core/SimpleGUID.h"
#include "core/math/BoundingBox4.h"
#include "core/strings/NameString.h"
#include "effects/sfx/SFXElementDefinition.h"

class MeshTemplate;

// A mesh element: the mesh, its preset and the animation it plays.
class SFXMeshElementDefinition : public SFXElementDefinition
{
    RTTI_DECLARE_CLASS(SFXMeshElementDefinition, SFXElementDefinition)

public:
    // The progress envelope's playback state in the element context.
    static constexpr uint32_t STATE_PROGRESS = BASE_STATE_COUNT;

    SFXMeshElementDefinition();
    ~SFXMeshElementDefinition() override;

    void ResolveResources(bool load) override;
    void ReleaseResources(uint32_t flag) override;
    void SetResourceFlags(uint32_t flags) override;
    bool IsDrawnInFilteredPass() const override { return true; }
    EntityTemplate* GetResource() const override;
    // The mesh's box and pass bits again, after its template changed.
    void RefreshResource() override;
    // Waits for the mesh template's body, then takes its preset, box and pass bits.
    void TakeLoadedTemplate() override;
    bool TakesArrivedTemplates() const override { return true; }
    bool HasTemplateArrived() const override;
    void TakeArrivedTemplate(SFXElementDrawData& drawn) override;
    // Also the box and the preset index.
    void InstallDrawData(const SFXElementDrawData& drawn) override;
    SFXElementContext* CreateContext() const override;
    // The mesh with the element's colour, box, preset and pose, mirrored when the matrix mirrors.
    void Draw(const Matrix& matrix, const Vector& color, SFXElementContext* context, uint32_t passMask,
              uint32_t extra, uint32_t passFlags) const override;
    // The mesh's depth pass and channel pass with the element's preset and pose.
    void DrawDepth(const Matrix& matrix, SFXElementContext* context) const override;
    bool DrawChannel(const Matrix& matrix, SFXElementContext* context) const override;
    // The channel mask of the element's preset.
    uint32_t GetChannelMask(const SFXElementContext* context) const override;

    const SimpleGUID& GetMeshTemplateGUID() const { return m_meshTemplateGUID; }
    void SetMeshTemplateGUID(const SimpleGUID& guid) { m_meshTemplateGUID = guid; }
    const NameString& GetShaderPreset() const { return m_shaderPreset; }
    const NameString& GetAnimation() const { return m_animation; }
    const NameString& GetPreset() const { return m_preset; }
    const TEnvelope<Vector>& GetAnimationProgress() const { return m_animationProgress; }
    // Resolved data.
    MeshTemplate* GetMeshTemplate() const;
    // Game thread: the resolved template with its body in (`WaitForSFXElementTemplate`), or null.
    const MeshTemplate* WaitForMeshTemplate() const;
    const BoundingBox4& GetBox() const { return m_box; }
    uint32_t GetPresetIndex() const { return m_presetIndex; }

private:
    // The preset index, box and passes of the template held, installed.
    void TakeMesh();
    // The same into `drawn`, without installing.
    void FillMeshData(SFXElementDrawData& drawn) const;

    SimpleGUID m_meshTemplateGUID;
    NameString m_shaderPreset;
    NameString m_animation;
    NameString m_preset;
    TEnvelope<Vector> m_animationProgress;

    EntityTemplate* m_template = nullptr;
    BoundingBox4 m_box;
    uint32_t m_presetIndex = 0;
};
