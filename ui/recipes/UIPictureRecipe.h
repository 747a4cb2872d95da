// UIPictureRecipe: the recipe of a picture (and, through the button kind, of buttons): its two
// textures with their clamping, its shader, the tile of the texture it shows with its mapping, its
// corner colours and the batch it draws through. Besides its stored values it holds references on
// the textures and shader pair it names, taken after a read and dropped before the next one, so
// that a built picture finds them loaded. Main thread only.
#pragma once

#include "core/math/HDRColor.h"
#include "core/strings/NameString.h"
#include "ui/recipes/UIElementRecipe.h"

#include <cstdint>

class Resource;

// Recipe of a UIPicture.
class UIPictureRecipe : public UIElementRecipe
{
    RTTI_DECLARE_CLASS(UIPictureRecipe, UIElementRecipe)

public:
    // Texture flags: always 1, then clamping in U and V.
    static constexpr uint32_t kTextureFlag = 0x1;
    static constexpr uint32_t kClampUFlag = 0x2;
    static constexpr uint32_t kClampVFlag = 0x4;
    // Read flag that makes the post-load hook load the shader on this thread instead of queueing it.
    static constexpr uint32_t kLoadInPlaceFlag = 0x4;

    UIPictureRecipe() = default;
    // Drops the resource references.
    ~UIPictureRecipe() override;

    const char* GetWidgetClassName() const override { return "UIPicture"; }
    UIElement* CreateWidget() const override;
    void ApplyToElement(UIElement* element, UIProperties& properties, uint32_t buildFlags) override;
    UIElementRecipe* CreateRecipe() const override { return new UIPictureRecipe; }

    // A read replaces the names: the references of the old ones go first, the new ones are asked
    // for after it (only for a recipe that builds: Disabled "No").
    void OnPreLoad(uint32_t flags) override;
    void OnPostLoad(uint32_t flags) override;
    // Loads every held resource and waits for it.
    void LoadResources() override;
    void ReleaseResources() override;
    void SetResourceFlags(uint32_t flags) override;

    // The names; the setters drop the reference of what they replace. The shader's name is kept
    // without its extension.
    void SetTexture(const NameString& name);
    void SetTexture2(const NameString& name);
    void SetShader(const NameString& name);
    const NameString* GetTextureAddress() const { return &m_texture; }
    const NameString* GetTexture2Address() const { return &m_texture2; }
    const NameString* GetShaderAddress() const { return &m_shader; }
    // The held references (null when none), textures 0 and 1, then the vertex and pixel shaders.
    Resource* GetHeldResource(uint32_t index) const { return index < kResourceCount ? m_resources[index] : nullptr; }

    bool m_clampU = true;
    bool m_clampV = true;
    uint32_t m_tileIndexX = 0;
    uint32_t m_tileIndexY = 0;
    uint32_t m_tileCountX = 1;
    uint32_t m_tileCountY = 1;
    float m_mappingScaleX = 1.0f;
    float m_mappingScaleY = 1.0f;
    float m_mappingOffsetX = 0.0f;
    float m_mappingOffsetY = 0.0f;
    // Corners (0,0), (1,0), (1,1), (0,1).
    HDRColor m_cornerColor0{255, 255, 255, 255};
    HDRColor m_cornerColor1{255, 255, 255, 255};
    HDRColor m_cornerColor2{255, 255, 255, 255};
    HDRColor m_cornerColor3{255, 255, 255, 255};
    int32_t m_renderGatheringChannel = 0;

private:
    enum HeldResource : uint32_t
    {
        HELD_TEXTURE,
        HELD_TEXTURE_2,
        HELD_VERTEX_SHADER,
        HELD_PIXEL_SHADER,
        kResourceCount
    };
    void Drop(uint32_t index);

    NameString m_texture;
    NameString m_texture2;
    NameString m_shader{"iPhoneUI"};
    Resource* m_resources[kResourceCount] = {};
};
