// The post-processing chain (script class "PostprocessManager"): turns the scene colour target into
// the final frame. On the desktop platform mode a glow is cut from the scene at a quarter of the
// viewport and blurred twice in ping-pong target A (its top-left quarter; target B is the blur's
// intermediate), an optional local-contrast luminance goes beside it at half A's width, and the
// tone-mapping composite reads the scene, that atlas, the auxiliary (outline) target and the two
// lookup tables; FXAA, RGB shift and zoom blur may follow, each reading the previous result and
// writing the other ping-pong target, the last one the frame's own target. When the render size
// differs from the back buffer the chain never writes the frame's target: the result stays in a
// ping-pong target, bound for the UI, and the frame end stretches it up. The mobile modes run a
// glow and one composite. The chain also blurs screen areas for the UI and draws the scene passes'
// ambient occlusion. The outline passes hold their own "Outlines" and "Dilate" pairs.
//
// Threads: InitPostProcessChain and ReleaseShaders on the game thread while the render thread is
// idle (engine start-up and close); everything else on the render thread.
#pragma once

#include "core/math/Matrix.h"
#include "core/math/Vector.h"
#include "renderer/PostprocessMath.h"
#include "renderer/ShaderPair.h"

#include <cstdint>

class NorvexRenderer;
class RenderTarget;
class TextureHolder;
struct SceneShadingParameters;

namespace gpu
{
class GpuSurface;
}

// The chain's shader slots, lookup tables and the frame's camera.
class PostprocessManager
{
public:
    // Slot counts in the order they are held.
    static constexpr uint32_t kMobileSlots = PostprocessMath::kMobileVariants;
    static constexpr uint32_t kScreenCurveSlots = PostprocessMath::kScreenCurveVariants;
    static constexpr uint32_t kCompositeSlots = PostprocessMath::kCompositeVariants;
    enum PassSlot : uint32_t
    {
        PASS_GLOW_SOURCE,
        PASS_GAUSS_BLUR,
        PASS_DOWNSCALE_LUMINANCE,
        PASS_ZOOM_BLUR,
        PASS_FXAA,
        PASS_RGB_SHIFT,
        kPassSlots
    };
    // Lookup tables: the colour table and the tone curve.
    enum Table : uint32_t
    {
        TABLE_COLOR,
        TABLE_TONE,
        kTableCount
    };
    static constexpr uint32_t kTableWidths[kTableCount] = {64, 1024};
    // Composite registers (vertex then pixel), in the order of the composite source.
    static constexpr uint32_t kCompositeVertexRegisters = 19;
    static constexpr uint32_t kCompositePixelRegisters = 15;
    static constexpr uint32_t kRegCompositeColor = 0;      // pixel: the composite colour
    static constexpr uint32_t kRegCompositeShading = 3;    // pixel: exposition, contrast, saturation, vignette
    static constexpr uint32_t kRegCompositeCustom = 7;     // pixel: the four custom colours
    static constexpr uint32_t kRegInverseCamera = 2;       // vertex: four rows
    static constexpr uint32_t kRegCameraPosition = 6;      // vertex
    // Pass registers (pixel unless said).
    static constexpr uint32_t kRegFactor = 0;              // glow source and luminance factor
    static constexpr uint32_t kRegBlurStep = 0;            // Gaussian blur: step (u, v)
    static constexpr uint32_t kRegBlurWeights = 1;         // centre and three side weights
    static constexpr uint32_t kRegBlurOffsets = 2;         // three offsets in texels
    static constexpr uint32_t kRegShift = 0;               // RGB shift: (shift / W, shift / H)
    static constexpr uint32_t kRegZoom = 0;                // zoom blur: strength, two factors
    static constexpr uint32_t kRegOcclusionKernel = 0;     // SSAO prepare: eight offsets in pixels
    static constexpr uint32_t kRegOcclusionTerms = 8;      // 1/W, 1/H, strength term, radius
    static constexpr uint32_t kRegOcclusionColor = 0;      // SSAO blur: 1 - c, c, factor, step
    static constexpr uint32_t kRegMobileEffects = 0;       // mobile composite: shift, zoom strength, factors

    PostprocessManager() = default;
    PostprocessManager(const PostprocessManager&) = delete;
    PostprocessManager& operator=(const PostprocessManager&) = delete;

    // Game thread: loads every slot (the composite family is `compositeFamily`, "Postprocess" when
    // empty), hands the loads over and resolves the slots once the resource thread has run them.
    void InitPostProcessChain(const char* compositeFamily);
    void ReleaseShaders();

    // Render thread, with the device: the two lookup-table textures (dirty when made).
    void CreateDeviceObjects(NorvexRenderer& renderer);
    void ReleaseDeviceObjects();

    // Render thread: the chain for the flags of render command 23 (bit 0 on, bit 2 FXAA allowed),
    // from the frame's target bound as render target 0.
    void Run(NorvexRenderer& renderer, uint32_t flags);
    // Writes a lookup table from `source` (its width of entries). A texture that cannot be locked
    // stays dirty, so the next enabled run tries again; the failure is logged once.
    void FillLookupTexture(Table table, const Vector* source, bool remapGamma);

    // Render thread, for the scene passes' ambient-occlusion step (cull none, alpha test off, blend
    // mode 0, depth always, set by the caller). Prepare draws the occlusion of the scene depth into
    // ambient-occlusion target 0, `source` (the normals) turning the kernel when the scene asks for
    // normal maps; false (nothing drawn) without its slots or targets (quality below 3 has none).
    bool PrepareAmbientOcclusion(NorvexRenderer& renderer, TextureHolder* source);
    // Blurs target 0 across into target 1, then down into the second light-accumulation target: the
    // first one's light (sRGB, as "Lighting" stored it) times the occlusion colour, so "Compose" reads
    // the occluded light there and the normals stay untouched. False (nothing drawn) without its
    // slots or targets.
    bool BlurAmbientOcclusion(NorvexRenderer& renderer);
    // Render thread, for UI blur panels: copies the screen area under `drawMatrix` x `size` (through
    // the current view-projection) from the bound target at half size into a ping-pong target,
    // blurs it `passes` times with `sigma`, and answers the texture with the UV size and origin that
    // map the element's unit square onto it. False, outputs untouched, without a device, target or
    // area. Render target 0, the viewport and the scissor test are as they were on return.
    bool BlurScreenRect(NorvexRenderer& renderer, const Matrix& drawMatrix, const Vector& size, float sigma,
                        uint32_t passes, TextureHolder** texture, Vector* uvSize, Vector* uvOrigin);

    // The Gaussian blur of a region (pixels from the top-left) of `source` into `destination`
    // through `intermediate`: vertically first, then horizontally, each step `stepScale` texels.
    void GaussianBlur(NorvexRenderer& renderer, float sigma, float stepScale, TextureHolder* source,
                      const RenderTarget& intermediate, const RenderTarget& destination, uint32_t regionWidth,
                      uint32_t regionHeight);

    // Inspection.
    const ShaderPair& GetCompositeSlot(uint32_t variant) const { return m_composite[variant % kCompositeSlots]; }
    const ShaderPair& GetMobileSlot(uint32_t variant) const { return m_mobile[variant % kMobileSlots]; }
    const ShaderPair& GetScreenCurveSlot(uint32_t variant) const { return m_screenCurve[variant % kScreenCurveSlots]; }
    const ShaderPair& GetPassSlot(PassSlot slot) const { return m_passes[slot]; }
    const ShaderPair& GetFxaaConsoleSlot() const { return m_fxaaConsole; }
    const ShaderPair& GetSSAOPrepareSlot(bool normalMaps) const { return m_ssaoPrepare[normalMaps ? 1 : 0]; }
    const ShaderPair& GetSSAOBlurSlot(bool finalPass) const { return m_ssaoBlur[finalPass ? 1 : 0]; }
    TextureHolder* GetTableTexture(Table table) const { return m_tables[table].texture; }
    bool IsTableDirty(Table table) const { return m_tables[table].dirty != 0; }
    const Matrix& GetInverseCamera() const { return m_inverseCamera; }
    const Vector& GetCameraPosition() const { return m_cameraPosition; }

private:
    struct LookupTable
    {
        TextureHolder* texture = nullptr;
        uint32_t width = 0;
        uint8_t dirty = 1;
        bool lockFailureLogged = false;
    };
    // Where the desktop chain reads and writes while it runs.
    struct ChainState;

    template <typename Visit> void ForEachSlot(Visit visit);
    void RunDesktop(NorvexRenderer& renderer, uint32_t flags);
    void RunMobile(NorvexRenderer& renderer, uint32_t flags, uint32_t platformMode);
    // Step 1: saves the frame's target and viewport, depth off, the camera of this frame.
    void BeginChain(NorvexRenderer& renderer, ChainState& state);
    // Step 3: the full-screen quad, cull none, alpha test off, blend mode 0.
    void BindQuadState(NorvexRenderer& renderer);
    void RefreshTables(bool force);
    // Binds where the next pass writes (a ping-pong index, or the frame's target with its viewport
    // and flags as the chain found them) and notes it as the result.
    void BindOutput(NorvexRenderer& renderer, ChainState& state, uint32_t output);
    // The other ping-pong target than the last result: where a pass that is not last writes.
    static uint32_t NextOutput(const ChainState& state, bool last);
    void DrawGlow(NorvexRenderer& renderer, const ChainState& state, float factor, float sigma, bool twice);
    void DrawLuminance(NorvexRenderer& renderer, const ChainState& state, float factor);
    void DrawComposite(NorvexRenderer& renderer, ChainState& state, const SceneShadingParameters& shading,
                       uint32_t variant, bool zoom);
    void DrawFxaa(NorvexRenderer& renderer, ChainState& state, const SceneShadingParameters& shading, bool last);
    void DrawRGBShift(NorvexRenderer& renderer, ChainState& state, float shift, bool last);
    void DrawZoomBlur(NorvexRenderer& renderer, ChainState& state, const SceneShadingParameters& shading, bool last);
    void EndChain(NorvexRenderer& renderer, ChainState& state);
    // Copies `source` whole into the bound output (into the saved viewport on the frame's target).
    void CopyToOutput(NorvexRenderer& renderer, const ChainState& state, gpu::GpuSurface* source);

    ShaderPair m_mobile[kMobileSlots];
    ShaderPair m_screenCurve[kScreenCurveSlots];
    ShaderPair m_fxaaConsole;
    ShaderPair m_composite[kCompositeSlots];
    ShaderPair m_passes[kPassSlots];
    ShaderPair m_ssaoPrepare[2];
    ShaderPair m_ssaoBlur[2];
    LookupTable m_tables[kTableCount] = {{nullptr, 64, 1, false}, {nullptr, 1024, 1, false}};
    Matrix m_inverseCamera = Matrix::ONE;
    Vector m_cameraPosition;
};

extern PostprocessManager gPostprocessManager;
