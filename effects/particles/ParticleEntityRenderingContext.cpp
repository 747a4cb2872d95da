#include "effects/particles/ParticleEntityRenderingContext.h"

#include "core/threads/CommandRingBuffer.h"
#include "effects/particles/ParticleSystemContext.h"
#include "renderer/NorvexRenderer.h"
#include "renderer/SceneLighting.h"
#include "renderer/SceneParametersWrapper.h"
#include "scene/templates/EntityTemplate.h"

namespace rp = renderpayload;

ParticleEntityRenderingContext::ParticleEntityRenderingContext(NorvexRenderer& renderer, bool mayPark)
    : EntityRenderingContext(renderer), m_flags(mayPark ? kFlagMayPark : 0u)
{
}

ParticleEntityRenderingContext::~ParticleEntityRenderingContext()
{
    if (m_renderSideSystem != nullptr)
        m_renderSideSystem->DestroyOnRenderThread();
}

bool ParticleEntityRenderingContext::BeginParticleCall(uint32_t subCommand, uint32_t argumentBytes)
{
    if (!m_renderer.WriteCall(&ParticleEntityRenderingContext::Execute, subCommand, rp::kPointer + argumentBytes))
        return false;
    m_renderer.GetWriter().Put(this);
    return true;
}

void ParticleEntityRenderingContext::RebuildSystem(const ParticleSystem& system, const Matrix& world,
                                                   uint8_t gameStartFlag)
{
    // The old system may be drawing at this moment: its shader and texture references go back on
    // the render thread when the adoption below destroys it, its mesh template only after that
    // destruction is posted.
    EntityTemplate* const oldMesh =
        m_gameSideSystem != nullptr ? m_gameSideSystem->TakeMeshTemplateReference() : nullptr;
    m_gameSideSystem = new ParticleSystemContext(system, world, (m_flags & kFlagMayPark) | gameStartFlag);
    m_meshFlags = m_gameSideSystem->GetMeshFlags();
    m_castsShadow = m_gameSideSystem->CastsMeshShadow();
    // The render thread destroys the old system when it adopts the new one.
    if (BeginParticleCall(SUB_ADOPT_SYSTEM, rp::kPointer))
        m_renderer.GetWriter().Put(m_gameSideSystem);
    if (oldMesh != nullptr)
        oldMesh->Release();
}

void ParticleEntityRenderingContext::Release()
{
    // Nothing the render thread reads changes here: the system dies with this context on the render
    // thread, giving back its shader and texture references there; the mesh template reference is
    // taken first (the posted deletion may run at once) and given back after it.
    EntityTemplate* const mesh =
        m_gameSideSystem != nullptr ? m_gameSideSystem->TakeMeshTemplateReference() : nullptr;
    m_gameSideSystem = nullptr;
    EntityRenderingContext::Release();
    if (mesh != nullptr)
        mesh->Release();
}

void ParticleEntityRenderingContext::PostRestart()
{
    BeginParticleCall(SUB_RESTART, 0);
}

void ParticleEntityRenderingContext::PostStop()
{
    BeginParticleCall(SUB_STOP, 0);
}

void ParticleEntityRenderingContext::PostSetSpeedMultiplier(float multiplier)
{
    if (BeginParticleCall(SUB_SPEED, rp::kFloat))
        m_renderer.GetWriter().Put(multiplier);
}

void ParticleEntityRenderingContext::PostSetLifeMultiplier(float multiplier)
{
    if (BeginParticleCall(SUB_LIFE, rp::kFloat))
        m_renderer.GetWriter().Put(multiplier);
}

void ParticleEntityRenderingContext::PostSetSpawner(ParticleSpawner* spawner)
{
    if (BeginParticleCall(SUB_SET_SPAWNER, rp::kPointer))
        m_renderer.GetWriter().Put(spawner);
}

bool ParticleEntityRenderingContext::ReadBounds(BoundingBox4& bounds)
{
    return m_gameSideSystem != nullptr && m_gameSideSystem->ReadBounds(bounds);
}

bool ParticleEntityRenderingContext::GetDynamicBounds(BoundingBox4* bounds) const
{
    return bounds != nullptr && m_gameSideSystem != nullptr && m_gameSideSystem->ReadBounds(*bounds);
}

void ParticleEntityRenderingContext::Execute(NorvexRenderer&, uint32_t subCommand, CommandRingBuffer& reader)
{
    ParticleEntityRenderingContext* context = nullptr;
    if (!reader.Read(&context, sizeof(context)))
        return;
    switch (subCommand)
    {
    case SUB_ADOPT_SYSTEM:
    {
        ParticleSystemContext* system = nullptr;
        if (!reader.Read(&system, sizeof(system)) || context == nullptr)
            return;
        if (context->m_renderSideSystem != nullptr && context->m_renderSideSystem != system)
            context->m_renderSideSystem->DestroyOnRenderThread();
        context->m_renderSideSystem = system;
        // Set where the shadow walk reads it, so that a rebuild never races the walk.
        context->SetContextFlag(kFlagCastsShadows, system != nullptr && system->CastsMeshShadow());
        return;
    }
    case SUB_SPEED:
    case SUB_LIFE:
    case SUB_ADD_TIME:
    {
        float value = 0.0f;
        if (!reader.Read(&value, rp::kFloat) || context == nullptr || context->m_renderSideSystem == nullptr)
            return;
        ParticleSystemContext& system = *context->m_renderSideSystem;
        if (subCommand == SUB_SPEED)
            system.SetSpeedMultiplier(value);
        else if (subCommand == SUB_LIFE)
            system.SetLifeMultiplier(value);
        else
            system.AddPendingTime(value);
        return;
    }
    case SUB_SET_SPAWNER:
    {
        ParticleSpawner* spawner = nullptr;
        if (reader.Read(&spawner, sizeof(spawner)) && context != nullptr && context->m_renderSideSystem != nullptr)
            context->m_renderSideSystem->SetCustomSpawner(spawner);
        return;
    }
    default:
        break;
    }
    if (context == nullptr || context->m_renderSideSystem == nullptr)
        return;
    if (subCommand == SUB_RESTART)
        context->m_renderSideSystem->Restart();
    else if (subCommand == SUB_STOP)
        context->m_renderSideSystem->Stop();
}

void ParticleEntityRenderingContext::Draw(const Matrix& world, uint32_t passFlags, const Vector& color)
{
    DrawPass(world, passFlags, color, ParticleSystemContext::kForwardMeshPass, 0);
}

void ParticleEntityRenderingContext::DrawPass(const Matrix&, uint32_t passFlags, const Vector& color, int32_t passA,
                                              uint32_t passB)
{
    if (m_renderSideSystem == nullptr || (passFlags & kSkippedPasses) != 0)
        return;
    const Vector& own = GetColorMultiplier();
    const Vector& scene = GetActiveSceneParameters().GetShading().sfxColorMultiplier;
    const Vector tinted(own.x * color.x * scene.x, own.y * color.y * scene.y, own.z * color.z * scene.z,
                        own.w * color.w * scene.w);
    m_renderSideSystem->Draw(GetWorld(), tinted, passFlags, passA, passB);
}

void ParticleEntityRenderingContext::DrawDepth(uint8_t, uint32_t passFlags)
{
    if (m_renderSideSystem != nullptr)
        m_renderSideSystem->DrawMeshDepth(passFlags);
}

void ParticleEntityRenderingContext::TransformChanged()
{
    if (m_renderSideSystem != nullptr)
        m_renderSideSystem->SetMatrix(GetWorld());
}
