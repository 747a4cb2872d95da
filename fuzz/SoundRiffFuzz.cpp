// RIFF sound images through the sound resource parser and, when they parse as PCM or ADPCM, through
// a mixer voice that reads every sample byte.
#include "platform/audio/AudioEngine.h"
#include "renderer/resources/ResourceSound.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    RiffSoundImage image;
    if (size > 0xFFFFFFFFu || !ResourceSound::ParseRiffImage(data, uint32_t(size), "fuzz", image))
        return 0;
    if (image.sampleData < data || image.sampleData + image.sampleSize > data + size)
        __builtin_trap();
    if (image.kind == SOUND_KIND_XWMA || audio::WhyUndecodable(image.format) != nullptr || image.sampleSize == 0)
        return 0;
    audio::EngineConfig config;
    config.mode = audio::EngineMode::Manual;
    std::unique_ptr<audio::Engine> engine = audio::Engine::Create(config);
    if (!engine || !engine->CreateMasteringVoice(2, 48000))
        return 0;
    audio::SourceVoice* voice = engine->CreateSourceVoice(image.format);
    if (voice == nullptr)
        return 0;
    audio::AudioBuffer buffer;
    buffer.audioData = image.sampleData;
    buffer.audioBytes = image.sampleSize;
    buffer.flags = audio::kBufferEndOfStream;
    if (voice->SubmitBuffer(buffer))
    {
        voice->Start();
        engine->RenderBlocks(2);
    }
    return 0;
}
