// The instance layer's globals: the list of every sound instance (oldest first), the streamed and
// music stream counts and their limits, the decoded byte counter and the pool of decode buffers.
// Sound thread only: nothing here locks.
#pragma once

#include "audio/sound/SoundParamWrapper.h"

#include <cstdint>

class EntitySoundEmitter;
class SoundInstanceBase;

constexpr uint32_t kMaxStreamedSounds = 8;
constexpr uint32_t kMaxMusicStreams = 4;
// A decode buffer is two halves that a voice plays in turn.
constexpr uint32_t kDecodeHalfBytes = 16384;
constexpr uint32_t kDecodeBufferBytes = 2 * kDecodeHalfBytes;

namespace SoundInstances
{
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

SoundInstanceBase* GetFirst();
uint32_t GetCount();
uint32_t GetZombieCount();

// Streams open now against their limits.
uint32_t& StreamedCount();
uint32_t& MusicStreamCount();
// Bytes decoded since start (wraps).
uint32_t GetDecodedBytes();
void AddDecodedBytes(uint32_t bytes);

// The decode buffer pool: `count` buffers of kDecodeBufferBytes.
void CreateDecodePool(uint32_t count);
void FreeDecodePool();
// Null (and logged) when every buffer is taken or there is no pool.
uint8_t* AllocateDecodeBuffer();
void FreeDecodeBuffer(uint8_t* buffer);
} // namespace SoundInstances
