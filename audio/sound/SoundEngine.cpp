#include "audio/sound/SoundEngine.h"

#include "audio/sound/SoundInstanceBase.h"
#include "audio/sound/SoundInstanceList.h"
#include "core/console/GameConsole.h"
#include "engine/config/GameConfig.h"
#include "engine/config/LanguageNames.h"
#include "engine/config/ProjectConfig.h"
#include "engine/profiler/Profiler.h"
#include "platform/audio/AudioEngine.h"
#include "renderer/resources/ResourceManager.h"

#include <cstring>
#include <string>

SoundEngine* gSoundEngine = nullptr;

namespace
{
constexpr uint32_t kRingBytes = 65536;
constexpr uint32_t kWaitMs = 10;
constexpr float kSpeedOfSound = 343.5f;
constexpr size_t kMaxVoicePath = 260; // terminator included

// The payload head of commands 18 to 23. The owner is an address, so it travels pointer-wide.
struct MatchHead
{
    uint32_t id;
    uintptr_t owner;
};

float ConfiguredVolume(float user, float projectDefault)
{
    return user < 0.0f ? projectDefault : user;
}
} // namespace

SoundEngine::SoundEngine() : BaseThread("SoundEngine", kRingBytes, true, kWaitMs, 0)
{
    gSoundEngine = this;
}

SoundEngine::~SoundEngine()
{
    Close();
    if (gSoundEngine == this)
        gSoundEngine = nullptr;
}

bool SoundEngine::Init()
{
    if (!Start())
        return false;
    Post(SOUND_COMMAND_INIT, nullptr, 0);
    ApplyVolumeSettings();
    return true;
}

void SoundEngine::Close()
{
    if (!IsRunning())
        return;
    PostAndWait(SOUND_COMMAND_CLOSE);
    Stop();
}

bool SoundEngine::Post(uint32_t command, const void* payload, uint32_t bytes)
{
    return PostCommand(command, payload, bytes);
}

void SoundEngine::PostAndWait(uint32_t command)
{
    if (Post(command, nullptr, 0))
        Flush();
}

void SoundEngine::SetListenerMatrix(const Matrix& matrix)
{
    float values[16];
    for (int row = 0; row < 4; ++row)
        for (int column = 0; column < 4; ++column)
            values[row * 4 + column] = matrix.At(row, column);
    Post(SOUND_COMMAND_SET_LISTENER, values, sizeof(values));
}

void SoundEngine::SetSceneZoomCorrection(float factor)
{
    Post(SOUND_COMMAND_SET_ZOOM_CORRECTION, &factor, sizeof(factor));
}

void SoundEngine::ApplyVolumeSettings()
{
    const float volumes[3] = {
        ConfiguredVolume(gGameConfig.m_sfxVolume, gProjectConfig.m_defaultSoundVolume),
        ConfiguredVolume(gGameConfig.m_musicVolume, gProjectConfig.m_defaultMusicVolume),
        ConfiguredVolume(gGameConfig.m_voiceVolume, gProjectConfig.m_defaultSpeechVolume),
    };
    Post(SOUND_COMMAND_SET_CLASS_VOLUMES, volumes, sizeof(volumes));
}

bool SoundEngine::SetChannelVolume(uint32_t channel, float volume, float fadeSeconds, uint32_t easing)
{
    if (channel >= kSoundChannelCount && channel != kAllSoundChannels)
    {
        gConsole.Error(CONSOLE_CHANNEL_SOUND, "SetChannelVolume - channel %d out of range", int(channel));
        return false;
    }
    struct { uint32_t channel; float volume; float fade; uint32_t easing; } payload{channel, volume, fadeSeconds, easing};
    return Post(SOUND_COMMAND_SET_CHANNEL_VOLUME, &payload, sizeof(payload));
}

void SoundEngine::FadeMasterVolume(float target, float seconds, uint32_t easing)
{
    struct { float target; float seconds; uint32_t easing; } payload{target, seconds, easing};
    Post(SOUND_COMMAND_FADE_MASTER, &payload, sizeof(payload));
}

bool SoundEngine::SetChannelFrequencyRatio(uint32_t channel, float ratio, float fadeSeconds, uint32_t easing)
{
    if (channel >= kSoundChannelCount && channel != kAllSoundChannels)
    {
        gConsole.Error(CONSOLE_CHANNEL_SOUND, "SetChannelFrequencyRatio - channel %d out of range", int(channel));
        return false;
    }
    struct { uint32_t channel; float ratio; float fade; uint32_t easing; } payload{channel, ratio, fadeSeconds, easing};
    return Post(SOUND_COMMAND_SET_CHANNEL_RATIO, &payload, sizeof(payload));
}

uint32_t SoundEngine::NextInstanceId()
{
    // 0 means "nothing started" and 0xFFFFFFFF "every instance": a wrapping counter skips both.
    for (;;)
    {
        const uint32_t id = m_lastInstanceId.fetch_add(1, std::memory_order_relaxed) + 1;
        if (id != 0 && id != kAllSoundInstances)
            return id;
    }
}

uint32_t SoundEngine::PlaySystemSound(const char* name, const SoundParamWrapper* params)
{
    if (name == nullptr)
        return 0;
    const uint32_t length = uint32_t(std::strlen(name));
    const uint32_t bytes = 4 + SoundParamWrapper::kSerializedBytes + 4 + length + 1;
    if (length >= GetRing().GetMaxPayload() || !BeginCommand(SOUND_COMMAND_PLAY, bytes))
    {
        gConsole.Error(CONSOLE_CHANNEL_SOUND, "Sound name too long to play: %.64s...", name);
        return 0;
    }
    const uint32_t id = NextInstanceId();
    uint8_t block[SoundParamWrapper::kSerializedBytes];
    (params != nullptr ? *params : SoundParamWrapper::DEFAULT).Write(block);
    CommandRingBuffer& ring = GetRing();
    ring.Write(&id, 4);
    ring.Write(block, sizeof(block));
    ring.Write(&length, 4);
    ring.Write(name, length + 1);
    EndCommand();
    return id;
}

uint32_t SoundEngine::PlayLocalizedVoice(const char* name, SoundParamWrapper* params)
{
    if (name == nullptr)
        return 0;
    const std::string path =
        std::string("Voices/") + LanguageNameOfId(gGameConfig.m_voiceLanguage) + "/" + name + ".ogg";
    if (path.size() + 1 > kMaxVoicePath)
    {
        gConsole.Error(CONSOLE_CHANNEL_SOUND, "Voice path too long: %s", path.c_str());
        return 0;
    }
    SoundParamWrapper defaults;
    SoundParamWrapper& block = params != nullptr ? *params : defaults;
    block.Flags = SOUNDSTARTFLAG_STREAMED | SOUNDSTARTFLAG_ABSOULUTEPATH;
    block.Class = SOUNDCLASS_VOICE;
    return PlaySystemSound(path.c_str(), &block);
}

bool SoundEngine::PostMatching(uint32_t command, uint32_t id, const EntitySoundEmitter* owner, const void* rest,
                               uint32_t restBytes)
{
    const MatchHead head{id, reinterpret_cast<uintptr_t>(owner)};
    if (!BeginCommand(command, uint32_t(sizeof(head)) + restBytes))
        return false;
    GetRing().Write(&head, sizeof(head));
    if (restBytes != 0)
        GetRing().Write(rest, restBytes);
    EndCommand();
    return true;
}

void SoundEngine::StopSound(uint32_t id, float fadeSeconds, const EntitySoundEmitter* owner)
{
    PostMatching(SOUND_COMMAND_STOP, id, owner, &fadeSeconds, sizeof(fadeSeconds));
}

void SoundEngine::ExitLoop(uint32_t id, const EntitySoundEmitter* owner)
{
    PostMatching(SOUND_COMMAND_EXIT_LOOP, id, owner, nullptr, 0);
}

void SoundEngine::PauseSound(uint32_t id, float fadeSeconds, const EntitySoundEmitter* owner, int32_t channel)
{
    struct { float fade; int32_t channel; } rest{fadeSeconds, channel};
    PostMatching(SOUND_COMMAND_PAUSE, id, owner, &rest, sizeof(rest));
}

void SoundEngine::ResumeSound(uint32_t id, float fadeSeconds, const EntitySoundEmitter* owner, int32_t channel)
{
    struct { float fade; int32_t channel; } rest{fadeSeconds, channel};
    PostMatching(SOUND_COMMAND_RESUME, id, owner, &rest, sizeof(rest));
}

void SoundEngine::SetVolume(uint32_t id, float volume, float fadeSeconds, uint32_t easing,
                            const EntitySoundEmitter* owner)
{
    struct { float volume; float fade; uint32_t easing; } rest{volume, fadeSeconds, easing};
    PostMatching(SOUND_COMMAND_SET_VOLUME, id, owner, &rest, sizeof(rest));
}

void SoundEngine::SetFrequencyRatio(uint32_t id, float ratio, float fadeSeconds, uint32_t easing,
                                    const EntitySoundEmitter* owner)
{
    struct { float ratio; float fade; uint32_t easing; } rest{ratio, fadeSeconds, easing};
    PostMatching(SOUND_COMMAND_SET_RATIO, id, owner, &rest, sizeof(rest));
}

void SoundEngine::SetLoopFile(uint32_t id, const char* name)
{
    const uint32_t length = name != nullptr ? uint32_t(std::strlen(name)) + 1 : 0;
    if (length >= GetRing().GetMaxPayload() || !BeginCommand(SOUND_COMMAND_SET_LOOP_FILE, 8 + length))
    {
        gConsole.Error(CONSOLE_CHANNEL_SOUND, "Loop file name too long");
        return;
    }
    GetRing().Write(&id, 4);
    GetRing().Write(&length, 4);
    if (length != 0)
        GetRing().Write(name, length);
    EndCommand();
}

void SoundEngine::LogActiveSoundInstances()
{
    Post(SOUND_COMMAND_LOG_INSTANCES, nullptr, 0);
}

void SoundEngine::PauseForDeactivation()
{
    PostAndWait(SOUND_COMMAND_PAUSE_FOR_DEACTIVATION);
}

void SoundEngine::ResumeAfterActivation()
{
    PostAndWait(SOUND_COMMAND_RESUME_AFTER_ACTIVATION);
}

void SoundEngine::LogSoundMemoryPool()
{
    if (gResourceManager != nullptr)
        gResourceManager->PostDumpSoundMemory();
}

void SoundEngine::EvictSoundMemoryPool()
{
    if (gResourceManager != nullptr)
        gResourceManager->PostCommand(RESOURCE_POOL_SOUNDS, 0, 0);
}

float SoundEngine::GetClassVolume(uint32_t soundClass) const
{
    return soundClass < SOUNDCLASS_MAX ? m_classVolumes[soundClass] : 1.0f;
}

float SoundEngine::GetScreenAspectRatio() const
{
    const ScreenAspectRatioHook hook = m_aspectHook.load();
    return hook != nullptr ? hook() : 1.0f;
}

void SoundEngine::Tick()
{
    BaseThread::Tick();
    UpdateCycle();
}

void SoundEngine::InitOnThread()
{
    gConsole.Printf(CONSOLE_INFO, CONSOLE_CHANNEL_SOUND, "SoundEngine::_Init");
    m_instances.CreateDecodePool(gProjectConfig.GetSoundDecoders());
    m_mixer = audio::Engine::Create();
    if (!m_mixer)
    {
        gConsole.Error(CONSOLE_CHANNEL_SOUND, "Unable to create the sound device; sound stays silent");
        ShutdownOnThread();
        return;
    }
    m_mastering = m_mixer->CreateMasteringVoice();
    if (m_mastering == nullptr)
    {
        gConsole.Error(CONSOLE_CHANNEL_SOUND, "Unable to create the mastering voice (%s); sound stays silent",
                       m_mixer->GetLastError().c_str());
        ShutdownOnThread();
        return;
    }
    m_masteringChannels = m_mastering->GetChannelCount();
    m_positioner.Init(audio::kSpeakerFrontLeft | audio::kSpeakerFrontRight, kSpeedOfSound);
    m_listener.front = audio::Vec3{0.0f, 0.0f, 1.0f};
    m_listener.top = audio::Vec3{0.0f, 1.0f, 0.0f};
    m_lastGlitchCount = m_mixer->GetPerformanceData().glitchesSinceEngineStarted;
    m_mixerPublished.store(m_mixer.get(), std::memory_order_release);
}

void SoundEngine::ShutdownOnThread()
{
    m_instances.DestroyAll();
    m_mixerPublished.store(nullptr, std::memory_order_release);
    if (m_mastering != nullptr)
    {
        m_mastering->Destroy();
        m_mastering = nullptr;
    }
    m_mixer.reset();
    m_masteringChannels = 0;
    // Pool last: the instances gave their buffers back above.
    m_instances.FreeDecodePool();
}

void SoundEngine::ReadListener()
{
    float values[16];
    if (!GetRing().Read(values, sizeof(values)))
        return;
    for (int row = 0; row < 4; ++row)
        m_listenerMatrix.rows[row].Set(values[row * 4], values[row * 4 + 1], values[row * 4 + 2], values[row * 4 + 3]);
    m_listenerPosition = m_listenerMatrix.rows[3];
    if (gProjectConfig.m_scaleSoundsPositionByScreenAspectRatio)
        m_listenerPosition.z *= GetScreenAspectRatio();
    const Vector& front = m_listenerMatrix.rows[2];
    const Vector& top = m_listenerMatrix.rows[1];
    m_listener.front = audio::Vec3{front.x, front.y, front.z};
    m_listener.top = audio::Vec3{top.x, top.y, top.z};
    m_listener.position = audio::Vec3{m_listenerPosition.x, m_listenerPosition.y, m_listenerPosition.z};
}

void SoundEngine::ReadPlay()
{
    CommandRingBuffer& ring = GetRing();
    uint32_t id = 0;
    uint8_t block[SoundParamWrapper::kSerializedBytes];
    uint32_t length = 0;
    if (!ring.Read(&id, 4) || !ring.Read(block, sizeof(block)) || !ring.Read(&length, 4) ||
        ring.GetReadLeft() < length + 1)
        return;
    const std::string name(reinterpret_cast<const char*>(ring.GetReadCursor()), length);
    ring.SkipRead(length + 1);
    SoundParamWrapper params;
    params.Read(block);
    if (params.Flags & SOUNDSTARTFLAG_IPHONEMP3)
    {
        m_instances.DestroyWithFlags(SOUNDSTARTFLAG_IPHONEMP3);
        m_instances.CreateStreamed(nullptr, name.c_str(), id, params);
    }
    else if (params.Flags & SOUNDSTARTFLAG_STREAMED)
        m_instances.CreateStreamed(nullptr, name.c_str(), id, params);
    else
        m_instances.CreateStatic(nullptr, name.c_str(), id, params);
}

void SoundEngine::ApplyToInstances(uint32_t command)
{
    CommandRingBuffer& ring = GetRing();
    uint32_t id = 0;
    if (!ring.Read(&id, 4))
        return;
    uintptr_t owner = 0;
    std::string loopFile;
    bool haveLoopFile = false;
    struct { float value; float fade; uint32_t easing; } change{};
    struct { float fade; int32_t channel; } pause{};
    float fade = 0.0f;
    if (command == SOUND_COMMAND_SET_LOOP_FILE)
    {
        uint32_t length = 0;
        if (!ring.Read(&length, 4) || ring.GetReadLeft() < length)
            return;
        if (length != 0)
        {
            const char* text = reinterpret_cast<const char*>(ring.GetReadCursor());
            loopFile.assign(text, strnlen(text, length));
            haveLoopFile = true;
        }
        ring.SkipRead(length);
    }
    else
    {
        // The head was written as one MatchHead: skip its padding after the id.
        if (!ring.SkipRead(uint32_t(offsetof(MatchHead, owner) - 4)) || !ring.Read(&owner, sizeof(owner)))
            return;
        bool ok = true;
        if (command == SOUND_COMMAND_STOP)
            ok = ring.Read(&fade, sizeof(fade));
        else if (command == SOUND_COMMAND_PAUSE || command == SOUND_COMMAND_RESUME)
            ok = ring.Read(&pause, sizeof(pause));
        else if (command == SOUND_COMMAND_SET_VOLUME || command == SOUND_COMMAND_SET_RATIO)
            ok = ring.Read(&change, sizeof(change));
        if (!ok)
            return;
    }

    for (SoundInstanceBase* instance = m_instances.GetFirst(); instance != nullptr;)
    {
        SoundInstanceBase* next = instance->m_next;
        bool match = id == kAllSoundInstances || id == instance->GetId();
        if (command != SOUND_COMMAND_SET_LOOP_FILE)
            match = match && (owner == 0 || owner == reinterpret_cast<uintptr_t>(instance->GetEmitter()));
        if ((command == SOUND_COMMAND_PAUSE || command == SOUND_COMMAND_RESUME) && pause.channel >= 0)
            match = match && uint32_t(pause.channel) == instance->GetParams().Channel;
        if (match)
        {
            switch (command)
            {
            case SOUND_COMMAND_STOP:
                if (!(fade > 0.0f) || instance->IsZombie())
                    m_instances.Destroy(instance);
                else
                    instance->FadeOut(fade);
                break;
            case SOUND_COMMAND_EXIT_LOOP:
                if (instance->IsZombie())
                    m_instances.Destroy(instance);
                else
                    instance->ExitLoop();
                break;
            case SOUND_COMMAND_PAUSE:
                instance->Pause();
                break;
            case SOUND_COMMAND_RESUME:
                instance->Resume();
                break;
            case SOUND_COMMAND_SET_VOLUME:
                instance->SetVolume(change.value, change.fade, change.easing);
                break;
            case SOUND_COMMAND_SET_RATIO:
                instance->SetFrequencyRatio(change.value, change.fade, change.easing);
                break;
            case SOUND_COMMAND_SET_LOOP_FILE:
                instance->SetLoopFile(haveLoopFile ? loopFile.c_str() : nullptr);
                break;
            }
        }
        instance = next;
    }
}

void SoundEngine::HandleCommand(const uint8_t* record)
{
    (void)record;
    CommandRingBuffer& ring = GetRing();
    const uint32_t command = ring.GetReadId();
    if (command < kSoundCommandLimit)
        m_handled[command].fetch_add(1, std::memory_order_acq_rel);
    switch (command)
    {
    case SOUND_COMMAND_INIT:
        InitOnThread();
        break;
    case SOUND_COMMAND_CLOSE:
        ShutdownOnThread();
        break;
    case SOUND_COMMAND_SET_LISTENER:
        ReadListener();
        break;
    case SOUND_COMMAND_SET_ZOOM_CORRECTION:
        ring.Read(&m_sceneZoomCorrection, 4);
        break;
    case SOUND_COMMAND_SET_CLASS_VOLUMES:
        ring.Read(m_classVolumes, sizeof(m_classVolumes));
        break;
    case SOUND_COMMAND_SET_CHANNEL_VOLUME:
    case SOUND_COMMAND_SET_CHANNEL_RATIO:
    {
        struct { uint32_t channel; float value; float fade; uint32_t easing; } payload;
        if (!ring.Read(&payload, sizeof(payload)))
            break;
        for (uint32_t channel = 0; channel < kSoundChannelCount; ++channel)
        {
            if (payload.channel != kAllSoundChannels && payload.channel != channel)
                continue;
            SoundChannelState& state = m_channels[channel];
            TimedFloatTransition& transition = command == SOUND_COMMAND_SET_CHANNEL_VOLUME
                                                   ? state.volumeTransition
                                                   : state.frequencyRatioTransition;
            transition.Start(m_cycleTime, payload.value, payload.fade, payload.easing);
        }
        break;
    }
    case SOUND_COMMAND_FADE_MASTER:
    {
        struct { float target; float seconds; uint32_t easing; } payload;
        if (ring.Read(&payload, sizeof(payload)))
            m_masterTransition.Start(m_cycleTime, payload.target, payload.seconds, payload.easing);
        break;
    }
    case SOUND_COMMAND_PLAY:
        ReadPlay();
        break;
    case SOUND_COMMAND_STOP:
    case SOUND_COMMAND_EXIT_LOOP:
    case SOUND_COMMAND_PAUSE:
    case SOUND_COMMAND_RESUME:
    case SOUND_COMMAND_SET_VOLUME:
    case SOUND_COMMAND_SET_RATIO:
    case SOUND_COMMAND_SET_LOOP_FILE:
        ApplyToInstances(command);
        break;
    case SOUND_COMMAND_LOG_INSTANCES:
    {
        gConsole.Printf(CONSOLE_MESSAGE, CONSOLE_CHANNEL_SOUND, "Active sound instances:");
        int index = 0;
        for (SoundInstanceBase* instance = m_instances.GetFirst(); instance != nullptr; instance = instance->m_next)
            gConsole.Printf(CONSOLE_MESSAGE, CONSOLE_CHANNEL_SOUND, "%03d l:%d %s", index++,
                            instance->GetParams().LoopCount == 0 ? 1 : 0, instance->GetName());
        break;
    }
    default:
        // 26 and 27 are drain points only; unknown ids are ignored.
        break;
    }
}

void SoundEngine::UpdateCycle()
{
    const Time now = Time::Now();
    const bool first = m_cycles.load(std::memory_order_relaxed) == 0;
    const double sinceLast = first ? 0.0 : (now - m_cycleTime).ToMilliseconds();
    if (!first && sinceLast < double(kWaitMs))
        return;
    gProfiler.SetValue(PROFILER_SOUND_ROUND_TIME, float(sinceLast), kProfilerCallerOtherThread);
    m_cycleTime = now;
    m_masterTransition.Update(now);
    m_masterVolume = m_masterTransition.GetCurrent();
    for (SoundChannelState& channel : m_channels)
    {
        channel.volumeTransition.Update(now);
        channel.frequencyRatioTransition.Update(now);
        channel.volume = channel.volumeTransition.GetCurrent();
        channel.frequencyRatio = channel.frequencyRatioTransition.GetCurrent();
    }
    m_instances.UpdateAll();
    if (m_mixer)
    {
        m_mixer->CommitChanges(kSoundOperationSet);
        const uint32_t glitches = m_mixer->GetPerformanceData().glitchesSinceEngineStarted;
        if (glitches != m_lastGlitchCount)
        {
            gConsole.Warning(CONSOLE_CHANNEL_SOUND, "%d sound glithes during %d audio frame",
                             int(glitches - m_lastGlitchCount), int(GetTickCount()));
            m_lastGlitchCount = glitches;
        }
    }
    // The counter wraps; the difference of two u32 readings still gives the bytes in between.
    const uint32_t decoded = m_instances.GetDecodedBytes();
    gProfiler.SetValue(PROFILER_SOUND_BYTES_DECODED, float(decoded - m_decodedBytesMark), kProfilerCallerOtherThread);
    m_decodedBytesMark = decoded;
    gProfiler.SetValue(PROFILER_SOUND_TICK, float((Time::Now() - now).ToMilliseconds()), kProfilerCallerOtherThread);
    m_cycles.fetch_add(1, std::memory_order_release);
}
