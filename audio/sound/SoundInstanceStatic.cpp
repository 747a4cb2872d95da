#include "audio/sound/SoundInstanceStatic.h"

#include "audio/sound/OGGStream.h"
#include "audio/sound/SoundEngine.h"
#include "core/console/GameConsole.h"
#include "platform/audio/AudioEngine.h"
#include "renderer/resources/ResourceManager.h"
#include "renderer/resources/ResourceSound.h"

#include <cstdlib>
#include <cstring>
#include <string>

SoundInstanceStatic::SoundInstanceStatic(EntitySoundEmitter* emitter, const char* name, uint32_t id,
                                         const SoundParamWrapper& params)
    : SoundInstanceDecodableBase(emitter, name, id, params)
{
    const char* list = m_name.CStr();
    while (*list != 0 && gResourceManager != nullptr)
    {
        const char* end = std::strchr(list, ';');
        const size_t length = end != nullptr ? size_t(end - list) : std::strlen(list);
        if (length > kMaxFileName)
            gConsole.Error(CONSOLE_CHANNEL_SOUND, "Sound file name too long in %s", m_name.CStr());
        else if (length > 0)
        {
            const std::string file(list, length);
            Resource* resource = gResourceManager->GetResource(RESOURCE_TYPE_SOUND, file.c_str(), 0, true, 0);
            if (resource != nullptr)
            {
                m_resources.Add(static_cast<ResourceSound*>(resource));
                resource->RequestLoad();
            }
        }
        if (end == nullptr)
            break;
        list = end + 1;
    }
    m_state = m_resources.Count() > 0 ? STATE_LOADING : STATE_NOTHING;
}

SoundInstanceStatic::~SoundInstanceStatic()
{
    // Nothing may read the files' memory once their references are gone.
    DestroyVoice();
    m_decoder.reset();
    for (ResourceSound* resource : m_resources)
        resource->Release();
}

const char* SoundInstanceStatic::GetName() const
{
    return m_resources.Count() > 0 ? m_resources[0]->GetDisplayName() : m_name.CStr();
}

ResourceSound* SoundInstanceStatic::ChooseFile(bool first)
{
    const int32_t count = m_resources.Count();
    if (m_params.Flags & SOUNDSTARTFLAG_FIRSTFILEFIRST)
    {
        if (first || count == 1)
            return m_resources[0];
        return m_resources[1 + std::rand() % (count - 1)];
    }
    return m_resources[std::rand() % count];
}

bool SoundInstanceStatic::OpenDecoder(bool first)
{
    const ResourceSound* file = ChooseFile(first);
    m_dataSource.AddRange(file->GetSampleData(), file->GetSampleSize());
    return m_decoder->Open();
}

bool SoundInstanceStatic::SubmitWholeBuffer(bool first)
{
    if (m_resources.Count() == 0 || m_ended || m_voice == nullptr)
        return false;
    const uint32_t loops = m_params.LoopCount;
    if (loops > 1)
        m_params.LoopCount = loops - 1;
    const ResourceSound* file = ChooseFile(first);
    audio::AudioBuffer buffer;
    buffer.audioData = file->GetSampleData();
    buffer.audioBytes = file->GetSampleSize();
    if (m_kind == SOUND_FORMAT_XWMA)
    {
        buffer.packetTable = file->GetSeekTable();
        buffer.packetCount = file->GetSeekTableSize() / 4;
    }
    if (loops == 1)
    {
        buffer.flags = audio::kBufferEndOfStream;
        m_ended = true;
    }
    return m_voice->SubmitBuffer(buffer);
}

bool SoundInstanceStatic::StartPlayback()
{
    const ResourceSound* first = m_resources[0];
    switch (m_kind)
    {
    case SOUND_FORMAT_PCM:
    case SOUND_FORMAT_ADPCM:
        if (!CreateVoice(first->GetFormat()))
            return false;
        Step3D();
        if (!SubmitWholeBuffer(true))
            return false;
        break;
    case SOUND_FORMAT_XWMA:
        if (!CreateVoice(m_resources[std::rand() % m_resources.Count()]->GetFormat()))
            return false;
        if (!SubmitWholeBuffer(true))
            return false;
        ApplyLevels();
        break;
    case SOUND_FORMAT_OGG:
        m_decoder = std::make_unique<OGGStream>(&m_dataSource);
        if (!OpenDecoder(true) || !StartDecodedVoice())
            return false;
        break;
    default:
        return false;
    }
    return StartVoice();
}

bool SoundInstanceStatic::Update()
{
    if (m_params.LoopCount != 0 && IsOutOfRange(1.8f))
        return false;
    if (m_params.LoopCount == 0 && !IsStopping() && IsOutOfRange(1.2f))
    {
        BecomeZombie(0);
        return false;
    }
    switch (m_state)
    {
    case STATE_NOTHING:
        return false;
    case STATE_LOADING:
    {
        for (const ResourceSound* resource : m_resources)
            if (resource->GetState() != RESOURCE_STATE_DONE)
                return true;
        m_kind = int32_t(m_resources[0]->GetKind());
        for (const ResourceSound* resource : m_resources)
            if (int32_t(resource->GetKind()) != m_kind)
            {
                gConsole.Error(CONSOLE_CHANNEL_SOUND, "Cannot loop files of different format (%s vs %s)",
                               m_resources[0]->GetDisplayName(), resource->GetDisplayName());
                return false;
            }
        if (m_params.Flags & SOUNDSTARTFLAG_JUSTLOAD)
            return false;
        if (!IsDue())
            return true;
        if (!StartPlayback())
        {
            // A silent engine (no device) ends its sounds without a report.
            if (gSoundEngine != nullptr && gSoundEngine->GetMixerOnThread() != nullptr)
            {
                gConsole.Error(CONSOLE_CHANNEL_SOUND, "Unable to start playback of %s", GetName());
                gConsole.Error(CONSOLE_CHANNEL_SOUND, "Sound file sounds/%s: %s", GetName(),
                               m_resources[0]->IsLoaded() ? DescribeStartFailure() : "it did not load");
            }
            return false;
        }
        Step3D();
        m_state = STATE_PLAYING;
        return true;
    }
    case STATE_PLAYING:
        return Feed();
    }
    return false;
}
