#include "tools/datakit/MeshTemplateWriter.h"

#include "core/strings/StringUtils.h"
#include "effects/animation/AnimationTreeDefinition.h"
#include "effects/animation/MeshSkeleton.h"
#include "platform/gpu/GpuTypes.h"
#include "renderer/MeshTemplateRenderingData.h"
#include "scene/kinds/MeshTemplate.h"
#include "tools/datakit/SceneWriter.h"

#include <algorithm>
#include <cstring>

namespace
{
struct LitVertex
{
    float position[3];
    float normal[3];
    float uv[2];
};

// A skinned vertex: the lit vertex, four weights and four bone indices.
struct SkinnedVertex
{
    LitVertex lit;
    float weights[4];
    uint8_t bones[4];
};
static_assert(sizeof(SkinnedVertex) == 52);

std::vector<uint8_t> Declaration(bool skinned)
{
    std::vector<uint8_t> elements = {0, 0, 0,  0, gpu::kDeclFloat3, 0, gpu::kDeclUsagePosition, 0,
                                     0, 0, 12, 0, gpu::kDeclFloat3, 0, gpu::kDeclUsageNormal,   0,
                                     0, 0, 24, 0, gpu::kDeclFloat2, 0, gpu::kDeclUsageTexCoord, 0};
    if (skinned)
        elements.insert(elements.end(), {0, 0, 32, 0, gpu::kDeclFloat4, 0, gpu::kDeclUsageBlendWeight, 0,
                                         0, 0, 48, 0, gpu::kDeclUByte4, 0, gpu::kDeclUsageBlendIndices, 0});
    elements.insert(elements.end(), {0xFF, 0, 0, 0, gpu::kDeclUnused, 0, 0, 0});
    return elements;
}

// Four corners of each face, clockwise seen from outside (front faces are clockwise on screen); two
// triangles each.
void AddFace(std::vector<LitVertex>& vertices, std::vector<uint16_t>& indices, const float (&corners)[4][3],
             const float (&normal)[3])
{
    const uint16_t first = uint16_t(vertices.size());
    const float uvs[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    for (int i = 0; i < 4; ++i)
        vertices.push_back({{corners[i][0], corners[i][1], corners[i][2]}, {normal[0], normal[1], normal[2]},
                            {uvs[i][0], uvs[i][1]}});
    for (uint16_t i : {0, 1, 2, 0, 2, 3})
        indices.push_back(uint16_t(first + i));
}

MeshTemplateRenderingData* MakeMesh(const MeshTemplateSpec& spec)
{
    auto* data = new MeshTemplateRenderingData;
    std::vector<LitVertex> vertices;
    std::vector<uint16_t> indices, lines;
    BoundingBox4 bounds(Vector(-1, 0, -1, 1), Vector(1, 0, 1, 1));
    if (spec.shape == MeshTemplateSpec::Shape::Quad)
    {
        const float corners[4][3] = {{-1, 0, -1}, {1, 0, -1}, {1, 0, 1}, {-1, 0, 1}};
        AddFace(vertices, indices, corners, {0, 1, 0});
        lines = {0, 1, 1, 2, 2, 3, 3, 0};
    }
    else
    {
        const float x = spec.boxSize[0] * 0.5f, y = spec.boxSize[1], z = spec.boxSize[2] * 0.5f;
        const float faces[6][4][3] = {{{-x, y, -z}, {-x, y, z}, {x, y, z}, {x, y, -z}},    // top
                                      {{-x, 0, -z}, {x, 0, -z}, {x, 0, z}, {-x, 0, z}},    // bottom
                                      {{-x, 0, z}, {x, 0, z}, {x, y, z}, {-x, y, z}},      // +z
                                      {{x, 0, -z}, {-x, 0, -z}, {-x, y, -z}, {x, y, -z}},  // -z
                                      {{x, 0, z}, {x, 0, -z}, {x, y, -z}, {x, y, z}},      // +x
                                      {{-x, 0, -z}, {-x, 0, z}, {-x, y, z}, {-x, y, -z}}}; // -x
        const float normals[6][3] = {{0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}, {1, 0, 0}, {-1, 0, 0}};
        for (int face = 0; face < 6; ++face)
            AddFace(vertices, indices, faces[face], normals[face]);
        // The twelve edges: the top and bottom rings, then the uprights.
        lines = {0, 1, 1, 2, 2, 3, 3, 0, 4, 5, 5, 6, 6, 7, 7, 4, 4, 0, 5, 3, 6, 2, 7, 1};
        bounds = BoundingBox4(Vector(-x, 0, -z, 1), Vector(x, y, z, 1));
    }
    const bool skinned = spec.skinned && !spec.bones.empty();
    std::vector<uint8_t> bytes(vertices.size() * sizeof(LitVertex));
    std::memcpy(bytes.data(), vertices.data(), bytes.size());
    uint32_t stride = sizeof(LitVertex);
    if (skinned)
    {
        const uint32_t last = uint32_t(spec.bones.size() - 1);
        std::vector<SkinnedVertex> skinnedVertices;
        for (const LitVertex& vertex : vertices)
        {
            const float height = vertex.position[1];
            const uint8_t bone = uint8_t(height <= 0.0f ? 0 : std::min(uint32_t(height), last));
            skinnedVertices.push_back({vertex, {1, 0, 0, 0}, {bone, 0, 0, 0}});
        }
        stride = sizeof(SkinnedVertex);
        bytes.resize(skinnedVertices.size() * stride);
        std::memcpy(bytes.data(), skinnedVertices.data(), bytes.size());
        data->SetSkinningBoneCount(last + 1);
    }
    data->SetGeometry(uint32_t(vertices.size()), stride, bytes, indices);
    data->SetDeclaration(Declaration(skinned));
    data->SetEdgeLines(lines);
    data->SetBounds(bounds);
    for (const std::string& name : spec.shaderPresets)
    {
        MeshShaderPreset preset;
        preset.name = NameString(name.c_str());
        MeshMaterial material;
        material.shaderName = spec.deferred ? "MeshDeferred" : "MeshSolid";
        material.flags = spec.deferred ? 1u : 0u; // material kind 1: deferred
        if (skinned)
            material.options = "SKINNING";
        material.triangleCount = uint32_t(indices.size() / 3);
        preset.materials.push_back(material);
        data->AddPreset(preset);
    }
    const uint8_t renderBytes[7] = {spec.renderSwitches[0], spec.renderSwitches[1], spec.renderSwitches[2],
                                    spec.renderSwitches[3], 1, 0, 0};
    data->SetRenderBytes(renderBytes);
    return data;
}

MeshSkeleton* MakeChain(const std::vector<std::string>& names, int32_t rootMotionBone, bool skinned)
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
        // Skinned vertices are stored in the rest pose, so each bone first undoes its rest place
        // (i units up the chain); unskinned chains keep the identity.
        Matrix inverseBind = Matrix::ONE;
        if (skinned)
            inverseBind.LoadTranslation(0.0f, -float(i), 0.0f);
        skeleton->AddSkinMatrix(inverseBind);
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
    {
        MeshTemplateRenderingData* const data = MakeMesh(spec);
        meshTemplate->SetRenderingData(data);
        // Entities take their local box from the template: without it they are never visible.
        meshTemplate->SetStaticBoundingBox(data->GetBounds());
    }
    if (!spec.bones.empty())
    {
        MeshSkeleton* const skeleton = MakeChain(spec.bones, spec.rootMotionBone, spec.skinned);
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
