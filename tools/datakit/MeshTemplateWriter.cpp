#include "tools/datakit/MeshTemplateWriter.h"

#include "core/strings/StringUtils.h"
#include "effects/animation/AnimationTreeDefinition.h"
#include "effects/animation/MeshSkeleton.h"
#include "renderer/MeshTemplateRenderingData.h"
#include "scene/kinds/MeshTemplate.h"
#include "tools/datakit/SceneWriter.h"

#include <algorithm>
#include <cstring>

namespace
{
MeshTemplateRenderingData* MakeQuad(const MeshTemplateSpec& spec)
{
    auto* data = new MeshTemplateRenderingData;
    const float positions[4][3] = {{-1, 0, -1}, {1, 0, -1}, {1, 0, 1}, {-1, 0, 1}};
    std::vector<uint8_t> vertices(sizeof(positions));
    std::memcpy(vertices.data(), positions, sizeof(positions));
    data->SetGeometry(4, 12, vertices, {0, 1, 2, 0, 2, 3});
    for (const std::string& name : spec.shaderPresets)
    {
        MeshShaderPreset preset;
        preset.name = NameString(name.c_str());
        MeshMaterial material;
        material.triangleCount = 2;
        material.textures.push_back({"Textures/" + name + ".dds", 0, 0});
        preset.materials.push_back(material);
        data->AddPreset(preset);
    }
    const uint8_t bytes[7] = {spec.renderSwitches[0], spec.renderSwitches[1], spec.renderSwitches[2],
                              spec.renderSwitches[3], 1, 0, 0};
    data->SetRenderBytes(bytes);
    return data;
}

MeshSkeleton* MakeChain(const std::vector<std::string>& names, int32_t rootMotionBone)
{
    auto* skeleton = new MeshSkeleton;
    for (size_t i = 0; i < names.size(); ++i)
    {
        MeshSkeletonBone bone;
        bone.name = NameString(names[i].c_str());
        bone.parent = i == 0 ? MeshSkeleton::kNoBone : uint8_t(i - 1);
        bone.skinIndex = uint8_t(i);
        bone.flags = int32_t(i) == rootMotionBone ? 1 : 0;
        Matrix rest = Matrix::ONE;
        rest.LoadTranslation(0.0f, i == 0 ? 0.0f : 1.0f, 0.0f);
        skeleton->AddBone(bone, rest);
        skeleton->AddSkinMatrix(Matrix::ONE);
    }
    AnimationTreeNode root;
    root.name = NameString("root");
    root.boneCount = int32_t(names.size());
    skeleton->AddTreeNode(root);
    return skeleton;
}
} // namespace

namespace MeshTemplateWriter
{
std::unique_ptr<MeshTemplate> MakeTemplate(const MeshTemplateSpec& spec)
{
    auto meshTemplate = std::make_unique<MeshTemplate>();
    if (spec.withMeshData)
        meshTemplate->SetRenderingData(MakeQuad(spec));
    if (!spec.bones.empty())
    {
        MeshSkeleton* const skeleton = MakeChain(spec.bones, spec.rootMotionBone);
        if (!spec.animationTree.empty())
        {
            const RTTIProperty* tree = meshTemplate->GetClassProperties()->FindPropertyInClassChain(
                "Animation tree definition");
            tree->SetFromText(meshTemplate.get(), spec.animationTree.c_str());
            AnimationTreeDefinition::Parse(*skeleton, spec.animationTree.c_str(), "datakit");
        }
        meshTemplate->SetSkeleton(skeleton);
    }
    meshTemplate->SetStoredWords(spec.storedWords);
    std::vector<MeshTemplateSpec::Clip> clips = spec.clips;
    for (const auto& [name, presets] : spec.animations)
    {
        MeshTemplateSpec::Clip clip;
        clip.name = name;
        clips.push_back(clip);
    }
    std::stable_sort(clips.begin(), clips.end(),
                     [](const auto& a, const auto& b) { return StrICmp(a.name.c_str(), b.name.c_str()) < 0; });
    DynarraySafe<MeshTemplateAnimationDefinition>& definitions = meshTemplate->EditAnimations();
    for (const MeshTemplateSpec::Clip& clip : clips)
    {
        MeshTemplateAnimationDefinition& definition = definitions[definitions.Add(MeshTemplateAnimationDefinition())];
        MeshTemplateAnimationPreset& base = definition.m_defaultPreset;
        base.m_name = NameString(clip.name.c_str());
        base.m_fileName = NameString(clip.file.c_str());
        base.m_time = clip.time;
        base.m_movementSpeed = clip.movementSpeed;
        base.m_cooldown = clip.cooldown;
        base.m_removedFrames = clip.removedFrames;
        for (const auto& [name, presets] : spec.animations)
            if (name == clip.name)
                for (const std::string& presetName : presets)
                {
                    MeshTemplateAnimationPreset& preset = definition.m_presets[definition.m_presets.Add({})];
                    preset.m_name = NameString(presetName.c_str());
                }
    }
    meshTemplate->OnPostLoad(0);
    if (!spec.clips.empty())
        meshTemplate->LoadPresetAnimations(false);
    return meshTemplate;
}

std::vector<uint8_t> BuildBody(const MeshTemplateSpec& spec, const SimpleGUID& guid)
{
    return SceneWriter::BuildTemplateBody(*MakeTemplate(spec), guid, MeshTemplate::kTypeId);
}
} // namespace MeshTemplateWriter
