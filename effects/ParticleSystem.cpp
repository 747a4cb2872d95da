#include "effects/ParticleSystem.h"

#include "core/console/GameConsole.h"

RTTI_DEFINE_CLASS(ParticleSystem, RTTIPolyBaseClass)

void ParticleSystem::BuildClassProperties(RTTIPropertiesBase& table)
{
    table.AddProperty(new RTTIDirectAccessTypedProperty<ParticleSystem, NameString>("Texture", &ParticleSystem::m_texture));
}

ParticleSystem::ParticleSystem() : m_texture("SFX/glow.dds") {}

void ParticleSystem::BuildShader(uint32_t)
{
    ReleaseShader();
    ++m_shaderBuilds;
    static bool reported = false;
    if (!reported)
    {
        reported = true;
        gConsole.Warning(CONSOLE_CHANNEL_RENDER, "ParticleSystem: particle shader variants are not built yet");
    }
}

void ParticleSystem::ReleaseShader()
{
    ++m_shaderReleases;
}
