// The start parameters of a sound (script class SoundParamWrapper): twelve 32-bit fields whose
// names are also the script property names. Plain data: any thread; the shared defaults are
// read-only.
#pragma once

#include <cstdint>

// Start flags (Flags field). The names are the script constants, spelling included.
enum SoundStartFlag : uint32_t
{
    SOUNDSTARTFLAG_STREAMED = 1,
    SOUNDSTARTFLAG_ABSOULUTEPATH = 2,
    SOUNDSTARTFLAG_MUSIC = 4,
    SOUNDSTARTFLAG_JUSTLOAD = 8,
    SOUNDSTARTFLAG_IPHONEMP3 = 16,
    SOUNDSTARTFLAG_NOATTENUATION = 32,
    SOUNDSTARTFLAG_IMPORTANT = 64,
    SOUNDSTARTFLAG_OUTLIVEEMITTER = 128, // no script constant
    SOUNDSTARTFLAG_FIRSTFILEFIRST = 256, // no script constant
    SOUNDSTARTFLAG_TRUE3D = 512,         // no script constant
};

// Volume classes (Class field).
enum SoundClass : uint32_t
{
    SOUNDCLASS_SFX = 0,
    SOUNDCLASS_MUSIC = 1,
    SOUNDCLASS_VOICE = 2,
    SOUNDCLASS_MAX = 3,
};

constexpr uint32_t kSoundChannelCount = 16;

// How one sound starts: flags, class, volume, ratio, channel, plays, 3D ranges, delay, stream ring.
struct SoundParamWrapper
{
    static constexpr uint32_t kSerializedBytes = 48;

    SoundParamWrapper() { LoadDefaults(); }
    void LoadDefaults();
    // A copy of the defaults (the script's SoundParamWrapper.Instance).
    static SoundParamWrapper Instance() { return SoundParamWrapper(); }

    // The 48-byte little-endian form, field by field in declaration order.
    void Write(uint8_t* out) const;
    void Read(const uint8_t* in);

    uint32_t Flags;
    uint32_t Class;
    float Volume;
    float FrequencyRatio;
    uint32_t Channel;
    uint32_t LoopCount; // 0 plays forever
    float FullVolumeRange;
    float ZeroVolumeRange; // 0: the default distance curve
    float StereoSoundChannelDistance;
    float DopplerFactor; // 0: no Doppler
    float StartDelay;    // seconds
    uint32_t StreamingBufferSize; // bytes

    // The shared defaults (the script's SoundParamWrapper.DEFAULT).
    static const SoundParamWrapper DEFAULT;
};
static_assert(sizeof(SoundParamWrapper) == SoundParamWrapper::kSerializedBytes, "twelve 32-bit fields");
