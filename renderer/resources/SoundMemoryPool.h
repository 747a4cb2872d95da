// Sound memory: one fixed block from which sound resources take the images of their files, so
// that sound data never fragments the general heap. It exists while the resource manager's sound
// pool does. Any thread (the memory pool locks); chunks are filled on the resource thread.
#pragma once

#include "core/memory/SystemMemoryPool.h"

class ResourceSound;

// A chunk holding one sound file's image, and the resource that owns it.
class SoundMemoryChunk : public SystemMemoryChunk
{
public:
    // The owner's name for the pool dump; null once the owner is gone.
    const char* GetDescription() const override;
    const char* GetOwnerName() const { return GetDescription(); }

    ResourceSound* m_owner = nullptr;
};

// The sound memory pool; chunks are SoundMemoryChunks.
class SoundMemoryPool : public SystemMemoryPool
{
public:
    static constexpr uint32_t kAlignment = 16;

protected:
    SystemMemoryChunk* CreateChunk() override { return new SoundMemoryChunk; }
};

extern SoundMemoryPool gSoundMemoryPool;
