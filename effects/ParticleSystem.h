// ParticleSystem: the emitter parameters embedded in a ParticleTemplate, and the shader variant
// built from them. The emitter values, the simulation and the particle shaders belong to the
// effects work, which is not built: only the texture name is stored, and building the shader says
// once in the log that it is not built. Main thread.
#pragma once

#include "core/reflection/RTTIClass.h"
#include "core/strings/NameString.h"

#include <cstdint>

// Emitter parameters of a particle template (the part that exists so far).
class ParticleSystem : public RTTIPolyBaseClass
{
    RTTI_DECLARE_CLASS(ParticleSystem, RTTIPolyBaseClass)

public:
    ParticleSystem();

    // Releases the shader and texture handles and builds the shader variant for the options.
    void BuildShader(uint32_t flag);
    void ReleaseShader();

    const NameString& GetTexture() const { return m_texture; }
    uint32_t GetShaderBuilds() const { return m_shaderBuilds; }
    uint32_t GetShaderReleases() const { return m_shaderReleases; }

private:
    NameString m_texture;
    uint32_t m_shaderBuilds = 0;
    uint32_t m_shaderReleases = 0;
};
