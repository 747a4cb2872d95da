// A sound played from whole files held in sound memory by the resource manager: PCM and ADPCM
// waves are queued as they are, Ogg files are decoded from memory. The name may list several
// files separated by ';', played in turn for the loops. Sound thread only.
#pragma once

#include "audio/sound/SoundInstanceDecodableBase.h"
#include "audio/sound/SoundStreamDataSource.h"
#include "core/containers/Dynarray.h"

class ResourceSound;

// A sound whose files are sound resources.
class SoundInstanceStatic : public SoundInstanceDecodableBase
{
public:
    // Longest file name of a list, terminator excluded.
    static constexpr uint32_t kMaxFileName = 1023;

    SoundInstanceStatic(EntitySoundEmitter* emitter, const char* name, uint32_t id, const SoundParamWrapper& params);
    ~SoundInstanceStatic() override;

    bool Update() override;
    const char* GetName() const override;

protected:
    bool OpenDecoder(bool first) override;
    bool SubmitWholeBuffer(bool first) override;

private:
    enum State
    {
        STATE_NOTHING = 0,
        STATE_LOADING = 1,
        STATE_PLAYING = 2,
    };

    bool StartPlayback();
    // The file of the next play.
    ResourceSound* ChooseFile(bool first);

    State m_state = STATE_NOTHING;
    Dynarray<ResourceSound*> m_resources;
    SoundStreamStaticDataSource m_dataSource;
};
