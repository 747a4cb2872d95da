// The sound resource (type 5): one sound file held whole in sound memory for the sound engine.
// An Ogg Vorbis file is kept as it is (the sound engine decodes it); a RIFF WAVE file (PCM or
// MS ADPCM, looked up first as its ".adpcm" twin) or an XWMA file is parsed in place, every chunk
// size checked against the image. Loads run on the resource thread; the sound thread reads the
// results once the resource is loaded. Threads otherwise as Resource.
#pragma once

#include "platform/audio/WaveFormat.h"
#include "renderer/resources/Resource.h"

#include <cstdint>

class FileReader;
class SoundMemoryChunk;

// Kinds of loaded sound data.
enum ResourceSoundKind : uint32_t
{
    SOUND_KIND_NONE = 0,
    SOUND_KIND_PCM = 1,
    SOUND_KIND_ADPCM = 2,
    SOUND_KIND_XWMA = 3,
    SOUND_KIND_OGG = 4,
};

// Walks the chunks of a RIFF image: {id, size, body}. A chunk whose size runs past the image ends
// the walk.
class RiffChunkIterator
{
public:
    RiffChunkIterator(const uint8_t* base, uint32_t size, uint32_t position)
        : m_base(base), m_size(size), m_position(position) {}
    // With skip, first steps over the current chunk's body. Returns the next chunk's id, 0 at the end.
    uint32_t Next(bool skip);
    const uint8_t* GetChunkData() const { return m_base + m_position; }
    uint32_t GetChunkSize() const { return m_chunkSize; }
    uint32_t GetChunkId() const { return m_chunkId; }

private:
    const uint8_t* m_base;
    uint32_t m_size;
    uint32_t m_position;
    uint32_t m_chunkSize = 0;
    uint32_t m_chunkId = 0;
};

// What a RIFF sound image holds: kind, format, sample bytes and XWMA seek table (inside the image).
struct RiffSoundImage
{
    uint32_t kind = 0;
    audio::WaveFormat format;
    const uint8_t* sampleData = nullptr;
    uint32_t sampleSize = 0;
    const uint8_t* seekTable = nullptr;
    uint32_t seekTableSize = 0;
};

// One sound sample in the sound memory pool.
class ResourceSound : public Resource
{
public:
    // Parses a RIFF WAVE (PCM, ADPCM) or XWMA image; false (logged with `name`) for anything else.
    static bool ParseRiffImage(const uint8_t* image, uint32_t size, const char* name, RiffSoundImage& out);

    explicit ResourceSound(const char* name) : Resource(name) {}
    ~ResourceSound() override;

    uint32_t GetType() const override { return RESOURCE_TYPE_SOUND; }
    void Prefetch() override;
    bool DoLoad() override;

    uint32_t GetKind() const { return m_kind; }
    const audio::WaveFormat& GetFormat() const { return m_format; }
    const uint8_t* GetSampleData() const { return m_sampleData; }
    uint32_t GetSampleSize() const { return m_sampleSize; }
    const uint8_t* GetSeekTable() const { return m_seekTable; }
    uint32_t GetSeekTableSize() const { return m_seekTableSize; }

    // Gives the chunk back and forgets the data (the pool is going away).
    void FreeSampleMemory();

private:
    bool LoadOgg(FileReader& file);
    bool ParseWave(FileReader& file);
    // Reads the whole file into a new chunk; false (logged, nothing kept) on failure.
    bool ReadIntoChunk(FileReader& file);

    uint32_t m_kind = SOUND_KIND_NONE;
    SoundMemoryChunk* m_chunk = nullptr;
    audio::WaveFormat m_format;
    const uint8_t* m_sampleData = nullptr;
    uint32_t m_sampleSize = 0;
    const uint8_t* m_seekTable = nullptr;
    uint32_t m_seekTableSize = 0;
};
