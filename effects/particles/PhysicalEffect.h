// PhysicalEffect: the parameter block of an emitter of rigid physical objects (balls, cubes or
// meshes) with their material, spawn velocity and life, optionally trailing particles. Physical
// effect templates and the SFX physical-effect element embed it; the physics services read it.
// Main thread only (the resource thread only reads its record).
#pragma once

#include "core/reflection/RTTIClass.h"
#include "core/strings/NameString.h"

// Reflected parameters of a physical effect, with their defaults.
class PhysicalEffect : public RTTIPolyBaseClass
{
    RTTI_DECLARE_CLASS(PhysicalEffect, RTTIPolyBaseClass)

public:
    enum Material : uint32_t
    {
        MATERIAL_CUSTOM = 0,
        MATERIAL_IRON = 1,
        MATERIAL_STEEL = 2,
    };
    enum Shape : uint32_t
    {
        SHAPE_BALL = 0,
        SHAPE_CUBE = 1,
        SHAPE_CUSTOM_MESH = 2,
    };

    uint32_t GetShape() const { return m_shape; }
    void SetShape(uint32_t shape) { m_shape = shape; }
    const NameString& GetMeshTemplatePath() const { return m_meshTemplatePath; }
    const NameString& GetParticleTemplatePath() const { return m_particleTemplatePath; }
    void SetMeshTemplatePath(const char* path) { m_meshTemplatePath.Set(path); }
    void SetParticleTemplatePath(const char* path) { m_particleTemplatePath.Set(path); }

private:
    float m_unexposed = 90.0f; // carried for the physics services; no property shows it
    float m_pitchMin = 30.0f;
    float m_pitchMax = 60.0f;
    float m_speed = 2.0f;
    float m_speedVariation = 0.0f;
    float m_angularSpeed = 2.0f;
    float m_spawnRate = 2.0f;
    float m_size = 2.0f;
    uint32_t m_material = MATERIAL_CUSTOM;
    float m_restitution = 0.2f;
    float m_angularDamping = 0.05f;
    float m_linearDamping = 0.0f;
    float m_staticFriction = 0.9f;
    float m_dynamicFriction = 0.9f;
    float m_density = 7000.0f; // kg/m3
    uint32_t m_shape = SHAPE_BALL;
    float m_ballRadiusOrCubeHalfEdge = 1.0f;
    NameString m_meshTemplatePath;
    NameString m_particleTemplatePath;
    bool m_withTowers = true;
    bool m_withUnits = true;
    float m_elementLifetime = 2.0f;
    float m_elementLifetimeVariation = 0.0f;
};
