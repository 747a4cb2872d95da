// The sound entries widen their ranges by the altitude of the live game camera controller.
#include "audio/sound/EntitySoundEmitter.h"
#include "audio/sound/SoundEntriesContainer.h"
#include "audio/sound/SoundEntryParams.h"
#include "scene/cameras/CameraTestSupport.h"
#include "scene/cameras/GameCameraController.h"
#include "support/SoundTestHarness.h"

#include <memory>

namespace
{
class GameCameraControllerSoundTest : public CameraTest
{
protected:
    void SetUp() override
    {
        CameraTest::SetUp();
        // A missing file would be dropped by the sound thread whenever its load failed: a race.
        m_sound.WriteBytes("sounds/r.wav", SoundWriter::EncodeWav(SoundWriter::MakeTone({440.0}, 22050, 0.5, 0.5)));
        ASSERT_TRUE(m_sound.Start());
        SoundEntryParams ranged;
        ranged.AddSound("r.wav");
        ranged.Attenuate = true;
        ranged.RangeMin = 10.0f;
        ranged.RangeMax = 40.0f;
        ASSERT_TRUE(m_entries.AddSoundEntry("ranged", ranged));
    }
    void TearDown() override
    {
        m_emitter->PostDestroy();
        m_sound.Engine().Flush();
        CameraTest::TearDown();
    }
    // The full-volume range the sound thread got for a play of the entry.
    float PlayedFullRange()
    {
        const uint32_t id = m_entries.PlaySoundEntryInternal("ranged", m_emitter, 3, 0.0f, 1.0f, nullptr, 0, nullptr);
        for (const auto& instance : m_sound.Instances())
            if (instance.id == id)
                return instance.params.FullVolumeRange;
        ADD_FAILURE() << "no instance";
        return 0.0f;
    }

    SoundTestHarness m_sound;
    SoundEntriesContainer m_entries;
    EntitySoundEmitter* m_emitter = new EntitySoundEmitter();
};

TEST_F(GameCameraControllerSoundTest, RangesWidenByTheListenerAltitudeWhileAControllerLives)
{
    {
        GameCameraController controller(1280, 720);
        controller.SetSoundListenerAltitude(30.0f);
        EXPECT_NEAR(PlayedFullRange(), std::sqrt(100.0f + 900.0f), 0.01f);
    }
    EXPECT_FLOAT_EQ(PlayedFullRange(), 10.0f) << "no controller: no altitude";
}
} // namespace
