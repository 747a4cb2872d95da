#include "effects/particles/ParticleSystem.h"

#include "core/console/GameConsole.h"
#include "core/reflection/RTTIObjectProperties.h"
#include "core/reflection/RTTITypedProperty.h"
#include "platform/os/Sync.h"
#include "renderer/NorvexRenderer.h"
#include "renderer/ShaderManager.h"
#include "renderer/resources/Resource.h"
#include "renderer/resources/ResourceManager.h"
#include "scene/entities/EntityConstants.h"
#include "scene/templates/EntityTemplate.h"
#include "scene/templates/TemplateManager.h"

RTTI_DEFINE_CLASS(ParticleSystem, RTTIPolyBaseClass)

namespace
{
// Property flags the editors read: vectors shown as three values, a texture path in "Textures", a
// template reference.
constexpr uint32_t kVectorFlag = 64;
constexpr uint32_t kTexturePathFlag = 2048;
constexpr uint32_t kTemplateReferenceFlag = 4096;

const char* const kFaceCameraNames[] = {"Local X",      "Local Y",        "Local Z", "Face camera",
                                        "Velocity align", "Velocity normal", nullptr};
const char* const kAnimationNames[] = {"Random frame", "Cycle", "Cycle with blend", nullptr};
const char* const kBlendingNames[] = {"None",     "Alpha",        "Add",          "Add+Alpha", "Inv alpha",
                                      "Subtract", "Modulate",     "Modulate inv", "Min",       nullptr};
const char* const kAlphaTestNames[] = {"None", "Greater", "Less", nullptr};
const char* const kSortNames[] = {"None", "Reverse", nullptr};

struct SystemList
{
    os::CriticalSection lock;
    ParticleSystem* first = nullptr;
    ParticleSystem* last = nullptr;
    uint32_t count = 0;
};

SystemList& List()
{
    static SystemList list;
    return list;
}

uint32_t CurrentQualityLevel()
{
    return gRenderer != nullptr ? gRenderer->GetGFXQualityLevel() : 3u;
}
} // namespace

void ParticleSystem::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = ParticleSystem;
    auto add = [&table](RTTIProperty* property) { return table.AddProperty(property); };
    auto enumeration = [&table](const char* name, uint32_t C::*member, const char* const* names, uint32_t flags) {
        table.AddProperty(new RTTIDirectAccessTypedProperty<C, uint32_t>(name, member, RTTI_PROPERTY_ENUMERATION | flags))
            ->SetEnumerationNames(names);
    };

    add(new RTTIPropertyGroup("Basic parameters"));
    add(new RTTIDirectAccessTypedProperty<C, bool>("Local space", &C::m_localSpace));
    add(new RTTIDirectAccessTypedProperty<C, float>("Life time", &C::m_lifeTime));
    add(new RTTIDirectAccessTypedProperty<C, float>("Life time variable", &C::m_lifeTimeVariation));
    add(new RTTIDirectAccessTypedProperty<C, float>("Spawn rate", &C::m_spawnRate));
    add(new RTTIDirectAccessTypedProperty<C, bool>("No spawn rate reduction", &C::m_noSpawnRateReduction));
    add(new RTTIDirectAccessTypedProperty<C, Vector>("Emitter size", &C::m_emitterSize, kVectorFlag));
    add(new RTTIDirectAccessTypedProperty<C, Vector>("Initial velocity", &C::m_initialVelocity, kVectorFlag));
    add(new RTTIDirectAccessTypedProperty<C, Vector>("Initial velocity var", &C::m_initialVelocityVariation,
                                                     kVectorFlag));
    add(new RTTIDirectAccessTypedProperty<C, Vector>("Global gravity", &C::m_globalGravity, kVectorFlag));
    add(new RTTIDirectAccessTypedProperty<C, Vector>("Local gravity", &C::m_localGravity, kVectorFlag));
    add(new RTTIDirectAccessTypedProperty<C, float>("Velocity damping", &C::m_velocityDamping));

    add(new RTTIPropertyGroup("Circle velocity"));
    add(new RTTIDirectAccessTypedProperty<C, bool>("Circle velocity enabled", &C::m_circleVelocity));
    add(new RTTIDirectAccessTypedProperty<C, float>("Circle velocity yaw range", &C::m_circleYawRange));
    add(new RTTIDirectAccessTypedProperty<C, float>("Circle velocity pitch range", &C::m_circlePitchRange));
    add(new RTTIDirectAccessTypedProperty<C, float>("Circle velocity const", &C::m_circleSpeed));
    add(new RTTIDirectAccessTypedProperty<C, float>("Circle velocity var", &C::m_circleSpeedVariation));

    add(new RTTIPropertyGroup("Shape parameters"));
    enumeration("Face camera mode", &C::m_faceCameraMode, kFaceCameraNames, 0);
    add(new RTTIDirectAccessTypedProperty<C, Vector>("Anchor", &C::m_anchor));
    add(new RTTIDirectAccessTypedProperty<C, Vector>("Shape", &C::m_shape));

    add(new RTTIPropertyGroup("Rotation parameters"));
    add(new RTTIDirectAccessTypedProperty<C, bool>("Random rotation at start", &C::m_randomRotationAtStart));
    add(new RTTIDirectAccessTypedProperty<C, float>("Rotation speed", &C::m_rotationSpeed));
    add(new RTTIDirectAccessTypedProperty<C, float>("Rotation speed var", &C::m_rotationSpeedVariation));
    add(new RTTIDirectAccessTypedProperty<C, float>("Secondary rotation speed", &C::m_secondaryRotationSpeed));
    add(new RTTIDirectAccessTypedProperty<C, float>("Secondary rotation speed var",
                                                    &C::m_secondaryRotationSpeedVariation));

    add(new RTTIPropertyGroup("Texture parameters"));
    add(new RTTIDirectAccessTypedProperty<C, NameString>("Texture file name", &C::m_textureFileName, kTexturePathFlag,
                                                         "Textures"));
    add(new RTTIDirectAccessTypedProperty<C, uint32_t>("Texture frames X", &C::m_textureFramesX));
    add(new RTTIDirectAccessTypedProperty<C, uint32_t>("Texture frames Y", &C::m_textureFramesY));
    enumeration("Animation mode", &C::m_animationMode, kAnimationNames, 0);
    add(new RTTIDirectAccessTypedProperty<C, float>("Desaturation factor", &C::m_desaturation));

    add(new RTTIPropertyGroup("Mesh parameters"));
    add(new RTTIDirectAccessTypedProperty<C, SimpleGUID>("Mesh template", &C::m_meshTemplate, kTemplateReferenceFlag));
    add(new RTTIDirectAccessTypedProperty<C, NameString>("Shader preset", &C::m_shaderPreset));

    add(new RTTIPropertyGroup("Color and size"));
    enumeration("Blending mode", &C::m_blendingMode, kBlendingNames, 0);
    enumeration("Alpha test mode", &C::m_alphaTestMode, kAlphaTestNames, 0);
    enumeration("Sort mode", &C::m_sortMode, kSortNames, 0);
    add(new RTTIDirectAccessTypedProperty<C, float>("Alpha reference value", &C::m_alphaReference));
    add(new RTTIDirectAccessTypedProperty<C, bool>("Z buffer read", &C::m_depthRead));
    add(new RTTIDirectAccessTypedProperty<C, bool>("Z buffer write", &C::m_depthWrite));
    add(new RTTIDirectAccessTypedProperty<C, bool>("Softness", &C::m_softness));
    add(new RTTIDirectAccessTypedProperty<C, bool>("Fog", &C::m_fog));
    add(new RTTIPropertySeparator("Node 0"));
    add(new RTTIDirectAccessTypedProperty<C, float>("Node 0 size", &C::m_nodeSize0));
    add(new RTTIDirectAccessTypedProperty<C, HDRColor>("Node 0 color", &C::m_nodeColor0));
    add(new RTTIPropertySeparator("Node 1"));
    add(new RTTIDirectAccessTypedProperty<C, float>("Node 1 time", &C::m_nodeTime1));
    add(new RTTIDirectAccessTypedProperty<C, float>("Node 1 size", &C::m_nodeSize1));
    add(new RTTIDirectAccessTypedProperty<C, HDRColor>("Node 1 color", &C::m_nodeColor1));
    add(new RTTIPropertySeparator("Node 2"));
    add(new RTTIDirectAccessTypedProperty<C, float>("Node 2 time", &C::m_nodeTime2));
    add(new RTTIDirectAccessTypedProperty<C, float>("Node 2 size", &C::m_nodeSize2));
    add(new RTTIDirectAccessTypedProperty<C, HDRColor>("Node 2 color", &C::m_nodeColor2));
    add(new RTTIPropertySeparator("Node 3"));
    add(new RTTIDirectAccessTypedProperty<C, float>("Node 3 size", &C::m_nodeSize3));
    add(new RTTIDirectAccessTypedProperty<C, HDRColor>("Node 3 color", &C::m_nodeColor3));

    add(new RTTIPropertyGroup("Physics"));
    add(new RTTIDirectAccessTypedProperty<C, float>("Bounce strength", &C::m_bounceStrength));
    add(new RTTIDirectAccessTypedProperty<C, bool>("Fake terrain collision", &C::m_fakeTerrainCollision));

    add(new RTTIPropertyGroup("iPhone specific"));
    add(new RTTIDirectAccessTypedProperty<C, bool>("High precision mode", &C::m_highPrecision));
}

ParticleSystem::ParticleSystem()
    : m_nodeColor0(255, 255, 255, 0), m_nodeColor1(255, 255, 255, 255), m_nodeColor2(255, 255, 255, 255),
      m_nodeColor3(255, 255, 255, 0), m_nodeSize0(0.0f), m_nodeSize1(0.1f), m_nodeSize2(0.1f), m_nodeSize3(0.1f),
      m_nodeTime0(0.0f), m_nodeTime1(0.1f), m_nodeTime2(0.9f), m_nodeTime3(1.0f), m_anchor(0.5f, 0.5f, 0.0f, 0.0f),
      m_shape(1.0f, 1.0f, 0.0f, 0.0f), m_initialVelocity(0.0f, 1.0f, 0.0f, 0.0f),
      m_initialVelocityVariation(0.1f, 0.1f, 0.1f, 0.0f), m_textureFileName("SFX/glow.dds")
{
    SystemList& list = List();
    os::ScopedLock lock(list.lock);
    m_previous = list.last;
    if (list.last != nullptr)
        list.last->m_next = this;
    else
        list.first = this;
    list.last = this;
    ++list.count;
}

ParticleSystem::~ParticleSystem()
{
    ReleaseShader();
    SystemList& list = List();
    os::ScopedLock lock(list.lock);
    (m_previous != nullptr ? m_previous->m_next : list.first) = m_next;
    (m_next != nullptr ? m_next->m_previous : list.last) = m_previous;
    --list.count;
}

const HDRColor& ParticleSystem::GetNodeColor(uint32_t node) const
{
    const HDRColor* const colors[] = {&m_nodeColor0, &m_nodeColor1, &m_nodeColor2, &m_nodeColor3};
    return *colors[node & 3];
}

float ParticleSystem::GetNodeSize(uint32_t node) const
{
    const float sizes[] = {m_nodeSize0, m_nodeSize1, m_nodeSize2, m_nodeSize3};
    return sizes[node & 3];
}

float ParticleSystem::GetNodeTime(uint32_t node) const
{
    const float times[] = {m_nodeTime0, m_nodeTime1, m_nodeTime2, m_nodeTime3};
    return times[node & 3];
}

uint32_t ParticleSystem::GetLiveSystemCount()
{
    SystemList& list = List();
    os::ScopedLock lock(list.lock);
    return list.count;
}

void ParticleSystem::ReleaseShader()
{
    Resource* const resources[] = {m_vertexShader, m_pixelShader, m_texture};
    for (Resource* resource : resources)
        if (resource != nullptr)
            resource->Release();
    if (m_meshTemplateObject != nullptr)
        m_meshTemplateObject->Release();
    m_vertexShader = nullptr;
    m_pixelShader = nullptr;
    m_texture = nullptr;
    m_meshTemplateObject = nullptr;
}

std::string ParticleSystem::BuildShaderOptions(uint32_t qualityLevel) const
{
    std::string options;
    if (m_textureFramesX > 1 || m_textureFramesY > 1)
    {
        options += "TEXTURE_ANIMATION ";
        if (m_animationMode == ANIMATION_CYCLE_WITH_BLEND)
            options += "TEXTURE_FRAME_INTERPOLATION ";
    }
    if (m_desaturation > 0.0f && qualityLevel >= 1)
        options += "TEXTURE_DESATURATION ";
    if (m_blendingMode == 0 || m_blendingMode == 1 || m_blendingMode == 4)
        options += "BLEND_ALPHA ";
    if (m_softness && qualityLevel >= 2)
        options += "SOFTNESS ";
    if (m_fog)
        options += "FOG ";
    if (options.size() >= kMaxOptionText)
        options.resize(kMaxOptionText - 1);
    return options;
}

void ParticleSystem::BuildShader(bool immediate)
{
    ReleaseShader();
    if (!m_meshTemplate.IsNull())
    {
        TakeMeshTemplate(!immediate);
        return;
    }
    const std::string options = BuildShaderOptions(CurrentQualityLevel());
    if (gShaderManager.IsInitialised() &&
        !gShaderManager.GetShader("Particle", options.c_str(), &m_vertexShader, &m_pixelShader, immediate ? 0 : 1,
                                  false, 0))
        gConsole.Warning(CONSOLE_CHANNEL_RENDER, "ParticleSystem: no \"Particle\" shader for options \"%s\"",
                         options.c_str());
    if (gResourceManager == nullptr || m_textureFileName.IsEmpty())
        return;
    m_texture = gResourceManager->GetResource(RESOURCE_TYPE_TEXTURE, m_textureFileName.CStr(), 0, true, 0);
    if (m_texture == nullptr)
        return;
    // Inside a loader the texture loads here; an edit on the game thread only queues it.
    if (immediate)
        m_texture->Load(false);
    else
        m_texture->RequestLoad();
}

void ParticleSystem::TakeMeshTemplate(bool load)
{
    EntityTemplate* const found = gTemplateManager.GetTemplateByGUID(m_meshTemplate, load);
    // A template of another kind leaves the system without handles: its particles are not drawn.
    if (found != nullptr && found->GetTypeId() == ENTITY_MESH)
    {
        found->AddRef();
        m_meshTemplateObject = found;
    }
}

EntityTemplate* ParticleSystem::WaitForMeshTemplate()
{
    if (!m_meshTemplate.IsNull() && m_meshTemplateObject == nullptr)
        TakeMeshTemplate(true);
    return m_meshTemplateObject;
}

void ParticleSystem::RebuildAllShaders()
{
    SystemList& list = List();
    os::ScopedLock lock(list.lock);
    for (ParticleSystem* system = list.first; system != nullptr; system = system->m_next)
        system->BuildShader(false);
}
