// Mixing 64 looping voices (mono and stereo, 16-bit PCM and ADPCM, assorted rates and ratios) for one
// second of 48 kHz stereo sound; "realtime_multiple" is seconds of sound mixed per second of time.
#include "platform/audio/AudioEngine.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <vector>

namespace
{
void MixSixtyFourVoices(benchmark::State& state)
{
    audio::MixerConfig config;
    config.mode = audio::EngineMode::Manual;
    std::unique_ptr<audio::Engine> engine = audio::Engine::Create(config);
    engine->CreateMasteringVoice(2, 48000);

    std::vector<int16_t> tone(2 * 44100);
    for (size_t i = 0; i < tone.size(); ++i)
        tone[i] = int16_t(12000.0 * std::sin(double(i) * 0.0627));
    // 512-byte mono ADPCM blocks with a neutral header and varied nibbles.
    std::vector<uint8_t> adpcm(512 * 64);
    for (size_t i = 0; i < adpcm.size(); ++i)
        adpcm[i] = i % 512 < 7 ? (i % 512 == 1 ? 32 : 0) : uint8_t(i * 37);
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

    double mixedSeconds = 0.0;
    double spentSeconds = 0.0;
    for (auto _ : state)
    {
        const auto begin = std::chrono::steady_clock::now();
        engine->RenderBlocks(100);
        spentSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
        mixedSeconds += 1.0;
    }
    state.counters["realtime_multiple"] = mixedSeconds / spentSeconds;
}
BENCHMARK(MixSixtyFourVoices)->Unit(benchmark::kMillisecond);
} // namespace
