// Mesh templates for tests and demo data: a MeshTemplate with a one-quad or box mesh (positions,
// normals and texture coordinates with their vertex declaration, edge lines, one lit "MeshSolid"
// or deferred "MeshDeferred" material per shader preset) or no mesh data, an optional chain of bones, and its animation
// definitions, written as a template body by the engine's own writers. Main thread.
#pragma once

#include "core/SimpleGUID.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class MeshTemplate;

// What a written mesh template holds.
struct MeshTemplateSpec
{
    bool withMeshData = true;
    // A 2 x 2 quad in the xz plane facing +y, or a box of the given size standing on y = 0.
    enum class Shape
    {
        Quad,
        Box
    };
    Shape shape = Shape::Quad;
    float boxSize[3] = {1.0f, 1.0f, 1.0f};
    std::vector<std::string> shaderPresets = {"Default"};
    // Deferred materials ("MeshDeferred", lit by the deferred passes) instead of forward ones.
    bool deferred = false;
    // The four render switches (entity render flags 0x40, 0x80, 0x20, 0x200).
    uint8_t renderSwitches[4] = {1, 0, 0, 0};
    // Bones in a chain, each the child of the one before and one unit above it.
    std::vector<std::string> bones;
    // With bones: vertices skinned to the bone at their height (bone i spans y from i to i + 1, the
    // last one everything above), SKINNING materials and inverse bind matrices of the rest pose.
    bool skinned = false;
    // Bit 0 of this bone's flags (-1 none): the root-motion bone.
    int32_t rootMotionBone = -1;
    // The "Animation tree definition" text, parsed into the skeleton's tree nodes.
    std::string animationTree;
    // Definitions by name with their preset names; sorted by name as the lookups expect.
    std::vector<std::pair<std::string, std::vector<std::string>>> animations;
    // Definitions that play an animation file ("<file>.bin" in "Animations"), loaded when a resource
    // manager runs.
    struct Clip
    {
        std::string name;
        std::string file;
        float time = 1.0f;           // seconds
        float movementSpeed = 0.0f;
        float cooldown = 0.0f;
        uint32_t removedFrames = 0;
    };
    std::vector<Clip> clips;
    uint32_t storedWords[4] = {};
};

namespace MeshTemplateWriter
{
std::unique_ptr<MeshTemplate> MakeTemplate(const MeshTemplateSpec& spec);
// The template body (GUID, type 1, record, mesh data, skeleton, stored words).
std::vector<uint8_t> BuildBody(const MeshTemplateSpec& spec, const SimpleGUID& guid);
} // namespace MeshTemplateWriter
