// Mixing 64 looping voices (mono and stereo, 16-bit PCM and ADPCM, assorted rates and ratios) into
// 48 kHz stereo on one core, alone and while an Ogg Vorbis stream is decoded into one more voice
// each block, and ADPCM block decoding alone. "realtime_multiple" is seconds of sound per second of
// this thread's processor time (other processes' load does not count); "wall_multiple" uses the
// clock on the wall.
#include "audio/sound/OGGStream.h"
#include "audio/sound/SoundStreamDataSource.h"
#include "platform/audio/AdpcmDecoder.h"
#include "platform/audio/AudioEngine.h"
#include "tools/datakit/SoundWriter.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <ctime>
#include <vector>

namespace
{
double ThreadSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

// 512-byte mono ADPCM blocks with a neutral header and varied nibbles.
std::vector<uint8_t> MakeAdpcm(size_t blocks)
{
    std::vector<uint8_t> adpcm(512 * blocks);
    for (size_t i = 0; i < adpcm.size(); ++i)
        adpcm[i] = i % 512 < 7 ? (i % 512 == 1 ? 32 : 0) : uint8_t(i * 37);
    return adpcm;
}

struct SixtyFourVoices
{
    std::unique_ptr<audio::Engine> engine;
    std::vector<int16_t> tone = std::vector<int16_t>(2 * 44100);
    std::vector<uint8_t> adpcm = MakeAdpcm(64);

    SixtyFourVoices()
    {
        audio::MixerConfig config;
        config.mode = audio::EngineMode::Manual;
        engine = audio::Engine::Create(config);
        engine->CreateMasteringVoice(2, 48000);
        for (size_t i = 0; i < tone.size(); ++i)
            tone[i] = int16_t(12000.0 * std::sin(double(i) * 0.0627));
        const audio::WaveFormat adpcmFormat{audio::kFormatAdpcm, 1, 22050, 0, 512, 4, 0};
        for (int i = 0; i < 64; ++i)
        {
            audio::AudioBuffer buffer;
            buffer.loopCount = audio::kLoopInfinite;
            audio::SourceVoice* voice = nullptr;
            if (i % 4 == 3)
            {
                voice = engine->CreateSourceVoice(adpcmFormat);
                buffer.audioData = adpcm.data();
                buffer.audioBytes = uint32_t(adpcm.size());
            }
            else
            {
                const uint32_t channels = i % 2 ? 2 : 1;
                voice = engine->CreateSourceVoice(audio::MakePcmFormat(channels, i % 3 ? 44100 : 48000));
                buffer.audioData = reinterpret_cast<const uint8_t*>(tone.data());
                buffer.audioBytes = uint32_t(tone.size() * 2);
            }
            voice->SubmitBuffer(buffer);
            voice->SetFrequencyRatio(0.75f + 0.01f * float(i));
            voice->SetVolume(0.02f);
            voice->Start();
        }
    }
};

void Report(benchmark::State& state, double mixedSeconds, double cpuSeconds, double wallSeconds)
{
    state.counters["realtime_multiple"] = cpuSeconds > 0 ? mixedSeconds / cpuSeconds : 0.0;
    state.counters["wall_multiple"] = wallSeconds > 0 ? mixedSeconds / wallSeconds : 0.0;
}

void BM_MixSixtyFourVoices(benchmark::State& state)
{
    SixtyFourVoices voices;
    double cpu = 0.0;
    double wall = 0.0;
    for (auto _ : state)
    {
        const double cpuStart = ThreadSeconds();
        const auto wallStart = std::chrono::steady_clock::now();
        voices.engine->RenderBlocks(100);
        cpu += ThreadSeconds() - cpuStart;
        wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
    }
    Report(state, double(state.iterations()), cpu, wall);
}
BENCHMARK(BM_MixSixtyFourVoices)->Unit(benchmark::kMillisecond);

// The 64 voices plus a 65th fed by decoding an Ogg Vorbis stream one 10 ms block ahead.
void BM_MixWhileStreamingOgg(benchmark::State& state)
{
    SoundSamples sound = SoundWriter::MakeTone({440.0, 554.4}, 48000, 10.0, 0.3);
    std::vector<uint8_t> file;
    SoundWriter::EncodeOggVorbis(sound, 0.5f, file);
    SixtyFourVoices voices;
    audio::SourceVoice* streamed = voices.engine->CreateSourceVoice(audio::MakePcmFormat(2, 48000));
    streamed->Start();
    std::vector<std::vector<uint8_t>> blocks(8, std::vector<uint8_t>(480 * 4));
    double cpu = 0.0;
    double wall = 0.0;
    for (auto _ : state)
    {
        SoundStreamStaticDataSource source;
        source.AddRange(file.data(), uint32_t(file.size()));
        OGGStream stream(&source);
        stream.Open();
        const double cpuStart = ThreadSeconds();
        const auto wallStart = std::chrono::steady_clock::now();
        for (int block = 0; block < 100; ++block)
        {
            std::vector<uint8_t>& bytes = blocks[size_t(block) % blocks.size()];
            const uint32_t got = stream.Read(bytes.data(), uint32_t(bytes.size()));
            if (got > 0)
            {
                audio::AudioBuffer buffer;
                buffer.audioData = bytes.data();
                buffer.audioBytes = got & ~3u;
                streamed->SubmitBuffer(buffer);
            }
            voices.engine->RenderBlocks(1);
        }
        cpu += ThreadSeconds() - cpuStart;
        wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
    }
    Report(state, double(state.iterations()), cpu, wall);
}
BENCHMARK(BM_MixWhileStreamingOgg)->Unit(benchmark::kMillisecond);

// One second of 22.05 kHz mono ADPCM decoded block by block.
void BM_AdpcmDecode(benchmark::State& state)
{
    const std::vector<uint8_t> adpcm = MakeAdpcm(22050 / 1012 + 1);
    std::vector<int16_t> frames(1012 * 2);
    double cpu = 0.0;
    for (auto _ : state)
    {
        const double cpuStart = ThreadSeconds();
        for (size_t offset = 0; offset < adpcm.size(); offset += 512)
            benchmark::DoNotOptimize(audio::DecodeAdpcmBlock(adpcm.data() + offset, 512, 1, frames.data(), 1012));
        cpu += ThreadSeconds() - cpuStart;
    }
    state.counters["realtime_multiple"] = cpu > 0 ? double(state.iterations()) / cpu : 0.0;
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(adpcm.size() / 512) * 1012);
}
BENCHMARK(BM_AdpcmDecode)->Unit(benchmark::kMicrosecond);
} // namespace
