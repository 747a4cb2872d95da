// A sound read from its file piecewise through a streaming file reader and decoded as Ogg Vorbis.
// Sound thread only.
#pragma once

#include "audio/sound/SoundInstanceDecodableBase.h"
#include "audio/sound/SoundStreamDataSource.h"

#include <string>

class StreamingFileReader;

// A streamed Ogg sound; counts against the streamed (8) or music (4) limit while it lives.
class SoundInstanceStreamed : public SoundInstanceDecodableBase
{
public:
    // Largest ring a parameter block may ask for.
    static constexpr uint32_t kMaxStreamingBufferSize = 16u << 20;

    SoundInstanceStreamed(EntitySoundEmitter* emitter, const char* name, uint32_t id, const SoundParamWrapper& params);
    ~SoundInstanceStreamed() override;

    bool Update() override;
    void SetLoopFile(const char* name) override;
    const char* GetName() const override { return m_name.CStr(); }

protected:
    bool OpenDecoder(bool first) override;

private:
    enum State
    {
        STATE_OPENING = 0,
        STATE_PLAYING = 1,
        STATE_FAILED = 2,
    };

    // The folder of the sound's files (null: its name is a path of its own).
    const char* Folder() const;
    StreamingFileReader* OpenReader(const char* name) const;

    State m_state = STATE_FAILED;
    StreamingFileReader* m_reader = nullptr;
    SoundStreamStreamedDataSource m_dataSource;
    std::string m_pendingLoopFile;
    bool m_hasPendingLoopFile = false;
    bool m_countsAsMusic;
};
