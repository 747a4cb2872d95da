// The sound engine: the one sound thread (script global gSoundEngine).
//
// Public operations run on the caller's thread and only post commands into the thread's ring;
// play calls hand back an instance id at once so that later commands can name the sound. The
// sound thread owns the mixer (platform/audio) with its mastering voice, the 3D positioner, the
// listener, the master, class and channel volumes, and the instance list with every sound
// instance, the stream counts and the decode buffers (SoundInstanceList.h). At most every 10 ms
// it advances the volume transitions, updates every instance, commits the cycle's voice changes
// at once and reports mixer glitches. When the audio device cannot be made the engine logs why
// and runs on silent: instances are still created and updated, but none gets a voice.
//
// Threads: public operations from any thread; the accessors marked "sound thread" only there. Who
// waits on the sound thread, and its place in start-up: docs/architecture.md.
#pragma once

#include "audio/sound/SoundInstanceList.h"
#include "audio/sound/SoundParamWrapper.h"
#include "engine/TimedFloatTransition.h"
#include "core/math/Matrix.h"
#include "core/threads/BaseThread.h"
#include "platform/audio/Positioner3D.h"

#include <atomic>
#include <cstdint>
#include <memory>

class EntitySoundEmitter;
namespace audio
{
class Engine;
class MasteringVoice;
}

// Commands of the sound thread.
enum SoundEngineCommand : uint32_t
{
    SOUND_COMMAND_INIT = 9,
    SOUND_COMMAND_CLOSE = 10,
    SOUND_COMMAND_SET_LISTENER = 11,          // 64-byte Matrix
    SOUND_COMMAND_SET_ZOOM_CORRECTION = 12,   // f32
    SOUND_COMMAND_SET_CLASS_VOLUMES = 13,     // f32 sfx, music, voice
    SOUND_COMMAND_SET_CHANNEL_VOLUME = 14,    // u32 channel, f32 volume, f32 fade, u32 easing
    SOUND_COMMAND_FADE_MASTER = 15,           // f32 target, f32 duration, u32 easing
    SOUND_COMMAND_SET_CHANNEL_RATIO = 16,     // u32 channel, f32 ratio, f32 fade, u32 easing
    SOUND_COMMAND_PLAY = 17,                  // u32 id, 48-byte parameters, u32 n, n + 1 name bytes
    SOUND_COMMAND_STOP = 18,                  // u32 id, owner, f32 fade
    SOUND_COMMAND_EXIT_LOOP = 19,             // u32 id, owner
    SOUND_COMMAND_PAUSE = 20,                 // u32 id, owner, f32 fade, i32 channel
    SOUND_COMMAND_RESUME = 21,                // u32 id, owner, f32 fade, i32 channel
    SOUND_COMMAND_SET_VOLUME = 22,            // u32 id, owner, f32 volume, f32 fade, u32 easing
    SOUND_COMMAND_SET_RATIO = 23,             // u32 id, owner, f32 ratio, f32 fade, u32 easing
    SOUND_COMMAND_SET_LOOP_FILE = 24,         // u32 id, u32 n (0: none), n name bytes with terminator
    SOUND_COMMAND_LOG_INSTANCES = 25,
    SOUND_COMMAND_PAUSE_FOR_DEACTIVATION = 26,
    SOUND_COMMAND_RESUME_AFTER_ACTIVATION = 27,
    kSoundCommandLimit = 28,
};

constexpr uint32_t kAllSoundInstances = 0xFFFFFFFFu;
constexpr uint32_t kAllSoundChannels = 0xFFFFFFFFu;

// One of the 16 channels: a volume and a frequency ratio, each with its transition.
struct SoundChannelState
{
    TimedFloatTransition volumeTransition{1.0f};
    TimedFloatTransition frequencyRatioTransition{1.0f};
    float volume = 1.0f;
    float frequencyRatio = 1.0f;
};

// The sound thread and its commands.
class SoundEngine : public BaseThread
{
public:
    // Width divided by height of the game window; the game installs it (1 until then).
    using ScreenAspectRatioHook = float (*)();

    // Becomes gSoundEngine until destroyed.
    SoundEngine();
    ~SoundEngine() override;

    // Starts the thread and initialises the audio device on it, then applies the configured volumes.
    bool Init();
    // Destroys every instance and the device and stops the thread.
    void Close();

    void SetListenerMatrix(const Matrix& matrix);
    void SetSceneZoomCorrection(float factor);
    // Posts the user configuration's sound-effect, music and voice volumes.
    void ApplyVolumeSettings();
    // Channel 0..15, or kAllSoundChannels; any other is reported and nothing is posted.
    bool SetChannelVolume(uint32_t channel, float volume, float fadeSeconds, uint32_t easing);
    void FadeMasterVolume(float target, float seconds, uint32_t easing);
    bool SetChannelFrequencyRatio(uint32_t channel, float ratio, float fadeSeconds, uint32_t easing);
    // The new instance's id, or 0 (null name, or the command could not be posted). Null
    // parameters use the defaults.
    uint32_t PlaySystemSound(const char* name, const SoundParamWrapper* params);
    // Streams "Voices/<voice language>/<name>.ogg" in the voice class; the flags and class are set
    // in the given block (or a block of defaults).
    uint32_t PlayLocalizedVoice(const char* name, SoundParamWrapper* params);
    // Owner null matches any; id kAllSoundInstances matches every instance.
    void StopSound(uint32_t id, float fadeSeconds, const EntitySoundEmitter* owner);
    void ExitLoop(uint32_t id, const EntitySoundEmitter* owner);
    // channel < 0 matches every channel.
    void PauseSound(uint32_t id, float fadeSeconds, const EntitySoundEmitter* owner, int32_t channel);
    void ResumeSound(uint32_t id, float fadeSeconds, const EntitySoundEmitter* owner, int32_t channel);
    void SetVolume(uint32_t id, float volume, float fadeSeconds, uint32_t easing, const EntitySoundEmitter* owner);
    void SetFrequencyRatio(uint32_t id, float ratio, float fadeSeconds, uint32_t easing,
                           const EntitySoundEmitter* owner);
    void SetLoopFile(uint32_t id, const char* name);
    void LogActiveSoundInstances();
    // Both return once the sound thread has run everything posted before them.
    void PauseForDeactivation();
    void ResumeAfterActivation();
    // Ask the resource thread to log or evict the sound memory pool.
    void LogSoundMemoryPool();
    void EvictSoundMemoryPool();

    // Next play id: unique, never 0 nor kAllSoundInstances. Any thread.
    uint32_t NextInstanceId();
    // Tests start the ids near the wrap with this.
    void SetLastInstanceId(uint32_t id) { m_lastInstanceId.store(id); }
    void SetScreenAspectRatioHook(ScreenAspectRatioHook hook) { m_aspectHook.store(hook); }
    // The mixer, once initialised (null while silent); tests step a manual mixer through it.
    audio::Engine* GetMixer() const { return m_mixerPublished.load(std::memory_order_acquire); }
    // How many commands of an id the sound thread has taken (ids below kSoundCommandLimit).
    uint32_t GetHandledCount(uint32_t command) const
    {
        return command < kSoundCommandLimit ? m_handled[command].load(std::memory_order_acquire) : 0;
    }
    // Update cycles run so far (any thread).
    uint32_t GetCycleCount() const { return m_cycles.load(std::memory_order_acquire); }

    // Sound thread.
    Time GetCycleTime() const { return m_cycleTime; }
    float GetMasterVolume() const { return m_masterVolume; }
    float GetClassVolume(uint32_t soundClass) const;
    const SoundChannelState& GetChannel(uint32_t channel) const { return m_channels[channel]; }
    float GetSceneZoomCorrection() const { return m_sceneZoomCorrection; }
    float GetScreenAspectRatio() const;
    uint32_t GetMasteringChannelCount() const { return m_masteringChannels; }
    const audio::Listener& GetListener() const { return m_listener; }
    const Matrix& GetListenerMatrix() const { return m_listenerMatrix; }
    const audio::Positioner3D& GetPositioner() const { return m_positioner; }
    audio::Engine* GetMixerOnThread() const { return m_mixer.get(); }
    SoundInstanceList& GetInstances() { return m_instances; }

protected:
    void HandleCommand(const uint8_t* record) override;
    void Tick() override;

private:
    void InitOnThread();
    void ShutdownOnThread();
    void UpdateCycle();
    void ReadListener();
    void ReadPlay();
    // Commands 18 to 24 on every matching instance.
    void ApplyToInstances(uint32_t command);
    // Posts a command with a fixed payload; false when it could not be posted.
    bool Post(uint32_t command, const void* payload, uint32_t bytes);
    // Posts and returns once the sound thread has run it.
    void PostAndWait(uint32_t command);
    bool PostMatching(uint32_t command, uint32_t id, const EntitySoundEmitter* owner, const void* rest,
                      uint32_t restBytes);

    std::unique_ptr<audio::Engine> m_mixer;
    std::atomic<audio::Engine*> m_mixerPublished{nullptr};
    audio::MasteringVoice* m_mastering = nullptr;
    uint32_t m_lastGlitchCount = 0;
    uint32_t m_decodedBytesMark = 0; // the decoded byte counter at the last cycle
    audio::Positioner3D m_positioner;
    audio::Listener m_listener;
    Matrix m_listenerMatrix = Matrix::ONE;
    Vector m_listenerPosition;
    float m_sceneZoomCorrection = 0.0f;
    uint32_t m_masteringChannels = 0;
    Time m_cycleTime;
    float m_masterVolume = 1.0f;
    std::atomic<uint32_t> m_lastInstanceId{0};
    float m_classVolumes[SOUNDCLASS_MAX] = {1.0f, 1.0f, 1.0f};
    SoundChannelState m_channels[kSoundChannelCount];
    TimedFloatTransition m_masterTransition{1.0f};
    std::atomic<ScreenAspectRatioHook> m_aspectHook{nullptr};
    std::atomic<uint32_t> m_cycles{0};
    std::atomic<uint32_t> m_handled[kSoundCommandLimit] = {};
    SoundInstanceList m_instances;
};

extern SoundEngine* gSoundEngine;
