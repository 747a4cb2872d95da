// EntityRenderingContext: the render-side twin of an entity and base of the kinds' contexts.
//
// The game thread builds a context (filling it from its entity through ApplySource before anything
// names it), then never touches its state again: each operation below writes a call command
// (opcode 47) with a sub-command number, and the render thread applies it in stream order. The
// render thread keeps the context in the cells of the render-side grid (SceneCellGrid) that its
// box covers, one record per cell, and moves it with every transform. Release posts the
// destruction, so the context dies on the render thread after every earlier command that names it,
// leaving every cell it was in. Game-side calls: ApplySource before the first post, the posting
// operations. Render thread: Execute, the getters, the draw entries.
#pragma once

#include "core/containers/SafePointer.h"
#include "core/math/BoundingBox4.h"
#include "core/math/Matrix.h"
#include "core/math/Vector.h"
#include "renderer/SceneCellGrid.h"

#include <cstddef>
#include <cstdint>
#include <new>

class CommandRingBuffer;
class NorvexRenderer;

// What a new context copies from its entity and the entity's template (the scene fills it).
struct EntityRenderingSource
{
    bool hasEntity = false;
    uint32_t key = 0;
    Matrix world = Matrix::ONE;
    Matrix global = Matrix::ONE;
    BoundingBox4 localBounds = BoundingBox4::INVALID;
    bool mirrored = false;
    bool flagged = false; // the entity's flag word has a bit of 0x400010
    uint32_t randomId = 0;
    uint8_t renderingPass = 0; // "Rendering pass"
    float sortOffset = 0.0f;   // "Sort offset"
    bool sortOffsetFromTemplate = false;
    bool hasTemplate = false;
    uint32_t faceCameraMode = 0;       // "Face camera mode"
    float faceCameraOffset = 0.0f;     // "Face camera offset"
    Vector wireframeColor;             // "Wireframe color" as a vector
    float templateSortOffset = 0.0f;   // the template's "Sort offset"
    uint8_t layer = 0;                 // the entity's layer index
    uint8_t detailLevel = 0;           // the lowest detail level that draws the entity
};

// Render-side state of one entity, changed only through render commands.
class EntityRenderingContext : public SafePointerRoot
{
public:
    enum SubCommand : uint32_t
    {
        SUB_RELINK = 0,
        SUB_COPY_LAYER = 1,
        SUB_DESTROY = 2,
        SUB_TRANSFORM_AND_BOUNDS = 3,
        SUB_STATE_FLAG = 4,
        SUB_WIREFRAME_COLOR = 6,
        SUB_COLOR_MULTIPLIER = 7,
        SUB_FLAGGED = 8,
    };
    // Context flags: kept out of the grid; driven by the second game clock.
    static constexpr uint32_t kFlagNoGrid = 0x1;
    // Drawn into the directional shadow map.
    static constexpr uint32_t kFlagCastsShadows = 0x2;
    static constexpr uint32_t kFlagSecondGameClock = 0x4;
    // Rendering pass 0..3 to render layer; any other value, and no entity, gives the first.
    static constexpr uint32_t kRenderLayers[4] = {3, 5, 7, 13};

    explicit EntityRenderingContext(NorvexRenderer& renderer, uint32_t flags = 0);
    // A sort offset comes through ApplySource; a float here would silently become flags.
    EntityRenderingContext(NorvexRenderer& renderer, float) = delete;
    // Leaves every cell of the stored range.
    ~EntityRenderingContext() override;
    EntityRenderingContext(const EntityRenderingContext&) = delete;
    EntityRenderingContext& operator=(const EntityRenderingContext&) = delete;
    // Contexts of every kind live in the slot pool (SlotPool.h).
    static void* operator new(size_t bytes, std::align_val_t alignment);
    static void operator delete(void* context, size_t bytes, std::align_val_t alignment);

    // Game thread, before the context is first posted: the entity's and template's values.
    void ApplySource(const EntityRenderingSource& source);

    // Game thread: posted operations.
    void PostRelink();
    // Takes another context's render layer (none gives 0).
    void CopyLayer(EntityRenderingContext* source);
    // Posts the destruction; the caller forgets the pointer. Kinds first undo their game-side links.
    virtual void Release();
    void SetTransformAndBounds(const Matrix& world, const Matrix& global, bool mirrored, const BoundingBox4& bounds);
    void SetStateFlag(uint8_t state);
    void SetWireframeColor(const Vector& color);
    void SetColorMultiplier(const Vector& color);
    // Flagged contexts are those of hidden or update-disabled entities.
    void SetFlagged(bool flagged);

    // Render thread.
    static void Execute(NorvexRenderer& renderer, uint32_t subCommand, CommandRingBuffer& reader);
    // Copies the world matrix (mirrored only without a face camera mode), then the grid update.
    void SetTransform(const Matrix& world, bool mirrored);
    // Stamps the frame and draws with the world matrix, or its billboard under a face camera mode.
    void DrawMain(uint32_t passFlags, const Vector& color);
    // The matrix the draws use this frame.
    Matrix GetDrawMatrix() const;
    // The kind's draw with the chosen matrix.
    virtual void Draw(const Matrix& world, uint32_t passFlags, const Vector& color)
    {
        (void)world;
        (void)passFlags;
        (void)color;
    }
    // The draw of one scene pass with pass argument A (the mesh pass) and B (its channel options).
    // Kinds that draw one way whatever the pass keep this base, which is their Draw.
    virtual void DrawPass(const Matrix& world, uint32_t passFlags, const Vector& color, int32_t passA, uint32_t passB)
    {
        (void)passA;
        (void)passB;
        Draw(world, passFlags, color);
    }
    // Stamps the frame and draws one pass with the draw matrix.
    void DrawMainPass(uint32_t passFlags, const Vector& color, int32_t passA, uint32_t passB);
    // The shadow map's depth pass; `mirrorToggle` flips the mirrored byte. The base draws nothing.
    virtual void DrawDepth(uint8_t mirrorToggle, uint32_t passFlags)
    {
        (void)mirrorToggle;
        (void)passFlags;
    }
    // The channel pass: writes the context's channels into the colour channels the renderer's pass
    // mask selects; true when anything was drawn. The base draws nothing.
    virtual bool DrawChannel(const Matrix& world, uint32_t passFlags)
    {
        (void)world;
        (void)passFlags;
        return false;
    }
    bool CastsShadows() const { return (m_flags & kFlagCastsShadows) != 0; }
    // The shadow map takes a caster only where its entity's layer is visible and the detail level
    // draws it.
    uint8_t GetLayer() const { return m_layer; }
    uint8_t GetDetailLevel() const { return m_detailLevel; }
    // A walk over the grid cells meets a context once per cell it covers: true the first time a
    // walk numbered `visit` asks.
    bool MarkVisited(uint32_t visit)
    {
        if (m_visit == visit)
            return false;
        m_visit = visit;
        return true;
    }
    // The passes of `passFlags` this context joins; the outlined list takes it when one of them is in
    // the renderer's pass mask. The base joins none.
    virtual uint32_t GetChannelMask(uint32_t passFlags) const
    {
        (void)passFlags;
        return 0;
    }
    // Effects whose bounds move on the render side fill the box and answer true.
    virtual bool GetDynamicBounds(BoundingBox4* bounds) const
    {
        (void)bounds;
        return false;
    }
    // Called after every grid update.
    virtual void TransformChanged() {}
    // The pass after the main draws (mesh contexts add their blob shadows); the base does nothing.
    virtual void SecondaryPass(const Matrix& world, uint32_t passFlags)
    {
        (void)world;
        (void)passFlags;
    }
    // The secondary pass with the draw matrix.
    void DrawSecondary(uint32_t passFlags) { SecondaryPass(GetDrawMatrix(), passFlags); }
    const Matrix& GetWorld() const { return m_world; }
    const Matrix& GetGlobal() const { return m_global; }
    const BoundingBox4& GetLocalBounds() const { return m_localBounds; }
    // The local bounds through the global matrix, kept from the last transform (the passes read it
    // every frame; the transform changes far less often).
    const BoundingBox4& GetWorldBox() const { return m_worldBox; }
    // Ask the memory system for a context's lines ahead of a walk that will reach it: walks over
    // thousands of contexts wait on memory, not on arithmetic, and each asks only for what it reads.
    // The lines a draw reads: the base's first four, then the kind's first line, where a kind keeps
    // what its draw reads (a prefetch past the end of a smaller kind reads nothing and cannot fault).
    void PrefetchForDraw() const
    {
        const char* const first = reinterpret_cast<const char*>(this);
        for (const char* line = first; line < reinterpret_cast<const char*>(&m_worldBox); line += 64)
            __builtin_prefetch(line);
        __builtin_prefetch(first + sizeof(EntityRenderingContext));
    }
    // The line the shadow walk's and the depth sort's tests read.
    void PrefetchForTests() const { __builtin_prefetch(&m_worldBox); }
    const Vector* GetLightingBlock() const { return m_lighting; }
    uint32_t GetRenderLayer() const { return m_renderLayer; }
    uint32_t GetFlags() const { return m_flags; }
    uint32_t GetClockIndex() const { return m_clockIndex; }
    uint8_t GetStateByte() const { return m_state; }
    uint32_t GetFaceCameraMode() const { return m_faceCameraMode; }
    float GetFaceCameraOffset() const { return m_faceCameraOffset; }
    bool IsMirrored() const { return m_mirrored != 0; }
    bool IsFlagged() const { return m_flagged != 0; }
    const Vector& GetColorMultiplier() const { return m_colorMultiplier; }
    const Vector& GetLinearColorMultiplier() const { return m_linearColorMultiplier; }
    const Vector& GetWireframeColor() const { return m_wireframeColor; }
    float GetScaleFactor() const { return m_scaleFactor; }
    const SceneCellRange& GetCellRange() const { return m_cells; }
    uint32_t GetKey() const { return m_key; }
    uint32_t GetRandomId() const { return m_randomId; }
    float GetSortOffset() const { return m_sortOffset; }
    uint32_t GetFrameStamp() const { return m_frameStamp; }

protected:
    // Opens a call for this context with `argumentBytes` after the object pointer; false when the
    // renderer refused it.
    bool BeginCall(uint32_t subCommand, uint32_t argumentBytes);
    // Kinds set the context flags their data decides (shadow casting).
    void SetContextFlag(uint32_t flag, bool on) { m_flags = on ? (m_flags | flag) : (m_flags & ~flag); }
    // Kinds that always draw in one render layer: the entity's rendering pass no longer chooses it.
    void SetOwnRenderLayer(uint32_t layer)
    {
        m_renderLayer = layer;
        m_ownRenderLayer = 1;
    }
    // Mesh contexts mark their grid records.
    void SetGridWord(uint32_t word) { m_gridWord = word; }
    void SetScaleFactor(float scale) { m_scaleFactor = scale; }
    NorvexRenderer& m_renderer;

private:
    // Moves the context's records to the cells its box now covers, then TransformChanged.
    void UpdateGrid();
    void LeaveGrid();

    // Fields in the order the passes read them, so that a context the frame has not touched yet costs
    // few cache lines. What a draw reads comes first, on the object's first four lines.
    float m_scaleFactor = 1.0f;
    uint32_t m_faceCameraMode = 0;
    float m_faceCameraOffset = 0.0f;
    uint32_t m_clockIndex;
    uint8_t m_mirrored = 0;
    uint8_t m_flagged = 0;
    uint32_t m_frameStamp = 0;
    Vector m_colorMultiplier = Vector(1.0f, 1.0f, 1.0f, 1.0f);
    Matrix m_world = Matrix::ONE;
    Matrix m_global = Matrix::ONE;
    BoundingBox4 m_localBounds = BoundingBox4::INVALID;
    // What the shadow walk and the depth sort read, on one line.
    alignas(64) BoundingBox4 m_worldBox = BoundingBox4::INVALID;
    float m_sortOffset = 0.0f;
    uint32_t m_flags;
    uint32_t m_visit = 0;
    uint8_t m_layer = 0;
    uint8_t m_detailLevel = 0;
    // The rest.
    Vector m_lighting[10];
    uint32_t m_renderLayer = kRenderLayers[0];
    uint8_t m_state = 0;
    uint8_t m_ownRenderLayer = 0;
    Vector m_wireframeColor;
    SceneCellRange m_cells;
    uint32_t m_cellGeneration = 0; // the grid generation m_cells belongs to
    uint32_t m_key = 0;
    uint32_t m_randomId;
    uint32_t m_gridWord = 0;
    Vector m_linearColorMultiplier = Vector(1.0f, 1.0f, 1.0f, 1.0f);
};
