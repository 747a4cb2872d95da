#include "scene/kinds/GraphTemplate.h"

#include "renderer/resources/ResourceManager.h"
#include "renderer/resources/ResourceTexture.h"
#include "scene/kinds/GraphEntity.h"

namespace
{
const char* const kBlendModeNames[] = {"None",     "Alpha",    "Add", "Add+Alpha", "Inv alpha",
                                       "Subtract", "Modulate", nullptr};
// A file name property whose editor browses the "Textures" folder.
constexpr uint32_t kFileNameFlags = 0x800;
constexpr const char* kShaderFamily = "Graph";
} // namespace

RTTI_DEFINE_CLASS(GraphTemplate, EntityTemplate)

void GraphTemplate::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = GraphTemplate;
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, NameString>("Node template", &C::m_nodeTemplate));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, float>("Width", &C::m_width));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, NameString>("Texture", &C::m_textureName, kFileNameFlags));
    table.AddProperty(
        new RTTIDirectAccessTypedProperty<C, uint32_t>("Blend mode", &C::m_blendMode, RTTI_PROPERTY_ENUMERATION))
        ->SetEnumerationNames(kBlendModeNames);
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, float>("Mappnig size", &C::m_mappingSize));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, bool>("Cut off nasty ends", &C::m_cutOffNastyEnds));
}

GraphTemplate::GraphTemplate()
{
    SetTypeId(kTypeId);
    SetWireframeColor(HDRColor(58, 179, 214, 255, 1.0f));
}

GraphTemplate::~GraphTemplate()
{
    ReleaseResources();
}

Entity* GraphTemplate::CreateEntity()
{
    return new GraphEntity;
}

void GraphTemplate::OnPropertyChanged(const RTTIProperty* property)
{
    FetchResources(false);
    EntityTemplate::OnPropertyChanged(property);
}

void GraphTemplate::OnUnload()
{
    ReleaseResources();
}

bool GraphTemplate::DoLoad()
{
    if (!EntityTemplate::DoLoad())
        return false;
    FetchResources(true);
    return true;
}

void GraphTemplate::ReleaseResources()
{
    if (m_texture != nullptr)
        m_texture->Release();
    m_texture = nullptr;
    for (ShaderPair& pair : m_shaders)
        pair.Release();
}

void GraphTemplate::FetchResources(bool load)
{
    ReleaseResources();
    const bool textured = !m_textureName.IsEmpty();
    if (textured && gResourceManager != nullptr)
    {
        Resource* const resource =
            gResourceManager->GetResource(RESOURCE_TYPE_TEXTURE, m_textureName.CStr(), 0, true, 0);
        m_texture = dynamic_cast<ResourceTexture*>(resource);
        if (m_texture == nullptr && resource != nullptr)
            resource->Release();
        if (m_texture != nullptr)
        {
            if (load)
                m_texture->Load(true);
            else
                m_texture->RequestLoad();
        }
    }
    m_shaders[SHADER_STRIPS].Load(kShaderFamily, textured ? "TEXTURE" : "", 0);
    m_shaders[SHADER_CURVES].Load(kShaderFamily, textured ? "TEXTURE CATMULL_ROM" : "CATMULL_ROM", 0);
    m_shaders[SHADER_ARROWS].Load(kShaderFamily, "ARROW", 0);
}
