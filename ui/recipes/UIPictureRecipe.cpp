#include "ui/recipes/UIPictureRecipe.h"

#include "renderer/ShaderManager.h"
#include "renderer/resources/Resource.h"
#include "renderer/resources/ResourceManager.h"
#include "ui/elements/UIPicture.h"

#include <cstring>
#include <string>

RTTI_DEFINE_CLASS(UIPictureRecipe, UIElementRecipe)

namespace
{
// Editor flag of the names that pick a file from a folder (the folder is the description).
constexpr uint32_t kFilePickerFlag = 2048;

HDRColor UIPictureRecipe::* const kCorners[4] = {&UIPictureRecipe::m_cornerColor0, &UIPictureRecipe::m_cornerColor1,
                                                 &UIPictureRecipe::m_cornerColor2, &UIPictureRecipe::m_cornerColor3};
} // namespace

void UIPictureRecipe::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = UIPictureRecipe;
    table.AddProperty(new RTTISGProperty<C, NameString>("Texture", &C::SetTexture, &C::GetTextureAddress,
                                                        kFilePickerFlag, "Textures"));
    table.AddProperty(new RTTISGProperty<C, NameString>("Texture 2", &C::SetTexture2, &C::GetTexture2Address,
                                                        kFilePickerFlag, "Textures"));
    table.AddProperty(new RTTISGProperty<C, NameString>("Shader", &C::SetShader, &C::GetShaderAddress,
                                                        kFilePickerFlag, "Common\\Shaders"));
    table.AddProperty(new RTTIPropertyGroup("Tertiary", 1));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, bool>("Clamp U", &C::m_clampU));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, bool>("Clamp V", &C::m_clampV));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, uint32_t>("Tile index X", &C::m_tileIndexX));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, uint32_t>("Tile index Y", &C::m_tileIndexY));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, uint32_t>("Tile count X", &C::m_tileCountX));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, uint32_t>("Tile count Y", &C::m_tileCountY));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, float>("Mapping scale X", &C::m_mappingScaleX));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, float>("Mapping scale Y", &C::m_mappingScaleY));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, float>("Mapping offset X", &C::m_mappingOffsetX));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, float>("Mapping offset Y", &C::m_mappingOffsetY));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, HDRColor>("CornerColor0", &C::m_cornerColor0));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, HDRColor>("CornerColor1", &C::m_cornerColor1));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, HDRColor>("CornerColor2", &C::m_cornerColor2));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, HDRColor>("CornerColor3", &C::m_cornerColor3));
    table.AddProperty(
        new RTTIDirectAccessTypedProperty<C, int32_t>("Render gathering channel", &C::m_renderGatheringChannel));
}

UIPictureRecipe::~UIPictureRecipe()
{
    ReleaseResources();
}

UIElement* UIPictureRecipe::CreateWidget() const
{
    return new UIPicture;
}

void UIPictureRecipe::ApplyToElement(UIElement* element, UIProperties& properties, uint32_t buildFlags)
{
    UIElementRecipe::ApplyToElement(element, properties, buildFlags);
    UIPicture* const picture = dynamic_cast<UIPicture*>(element);
    if (picture == nullptr)
        return;
    const uint32_t textureFlags = kTextureFlag | (m_clampU ? kClampUFlag : 0) | (m_clampV ? kClampVFlag : 0);
    picture->SetTexture(m_texture.CStr(), 0, textureFlags);
    picture->SetTexture(m_texture2.CStr(), 1, textureFlags);
    if (!m_shader.IsEmpty())
        picture->SetShader(m_shader.CStr(), "", m_renderGatheringChannel, false);
    picture->SetTextureTile(m_tileIndexX, m_tileIndexY, m_tileCountX, m_tileCountY,
                            Vector(m_mappingScaleX, m_mappingScaleY, 1.0f, 1.0f),
                            Vector(m_mappingOffsetX, m_mappingOffsetY, 0.0f, 0.0f));
    Vector corners[4];
    for (uint32_t i = 0; i < 4; ++i)
        (this->*kCorners[i]).ToLinearVector(corners[i]);
    picture->SetCornerColors(corners);
}

void UIPictureRecipe::Drop(uint32_t index)
{
    if (m_resources[index] != nullptr)
        m_resources[index]->Release();
    m_resources[index] = nullptr;
}

void UIPictureRecipe::SetTexture(const NameString& name)
{
    Drop(HELD_TEXTURE);
    m_texture = name;
}

void UIPictureRecipe::SetTexture2(const NameString& name)
{
    Drop(HELD_TEXTURE_2);
    m_texture2 = name;
}

void UIPictureRecipe::SetShader(const NameString& name)
{
    Drop(HELD_VERTEX_SHADER);
    Drop(HELD_PIXEL_SHADER);
    // Shaders are named by family: a file extension is not part of the name.
    const char* const text = name.CStr();
    const char* const dot = std::strrchr(text, '.');
    m_shader = dot != nullptr ? NameString(std::string(text, size_t(dot - text)).c_str()) : name;
}

void UIPictureRecipe::OnPreLoad(uint32_t flags)
{
    UIElementRecipe::OnPreLoad(flags);
    ReleaseResources();
}

void UIPictureRecipe::OnPostLoad(uint32_t flags)
{
    UIElementRecipe::OnPostLoad(flags);
    if (m_disabled != DISABLED_NO || gResourceManager == nullptr)
        return;
    m_resources[HELD_TEXTURE] = gResourceManager->GetResource(RESOURCE_TYPE_TEXTURE, m_texture.CStr(), 0, true, 0);
    m_resources[HELD_TEXTURE_2] = gResourceManager->GetResource(RESOURCE_TYPE_TEXTURE, m_texture2.CStr(), 0, true, 0);
    if (!m_shader.IsEmpty() && gShaderManager.IsInitialised())
        gShaderManager.GetShader(m_shader.CStr(), "", &m_resources[HELD_VERTEX_SHADER],
                                 &m_resources[HELD_PIXEL_SHADER], (flags & kLoadInPlaceFlag) != 0 ? 0 : 1, false, 0);
}

void UIPictureRecipe::LoadResources()
{
    for (Resource* resource : m_resources)
        if (resource != nullptr)
            resource->Load(true);
}

void UIPictureRecipe::ReleaseResources()
{
    for (uint32_t i = 0; i < kResourceCount; ++i)
        Drop(i);
}

void UIPictureRecipe::SetResourceFlags(uint32_t flags)
{
    if (gResourceManager == nullptr)
        return;
    for (Resource* resource : m_resources)
        gResourceManager->SetResourceFlags(resource, flags);
}
