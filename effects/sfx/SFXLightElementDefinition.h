// The light elements of an effect: a point light and a spot light whose inner and outer radius an
// envelope drives and whose colour is the element's colour, optionally masked by a texture. Edited
// and resolved on the game thread; their lights join the frame on the render thread.
#pragma once

#include "core/strings/NameString.h"
#include "effects/sfx/SFXElementDefinition.h"

class Resource;
class TextureHolder;

// What both light kinds share; each kind lists its properties in its own order.
class SFXLightElementBase : public SFXElementDefinition
{
public:
    // The range envelope's playback state in the element context.
    static constexpr uint32_t STATE_RANGE = BASE_STATE_COUNT;
    // Lights take part in the light pass only.
    static constexpr uint32_t kLightPassBits = 2;

    SFXLightElementBase();
    ~SFXLightElementBase() override;

    void ResolveResources(bool load) override;
    void ReleaseResources(uint32_t flag) override;
    void SetResourceFlags(uint32_t flags) override;
    SFXElementContext* CreateContext() const override;
    // Only in the light pass (pass mask 2): the light, its colour times the element's alpha, joins
    // the frame's lights.
    void Draw(const Matrix& matrix, const Vector& color, SFXElementContext* context, uint32_t passMask,
              uint32_t extra, uint32_t passFlags) const override;
    virtual bool IsSpot() const = 0;

    const TEnvelope<Vector>& GetRange() const { return m_range; }
    TEnvelope<Vector>& EditRange() { return m_range; }
    const NameString& GetMaskTexture() const { return m_maskTexture; }
    bool DrawsWireframe() const { return m_drawWireframe; }
    float GetSpotWidth() const { return m_spotWidth; }
    float GetSpotSoftness() const { return m_spotSoftness; }
    Resource* GetMaskResource() const { return m_mask; }
    TextureHolder* GetMaskHandle() const { return m_maskHandle; }

protected:
    void ReleaseMask();

    TEnvelope<Vector> m_range;
    NameString m_maskTexture;
    bool m_drawWireframe = false;
    float m_spotWidth = 30.0f; // degrees
    float m_spotSoftness = 1.0f;
    Resource* m_mask = nullptr;
    TextureHolder* m_maskHandle = nullptr;
};

// A point light element.
class SFXPointLightElementDefinition : public SFXLightElementBase
{
    RTTI_DECLARE_CLASS(SFXPointLightElementDefinition, SFXElementDefinition)

public:
    bool IsSpot() const override { return false; }
};

// A spot light element: the point light's values and the cone's width and softness.
class SFXSpotLightElementDefinition : public SFXLightElementBase
{
    RTTI_DECLARE_CLASS(SFXSpotLightElementDefinition, SFXElementDefinition)

public:
    bool IsSpot() const override { return true; }
};
