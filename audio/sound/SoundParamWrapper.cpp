#include "audio/sound/SoundParamWrapper.h"

#include <cstring>

const SoundParamWrapper SoundParamWrapper::DEFAULT;

void SoundParamWrapper::LoadDefaults()
{
    Flags = 0;
    Class = SOUNDCLASS_SFX;
    Volume = 1.0f;
    FrequencyRatio = 1.0f;
    Channel = 0;
    LoopCount = 1;
    FullVolumeRange = 3.0f;
    ZeroVolumeRange = 0.0f;
    StereoSoundChannelDistance = 1.0f;
    DopplerFactor = 0.0f;
    StartDelay = 0.0f;
    StreamingBufferSize = 65536;
}

namespace
{
void Put(uint8_t*& out, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        *out++ = uint8_t(value >> (8 * i));
}
void Put(uint8_t*& out, float value)
{
    uint32_t bits;
    std::memcpy(&bits, &value, 4);
    Put(out, bits);
}
uint32_t GetU32(const uint8_t*& in)
{
    const uint32_t value = uint32_t(in[0]) | uint32_t(in[1]) << 8 | uint32_t(in[2]) << 16 | uint32_t(in[3]) << 24;
    in += 4;
    return value;
}
float GetF32(const uint8_t*& in)
{
    const uint32_t bits = GetU32(in);
    float value;
    std::memcpy(&value, &bits, 4);
    return value;
}
} // namespace

void SoundParamWrapper::Write(uint8_t* out) const
{
    Put(out, Flags);
    Put(out, Class);
    Put(out, Volume);
    Put(out, FrequencyRatio);
    Put(out, Channel);
    Put(out, LoopCount);
    Put(out, FullVolumeRange);
    Put(out, ZeroVolumeRange);
    Put(out, StereoSoundChannelDistance);
    Put(out, DopplerFactor);
    Put(out, StartDelay);
    Put(out, StreamingBufferSize);
}

void SoundParamWrapper::Read(const uint8_t* in)
{
    Flags = GetU32(in);
    Class = GetU32(in);
    Volume = GetF32(in);
    FrequencyRatio = GetF32(in);
    Channel = GetU32(in);
    LoopCount = GetU32(in);
    FullVolumeRange = GetF32(in);
    ZeroVolumeRange = GetF32(in);
    StereoSoundChannelDistance = GetF32(in);
    DopplerFactor = GetF32(in);
    StartDelay = GetF32(in);
    StreamingBufferSize = GetU32(in);
}
