// Plays decoded sample bytes through one voice of a manual mixer, so that the fuzz targets of the
// sound readers reach every byte the mixer would read. Called on the fuzzing thread only.
#pragma once

#include "platform/audio/AudioEngine.h"

#include <cstdint>
#include <memory>

// Mixes two blocks of the bytes in the given format; formats or buffers the mixer refuses end quietly.
inline void PlayThroughMixer(const audio::WaveFormat& format, const uint8_t* bytes, uint32_t size)
{
    audio::MixerConfig config;
    config.mode = audio::EngineMode::Manual;
    std::unique_ptr<audio::Engine> engine = audio::Engine::Create(config);
    if (!engine || !engine->CreateMasteringVoice(2, 48000))
        return;
    audio::SourceVoice* voice = engine->CreateSourceVoice(format);
    if (voice == nullptr)
        return;
    audio::AudioBuffer buffer;
    buffer.audioData = bytes;
    buffer.audioBytes = size;
    buffer.flags = audio::kBufferEndOfStream;
    if (voice->SubmitBuffer(buffer))
    {
        voice->Start();
        engine->RenderBlocks(2);
    }
}
