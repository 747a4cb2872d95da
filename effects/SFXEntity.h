// SFXEntity: the scene entity an SFXTemplate makes. It keeps no effect state of its own: its
// rendering context (an SFXContext) plays the template's definition on the render thread. The
// entity turns the start delay, restarts, loop breaks and self-deletion into its numbered scheduled
// callbacks, forwards the script operations to the context as render commands, and takes the
// effect's bounding box back from the render thread. A restart always builds a new context, so
// every element starts again from the beginning of its envelopes. Main thread only.
#pragma once

#include "scene/entities/Entity.h"

#include <cstdint>

class ParticleSpawner;
class SFXContext;
class SFXTemplate;

// Entity that plays an effect.
class SFXEntity : public Entity
{
    RTTI_DECLARE_CLASS(SFXEntity, Entity)

public:
    // Numbered callbacks.
    enum Callback : uint32_t
    {
        CALLBACK_START = 1,         // the start delay ran out
        CALLBACK_START_ONCE = 2,    // as 1, then every loop is broken
        CALLBACK_POLL_FINISHED = 3, // is the effect over?
        CALLBACK_DELETE = 4,        // the delete timeout ran out
        CALLBACK_BOUNDS = 5,        // take the effect's bounds from the render thread
    };
    // Render flag bits: the render lists the effect's passes need, and bounds taken.
    static constexpr uint32_t kRenderFlagMain = 0x20;
    static constexpr uint32_t kRenderFlagLights = 0x40;
    static constexpr uint32_t kRenderFlagPass8 = 0x80;
    static constexpr uint32_t kRenderFlagBoundsTaken = 0x100;
    static constexpr uint32_t kRenderFlagChannel = 0x200;
    // Start delays below this start at once (seconds).
    static constexpr float kImmediateStart = 0.001f;

    ~SFXEntity() override;

    void OnPropertiesChanged() override;
    void RefreshVisibilityFlags() override;
    void PostCreateInit() override;
    void OnScheduledCallback(uint32_t id) override;
    void DrawDebug(uint32_t flags) override;
    // Re-activation (a compound rebuilt its members): every pass list again, and a restart of the
    // context's elements.
    void RefreshRendering() override;
    EntityRenderingContext* CreateRenderingContext() override;

    // A new context that starts with `skip` (see SFXContext::PostRestart); `withBounds` fetches the
    // new effect's bounds.
    void Restart(uint8_t skip, bool withBounds);
    // Moves the effect on by `seconds`: first through a pending start delay, the rest into the
    // playing effect.
    void AdvanceTime(float seconds);
    void SetSpeedMultiplier(float multiplier);
    void SetSpawnRateMultiplier(float multiplier);
    void SetElementLocalColor(const char* name, const Vector& color);
    void SetElementLocalColor(const char* name, float r, float g, float b, float a);
    void SetElementSpeedMultiplier(const char* name, float multiplier);
    // Null names every loop; then a pending start also breaks the loops when it comes.
    void BreakLoop(const char* name);
    void ActivateLoop(const char* name);
    void SetDeleteAtStop(bool deleteAtStop);
    bool GetDeleteAtStop() const { return m_deleteAtStop; }
    // A mesh template changed: elements that show it re-link.
    void PostContextSubOp16(const EntityTemplate* meshTemplate);
    // Takes ownership; every particle element of the effect spawns through it. Deleted on the
    // render thread.
    void SetCustomSpawner(ParticleSpawner* spawner);

    SFXContext* GetSFXContext() const;
    const SFXTemplate* GetSFXTemplate() const;

private:
    // Render flags 0x20, 0x40, 0x80 and 0x200 from the definition's pass bits.
    void ApplyPassRenderFlags();
    // The polling period of callback 3 and the bounds period: 1 + r seconds, r in [0, 1).
    static float NextPollDelay();
    void SetLocalBoxValue(const BoundingBox4& box) { SetLocalBoundingBox(box); }
    const BoundingBox4* GetLocalBoxValue() const { return &GetLocalBoundingBox(); }

    bool m_displayRealBoundingBox = false;
    bool m_startAtGameInit = true;
    bool m_deleteAtStop = true;
    ParticleSpawner* m_customSpawner = nullptr;
};
