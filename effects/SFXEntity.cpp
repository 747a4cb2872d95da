#include "effects/SFXEntity.h"

#include "core/math/RandomGenerator.h"
#include "core/reflection/RTTITypedProperty.h"
#include "effects/SFXContext.h"
#include "effects/particles/ParticleSpawner.h"
#include "effects/sfx/SFXDefinition.h"
#include "renderer/NorvexRenderer.h"
#include "scene/kinds/SFXTemplate.h"


RTTI_DEFINE_CLASS_TABLE(SFXEntity, Entity)

namespace
{
constexpr uint32_t kEntityTimer = 0;
constexpr uint32_t kRealTimeTimer = 8;
constexpr uint32_t kLocalBoxFlags = 2;
// "Activity timer" (Gameplay, System, Game) to the context's clock flag.
constexpr uint32_t kTimerClockFlags[3] = {SFXContext::kFlagThirdClock, SFXContext::kFlagEngineClock, 0};
const BoundingBox4 kUnitBox(Vector(-1.0f, -1.0f, -1.0f, 1.0f), Vector(1.0f, 1.0f, 1.0f, 1.0f));
} // namespace

void SFXEntity::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = SFXEntity;
    table.AddProperty(new RTTISGProperty<C, BoundingBox4>("Local bounding box", &C::SetLocalBoxValue,
                                                          &C::GetLocalBoxValue, kLocalBoxFlags));
    table.AddProperty(
        new RTTIDirectAccessTypedProperty<C, bool>("Display real bounding box", &C::m_displayRealBoundingBox));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, bool>("StartAtGameInit", &C::m_startAtGameInit));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, bool>("DeleteAtStop", &C::m_deleteAtStop));
}

SFXEntity::~SFXEntity()
{
    postDeleteObject(m_customSpawner);
}

float SFXEntity::NextPollDelay()
{
    return 1.0f + float(gRandomGenerators[0].NextLinear()) / 65536.0f;
}

SFXContext* SFXEntity::GetSFXContext() const
{
    return static_cast<SFXContext*>(GetRenderingContext());
}

const SFXTemplate* SFXEntity::GetSFXTemplate() const
{
    return dynamic_cast<const SFXTemplate*>(GetTemplate());
}

void SFXEntity::ApplyPassRenderFlags()
{
    const SFXTemplate* const effect = GetSFXTemplate();
    if (effect == nullptr)
        return;
    const uint32_t bits = effect->GetDefinition().GetPassBits();
    uint32_t flags = GetRenderFlags() & ~(kRenderFlagMain | kRenderFlagLights | kRenderFlagPass8 | kRenderFlagChannel);
    if ((bits & (1 | 16)) != 0)
        flags |= kRenderFlagMain;
    if ((bits & 2) != 0)
        flags |= kRenderFlagLights;
    if ((bits & 8) != 0)
        flags |= kRenderFlagPass8;
    if ((bits & 32) != 0)
        flags |= kRenderFlagChannel;
    SetRenderFlags(flags);
}

EntityRenderingContext* SFXEntity::CreateRenderingContext()
{
    auto* const effect = const_cast<SFXTemplate*>(GetSFXTemplate());
    if (gRenderer == nullptr || effect == nullptr)
        return nullptr;
    const uint8_t timer = effect->GetActivityTimer();
    uint32_t flags = timer < 3 ? kTimerClockFlags[timer] : 0;
    if (!effect->IsOffscreenProcessing())
        flags |= SFXContext::kFlagMayPark;
    auto* const context = new SFXContext(*gRenderer, effect, flags, false, effect->UsesSFXColorMultiplier());
    context->Init(effect->GetDefinition(), GetGlobalLocationMatrix(), false, 0);
    ApplyPassRenderFlags();
    if (m_customSpawner != nullptr)
        context->PostSetSpawner(m_customSpawner);
    return context;
}

void SFXEntity::PostCreateInit()
{
    ApplyPassRenderFlags();
    const SFXTemplate* const effect = GetSFXTemplate();
    const float delay = effect != nullptr ? effect->GetActivationDelay() : 0.0f;
    if (GetSFXContext() != nullptr && m_startAtGameInit && delay < kImmediateStart)
    {
        RecreateRenderingContext(true);
        if (SFXContext* const context = GetSFXContext())
            context->PostRestart(1, 0);
        if (m_deleteAtStop)
            ScheduleCallback(CALLBACK_POLL_FINISHED, NextPollDelay(), kEntityTimer);
        DeleteCallbacks(CALLBACK_BOUNDS);
        ScheduleCallback(CALLBACK_BOUNDS, 0.0f, kRealTimeTimer);
        SetRenderFlags(GetRenderFlags() & ~kRenderFlagBoundsTaken);
    }
    else
    {
        if (SFXContext* const context = GetSFXContext())
            context->PostSubOp1();
        if (m_startAtGameInit)
            ScheduleCallback(CALLBACK_START, delay, kEntityTimer);
    }
    Entity::PostCreateInit();
}

void SFXEntity::Restart(uint8_t skip, bool withBounds)
{
    RecreateRenderingContext(true);
    if (SFXContext* const context = GetSFXContext())
        context->PostRestart(1, skip);
    DeleteCallbacks(CALLBACK_POLL_FINISHED);
    DeleteCallbacks(CALLBACK_DELETE);
    if (m_deleteAtStop)
        ScheduleCallback(CALLBACK_POLL_FINISHED, NextPollDelay(), kEntityTimer);
    DeleteCallbacks(CALLBACK_BOUNDS);
    SetRenderFlags(GetRenderFlags() & ~kRenderFlagBoundsTaken);
    if (withBounds)
        ScheduleCallback(CALLBACK_BOUNDS, 0.0f, kRealTimeTimer);
}

void SFXEntity::OnScheduledCallback(uint32_t id)
{
    switch (id)
    {
    case CALLBACK_START:
        Restart(0, true);
        return;
    case CALLBACK_START_ONCE:
        Restart(0, true);
        if (SFXContext* const context = GetSFXContext())
            context->PostBreakLoop(nullptr);
        return;
    case CALLBACK_POLL_FINISHED:
    {
        const SFXContext* const context = GetSFXContext();
        const SFXTemplate* const effect = GetSFXTemplate();
        if (context != nullptr && context->IsFinished() && effect != nullptr)
            ScheduleCallback(CALLBACK_DELETE, effect->GetDefinition().GetDeleteTimeout(), kEntityTimer);
        else if (m_deleteAtStop)
            ScheduleCallback(CALLBACK_POLL_FINISHED, NextPollDelay(), kEntityTimer);
        return;
    }
    case CALLBACK_DELETE:
        if (m_deleteAtStop)
            DeleteMe();
        return;
    case CALLBACK_BOUNDS:
    {
        if (!UpdateRenderingBounds())
        {
            ScheduleCallback(CALLBACK_BOUNDS, 0.0f, kRealTimeTimer);
            return;
        }
        SetRenderFlags(GetRenderFlags() | kRenderFlagBoundsTaken);
        const SFXTemplate* const effect = GetSFXTemplate();
        if (effect != nullptr && effect->IsConstantBoundsUpdateEnabled())
            ScheduleCallback(CALLBACK_BOUNDS, 0.2f * NextPollDelay(), kRealTimeTimer);
        return;
    }
    default:
        Entity::OnScheduledCallback(id);
        return;
    }
}

void SFXEntity::AdvanceTime(float seconds)
{
    for (const uint32_t id : {uint32_t(CALLBACK_START), uint32_t(CALLBACK_START_ONCE)})
    {
        const float left = GetCallbackTimeLeft(id, kEntityTimer);
        if (left < 0.0f)
            continue;
        DeleteCallbacks(id);
        const float rest = left - seconds;
        if (rest > 0.0f)
        {
            ScheduleCallback(id, rest, kEntityTimer);
            return;
        }
        // The start comes due inside the step: it runs as the callback would, loop break included
        // (a play-once request must not be lost by skipping ahead).
        OnScheduledCallback(id);
        if (rest < 0.0f)
            if (SFXContext* const context = GetSFXContext())
                context->PostAdvanceTime(-rest);
        return;
    }
    if (SFXContext* const context = GetSFXContext())
        context->PostAdvanceTime(seconds);
}

void SFXEntity::SetSpeedMultiplier(float multiplier)
{
    if (SFXContext* const context = GetSFXContext())
        context->PostSetSpeedMultiplier(multiplier);
}

void SFXEntity::SetSpawnRateMultiplier(float multiplier)
{
    if (SFXContext* const context = GetSFXContext())
        context->PostSetSpawnRateMultiplier(multiplier);
}

void SFXEntity::SetElementLocalColor(const char* name, const Vector& color)
{
    if (SFXContext* const context = GetSFXContext())
        context->PostSetElementLocalColor(name, color);
}

void SFXEntity::SetElementLocalColor(const char* name, float r, float g, float b, float a)
{
    SetElementLocalColor(name, Vector(r, g, b, a));
}

void SFXEntity::SetElementSpeedMultiplier(const char* name, float multiplier)
{
    if (SFXContext* const context = GetSFXContext())
        context->PostSetElementSpeedMultiplier(name, multiplier);
}

void SFXEntity::BreakLoop(const char* name)
{
    if (SFXContext* const context = GetSFXContext())
        context->PostBreakLoop(name);
    if (name != nullptr)
        return;
    const float left = GetCallbackTimeLeft(CALLBACK_START, kEntityTimer);
    if (left < 0.0f)
        return;
    DeleteCallbacks(CALLBACK_START);
    ScheduleCallback(CALLBACK_START_ONCE, left, kEntityTimer);
}

void SFXEntity::ActivateLoop(const char* name)
{
    if (SFXContext* const context = GetSFXContext())
        context->PostActivateLoop(name);
}

void SFXEntity::SetDeleteAtStop(bool deleteAtStop)
{
    if (deleteAtStop == m_deleteAtStop)
        return;
    if (deleteAtStop)
        ScheduleCallback(CALLBACK_POLL_FINISHED, NextPollDelay(), kEntityTimer);
    else
        DeleteCallbacks(CALLBACK_POLL_FINISHED);
    m_deleteAtStop = deleteAtStop;
}

void SFXEntity::PostContextSubOp16(const EntityTemplate* meshTemplate)
{
    if (SFXContext* const context = GetSFXContext())
        context->PostSubOp16(meshTemplate);
}

void SFXEntity::SetCustomSpawner(ParticleSpawner* spawner)
{
    if (spawner == m_customSpawner)
        return;
    postDeleteObject(m_customSpawner);
    m_customSpawner = spawner;
    if (SFXContext* const context = GetSFXContext(); context != nullptr && spawner != nullptr)
        context->PostSetSpawner(spawner);
}

void SFXEntity::OnPropertiesChanged()
{
    Entity::OnPropertiesChanged();
    Restart(0, true);
}

void SFXEntity::RefreshVisibilityFlags()
{
    Entity::RefreshVisibilityFlags();
    UpdateRenderingTransform();
}

void SFXEntity::RefreshRendering()
{
    SetRenderFlags(GetRenderFlags() | kRenderFlagMain | kRenderFlagLights | kRenderFlagPass8 | kRenderFlagBoundsTaken);
    if (SFXContext* const context = GetSFXContext())
        context->PostRestart(1, 0);
}

void SFXEntity::DrawDebug(uint32_t flags)
{
    Entity::DrawDebug(flags);
    if (gRenderer == nullptr)
        return;
    Vector color(1.0f, 1.0f, 1.0f, 1.0f);
    if ((flags & 2) != 0)
        gRenderer->DrawAxisGizmo(GetGlobalLocationMatrix(), 1);
    else if (GetTemplate() != nullptr)
        GetTemplate()->GetWireframeColor().ToVector(color);
    gRenderer->DebugDrawBox(kUnitBox, GetGlobalLocationMatrix(), color);
    if (m_displayRealBoundingBox)
        gRenderer->DebugDrawBox(GetLocalBoundingBox(), GetGlobalLocationMatrix(), color);
}
