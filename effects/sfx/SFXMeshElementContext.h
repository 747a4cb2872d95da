// SFXMeshElementContext: the mesh of one playing mesh element: the link to the mesh's current
// rendering data, and the animator that poses it when the element plays an animation. The link is
// made on the render thread (a call command posted by Init, and again when the mesh template
// changes), because the rendering data's safe-pointer list belongs to that thread. Init finds the
// animation and waits for its clip on the game thread; the first link command builds the animator
// and starts the clip on the render thread, which alone poses it, with a sample context of that
// thread's own, so the game thread's poses never share one and the render thread never waits.
#pragma once

#include "core/containers/SafePointer.h"
#include "effects/animation/AnimationClock.h"
#include "effects/sfx/SFXElementContext.h"

#include <cstdint>
#include <memory>

class CommandRingBuffer;
class MeshAnimator;
class MeshTemplateAnimationPreset;
class MeshTemplateRenderingData;
class NorvexRenderer;
class SFXMeshElementDefinition;

// The time an element's animation runs on: the effect's own clock, advanced by its updates on the
// render thread (the game's timers belong to the game thread).
class SFXElementAnimationClock final : public AnimationClock
{
public:
    Time GetTime() const override { return m_time; }
    void Advance(float seconds);

private:
    Time m_time;
};

// A playing mesh element.
class SFXMeshElementContext : public SFXElementContext
{
public:
    enum SubOperation : uint32_t
    {
        SUB_LINK = 0,
    };

    SFXMeshElementContext();
    ~SFXMeshElementContext() override;

    // Base, then the template's box, the rendering-data link (posted) and the animation.
    void Init(const SFXElementDefinition& definition, const Matrix& parent, uint32_t renderingFlags,
              uint32_t initFlags) override;
    // Base, then the pose at the progress envelope's value.
    void Update(double clockSeconds, float delta, const SFXElementDefinition& definition,
                const Matrix& parent) override;
    // Links to the mesh's rendering data again.
    void OnMeshTemplateChanged(const SFXElementDefinition& definition) override;

    // Render thread: the link sub-operation's work (the link, then the animation Init prepared).
    void Link(const SFXMeshElementDefinition& definition);
    void StartAnimation(const SFXMeshElementDefinition& definition);
    static void ExecuteCall(NorvexRenderer& renderer, uint32_t subOperation, CommandRingBuffer& reader);

    const MeshTemplateRenderingData* GetRenderingData() const { return m_data.Get(); }
    const MeshAnimator* GetAnimator() const { return m_animator.get(); }
    // The bone matrices of the pose, or null when the element is not animated.
    const float* GetBones() const;
    float GetRandomPhase() const { return m_randomPhase; }

private:
    void PostLink(const SFXMeshElementDefinition& definition);
    // Game thread: the animation's index and preset with its clip loaded, when the element plays one.
    void PrepareAnimation(const SFXMeshElementDefinition& definition);

    SafePointer<MeshTemplateRenderingData> m_data;
    SFXElementAnimationClock m_clock;
    std::unique_ptr<MeshAnimator> m_animator;
    // Written by Init before the link command is posted, taken by that command.
    std::unique_ptr<MeshTemplateAnimationPreset> m_pendingPreset;
    int32_t m_animationIndex = -1;
    int32_t m_rootNode = -1;
    float m_randomPhase = 0.0f; // in [0, 1)
};
