#include "audio/sound/SoundInstanceStreamed.h"

#include "audio/sound/OGGStream.h"
#include "audio/sound/SoundEngine.h"
#include "audio/sound/SoundInstanceList.h"
#include "core/console/GameConsole.h"
#include "core/filesystem/StreamingFileReader.h"

#include <algorithm>

SoundInstanceStreamed::SoundInstanceStreamed(EntitySoundEmitter* emitter, const char* name, uint32_t id,
                                             const SoundParamWrapper& params)
    : SoundInstanceDecodableBase(emitter, name, id, params),
      m_countsAsMusic((params.Flags & SOUNDSTARTFLAG_MUSIC) != 0)
{
    m_kind = SOUND_FORMAT_OGG;
    uint32_t& counter = m_countsAsMusic ? gSoundEngine->GetInstances().MusicStreamCount() : gSoundEngine->GetInstances().StreamedCount();
    const uint32_t limit = m_countsAsMusic ? kMaxMusicStreams : kMaxStreamedSounds;
    const bool allowed = counter < limit;
    ++counter;
    if (!allowed)
    {
        gConsole.Error(CONSOLE_CHANNEL_SOUND, "Too many streamed sound sources [%s]", m_name.CStr());
        return;
    }
    m_reader = OpenReader(m_name.CStr());
    m_dataSource.SetReader(m_reader);
    m_state = STATE_OPENING;
}

SoundInstanceStreamed::~SoundInstanceStreamed()
{
    // Voice first, then the decoder, then the reader the decoder reads from.
    DestroyVoice();
    m_decoder.reset();
    if (m_reader != nullptr)
        m_reader->PostDestroy();
    uint32_t& counter = m_countsAsMusic ? gSoundEngine->GetInstances().MusicStreamCount() : gSoundEngine->GetInstances().StreamedCount();
    --counter;
}

const char* SoundInstanceStreamed::Folder() const
{
    return (m_params.Flags & SOUNDSTARTFLAG_ABSOULUTEPATH) ? nullptr : "sounds";
}

StreamingFileReader* SoundInstanceStreamed::OpenReader(const char* name) const
{
    const uint32_t ring = std::clamp(m_params.StreamingBufferSize, 1024u, kMaxStreamingBufferSize);
    return new StreamingFileReader(ring, name, nullptr, Folder(), m_params.LoopCount != 1);
}

void SoundInstanceStreamed::SetLoopFile(const char* name)
{
    m_hasPendingLoopFile = name != nullptr;
    m_pendingLoopFile = name != nullptr ? name : "";
}

bool SoundInstanceStreamed::OpenDecoder(bool first)
{
    if (m_hasPendingLoopFile && !first)
    {
        m_reader->PostDestroy();
        m_reader = OpenReader(m_pendingLoopFile.c_str());
        m_dataSource.SetReader(m_reader);
        m_hasPendingLoopFile = false;
        m_pendingLoopFile.clear();
    }
    m_reader->WaitUntilOpen();
    return m_decoder->Open();
}

bool SoundInstanceStreamed::Update()
{
    if (m_params.LoopCount == 0 && !IsStopping() && IsOutOfRange(1.2f))
    {
        BecomeZombie(1);
        return false;
    }
    switch (m_state)
    {
    case STATE_OPENING:
        if (!m_reader->IsFinishedOpening() || !IsDue())
            return true;
        if (!m_reader->IsOpen())
        {
            gConsole.Error(CONSOLE_CHANNEL_SOUND, "Unable to open sound file for streaming: [%s]", m_name.CStr());
            return false;
        }
        m_decoder = std::make_unique<OGGStream>(&m_dataSource);
        // A silent engine (no device) ends its sounds without a report.
        if (!OpenDecoder(true) || (!StartDecodedVoice() && gSoundEngine->GetMixerOnThread() != nullptr))
        {
            gConsole.Error(CONSOLE_CHANNEL_SOUND, "Unable to start playback of %s", m_name.CStr());
            gConsole.Error(CONSOLE_CHANNEL_SOUND, "Sound file %s%s: %s", Folder() != nullptr ? "sounds/" : "",
                           m_name.CStr(), DescribeStartFailure());
            return false;
        }
        if (m_voice == nullptr)
            return false;
        m_state = STATE_PLAYING;
        Step3D();
        return true;
    case STATE_PLAYING:
        return Feed();
    default:
        return false;
    }
}
