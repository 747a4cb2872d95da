// PhysicalEffect: the description of spawned rigid pieces (debris) that a PhysicalEffectTemplate
// embeds. Only the two template paths the scene model reads are stored so far; the spawn,
// emitter, material, collision and lifetime values and the simulation come with the physics work.
// Main thread only.
#pragma once

#include "core/reflection/RTTIClass.h"
#include "core/strings/NameString.h"

// Physical effect description (the part the scene model uses).
class PhysicalEffect : public RTTIPolyBaseClass
{
    RTTI_DECLARE_CLASS(PhysicalEffect, RTTIPolyBaseClass)

public:
    const NameString& GetMeshTemplatePath() const { return m_meshTemplatePath; }
    const NameString& GetParticleTemplatePath() const { return m_particleTemplatePath; }
    void SetMeshTemplatePath(const char* path) { m_meshTemplatePath.Set(path); }
    void SetParticleTemplatePath(const char* path) { m_particleTemplatePath.Set(path); }

private:
    NameString m_meshTemplatePath;
    NameString m_particleTemplatePath;
};
