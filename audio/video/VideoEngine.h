// The video engine (script global gVideoEngine): plays one Ogg Theora video at a time, with its
// Vorbis sound when the file has one.
//
// The game thread's operations only write render call commands (opcode 47) with this object and a
// sub-operation; the render thread owns the player (VideoPlayer.h), its decoders and the three
// plane textures (Y, U, V as luminance textures), advances the player once per game frame and
// draws the current frame full screen or lets a UIVideo element draw it. The player's sound goes
// to the sound thread through the sound engine's call command; the sound clock drives which frame
// is shown.
//
// Threads: Init, Close, Play, Stop, Draw, Update and IsPlaying belong to the game thread; the
// accessors marked "render thread" to the render thread.
#pragma once

#include "audio/video/VideoPlane.h"

#include <atomic>
#include <cstdint>
#include <memory>

class CommandRingBuffer;
class NorvexRenderer;
class Resource;
class TextureHolder;
class VideoPlayer;

// Render sub-operations of the video engine.
enum VideoRenderOperation : uint32_t
{
    VIDEO_RENDER_PLAY = 0, // u32 loop, f32 volume, u32 n, u32 m, n name bytes and 0, m folder bytes and 0
    VIDEO_RENDER_STOP = 1,
    VIDEO_RENDER_DRAW = 2,
    VIDEO_RENDER_UPDATE = 3,
};

// The one video player of the engine and its render-side resources.
class VideoEngine
{
public:
    static constexpr const char* kDefaultFolder = "videos";
    static constexpr const char* kShaderName = "Video";
    static constexpr uint32_t kPlaneCount = 3;
    static constexpr uint32_t kSamplerFlags = 6;

    // Becomes gVideoEngine until destroyed.
    VideoEngine();
    ~VideoEngine();
    VideoEngine(const VideoEngine&) = delete;
    VideoEngine& operator=(const VideoEngine&) = delete;

    // Loads the "Video" shaders; false (logged) when they cannot be had.
    bool Init();
    // Stops the video, waits for the render thread when it runs and releases the shaders.
    void Close();

    // Folder null plays from "videos". False (logged) when the command could not be written.
    bool Play(const char* name, const char* folder, bool fullScreen, bool loop, float volume);
    void Stop();
    void Draw();
    void Update();
    // While more videos were asked for than players have ended.
    bool IsPlaying() const;
    bool IsFullScreen() const { return m_fullScreen != 0; }
    uint32_t GetPlayRequests() const { return m_playRequests.load(std::memory_order_acquire); }
    uint32_t GetPlayersDestroyed() const { return m_playersDestroyed.load(std::memory_order_acquire); }

    // Render thread.
    VideoPlayer* GetPlayer() const { return m_player; }
    bool IsFrameAvailable() const { return m_frameAvailable; }
    uint32_t GetTextureSetIndex() const { return m_textureSetIndex; }
    // Null when the plane has no texture.
    TextureHolder* GetPlaneTexture(uint32_t plane) const { return plane < kPlaneCount ? m_planes[plane].get() : nullptr; }
    // The scale from the luminance texture's coordinates to the colour textures' of the frame shown.
    const VideoCoordScale& GetChromaCoordScale() const { return m_chromaScale; }
    // Runs a sub-operation (the render call function).
    static void RenderCall(NorvexRenderer& renderer, uint32_t operation, CommandRingBuffer& reader);

private:
    bool WriteOperation(uint32_t operation, uint32_t argumentBytes);
    void StartPlayer(const char* name, const char* folder, bool loop, float volume);
    void DestroyPlayer();
    void UpdatePlayer(NorvexRenderer& renderer);
    void CreateTextures(NorvexRenderer& renderer, const VideoPlaneRegion regions[kPlaneCount]);
    void UploadPlanes(const VideoPlaneRegion regions[kPlaneCount]);
    void DrawFullScreen(NorvexRenderer& renderer);
    void ReleaseTextures();

    // Render thread.
    VideoPlayer* m_player = nullptr;
    std::unique_ptr<TextureHolder> m_planes[kPlaneCount];
    bool m_frameAvailable = false;
    VideoCoordScale m_chromaScale;
    uint32_t m_textureSetIndex = 0;
    bool m_missingShadersReported = false;

    // Counters: destroyed on the render thread, requests on the game thread.
    std::atomic<uint32_t> m_playersDestroyed{0};
    std::atomic<uint32_t> m_playRequests{0};
    uint8_t m_fullScreen = 0;

    // Game thread, read by the render thread's draw once loaded.
    Resource* m_vertexShader = nullptr;
    Resource* m_pixelShader = nullptr;
};

extern VideoEngine* gVideoEngine;
