// Which shaders and depth rule a mesh material gets in each lit pass, by the pass argument (with
// the instancing top bit) and the material kind. Pure functions: any thread.
#pragma once

#include <cstdint>

struct MeshPassChoice
{
    bool skip = true;
    uint32_t vertexLink = 0; // MeshMaterial::Link values
    uint32_t pixelLink = 0;
    bool depthWrite = true;
    // The refraction draw forces blend mode 0.
    bool blendZero = false;
};

// hasRefraction: the material has a refraction pixel shader; canRefract: and the renderer's
// refraction switch and quality level allow it.
MeshPassChoice ChooseMeshPass(uint32_t passA, uint32_t kind, uint32_t blendMode, bool hasRefraction, bool canRefract);
