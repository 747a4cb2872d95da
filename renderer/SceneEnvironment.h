// SceneEnvironment: what is global to the drawn scene (script global gSceneEnvironment). It holds
// five scene parameter sets on the render thread: current (the blended result), from and to (the
// ends of a blend), override (UI screens that show their own scene) and temporary (a set put in
// force without a blend); the scene's eight lightmap textures and its light probe map; three scene
// colours; and per-frame values derived from the set in force (cloud and layer scroll, the cloud
// texture matrix, fog factors, sky tints).
//
// The game thread changes it only by posting the sub-commands below through the call command
// (opcode 47), each carrying the environment's address first; the render thread runs them in stream
// order and updates the environment once per frame from the frame-times command. Lightmap loading
// and unloading run on the game thread: they submit the render stream synchronously first, so no
// frame is drawn while the slot array changes, and the render thread only reads the slots. Every
// set pointer, the blend state and the derived values belong to the render thread.
#pragma once

#include "core/math/Matrix.h"
#include "core/math/Vector.h"
#include "renderer/LightProbeMap.h"
#include "renderer/SceneParametersWrapper.h"

#include <cstdint>

class CommandRingBuffer;
class EngineConfig;
class GameTimer;
class NorvexRenderer;
class Resource;
class TextureHolder;

// The render-side scene environment and the game-side calls that drive it.
class SceneEnvironment
{
public:
    enum SubCommand : uint32_t
    {
        SUB_BLEND = 0,            // start ticks (u64), set pointer, flags, duration (float)
        SUB_CREATE = 1,           // none
        SUB_CLOSE = 2,            // none
        SUB_SET_OVERRIDE = 3,     // set pointer
        SUB_ENABLE_OVERRIDE = 4,  // none
        SUB_DISABLE_OVERRIDE = 5, // none
        SUB_SET_COLORS = 6,       // three vectors
        SUB_UNLOAD_LIGHTMAPS = 7, // none
        SUB_LOAD_LIGHTMAPS = 8,   // heap string pointer (the render thread frees it) or null
        kSubCommandCount = 9,
    };

    // Blend flags, shared by every game-side caller.
    static constexpr uint32_t kBlendTemporary = 1;    // put the set in force as the temporary set
    static constexpr uint32_t kBlendEndTemporary = 2; // end the temporary set in force
    static constexpr uint32_t kBlendClockMask = 12;
    static constexpr uint32_t kBlendClockSecondGame = 4;
    static constexpr uint32_t kBlendClockEngine = 8; // any other value: the first game clock
    static constexpr uint32_t kBlendEasingMask = 48;
    static constexpr uint32_t kBlendEaseInOut = 0;
    static constexpr uint32_t kBlendEaseOut = 16;
    static constexpr uint32_t kBlendEaseIn = 32;
    static constexpr uint32_t kBlendLinear = 48;

    static constexpr uint32_t kLightmapCount = 8;
    // Creation flags of a lightmap's texture resource: 128 puts it in "scenes".
    static constexpr uint32_t kLightmapResourceFlags = 130;

    SceneEnvironment();
    ~SceneEnvironment();
    SceneEnvironment(const SceneEnvironment&) = delete;
    SceneEnvironment& operator=(const SceneEnvironment&) = delete;

    // Game thread. The clocks a blend's start is read from: the first and second game clocks (the
    // engine clock is the engine timer). Until installed they read 0.
    void InstallClocks(const GameTimer* firstGameClock, const GameTimer* secondGameClock);
    // The configuration whose texture-container query picks the lightmaps' extension; none: "dds".
    void SetConfig(const EngineConfig* config) { m_config = config; }
    // The ticks of the clock that the flags' bits 2-3 select.
    uint64_t GetClockTime(uint32_t flags) const;

    // Game thread. Create posts the creation of the sets once; Close unloads the lightmaps, posts
    // the sets' deletion and submits synchronously, so they are gone before the next service closes.
    void Create();
    void Close();
    bool IsCreated() const { return m_created; }
    // Blends to the set over `duration` seconds from now on the clock the flags select; a null set
    // blends back to the defaults. See StartBlend for the flags.
    void BlendToParameters(const SceneParametersWrapper* set, uint32_t flags, float duration);
    void SetOverrideParameters(const SceneParametersWrapper* set);
    void EnableOverride();
    void DisableOverride();
    void SetColors(const Vector& color0, const Vector& color1, const Vector& color2);
    // Loads "<prefix>[_varNN]_lm<n>" for n = 0, 1, ... up to the first missing file, and the light
    // probe map of the scene; variant 255 means none. A null prefix only unloads.
    void LoadLightmaps(const char* prefix, uint32_t variant);
    void UnloadLightmaps();
    // The lightmap resource of slot n (game thread), null when absent.
    Resource* GetLightmapResource(uint32_t n) const { return n < kLightmapCount ? m_lightmaps[n] : nullptr; }

    // Argument bytes of a sub-command after the call header (the environment's address included).
    static bool GetArgumentBytes(uint32_t subCommand, uint32_t& bytes);
    // Render thread: runs one posted sub-command.
    static void Execute(NorvexRenderer& renderer, uint32_t subCommand, CommandRingBuffer& reader);

    // Render thread: the five sets with their defaults (sub-command 1), and their deletion (2).
    void CreateSets();
    void DeleteSets();
    // Render thread. Bit 0 of the flags puts the set in force as the temporary set (a null set ends
    // it) and changes nothing else; otherwise bit 1 ends the temporary set, the current set becomes
    // the start of a blend towards the set's affected groups (the defaults for a null set), and a
    // duration of exactly 0 applies the target at once.
    void StartBlend(const SceneParametersWrapper* set, uint32_t flags, uint64_t startTicks, float duration);
    // Sub-commands 4 and 5.
    void SetOverrideInForce(bool inForce)
    {
        m_overrideInForce = inForce;
        m_dirty = true;
    }
    // Once per frame with each clock's current ticks and last step in seconds.
    void Update(uint64_t engineTicks, float engineDelta, uint64_t firstGameTicks, float firstGameDelta,
                uint64_t secondGameTicks, float secondGameDelta);
    // The override set when in force, else the temporary set when in force, else the current set;
    // null before the sets exist.
    const SceneParametersWrapper* GetActiveParameters() const;
    // The device texture of lightmap n, null when absent or not loaded.
    TextureHolder* GetLightmapTexture(uint32_t n) const;
    const Matrix& GetLayerProjectionMatrix() const;

    bool HasSets() const { return m_current != nullptr; }
    const SceneParametersWrapper* GetCurrentSet() const { return m_current; }
    const SceneParametersWrapper* GetOverrideSet() const { return m_override; }
    const SceneParametersWrapper* GetTemporarySet() const { return m_temporary; }
    bool IsBlending() const { return m_blending; }
    bool IsOverrideInForce() const { return m_overrideInForce; }
    bool IsTemporaryInForce() const { return m_temporaryInForce; }
    bool IsDirty() const { return m_dirty; }
    // The post-processing chain has refilled its lookup tables from the set in force.
    void ClearDirty() { m_dirty = false; }
    const Matrix& GetCloudTextureMatrix() const { return m_cloudTextureMatrix; }
    const Vector& GetCloudOffset() const { return m_cloudOffset; }
    const Vector& GetLayerOffset() const { return m_layerOffset; }
    // (a, b, 0, 0) with fog = distance x a + b.
    const Vector& GetFogFactors() const { return m_fogFactors; }
    const Vector& GetTopTint() const { return m_topTint; }
    const Vector& GetBottomTint() const { return m_bottomTint; }
    const Vector& GetSceneColor(uint32_t index) const { return m_sceneColors[index]; }
    const LightProbeMap& GetLightProbeMap() const { return m_lightProbeMap; }

    // The blend factor of linear progress p in [0, 1] under the easing bits of the flags.
    static float Ease(uint32_t flags, float p);

private:
    bool BeginCall(uint32_t subCommand);

    // Game side.
    bool m_created = false;
    const GameTimer* m_firstGameClock = nullptr;
    const GameTimer* m_secondGameClock = nullptr;
    const EngineConfig* m_config = nullptr;
    // Written on the game thread with the render thread idle; read on the render thread.
    Resource* m_lightmaps[kLightmapCount] = {};

    // Render side.
    uint64_t m_blendStart = 0;
    float m_blendDuration = 0.0f;
    bool m_blending = false;
    uint32_t m_blendFlags = 0;
    SceneParametersWrapper* m_current = nullptr;
    SceneParametersWrapper* m_from = nullptr;
    SceneParametersWrapper* m_to = nullptr;
    SceneParametersWrapper* m_override = nullptr;
    SceneParametersWrapper* m_temporary = nullptr;
    bool m_temporaryInForce = false;
    bool m_overrideInForce = false;
    Matrix m_cloudTextureMatrix = Matrix::ONE;
    Vector m_cloudOffset;
    Vector m_layerOffset;
    Vector m_fogFactors; // no fog until a set with a fog range is in force
    bool m_dirty = true;
    Vector m_sceneColors[3];
    LightProbeMap m_lightProbeMap;
    Vector m_topTint = Vector(1.0f, 1.0f, 1.0f, 1.0f);
    Vector m_bottomTint = Vector(1.0f, 1.0f, 1.0f, 1.0f);
};

extern SceneEnvironment gSceneEnvironment;
