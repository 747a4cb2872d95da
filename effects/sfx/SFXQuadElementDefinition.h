// SFXQuadElementDefinition: the textured quad of an effect, optionally playing a frame atlas along a
// curve or at random, blended, alpha tested, with a refraction variant and a screen-space lens-flare
// placement. Edited and resolved on the game thread; drawn on the render thread.
#pragma once

#include "core/math/Vector.h"
#include "core/strings/NameString.h"
#include "effects/sfx/SFXElementDefinition.h"

#include <cstdint>

class Resource;
class TextureHolder;

// A quad element: its texture, atlas and how it blends.
class SFXQuadElementDefinition : public SFXElementDefinition
{
    RTTI_DECLARE_CLASS(SFXQuadElementDefinition, SFXElementDefinition)

public:
    // The frame curve's playback state in the element context.
    static constexpr uint32_t STATE_FRAME_CURVE = BASE_STATE_COUNT;

    SFXQuadElementDefinition();
    ~SFXQuadElementDefinition() override;

    void ResolveResources(bool load) override;
    void ReleaseResources(uint32_t flag) override;
    void SetResourceFlags(uint32_t flags) override;
    SFXElementContext* CreateContext() const override;
    void Draw(const Matrix& matrix, const Vector& color, SFXElementContext* context, uint32_t passMask,
              uint32_t extra, uint32_t passFlags) const override;

    // The lens flare's alpha factor at screen distance `distance` (the larger of |x| and |y| in
    // clip space) from the centre, for a flare distance: fading towards the edges, and for flares
    // mirrored through the centre also near it.
    static float ComputeFlareFade(float distance, float flareDistance);
    // The lens flare's model matrix (clip space) from the element's matrix; false when the screen
    // size gives none.
    bool PlaceLensFlare(const Matrix& matrix, const Matrix& viewProjection, uint32_t backBufferWidth,
                        uint32_t backBufferHeight, Matrix& model, float& fade) const;

    // Atlas columns and rows; either setter recomputes the frame scale.
    void SetTextureFramesX(const uint32_t& frames);
    void SetTextureFramesY(const uint32_t& frames);
    uint32_t GetTextureFramesX() const { return m_framesX; }
    uint32_t GetTextureFramesY() const { return m_framesY; }
    // max(1, X x Y).
    uint32_t GetFrameCount() const { return m_frameCount; }
    // (1/X, 1/Y, 1/X, 1/Y).
    const Vector& GetFrameScale() const { return m_frameScale; }

    const NameString& GetTextureFileName() const { return m_textureFileName; }
    float GetRandomFrameTimeout() const { return m_randomFrameTimeout; }
    const TEnvelope<Vector>& GetFrameCurve() const { return m_frameCurve; }
    TEnvelope<Vector>& EditFrameCurve() { return m_frameCurve; }
    uint32_t GetBlendingMode() const { return m_blendingMode; }
    uint32_t GetAlphaTestMode() const { return m_alphaTestMode; }
    float GetAlphaReference() const { return m_alphaReference; }
    float GetRefractionPower() const { return m_refractionPower; }
    float GetRefractionGranularity() const { return m_refractionGranularity; }
    uint32_t GetRefractionLevel() const { return m_refractionLevel; }
    const Vector& GetUVCenter() const { return m_uvCenter; }
    bool HasSoftness() const { return m_softness; }
    bool IsTwoSided() const { return m_twoSided; }
    bool IsDepthRead() const { return m_depthRead; }
    bool IsLensFlare() const { return m_lensFlare; }
    float GetFlareDistance() const { return m_flareDistance; }

    // Resolved resources (null when missing).
    Resource* GetTextureResource() const { return m_texture; }
    TextureHolder* GetTextureHandle() const { return m_textureHandle; }
    Resource* GetVertexShaderResource() const { return m_vertexShader; }
    Resource* GetPixelShaderResource() const { return m_pixelShader; }
    Resource* GetRefractionPixelShaderResource() const { return m_refractionPixelShader; }

private:
    const uint32_t* GetFramesXAddress() const { return &m_framesX; }
    const uint32_t* GetFramesYAddress() const { return &m_framesY; }
    void UpdateFrameScale();
    void ReleaseTexture();
    void ReleaseShaders();

    NameString m_textureFileName;
    uint32_t m_framesX = 1;
    uint32_t m_framesY = 1;
    float m_randomFrameTimeout = 0.0f; // seconds
    TEnvelope<Vector> m_frameCurve;
    uint32_t m_blendingMode = 3;
    uint32_t m_alphaTestMode = 1;
    float m_alphaReference = 0.01f;
    float m_refractionPower = 0.0f;
    float m_refractionGranularity = 1.0f;
    uint32_t m_refractionLevel = 2;
    Vector m_uvCenter;
    bool m_softness = false;
    bool m_twoSided = true;
    bool m_depthRead = true;
    bool m_lensFlare = false;
    float m_flareDistance = 0.0f;

    uint32_t m_frameCount = 1;
    Vector m_frameScale;
    Resource* m_texture = nullptr;
    TextureHolder* m_textureHandle = nullptr;
    Resource* m_vertexShader = nullptr;
    Resource* m_pixelShader = nullptr;
    Resource* m_refractionPixelShader = nullptr;
};
