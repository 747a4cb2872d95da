// A video engine over a kit-made data root: the renderer on the graphics stand-in with the shader
// definitions loaded, the resource manager (which also fills the streaming readers), a sound
// engine whose mixer is stepped by hand into memory, and "videos" mounted on a temporary folder
// where tests write their videos with the kit. Test thread only (it is the game thread).
#pragma once

#include "audio/sound/SoundEngine.h"
#include "audio/video/VideoEngine.h"
#include "audio/video/VideoPlayer.h"
#include "platform/audio/AudioEngine.h"
#include "platform/audio/MemoryOutput.h"
#include "platform/gpu/GpuDevice.h"
#include "renderer/jobs/TextureHolder.h"
#include "support/RenderDataHarness.h"
#include "support/RenderThreadCall.h"
#include "tools/datakit/VideoWriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <utility>

class VideoTestHarness
{
public:
    VideoTestHarness()
    {
        m_memory = std::make_shared<audio::MemoryOutput>();
        audio::MixerConfig config;
        config.mode = audio::EngineMode::Manual;
        config.output = audio::OutputKind::Memory;
        config.memory = m_memory;
        audio::SetDefaultMixerConfig(config);
    }
    ~VideoTestHarness()
    {
        Stop();
        audio::ResetDefaultMixerConfig();
    }

    // Renderer, resources, shader definitions, the sound engine (unless asked not to; with a failing
    // device when asked) and the video engine with its shaders.
    bool Start(bool withSound = true, audio::DeviceFailure device = audio::DeviceFailure::None)
    {
        if (device != audio::DeviceFailure::None)
        {
            audio::MixerConfig config;
            config.mode = audio::EngineMode::Manual;
            config.output = audio::OutputKind::Memory;
            config.memory = m_memory;
            config.failure = device;
            audio::SetDefaultMixerConfig(config);
        }
        DataRoot data;
        if (!m_render.WriteAndMount(data) || !m_render.Start() || !gShaderManager.LoadDefinitions())
            return false;
        if (!gFileSystem.MountDirectory("videos", m_videos.Path().c_str()))
            return false;
        if (withSound)
        {
            m_sound = std::make_unique<SoundEngine>();
            if (!m_sound->Init())
                return false;
            m_sound->Flush();
        }
        m_video = std::make_unique<VideoEngine>();
        m_started = true;
        return m_video->Init();
    }
    void Stop()
    {
        if (!m_started)
            return;
        m_started = false;
        m_video.reset();
        m_sound.reset();
        m_render.Stop();
    }

    bool WriteVideo(const std::string& name, const VideoSpec& spec)
    {
        return VideoWriter::WriteOggTheora(m_videos / (name + ".ogv"), spec);
    }
    std::string VideoPath(const std::string& name) const { return m_videos / (name + ".ogv"); }

    VideoEngine& Video() { return *m_video; }
    SoundEngine* Sound() { return m_sound.get(); }
    NorvexRenderer& Renderer() { return m_render.GetRenderer(); }

    // Runs the update sub-operation and waits until the render thread has run it.
    void Update()
    {
        m_video->Update();
        Renderer().SubmitCommands(true);
    }
    // Runs `body` on the render thread with the current player (null when none).
    void OnPlayer(const std::function<void(VideoPlayer*)>& body)
    {
        RunOnRenderThread(Renderer(), [&](NorvexRenderer&) { body(m_video->GetPlayer()); });
    }
    // Updates (clock unchanged) until the player has read its headers; false after `tries`.
    bool UpdateUntilOpen(int tries = 400)
    {
        for (int i = 0; i < tries; ++i)
        {
            bool open = false;
            Update();
            OnPlayer([&](VideoPlayer* player) { open = player != nullptr && player->HasHeaders(); });
            if (open)
                return true;
            os::Sleep(2);
        }
        return false;
    }
    // The sample at (x, y) of a plane texture (0 Y, 1 U, 2 V); -1 when there is no texture or
    // frame, or (x, y) lies outside it.
    int ReadPlane(uint32_t plane, uint32_t x, uint32_t y)
    {
        int sample = -1;
        RunOnRenderThread(Renderer(), [&](NorvexRenderer&) {
            TextureHolder* holder = m_video->GetPlaneTexture(plane);
            if (!m_video->IsFrameAvailable() || holder == nullptr || holder->GetTexture() == nullptr)
                return;
            auto* texture = static_cast<gpu::GpuTexture*>(holder->GetTexture());
            gpu::SurfaceDesc desc{};
            gpu::LockedRect locked{};
            if (texture->GetLevelDesc(0, &desc) != gpu::kOk || x >= desc.width || y >= desc.height ||
                texture->LockRect(0, &locked, nullptr, gpu::kLockReadOnly) != gpu::kOk)
                return;
            sample = static_cast<const uint8_t*>(locked.bits)[size_t(y) * locked.pitch + x];
            texture->UnlockRect(0);
        });
        return sample;
    }
    int ReadLuma(uint32_t x, uint32_t y) { return ReadPlane(0, x, y); }
    // The size of a plane texture; 0 x 0 when there is none.
    std::pair<uint32_t, uint32_t> PlaneSize(uint32_t plane)
    {
        std::pair<uint32_t, uint32_t> size{0, 0};
        RunOnRenderThread(Renderer(), [&](NorvexRenderer&) {
            TextureHolder* holder = m_video->GetPlaneTexture(plane);
            gpu::SurfaceDesc desc{};
            if (holder != nullptr && holder->GetTexture() != nullptr &&
                static_cast<gpu::GpuTexture*>(holder->GetTexture())->GetLevelDesc(0, &desc) == gpu::kOk)
                size = {desc.width, desc.height};
        });
        return size;
    }
    // The frame code shown (from the luminance of the picture's top-left corner), -1 for none.
    int ShownFrame()
    {
        const int luma = ReadLuma(2, 2);
        return luma < 0 ? -1 : int(VideoWriter::FrameCodeOfLuma(uint8_t(luma)));
    }
    // The colour (0x00RRGGBB) the planes' samples nearest to texture coordinate (u, v) give by the
    // studio-range conversion, computed here independently of any shader.
    uint32_t PictureRgb(float u, float v)
    {
        float yuv[3];
        for (uint32_t plane = 0; plane < 3; ++plane)
        {
            const std::pair<uint32_t, uint32_t> size = PlaneSize(plane);
            // Colour sits where the decoder put it: an odd picture uses half of its last colour texel.
            const VideoCoordScale scale = plane == 0 ? VideoCoordScale() : m_video->GetChromaCoordScale();
            yuv[plane] = float(ReadPlane(plane, uint32_t(u * scale.x * float(size.first)),
                                         uint32_t(v * scale.y * float(size.second)))) / 255.0f;
        }
        const float y = 1.164f * (yuv[0] - 16.0f / 255.0f), cb = yuv[1] - 0.5f, cr = yuv[2] - 0.5f;
        const float rgb[3] = {y + 1.596f * cr, y - 0.392f * cb - 0.813f * cr, y + 2.017f * cb};
        uint32_t packed = 0;
        for (float c : rgb)
            packed = packed << 8 | uint32_t(std::lround(std::clamp(c, 0.0f, 1.0f) * 255.0f));
        return packed;
    }
    // Mixes `blocks` of 10 ms; the sound thread then sees the voice's new position on its next feed.
    void Mix(uint32_t blocks)
    {
        if (m_sound != nullptr && m_sound->GetMixer() != nullptr)
            m_sound->GetMixer()->RenderBlocks(blocks);
    }
    std::shared_ptr<audio::MemoryOutput> Memory() const { return m_memory; }

private:
    TempFolder m_videos;
    RenderDataHarness m_render;
    std::shared_ptr<audio::MemoryOutput> m_memory;
    std::unique_ptr<SoundEngine> m_sound;
    std::unique_ptr<VideoEngine> m_video;
    bool m_started = false;
};
