#include "renderer/resources/AnimationData.h"

#include "core/console/GameConsole.h"
#include "core/reflection/RecordStream.h"

namespace
{
bool ReadVector(RecordInput& in, Vector& value)
{
    return in.ReadFloat(value.x) && in.ReadFloat(value.y) && in.ReadFloat(value.z) && in.ReadFloat(value.w);
}

bool ReadName(RecordInput& in, NameString& name)
{
    uint32_t length = 0;
    if (!in.ReadU32(length) || length > in.Remaining())
        return false;
    return name.SetFromStream(length, [&in](char* buffer, uint32_t count) { return in.ReadBytes(buffer, count); });
}

bool ReadI16(RecordInput& in, int16_t& value)
{
    uint16_t word = 0;
    if (!in.ReadU16(word))
        return false;
    value = int16_t(word);
    return true;
}
} // namespace

bool AnimationData::Read(RecordInput& in, uint32_t version, const char* fileName)
{
    Clear();
    uint32_t trackCount = 0;
    bool read = in.ReadU32(trackCount);
    // A count is believed only as far as the bytes left can hold its records.
    if (read && size_t(trackCount) > in.Remaining() / kMinTrackBytes)
    {
        gConsole.Error(CONSOLE_CHANNEL_RESOURCE, "Animation %s: %u tracks cannot fit in %u bytes", fileName, trackCount,
                       uint32_t(in.Remaining()));
        return false;
    }
    m_tracks.resize(read ? trackCount : 0);
    uint64_t keysNeeded = 0;
    for (AnimationTrack& track : m_tracks)
    {
        read = read && ReadName(in, track.name) && in.ReadU16(track.keyCounts[0]) && in.ReadU16(track.keyCounts[1]) &&
               in.ReadU16(track.keyCounts[2]);
        for (uint32_t channel = 0; read && channel < ANIMCHANNEL_COUNT; ++channel)
        {
            track.firstKeys[channel] = uint32_t(keysNeeded);
            keysNeeded += track.keyCounts[channel];
        }
    }
    uint32_t keyCount = 0;
    read = read && in.ReadU32(keyCount);
    if (read && (size_t(keyCount) > in.Remaining() / 8 || keyCount < keysNeeded))
    {
        gConsole.Error(CONSOLE_CHANNEL_RESOURCE, "Animation %s: %u keys, the tracks need %u", fileName, keyCount,
                       uint32_t(keysNeeded));
        Clear();
        return false;
    }
    m_keys.resize(read ? keyCount : 0);
    for (AnimationKey& key : m_keys)
        read = read && ReadI16(in, key.x) && ReadI16(in, key.y) && ReadI16(in, key.z) && ReadI16(in, key.t);
    for (AnimationRange& range : m_ranges)
        read = read && ReadVector(in, range.minimum) && ReadVector(in, range.maximum);
    read = read && in.ReadFloat(m_values[0]);
    if (version >= kSecondValueVersion)
        read = read && in.ReadFloat(m_values[1]);
    // A clip cut short would play from fields nobody wrote, so it is refused as a whole.
    if (!read)
    {
        gConsole.Error(CONSOLE_CHANNEL_RESOURCE, "Animation %s ends early", fileName);
        Clear();
        return false;
    }
    DecodeKeys();
    return true;
}

void AnimationData::DecodeKeys()
{
    m_decoded.assign(m_keys.size(), Vector(0.0f, 0.0f, 0.0f, 0.0f));
    for (const AnimationTrack& track : m_tracks)
        for (uint32_t channel = 0; channel < ANIMCHANNEL_COUNT; ++channel)
        {
            const __m128 minimum = m_ranges[channel].minimum.Simd();
            const __m128 maximum = m_ranges[channel].maximum.Simd();
            for (uint32_t key = track.firstKeys[channel]; key < track.firstKeys[channel] + track.keyCounts[channel]; ++key)
                m_decoded[key].SetSimd(DecodeAnimationKey(m_keys[key], minimum, maximum));
        }
    BuildKeyBlocks();
}

void AnimationData::BuildKeyBlocks()
{
    m_blocks.clear();
    m_blockKeyCount = 0;
    if (m_tracks.empty())
        return;
    // One set of times: every channel's quantised times equal the first track's rotation times,
    // under time ranges equal bit for bit (so they also decode alike).
    const Vector& rotationMinimum = m_ranges[ANIMCHANNEL_ROTATION].minimum;
    const Vector& rotationMaximum = m_ranges[ANIMCHANNEL_ROTATION].maximum;
    const Vector& positionMinimum = m_ranges[ANIMCHANNEL_POSITION].minimum;
    const Vector& positionMaximum = m_ranges[ANIMCHANNEL_POSITION].maximum;
    if (std::memcmp(&rotationMinimum.w, &positionMinimum.w, sizeof(float)) != 0 ||
        std::memcmp(&rotationMaximum.w, &positionMaximum.w, sizeof(float)) != 0)
        return;
    const uint32_t count = m_tracks[0].keyCounts[ANIMCHANNEL_ROTATION];
    // Tracks of no keys may leave the clip with no key at all to point at.
    if (count == 0)
        return;
    const AnimationKey* const times = &m_keys[m_tracks[0].firstKeys[ANIMCHANNEL_ROTATION]];
    for (const AnimationTrack& track : m_tracks)
        for (const AnimationChannel channel : {ANIMCHANNEL_ROTATION, ANIMCHANNEL_POSITION})
        {
            if (track.keyCounts[channel] != count)
                return;
            for (uint32_t key = 0; key < count; ++key)
                if (m_keys[track.firstKeys[channel] + key].t != times[key].t)
                    return;
        }
    const size_t groups = (m_tracks.size() + 3) / 4;
    m_blocks.resize(groups * count);
    m_blockKeyCount = count;
    const Vector none(0.0f, 0.0f, 0.0f, 0.0f);
    for (size_t group = 0; group < groups; ++group)
        for (uint32_t key = 0; key < count; ++key)
        {
            __m128 rotation[4];
            __m128 position[4];
            for (size_t lane = 0; lane < 4; ++lane)
            {
                const size_t track = group * 4 + lane;
                const bool present = track < m_tracks.size();
                const AnimationTrack* const t = present ? &m_tracks[track] : nullptr;
                rotation[lane] = (present ? m_decoded[t->firstKeys[ANIMCHANNEL_ROTATION] + key] : none).Simd();
                position[lane] = (present ? m_decoded[t->firstKeys[ANIMCHANNEL_POSITION] + key] : none).Simd();
            }
            _MM_TRANSPOSE4_PS(rotation[0], rotation[1], rotation[2], rotation[3]);
            _MM_TRANSPOSE4_PS(position[0], position[1], position[2], position[3]);
            rotation[3] = RebuildAnimationRotationW4(rotation[0], rotation[1], rotation[2]);
            AnimationKeyBlock& block = m_blocks[group * count + key];
            for (int row = 0; row < 4; ++row)
            {
                block.rotation[row] = rotation[row];
                block.position[row] = position[row];
            }
        }
}

void AnimationData::Clear()
{
    m_tracks.clear();
    m_keys.clear();
    m_decoded.clear();
    m_blocks.clear();
    m_blockKeyCount = 0;
    for (AnimationRange& range : m_ranges)
        range = AnimationRange();
    m_values[0] = m_values[1] = 0.0f;
}

int32_t AnimationData::FindTrack(const NameString& name) const
{
    for (size_t i = 0; i < m_tracks.size(); ++i)
        if (m_tracks[i].name == name)
            return int32_t(i);
    return -1;
}
