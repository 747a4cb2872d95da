// ParticleEntity: the scene object that plays its ParticleTemplate's particle system through a
// ParticleEntityRenderingContext. Each (re)built rendering context gets a fresh particle context
// (particles restart from zero), restarted when the entity is spawning; spawning survives rebuilds.
// Main thread only.
#pragma once

#include "core/math/Vector.h"
#include "scene/entities/Entity.h"

#include <cstdint>

class ParticleEntityRenderingContext;
class ParticleSpawner;

// Entity that plays a particle system.
class ParticleEntity : public Entity
{
    RTTI_DECLARE_CLASS(ParticleEntity, Entity)

public:
    // Render flag bits every particle entity carries.
    static constexpr uint32_t kConstructionRenderFlags = 0x120;

    ParticleEntity();
    ~ParticleEntity() override;

    void StartSpawning();
    void StopSpawning();
    // Reaches the playing system only; not remembered for later systems.
    void SetSpeedMultiplier(float multiplier);
    // Rebuilds the context's particle system from the template and mirrors its mesh flags; a mesh
    // that the template's body found not yet in is waited for first.
    void ApplySystem(ParticleEntityRenderingContext* context, uint8_t gameStartFlag);
    // Takes ownership of a custom spawner (deleted on the render thread with the entity).
    void SetCustomSpawner(ParticleSpawner* spawner);

    // A particle entity's box is the unit box whatever its template says (particle templates carry
    // none), so that it is placed in the grid and found by the view before any particle flew.
    void InitFromTemplate(EntityTemplate* entityTemplate, uint32_t creationFlags) override;
    void ChangeTemplate(EntityTemplate* entityTemplate) override;
    EntityRenderingContext* CreateRenderingContext() override;
    void PostCreateInit() override;
    // An edit of the entity or of its template's bounds rebuilds the system, restarted when spawning.
    void OnPropertiesChanged() override;
    void ResetBoundsFromTemplate(const char* propertyName) override;
    // Placed in the editor: rebuilds the system and spawns when "Spawn in editor" is set.
    void RefreshRendering() override;
    const BoundingBox4& GetLocalBoundingBox() const override { return kUnitBox; }
    void DrawDebug(uint32_t flags) override;

    bool IsSpawning() const { return m_spawning; }
    bool SpawnsInGame() const { return m_spawnInGame; }
    uint8_t GetGameStartFlag() const { return m_gameStartFlag; }
    ParticleEntityRenderingContext* GetParticleContext() const;

private:
    static const BoundingBox4 kUnitBox;

    void RebuildAndRestart();

    bool m_spawnInEditor = true;
    bool m_spawnInGame = true;
    bool m_displayRealBoundingBox = false;
    bool m_spawning = false;
    uint8_t m_gameStartFlag = 0;
    float m_lifeMultiplier = 1.0f;
    Vector m_colorMultiplier = Vector(1.0f, 1.0f, 1.0f, 1.0f);
    ParticleSpawner* m_customSpawner = nullptr;
};
