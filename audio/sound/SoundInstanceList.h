// The sound engine's instance state: the list of every sound instance (oldest first), the streamed
// and music stream counts and their limits, the decoded byte counter and the pool of decode
// buffers. One per SoundEngine (SoundEngine::GetInstances). Sound thread only: nothing here locks.
#pragma once

#include "audio/sound/SoundParamWrapper.h"

#include <cstdint>
#include <memory>

class EntitySoundEmitter;
class IndexPool;
class SoundInstanceBase;

constexpr uint32_t kMaxStreamedSounds = 8;
constexpr uint32_t kMaxMusicStreams = 4;
// A decode buffer is two halves that a voice plays in turn.
constexpr uint32_t kDecodeHalfBytes = 16384;
constexpr uint32_t kDecodeBufferBytes = 2 * kDecodeHalfBytes;

// Owns the sound instances and the counters and buffers they share.
class SoundInstanceList
{
public:
    SoundInstanceList();
    ~SoundInstanceList();
    SoundInstanceList(const SoundInstanceList&) = delete;
    SoundInstanceList& operator=(const SoundInstanceList&) = delete;

    // New instances join the end of the list.
    SoundInstanceBase* CreateStatic(EntitySoundEmitter* emitter, const char* name, uint32_t id,
                                    const SoundParamWrapper& params);
    SoundInstanceBase* CreateStreamed(EntitySoundEmitter* emitter, const char* name, uint32_t id,
                                      const SoundParamWrapper& params);
    // kind 0 revives as static, 1 as streamed.
    SoundInstanceBase* CreateZombie(uint32_t kind, const SoundInstanceBase& source);

    void Link(SoundInstanceBase* instance);
    // Stops the voice, unlinks and deletes.
    void Destroy(SoundInstanceBase* instance);
    void DestroyAll();
    // Destroys every instance whose Flags carry all of `flags`.
    void DestroyWithFlags(uint32_t flags);
    // The emitter is going away: its sounds stop at once (fade <= 0) or fade out, unless they
    // outlive it.
    void DetachEmitter(const EntitySoundEmitter* emitter, float fadeSeconds);
    // Updates every instance once and destroys the finished ones.
    void UpdateAll();

    SoundInstanceBase* GetFirst() const { return m_first; }
    uint32_t GetCount() const { return m_count; }
    uint32_t GetZombieCount() const { return m_zombieCount; }

    // Streams open now against their limits.
    uint32_t& StreamedCount() { return m_streamedCount; }
    uint32_t& MusicStreamCount() { return m_musicStreamCount; }
    // Bytes decoded since start (wraps).
    uint32_t GetDecodedBytes() const { return m_decodedBytes; }
    void AddDecodedBytes(uint32_t bytes) { m_decodedBytes += bytes; }

    // The decode buffer pool: `count` buffers of kDecodeBufferBytes.
    void CreateDecodePool(uint32_t count);
    void FreeDecodePool();
    // Null (and logged) when every buffer is taken or there is no pool.
    uint8_t* AllocateDecodeBuffer();
    void FreeDecodeBuffer(uint8_t* buffer);

private:
    void Unlink(SoundInstanceBase* instance);

    SoundInstanceBase* m_first = nullptr;
    SoundInstanceBase* m_last = nullptr;
    uint32_t m_count = 0;
    uint32_t m_zombieCount = 0;
    uint32_t m_streamedCount = 0;
    uint32_t m_musicStreamCount = 0;
    uint32_t m_decodedBytes = 0;
    std::unique_ptr<IndexPool> m_decodePool;
};
