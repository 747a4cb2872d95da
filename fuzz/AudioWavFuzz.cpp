// WAV images through the checked reader and, when they parse, through a mixer voice.
#include "platform/audio/AudioEngine.h"
#include "platform/audio/WavFile.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    audio::WavData wav;
    if (!audio::ParseWav(data, size, wav) || audio::WhyUndecodable(wav.format) || wav.samples.empty())
        return 0;
    audio::EngineConfig config;
    config.mode = audio::EngineMode::Manual;
    std::unique_ptr<audio::Engine> engine = audio::Engine::Create(config);
    if (!engine || !engine->CreateMasteringVoice(2, 48000))
        return 0;
    audio::SourceVoice* voice = engine->CreateSourceVoice(wav.format);
    if (!voice)
        return 0;
    audio::AudioBuffer buffer;
    buffer.audioData = wav.samples.data();
    buffer.audioBytes = uint32_t(wav.samples.size());
    buffer.flags = audio::kBufferEndOfStream;
    if (voice->SubmitBuffer(buffer))
    {
        voice->Start();
        engine->RenderBlocks(2);
    }
    return 0;
}
