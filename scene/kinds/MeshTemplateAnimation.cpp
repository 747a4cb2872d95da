#include "scene/kinds/MeshTemplateAnimation.h"

#include "core/reflection/RTTIClass.h"
#include "renderer/resources/Resource.h"

RTTI_DEFINE_CLASS(MeshTemplateAnimationFrameData, RTTIPolyBaseClass)
RTTI_DEFINE_CLASS(MeshTemplateAnimationPreset, RTTIPolyBaseClass)
RTTI_DEFINE_CLASS(MeshTemplateAnimationDefinition, RTTIPolyBaseClass)
RTTI_DEFINE_CLASS(MeshTemplateAnimationPresetNode, RTTIPolyBaseClass)
RTTI_DEFINE_CLASS(MeshTemplateAnimationPresetTree, RTTIPolyBaseClass)
RTTI_DEFINE_CLASS(MeshTemplateAnimationOverlay, RTTIPolyBaseClass)
RTTI_DEFINE_CLASS(MeshTemplateAnimationOverlayList, RTTIPolyBaseClass)

namespace
{
// "File name" names a file in this folder.
constexpr uint32_t kFolderNameFlag = 2048;
} // namespace

void MeshTemplateAnimationFrameData::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = MeshTemplateAnimationFrameData;
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, NameString>("Name", &C::m_name));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, NameString>("SoundEvent", &C::m_soundEvent));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, float>("TimeStamp", &C::m_timeStamp));
}

void MeshTemplateAnimationPreset::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = MeshTemplateAnimationPreset;
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, NameString>("Name", &C::m_name));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, NameString>("File name", &C::m_fileName, kFolderNameFlag,
                                                                       "Animations"));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, float>("Time", &C::m_time));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, float>("Movement speed", &C::m_movementSpeed));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, float>("Cooldown", &C::m_cooldown));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, uint32_t>("RemovedFrames", &C::m_removedFrames, 2));
    table.AddProperty(
        new RTTIDynarrayOfEmbeddedObjectsProperty<C, MeshTemplateAnimationFrameData>("Frames", &C::m_frames));
}

MeshTemplateAnimationPreset::MeshTemplateAnimationPreset(const MeshTemplateAnimationPreset& other)
    : RTTIPolyBaseClass(other), m_name(other.m_name), m_fileName(other.m_fileName), m_time(other.m_time),
      m_movementSpeed(other.m_movementSpeed), m_cooldown(other.m_cooldown), m_removedFrames(other.m_removedFrames),
      m_frames(other.m_frames), m_animation(other.m_animation)
{
    if (m_animation != nullptr)
        m_animation->AddRef();
}

MeshTemplateAnimationPreset& MeshTemplateAnimationPreset::operator=(const MeshTemplateAnimationPreset& other)
{
    if (this == &other)
        return *this;
    if (other.m_animation != nullptr)
        other.m_animation->AddRef();
    AdoptAnimation(other.m_animation);
    m_name = other.m_name;
    m_fileName = other.m_fileName;
    m_time = other.m_time;
    m_movementSpeed = other.m_movementSpeed;
    m_cooldown = other.m_cooldown;
    m_removedFrames = other.m_removedFrames;
    m_frames = other.m_frames;
    return *this;
}

MeshTemplateAnimationPreset::~MeshTemplateAnimationPreset()
{
    AdoptAnimation(nullptr);
}

void MeshTemplateAnimationPreset::Reset()
{
    AdoptAnimation(nullptr);
    m_name = NameString();
    m_fileName = NameString();
    m_time = 1.0f;
    m_movementSpeed = 0.0f;
    m_cooldown = 0.0f;
    m_removedFrames = 0;
    m_frames.Clear();
}

void MeshTemplateAnimationPreset::AdoptAnimation(Resource* animation)
{
    if (m_animation != nullptr)
        m_animation->Release();
    m_animation = animation;
}

void MeshTemplateAnimationDefinition::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = MeshTemplateAnimationDefinition;
    table.AddProperty(new RTTIEmbeddedObjectProperty<C, MeshTemplateAnimationPreset>("Default preset",
                                                                                     &C::m_defaultPreset));
    table.AddProperty(
        new RTTIDynarrayOfEmbeddedObjectsProperty<C, MeshTemplateAnimationPreset>("Presets", &C::m_presets));
}

void MeshTemplateAnimationPresetNode::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = MeshTemplateAnimationPresetNode;
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, NameString>("Name", &C::m_name));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, NameString>("Parent", &C::m_parent));
}

void MeshTemplateAnimationPresetTree::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = MeshTemplateAnimationPresetTree;
    table.AddProperty(
        new RTTIDynarrayOfEmbeddedObjectsProperty<C, MeshTemplateAnimationPresetNode>("Preset nodes", &C::m_nodes));
}

void MeshTemplateAnimationOverlay::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = MeshTemplateAnimationOverlay;
    table.AddProperty(new RTTIDynarrayProperty<C, NameString, DynarraySafe<NameString>>("Tags", &C::m_tags, 0x10000));
    table.AddProperty(new RTTISGProperty<C, NameString>("Animation", &C::SetAnimation, &C::GetAnimationAddress, 128));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, float>("Time multiplier", &C::m_timeMultiplier));
}

bool MeshTemplateAnimationOverlay::Matches(const DynarraySafe<NameString>& tags) const
{
    if (m_tags.Count() > tags.Count())
        return false;
    for (const NameString& tag : m_tags)
    {
        bool found = false;
        for (const NameString& given : tags)
            found = found || given == tag;
        if (!found)
            return false;
    }
    return true;
}

void MeshTemplateAnimationOverlayList::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = MeshTemplateAnimationOverlayList;
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, NameString>("Name", &C::m_name));
    table.AddProperty(new RTTIDynarrayOfPolyObjectPointersProperty<C, MeshTemplateAnimationOverlay>(
        "Overlays", &C::m_overlays, "", 0x910000));
}

MeshTemplateAnimationOverlayList::~MeshTemplateAnimationOverlayList()
{
    m_overlays.DeleteAllPointers();
}

void MeshTemplateAnimationOverlayList::InvalidateSafePointers()
{
    RTTIPolyBaseClass::InvalidateSafePointers();
    for (MeshTemplateAnimationOverlay* overlay : m_overlays)
        if (overlay != nullptr)
            overlay->InvalidateSafePointers();
}

void MeshTemplateAnimationOverlayList::BuildOverlay(MeshTemplateAnimationOverlay& out,
                                                    const DynarraySafe<NameString>& tags) const
{
    out.m_animation = m_name;
    out.m_timeMultiplier = 0.0f;
    for (const MeshTemplateAnimationOverlay* overlay : m_overlays)
    {
        if (overlay == nullptr || !overlay->Matches(tags))
            continue;
        if (!overlay->m_animation.IsEmpty())
            out.m_animation = overlay->m_animation;
        if (overlay->m_timeMultiplier != 0.0f)
            out.m_timeMultiplier = overlay->m_timeMultiplier;
    }
}
