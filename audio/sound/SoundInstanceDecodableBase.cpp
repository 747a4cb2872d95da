#include "audio/sound/SoundInstanceDecodableBase.h"

#include "audio/sound/CompressedSoundStream.h"
#include "audio/sound/SoundEngine.h"
#include "audio/sound/SoundInstanceList.h"
#include "core/console/GameConsole.h"
#include "engine/profiler/Profiler.h"
#include "platform/audio/AudioEngine.h"

#include <algorithm>

SoundInstanceDecodableBase::~SoundInstanceDecodableBase()
{
    // The voice goes first: once it is destroyed the mixer no longer reads the decode buffer.
    DestroyVoice();
    if (m_decodeBuffer != nullptr)
        gSoundEngine->GetInstances().FreeDecodeBuffer(m_decodeBuffer);
}

void SoundInstanceDecodableBase::ExitLoop()
{
    if (m_params.LoopCount == 1)
        return;
    m_params.LoopCount = 1;
    if (!m_decoder)
    {
        m_ended = true;
        if (m_voice != nullptr)
        {
            m_voice->ExitLoop(kSoundOperationSet);
            // A whole file queued behind the pass under way would play it once more.
            m_voice->FlushSourceBuffers();
        }
    }
}

bool SoundInstanceDecodableBase::CreateVoice(const audio::WaveFormat& format)
{
    audio::Engine* mixer = gSoundEngine != nullptr ? gSoundEngine->GetMixerOnThread() : nullptr;
    if (mixer == nullptr)
        return false;
    const uint32_t flags = (m_params.Flags & SOUNDSTARTFLAG_MUSIC) ? audio::kVoiceMusic : 0u;
    m_voice = mixer->CreateSourceVoice(format, flags, audio::kDefaultMaxFrequencyRatio);
    if (m_voice == nullptr)
    {
        gConsole.Warning(CONSOLE_CHANNEL_SOUND, "Sound device refused a voice for %s: %s", GetName(),
                         mixer->GetLastError().c_str());
        return false;
    }
    SetUpChannels(format.channels);
    return true;
}

bool SoundInstanceDecodableBase::StartDecodedVoice()
{
    if (!m_decoder || !CreateVoice(m_decoder->GetFormat()))
        return false;
    m_decodeBuffer = gSoundEngine->GetInstances().AllocateDecodeBuffer();
    if (m_decodeBuffer == nullptr)
        return false;
    m_nextHalf = false;
    Step3D();
    Refill();
    return StartVoice();
}

const char* SoundInstanceDecodableBase::DescribeStartFailure() const
{
    if (m_decoder && !m_decoder->IsOpen())
        return m_decoder->GetOpenError() != nullptr ? m_decoder->GetOpenError() : "its decoder cannot start";
    if (m_voice == nullptr)
        return "the sound device gave it no voice";
    if (m_decoder && m_decodeBuffer == nullptr)
        return "no decode buffer is free";
    return "its voice refused the data or did not start";
}

bool SoundInstanceDecodableBase::StartVoice()
{
    // A sound paused before it had a voice must stay silent; Resume starts it.
    if (m_stateBits & SOUND_STATE_PAUSED)
        return true;
    return m_voice->Start(kSoundOperationSet);
}

bool SoundInstanceDecodableBase::Refill()
{
    if (m_ended || !m_decoder || m_voice == nullptr || m_decodeBuffer == nullptr)
        return false;
    // Only the half queued last can still be in the voice (at most two are queued and Feed refills
    // only below two), so the half written here is one the mixer has finished with.
    uint8_t* half = m_decodeBuffer + (m_nextHalf ? kDecodeHalfBytes : 0);
    // The decoder hands out whole frames only: a half of 16384 bytes would end every 3-, 5-, 6- or
    // 7-channel stream early, its last few bytes read as the end of the file.
    const uint32_t frameBytes = std::max<uint32_t>(m_decoder->GetFormat().blockAlign, 1);
    const uint32_t halfBytes = kDecodeHalfBytes - kDecodeHalfBytes % frameBytes;
    gProfiler.StartTimer(PROFILER_SOUND_DECODE_TIME, kProfilerCallerOtherThread);
    uint32_t got = m_decoder->Read(half, halfBytes);
    gSoundEngine->GetInstances().AddDecodedBytes(got);
    bool endOfStream = false;
    while (got < halfBytes)
    {
        const uint32_t loops = m_params.LoopCount;
        if (loops > 1)
            m_params.LoopCount = loops - 1;
        if (loops == 1)
        {
            endOfStream = true;
            break;
        }
        uint32_t more = 0;
        if (OpenDecoder(false))
            more = m_decoder->Read(half + got, halfBytes - got);
        if (more == 0)
        {
            gConsole.Error(CONSOLE_CHANNEL_SOUND, "Cannot read audio stream of %s", GetName());
            endOfStream = true;
            break;
        }
        gSoundEngine->GetInstances().AddDecodedBytes(more);
        got += more;
    }
    gProfiler.StopTimer(PROFILER_SOUND_DECODE_TIME, kProfilerCallerOtherThread);
    if (endOfStream)
        m_ended = true;
    if (got == 0)
        return false;
    audio::AudioBuffer buffer;
    buffer.audioData = half;
    buffer.audioBytes = got;
    buffer.flags = endOfStream ? audio::kBufferEndOfStream : 0u;
    gProfiler.StartTimer(PROFILER_SOUND_UPLOAD_TIME, kProfilerCallerOtherThread);
    const bool queued = m_voice->SubmitBuffer(buffer);
    gProfiler.StopTimer(PROFILER_SOUND_UPLOAD_TIME, kProfilerCallerOtherThread);
    if (!queued)
        return false;
    m_nextHalf = !m_nextHalf;
    return true;
}

bool SoundInstanceDecodableBase::Feed()
{
    if (m_voice == nullptr)
        return false;
    const audio::VoiceState state = m_voice->GetState();
    if (state.buffersQueued < 2)
    {
        const bool queued = m_decoder ? Refill() : SubmitWholeBuffer(false);
        if (queued)
        {
            Step3D();
            return true;
        }
    }
    if (state.buffersQueued == 0)
        return false;
    Step3D();
    return true;
}
