// What the sound thread reports to the profiler each cycle: live and zombie instances, the time
// between cycles, the bytes decoded since the last cycle, decode and upload times.
// ctest-labels: thread
#include "engine/profiler/Profiler.h"
#include "platform/os/Clock.h"
#include "support/RendererTestBase.h"
#include "support/SoundTestHarness.h"

#include <algorithm>
#include <memory>

namespace
{
constexpr uint32_t kSoundChannels[] = {PROFILER_SOUND_INSTANCES,    PROFILER_ZOMBIE_SOUND_INSTANCES,
                                       PROFILER_SOUND_ROUND_TIME,   PROFILER_SOUND_TICK,
                                       PROFILER_SOUND_DECODE_TIME,  PROFILER_SOUND_UPLOAD_TIME,
                                       PROFILER_SOUND_BYTES_DECODED};

class SoundEngineProfilerTest : public RendererTestBase
{
protected:
    void SetUp() override
    {
        RendererTestBase::SetUp();
        for (const uint32_t channel : kSoundChannels)
            m_mask.Set(channel, true);
        gProfiler.Init(&m_mask);
        m_renderer.SubmitCommands(true);
        m_sound = std::make_unique<SoundTestHarness>();
        m_sound->WriteOgg("tone.ogg", SoundWriter::MakeTone({440.0}, 48000, 0.5, 0.5));
        ASSERT_TRUE(m_sound->Start());
    }
    void TearDown() override
    {
        os::DisableManualCounter();
        // The sound thread feeds the profiler until it stops: it goes before the renderer.
        m_sound.reset();
        gProfiler.EnableProfiler(nullptr, false);
        m_renderer.SubmitCommands(true);
        gProfiler.Close();
        RendererTestBase::TearDown();
    }
    // The render thread takes one sample of every active channel (timers give what they
    // accumulated since the last sample).
    void Sample()
    {
        gProfiler.Render(320, 240);
        m_renderer.SubmitCommands(true);
    }
    static float Newest(uint32_t channel) { return gProfiler.GetRawSample(channel, 0); }

    Profiler::Mask m_mask;
    std::unique_ptr<SoundTestHarness> m_sound;
};
} // namespace

TEST_F(SoundEngineProfilerTest, DecodedBytesAreCountedPerCycleAndInstancesWhileTheyLive)
{
    // The first cycles decode both halves; with the mixer stopped nothing more is decoded, so a
    // cycle reports 0, not the total since start.
    m_sound->Engine().PlaySystemSound("tone.ogg", nullptr);
    ASSERT_TRUE(m_sound->WaitForVoices(1));
    m_sound->WaitCycles(2);
    Sample();
    EXPECT_EQ(Newest(PROFILER_SOUND_BYTES_DECODED), 0.0f);
    EXPECT_EQ(Newest(PROFILER_SOUND_INSTANCES), 1.0f);
    EXPECT_EQ(Newest(PROFILER_ZOMBIE_SOUND_INSTANCES), 0.0f);
    EXPECT_GE(Newest(PROFILER_SOUND_ROUND_TIME), 10.0f) << "a cycle runs at most every 10 ms";
    EXPECT_GT(Newest(PROFILER_SOUND_DECODE_TIME), 0.0f);
    EXPECT_GT(Newest(PROFILER_SOUND_UPLOAD_TIME), 0.0f);

    // The tone is 48,000 bytes (half a second, mono, 16 bits): once the mixer finishes the first
    // half, one cycle decodes what is left after the two halves decoded at the start.
    // On a held clock each step is exactly one cycle: on the real one a busy machine can run two
    // between samples, and the second's 0 hides the first's count.
    os::EnableManualCounter(os::QueryCounter());
    float mostInACycle = 0.0f;
    for (int block = 0; block < 60; ++block)
    {
        m_sound->Mixer()->RenderBlocks(1);
        const uint32_t cycles = m_sound->Engine().GetCycleCount();
        os::AdvanceManualCounter(os::kCounterFrequency / 100);
        for (int waited = 0; waited < 2000 && m_sound->Engine().GetCycleCount() == cycles; ++waited)
            os::Sleep(1);
        Sample();
        mostInACycle = std::max(mostInACycle, Newest(PROFILER_SOUND_BYTES_DECODED));
    }
    os::DisableManualCounter();
    EXPECT_EQ(mostInACycle, float(48000 - 2 * kDecodeHalfBytes));

    m_sound->Render(300);
    m_sound->WaitCycles(3);
    Sample();
    EXPECT_EQ(Newest(PROFILER_SOUND_INSTANCES), 0.0f);
    EXPECT_EQ(Newest(PROFILER_SOUND_BYTES_DECODED), 0.0f);
}

TEST_F(SoundEngineProfilerTest, AnOutOfRangeLoopCountsAsAZombie)
{
    EntitySoundEmitter emitter;
    SoundParamWrapper params;
    params.LoopCount = 0;
    params.FullVolumeRange = 3.0f;
    params.ZeroVolumeRange = 10.0f;
    m_sound->PlayAt(emitter, "tone.ogg", params, true);
    ASSERT_TRUE(m_sound->WaitForVoices(1));
    m_sound->SetListenerAt(12.5f, 0.0f, 0.0f);
    ASSERT_TRUE(m_sound->WaitForVoices(0));
    m_sound->WaitCycles(2);
    Sample();
    EXPECT_EQ(Newest(PROFILER_ZOMBIE_SOUND_INSTANCES), 1.0f);
    EXPECT_EQ(Newest(PROFILER_SOUND_INSTANCES), 0.0f);
}
