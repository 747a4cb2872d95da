// The preset index space of a mesh template: definitions first (each its default preset and its
// presets), then one index per overlay list; the lookups by name, and the derived targeting table.
#include "scene/kinds/MeshTemplate.h"

#include "core/console/GameConsole.h"
#include "core/strings/StringUtils.h"
#include "effects/animation/AnimationKeys.h"
#include "effects/animation/MeshSkeleton.h"
#include "renderer/resources/ResourceAnimation.h"
#include "renderer/resources/ResourceManager.h"
#include "scene/templates/TemplateManager.h"

#include <cmath>
#include <cstring>

namespace
{
const char kTargetingPrefix[] = "targeting-";
constexpr size_t kTargetingPrefixLength = sizeof(kTargetingPrefix) - 1;
const char* const kDirections[] = {"up", "down", "left", "right", "center"};
constexpr int kCenter = 4;
constexpr size_t kMaxGroupNameLength = 1023;

bool StartsWithNoCase(const char* text, const char* prefix)
{
    for (; *prefix != 0; ++text, ++prefix)
    {
        const char a = (*text >= 'A' && *text <= 'Z') ? char(*text + 32) : *text;
        if (a != *prefix)
            return false;
    }
    return true;
}

// The direction a definition name targets and its group name; -1 when it targets none.
int MatchTargetingDirection(const char* name, std::string& group)
{
    const size_t length = std::strlen(name);
    if (!StartsWithNoCase(name, kTargetingPrefix))
        return -1;
    for (int d = 0; d < 5; ++d)
    {
        const size_t tail = std::strlen(kDirections[d]);
        if (length <= tail + kTargetingPrefixLength || name[length - tail - 1] != '-' ||
            StrICmp(name + length - tail, kDirections[d]) != 0)
            continue;
        const size_t groupLength = length - tail - 1 - kTargetingPrefixLength;
        group.assign(name + kTargetingPrefixLength, groupLength < kMaxGroupNameLength ? groupLength : kMaxGroupNameLength);
        return d;
    }
    return -1;
}

float L1Distance(const Quaternion& a, const Quaternion& b)
{
    return std::fabs(a.x - b.x) + std::fabs(a.y - b.y) + std::fabs(a.z - b.z) + std::fabs(a.w - b.w);
}
} // namespace

void MeshTemplate::RecomputePresetIndices()
{
    int32_t base = 0;
    for (MeshTemplateAnimationDefinition& definition : m_animations)
    {
        definition.m_baseIndex = base;
        base += definition.m_presets.Count() + 1;
    }
    m_presetSlotCount = base;
    m_presetIndexEnd = base + m_overlayLists.Count();
}

const MeshTemplateAnimationDefinition* MeshTemplate::FindDefinition(const NameString& name) const
{
    int32_t low = 0;
    int32_t high = m_animations.Count() - 1;
    while (low <= high)
    {
        const int32_t middle = (low + high) / 2;
        const int order = StrICmp(m_animations[middle].GetName().CStr(), name.CStr());
        if (order == 0)
            return &m_animations[middle];
        if (order < 0)
            low = middle + 1;
        else
            high = middle - 1;
    }
    return nullptr;
}

int32_t MeshTemplate::FindOverlayList(const NameString& name) const
{
    int32_t low = 0;
    int32_t high = m_overlayLists.Count() - 1;
    while (low <= high)
    {
        const int32_t middle = (low + high) / 2;
        const MeshTemplateAnimationOverlayList* list = m_overlayLists[middle];
        const int order = StrICmp(list != nullptr ? list->m_name.CStr() : "", name.CStr());
        if (order == 0)
            return middle;
        if (order < 0)
            low = middle + 1;
        else
            high = middle - 1;
    }
    return -1;
}

int32_t MeshTemplate::GetAnimation(const NameString& animation, const NameString& preset) const
{
    const int32_t list = FindOverlayList(animation);
    if (list >= 0)
        return m_presetSlotCount + list;
    const MeshTemplateAnimationDefinition* definition = FindDefinition(animation);
    if (definition == nullptr)
    {
        gConsole.Error(CONSOLE_CHANNEL_GENERAL, "Couldn`t find animation %s!", animation.CStr());
        return -1;
    }
    for (int32_t k = 0; k < definition->m_presets.Count() && !preset.IsEmpty(); ++k)
        if (definition->m_presets[k].m_name == preset)
            return definition->m_baseIndex + k + 1;
    return definition->m_baseIndex;
}

const MeshTemplateAnimationPreset* MeshTemplate::GetPreset(const NameString& animation, const NameString& preset) const
{
    const MeshTemplateAnimationDefinition* definition = FindDefinition(animation);
    if (definition == nullptr)
        return nullptr;
    const DynarraySafe<MeshTemplateAnimationPresetNode>& nodes = m_presetTree.m_nodes;
    NameString name = preset;
    // Each step moves to a parent node; more steps than nodes can only be a cycle, which ends at
    // the default preset.
    for (int32_t step = 0; step <= nodes.Count(); ++step)
    {
        for (const MeshTemplateAnimationPreset& candidate : definition->m_presets)
            if (candidate.m_name == name)
                return &candidate;
        const MeshTemplateAnimationPresetNode* node = nullptr;
        for (const MeshTemplateAnimationPresetNode& entry : nodes)
            if (node == nullptr && entry.m_name == name)
                node = &entry;
        if (node == nullptr)
            break;
        name = node->m_parent;
    }
    return &definition->m_defaultPreset;
}

void MeshTemplate::BuildAnimationPreset(MeshTemplateAnimationPreset& out, int32_t index,
                                        const DynarraySafe<NameString>& tags) const
{
    out.Reset();
    if (index >= m_presetSlotCount && index < m_presetIndexEnd)
    {
        const MeshTemplateAnimationOverlayList* list = m_overlayLists[index - m_presetSlotCount];
        if (list == nullptr)
            return;
        MeshTemplateAnimationOverlay overlay;
        list->BuildOverlay(overlay, tags);
        if (overlay.m_animation.IsEmpty())
            return;
        const MeshTemplateAnimationPreset* preset = GetPreset(overlay.m_animation, NameString());
        if (preset == nullptr)
            return;
        out = *preset;
        const float multiplier = overlay.m_timeMultiplier;
        if (multiplier > 0.001f)
        {
            out.m_time *= multiplier;
            out.m_movementSpeed /= multiplier;
        }
        return;
    }
    int32_t low = 0;
    int32_t high = m_animations.Count() - 1;
    while (low <= high)
    {
        const int32_t middle = (low + high) / 2;
        const MeshTemplateAnimationDefinition& definition = m_animations[middle];
        if (index < definition.m_baseIndex)
            high = middle - 1;
        else if (index > definition.m_baseIndex + definition.m_presets.Count())
            low = middle + 1;
        else
        {
            const int32_t k = index - definition.m_baseIndex;
            out = k == 0 ? definition.m_defaultPreset : definition.m_presets[k - 1];
            return;
        }
    }
}

void MeshTemplate::LoadPresetAnimations(bool load)
{
    for (MeshTemplateAnimationDefinition& definition : m_animations)
    {
        definition.m_defaultPreset.AdoptAnimation(nullptr);
        for (MeshTemplateAnimationPreset& preset : definition.m_presets)
            preset.AdoptAnimation(nullptr);
    }
    if (gResourceManager == nullptr)
        return;
    auto acquire = [load](MeshTemplateAnimationPreset& preset) {
        Resource* animation = gResourceManager->GetResource(RESOURCE_TYPE_ANIMATION, preset.m_fileName.CStr(), 0,
                                                            true, 0);
        if (animation != nullptr)
            animation->Load(load);
        preset.AdoptAnimation(animation);
    };
    for (MeshTemplateAnimationDefinition& definition : m_animations)
    {
        acquire(definition.m_defaultPreset);
        for (MeshTemplateAnimationPreset& preset : definition.m_presets)
            acquire(preset);
    }
}

void MeshTemplate::RebuildTargetingTable(bool loadSource)
{
    if (m_skeleton == nullptr)
        return;
    m_targetingTable.clear();
    if (!m_animationSourceTemplate.IsEmpty())
    {
        const MeshTemplate* source = dynamic_cast<const MeshTemplate*>(
            gTemplateManager.GetTemplate(m_animationSourceTemplate.CStr(), loadSource));
        // Copies of the source's presets hold references of their own to the shared animations.
        if (source != nullptr && source != this)
            m_animations = source->m_animations;
    }
    const uint32_t boneCount = m_skeleton->GetBoneCount();
    struct Group
    {
        NameString name;
        std::vector<Quaternion> rotations;
    };
    std::vector<Group> groups;
    std::string groupName;
    for (const MeshTemplateAnimationDefinition& definition : m_animations)
    {
        const int direction = MatchTargetingDirection(definition.GetName().CStr(), groupName);
        if (direction < 0)
            continue;
        const NameString name(groupName.c_str());
        Group* group = nullptr;
        for (Group& known : groups)
            if (known.name == name)
                group = &known;
        if (group == nullptr)
        {
            groups.push_back({name, std::vector<Quaternion>(size_t(5) * boneCount)});
            group = &groups.back();
        }
        // The pose of a direction is the first rotation key of each of its clip's bone tracks.
        const ResourceAnimation* const clip = static_cast<const ResourceAnimation*>(definition.m_defaultPreset.GetAnimation());
        if (clip == nullptr || clip->GetType() != RESOURCE_TYPE_ANIMATION || !clip->IsLoaded())
            continue;
        const AnimationData& data = clip->GetData();
        for (const AnimationTrack& track : data.GetTracks())
        {
            const int32_t bone = m_skeleton->FindBoneIndex(track.name);
            if (bone < 0 || track.keyCounts[ANIMCHANNEL_ROTATION] == 0)
                continue;
            group->rotations[size_t(direction) * boneCount + uint32_t(bone)] = AnimationKeys::DecodeRotation(
                data.GetKeys()[track.firstKeys[ANIMCHANNEL_ROTATION]], data.GetRange(ANIMCHANNEL_ROTATION));
        }
    }
    for (const Group& group : groups)
    {
        MeshTargetingRecord record;
        record.name = group.name;
        for (int d = 0; d < 4; ++d)
        {
            record.ranges[d][0] = uint32_t(record.entries.size());
            for (uint32_t bone = 0; bone < boneCount; ++bone)
            {
                const Quaternion& c = group.rotations[size_t(kCenter) * boneCount + bone];
                const Quaternion& r = group.rotations[size_t(d) * boneCount + bone];
                if (L1Distance(c, r) <= 0.001f)
                    continue;
                Quaternion relative = c;
                relative.Conjugate();
                relative.Mul(r);
                record.entries.push_back({relative, m_skeleton->GetBone(bone).name});
            }
            record.ranges[d][1] = uint32_t(record.entries.size());
        }
        m_targetingTable.push_back(record);
    }
}
