// Decoding a 1280x720 Ogg Theora stream (2 s at 30 fps, a moving texture in every frame): through
// the video engine (streaming reader, player, render-thread update and upload of the three planes
// into the graphics stand-in's textures), beside libtheora alone decoding the same file from
// memory and asking for each frame's planes. "frames_per_second" compares the two.
#include "audio/video/VideoEngine.h"
#include "core/filesystem/FileSystem.h"
#include "platform/gpu/Gpu.h"
#include "platform/os/Clock.h"
#include "renderer/NorvexRenderer.h"
#include "renderer/resources/ResourceManager.h"
#include "tools/datakit/SoundWriter.h"
#include "tools/datakit/VideoWriter.h"

#include <benchmark/benchmark.h>

#include <ogg/ogg.h>
#include <theora/theora.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace
{
constexpr uint32_t kFrames = 60;
constexpr uint32_t kFps = 30;

VideoSpec BenchSpec()
{
    VideoSpec spec;
    spec.width = 1280;
    spec.height = 720;
    spec.fpsNumerator = kFps;
    spec.frames = kFrames;
    spec.detail = true;
    spec.quality = 40;
    return spec;
}

const std::vector<uint8_t>& TestFile()
{
    static const std::vector<uint8_t> file = [] {
        std::vector<uint8_t> bytes;
        VideoWriter::EncodeOggTheora(BenchSpec(), bytes);
        return bytes;
    }();
    return file;
}

void DecodeThroughVideoEngine(benchmark::State& state)
{
    const std::string folder = (std::filesystem::temp_directory_path() / "norvex-video-bench").string();
    std::filesystem::create_directories(folder);
    SoundWriter::WriteFile(folder + "/clip.ogv", TestFile());
    gFileSystem.MountDirectory("videos", folder.c_str());
    int window = 0;
    NorvexRenderer renderer;
    ResourceManager resources;
    if (!renderer.Init(&window, false) || !resources.Init())
    {
        state.SkipWithError("renderer or resource manager did not start");
        return;
    }
    VideoEngine video;
    int64_t now = 1000 * os::kCounterFrequency;
    os::EnableManualCounter(now);
    uint64_t frames = 0;
    for (auto _ : state)
    {
        video.Play("clip", nullptr, true, false, 1.0f);
        renderer.SubmitCommands(true);
        while (video.IsPlaying())
        {
            now += os::kCounterFrequency / kFps;
            os::SetManualCounter(now);
            video.Update();
            renderer.SubmitCommands(true);
        }
        frames += kFrames;
    }
    os::DisableManualCounter();
    state.counters["frames_per_second"] = benchmark::Counter(double(frames), benchmark::Counter::kIsRate);
    video.Close();
    resources.Close();
    renderer.Close();
    gFileSystem.UnmountAll();
    std::filesystem::remove_all(folder);
}
BENCHMARK(DecodeThroughVideoEngine)->Unit(benchmark::kMillisecond)->UseRealTime();

void DecodeWithLibtheoraAlone(benchmark::State& state)
{
    const std::vector<uint8_t>& file = TestFile();
    uint64_t frames = 0;
    for (auto _ : state)
    {
        ogg_sync_state sync;
        ogg_sync_init(&sync);
        char* buffer = ogg_sync_buffer(&sync, long(file.size()));
        std::memcpy(buffer, file.data(), file.size());
        ogg_sync_wrote(&sync, long(file.size()));
        theora_info info;
        theora_comment comment;
        theora_state decoder;
        theora_info_init(&info);
        theora_comment_init(&comment);
        ogg_stream_state stream;
        bool streamStarted = false;
        int headers = 0;
        ogg_page page;
        ogg_packet packet;
        while (ogg_sync_pageout(&sync, &page) > 0)
        {
            if (!streamStarted)
            {
                ogg_stream_init(&stream, ogg_page_serialno(&page));
                streamStarted = true;
            }
            ogg_stream_pagein(&stream, &page);
            while (ogg_stream_packetout(&stream, &packet) > 0)
            {
                if (headers < 3)
                {
                    theora_decode_header(&info, &comment, &packet);
                    if (++headers == 3)
                        theora_decode_init(&decoder, &info);
                    continue;
                }
                if (theora_decode_packetin(&decoder, &packet) == 0)
                {
                    yuv_buffer yuv;
                    theora_decode_YUVout(&decoder, &yuv);
                    benchmark::DoNotOptimize(yuv.y);
                    ++frames;
                }
            }
        }
        if (headers == 3)
            theora_clear(&decoder);
        if (streamStarted)
            ogg_stream_clear(&stream);
        theora_comment_clear(&comment);
        theora_info_clear(&info);
        ogg_sync_clear(&sync);
    }
    state.counters["frames_per_second"] = benchmark::Counter(double(frames), benchmark::Counter::kIsRate);
}
BENCHMARK(DecodeWithLibtheoraAlone)->Unit(benchmark::kMillisecond)->UseRealTime();
} // namespace
