// SFXContext: one playing instance of an effect definition, the render-side rendering context of an
// SFX entity, of a template preview, or of an embedded element's nested effect.
//
// Threads. The game thread constructs the context, initialises it (Init builds one element context
// per enabled element definition and hands the array over through sub-operation 2), posts the
// operations below as opcode-47 calls through CommandThunk, reads the published bounds and releases
// it. From then on the render thread alone owns the element contexts, the active and finished
// state, the time and the multipliers: it runs the calls in stream order, advances every context of
// the active list once per frame (RenderAll, from the frame-times command), draws it in the passes
// that ask for it and deletes it after every command that names it.
//
// Definition. The context knows its definition twice. The game thread's link (GetDefinition, the
// definition's list of contexts) is made at the first Init and undone at Release or when the
// definition dies; the render thread never reads it. The render thread draws with the definition
// that each install hands it (GetRenderDefinition), which it alone clears, so a release on the game
// thread cannot pull the definition from under a draw: the context keeps drawing the definition it
// was installed with until its deletion runs, after every frame that can still see it. A definition
// that dies under a playing context detaches it through the stream (sub-operation 17) and drains.
//
// Bounds. After each update that has elements which expand the box, the render thread publishes
// the box once the game thread has taken the previous one (issued = completed of a SyncCounter);
// the game thread takes it through GetDynamicBounds.
//
// Parking. A context whose rendering flags allow it (16) and that has not been drawn for more than
// 3 frames leaves the per-frame walk: looping effects pause where they are and rejoin when drawn
// again, the others finish.
//
// Nesting. An embedded element's context owns a nested SFXContext that its element updates and
// draws; nested contexts never join the walk and never hold a further nested effect.
#pragma once

#include "core/containers/Dynarray.h"
#include "core/math/BoundingBox4.h"
#include "core/math/Matrix.h"
#include "core/math/Vector.h"
#include "core/threads/SyncCounter.h"
#include "renderer/EntityRenderingContext.h"
#include "scene/templates/EntityTemplate.h"

#include <atomic>
#include <cstdint>

class CommandRingBuffer;
class ParticleSpawner;
class SFXDefinition;
class SFXElementContext;
class SFXElementDefinition;

// A playing effect.
class SFXContext : public EntityRenderingContext, public EntityTemplatePreview
{
public:
    enum SubOperation : uint32_t
    {
        SUB_RESTART = 0,
        SUB_STOP = 1,
        SUB_INSTALL = 2,
        SUB_NOTHING = 3,
        SUB_SPEED = 4,
        SUB_SPAWN_RATE = 5,
        SUB_ELEMENT_COLOR = 6,
        SUB_ELEMENT_SPEED = 7,
        SUB_BREAK_LOOP = 8,
        SUB_ACTIVATE_LOOP = 9,
        SUB_FADE_OUT_SOUND = 10,
        SUB_ADVANCE_TIME = 11,
        SUB_PASS_MASKS = 12,
        SUB_ELEMENT_LIFE = 13,
        SUB_SPAWNER = 14,
        SUB_COLOR = 15,
        SUB_MESH_TEMPLATE_CHANGED = 16,
        SUB_DETACH_DEFINITION = 17,
        SUB_LAST = SUB_DETACH_DEFINITION,
    };
    // Rendering flag values (not bit indices).
    static constexpr uint32_t kFlagNoGrid = EntityRenderingContext::kFlagNoGrid;
    static constexpr uint32_t kFlagDepthPass = 2;
    static constexpr uint32_t kFlagThirdClock = 4;
    static constexpr uint32_t kFlagEngineClock = 8;
    static constexpr uint32_t kFlagMayPark = 16;
    static constexpr uint32_t kFlagChannelPass = 32;
    // Frames a parkable context may go undrawn before it leaves the walk.
    static constexpr uint32_t kParkAfterFrames = 3;

    // Game thread. `effectTemplate` is the template that owns the definition (none for tests);
    // `useSceneColor` is the template's "Use FSE SFX Color Multiplier" for an entity's effect and
    // true otherwise.
    SFXContext(NorvexRenderer& renderer, EntityTemplate* effectTemplate, uint32_t renderingFlags, bool nested,
               bool useSceneColor = true);
    // Render thread: deletes the element contexts and leaves the active list.
    ~SFXContext() override;

    // Game thread.
    // Builds the element contexts of `definition` placed at `matrix` and hands them to the render
    // thread. The first call binds the context to the definition. With `carryOver` (and an unchanged
    // element count) each new element context starts where its predecessor stood and takes over
    // what must outlive it (a playing sound).
    void Init(SFXDefinition& definition, const Matrix& matrix, bool carryOver, uint32_t initFlags);
    // Sub-operation 0: starts every element with `skip` (the first byte is not used).
    void PostRestart(uint8_t unused, uint8_t skip);
    void PostSubOp1();
    void PostSetSpeedMultiplier(float multiplier);
    void PostSetSpawnRateMultiplier(float multiplier);
    // The named posts change every element whose "Description" equals `name` byte for byte; a name
    // too long for one command is refused (logged).
    void PostSetElementLocalColor(const char* name, const Vector& color);
    void PostSetElementSpeedMultiplier(const char* name, float multiplier);
    void PostSetElementLifeMultiplier(const char* name, float multiplier);
    // Null names every loop.
    void PostBreakLoop(const char* name);
    void PostActivateLoop(const char* name);
    void PostFadeOutSound(float seconds, uint8_t mute);
    void PostAdvanceTime(float seconds);
    void PostSetPassMasks(uint32_t andMask, uint32_t orMask);
    void PostSetSpawner(ParticleSpawner* spawner);
    void PostSetColor(const Vector& color);
    // Game thread. For every element whose mesh template is `meshTemplate`: refreshes the element
    // definition, then tells its element context. The first such element waits for the render
    // thread and for the definition's templates still loading.
    void PostSubOp16(const EntityTemplate* meshTemplate);
    // Leaves the definition's list (and so do the nested contexts), then posts the deletion and gives
    // back the element contexts' template references; the render side keeps its definition until
    // the deletion runs.
    void Release() override;
    void Destroy() override { Release(); }
    // Takes the newest published bounds once: false when none is new since the last take.
    bool GetDynamicBounds(BoundingBox4* bounds) const override;
    // Finished: nothing of the effect runs any more. Written on the render thread.
    bool IsFinished() const { return m_finished.load(std::memory_order_acquire) != 0; }

    // Render thread.
    static void CommandThunk(NorvexRenderer& renderer, uint32_t subOperation, CommandRingBuffer& reader);
    void ExecuteCommand(uint32_t subOperation, CommandRingBuffer& reader);
    // The per-frame walk of the active list: each context advances on the clock its flags pick
    // (seconds and step of the engine clock, the first and the second game clock).
    static void RenderAll(double clock1, float delta1, double clock2, float delta2, double clock3, float delta3);
    // The same update for one (nested) context.
    void UpdateNested(double clock1, float delta1, double clock2, float delta2, double clock3, float delta3);
    void Start(uint8_t skip);
    void Stop();
    // Releases the named loop (every loop for null) of every element; a context outside the walk
    // whose loops are all released ends at once.
    void LeaveLoops(const char* name);
    // Every element back to its start, and the time to 0 (an embedded element restarting).
    void ResetPlayback();
    // The main draw, with the renderer's pass mask; DrawEffect is the same with explicit arguments
    // (an embedded element forwards its own).
    void Draw(const Matrix& world, uint32_t passFlags, const Vector& color) override;
    void DrawEffect(const Vector& color, uint32_t passFlags, uint32_t passMask, uint32_t extra);
    // The elements with the depth-pass byte, depth only (the shadow map's casters).
    void DrawDepth(uint8_t mirrorToggle, uint32_t passFlags) override;
    uint32_t GetChannelMask(uint32_t passFlags) const override;
    // The elements with pass bit 32, placed from the context's own world matrix as in Draw.
    bool DrawChannel(const Matrix& world, uint32_t passFlags) override;

    // Getters (render thread for the render-side state). The definition link and the next context
    // of the definition belong to the game thread.
    SFXDefinition* GetDefinition() const { return m_definition; }
    SFXContext* GetNextOfDefinition() const { return m_definitionNext; }
    // Render thread: the definition of the installed element contexts.
    const SFXDefinition* GetRenderDefinition() const { return m_renderDefinition; }
    EntityTemplate* GetEffectTemplate() const { return m_template; }
    uint32_t GetRenderingFlags() const { return m_renderingFlags; }
    bool IsNested() const { return m_nested != 0; }
    bool IsActive() const { return m_active != 0; }
    bool IsRegistered() const { return m_registered != 0; }
    float GetTime() const { return m_time; }
    float GetSpeedMultiplier() const { return m_speedMultiplier; }
    float GetSpawnRateMultiplier() const { return m_spawnRateMultiplier; }
    uint32_t GetPassAndMask() const { return m_passAndMask; }
    uint32_t GetPassOrMask() const { return m_passOrMask; }
    int32_t GetElementContextCount() const { return m_elementCount; }
    SFXElementContext* GetElementContext(int32_t index) const;
    const Dynarray<SFXContext*>& GetNestedContexts() const { return m_nestedContexts; }
    const BoundingBox4& GetFrameBounds() const { return m_frameBounds; }
    static SFXContext* GetFirstActive() { return sActiveHead; }
    SFXContext* GetNextActive() const { return m_activeNext; }

private:
    friend class SFXDefinition;

    // Opens a call for this context with `argumentBytes` after the context pointer.
    bool BeginSfxCall(uint32_t subOperation, uint32_t argumentBytes);
    // Posts a call whose arguments are `fixedBytes` then a u32 length and `nameBytes` of name;
    // false (logged) when the name does not fit one command.
    bool BeginNamedCall(uint32_t subOperation, uint32_t fixedBytes, uint32_t nameBytes);
    void Install(SFXElementContext** elements, int32_t count, bool first, const SFXDefinition* definition);
    // Game thread, for a dying definition: the render side drops its element contexts and the
    // definition (sub-operation 17).
    void PostDetachDefinition();
    // Game thread, before a post that deletes the installed element contexts (a new install, the
    // release, a detach): the nested contexts leave their definitions' lists and the nested list,
    // and the template references of those element contexts (the nested ones' included) move to
    // `references`, which the caller gives back after the post.
    void UnlinkNestedContexts(Dynarray<EntityTemplate*>& references);
    void JoinActiveList();
    void LeaveActiveList();
    void UpdateFrame(double clock, float delta);
    // The two parent matrices of the elements: the world matrix scaled by the definition's scale
    // (`keep`, the parent's own scale kept) and the same with unit axes (`unit`).
    static void ComputeParentMatrices(const SFXDefinition& definition, const Matrix& world, Matrix& keep,
                                      Matrix& unit);
    // Each element whose "Description" equals `name`.
    template <typename Visit>
    void ForEachNamed(const char* name, Visit visit);
    uint32_t ViewBit(uint32_t passFlags) const;
    // The element's draw matrix: local, then parent, then its face-camera alignment.
    Matrix ElementDrawMatrix(const SFXElementDefinition& element, const SFXElementContext& context,
                             const Matrix& keep, const Matrix& unit) const;

    static SFXContext* sActiveHead;
    static SFXContext* sActiveTail;

    EntityTemplate* m_template;
    uint32_t m_renderingFlags;
    SFXElementContext** m_elements = nullptr;
    int32_t m_elementCount = 0;
    uint32_t m_passAndMask = 0xFFFFFFFFu;
    uint32_t m_passOrMask = 0;
    SFXContext* m_activePrevious = nullptr;
    SFXContext* m_activeNext = nullptr;
    uint8_t m_registered = 0;
    const SFXDefinition* m_renderDefinition = nullptr;
    uint8_t m_active = 0;
    float m_time = 0.0f; // seconds since the element contexts were installed
    float m_speedMultiplier = 1.0f;
    float m_spawnRateMultiplier = 1.0f;
    std::atomic<uint8_t> m_finished{0};
    uint8_t m_useSceneColor;
    BoundingBox4 m_frameBounds = BoundingBox4::INVALID;
    // Render thread writes while issued = completed; the game thread reads while issued > completed.
    BoundingBox4 m_publishedBounds =
        BoundingBox4(Vector(-1.0f, -1.0f, -1.0f, 1.0f), Vector(1.0f, 1.0f, 1.0f, 1.0f));
    mutable SyncCounter m_publishedCounter;
    // Game thread: the link into the definition's list.
    SFXDefinition* m_definition = nullptr;
    SFXContext* m_definitionPrevious = nullptr;
    SFXContext* m_definitionNext = nullptr;
    uint8_t m_nested;
    Dynarray<SFXContext*> m_nestedContexts;
    // Game thread: the template references the installed element contexts handed over
    // (SFXElementContext::TakeTemplateReference). Given back only after the deletion of those
    // contexts is in the stream, so that whatever an unloading template posts comes after it.
    Dynarray<EntityTemplate*> m_templateReferences;
    uint32_t m_lastDrawnFrame = 0;
};
