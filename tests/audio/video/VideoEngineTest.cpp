// ctest-labels: thread
// The video engine end to end on the stand-ins: which frame shows when (read back from the
// luminance texture), the sound clock and its resynchronisation, looping, replacing and stopping
// players, files that cannot play, the full-screen draw and the sound that reaches the mixer.
#include "support/ConsoleCapture.h"
#include "support/SoundAnalysis.h"
#include "support/VideoTestHarness.h"

#include "engine/profiler/Profiler.h"
#include "renderer/RenderCommands.h"
#include "platform/os/Clock.h"
#include "platform/os/Thread.h"

#include <gtest/gtest.h>

#include <cmath>
#include <algorithm>
#include <cstring>
#include <fstream>
#include <numeric>
#include <random>
#include <vector>

namespace
{
constexpr int64_t kBase = 1000 * os::kCounterFrequency;
constexpr uint32_t kCompareAlwaysForTest = 8;

int64_t Seconds(double seconds)
{
    return int64_t(std::llround(seconds * double(os::kCounterFrequency)));
}

// The frame code a video of `fps` frames a second shows at time t: frame n ends, and is shown,
// at (n + 1) / fps.
int ExpectedFrame(double t, uint32_t frames, double fps = 10.0)
{
    const int n = int(std::floor(t * fps + 1e-9)) - 1;
    return n < 0 ? -1 : n % int(frames) % int(VideoWriter::kFrameCodes);
}

class VideoEngineTest : public ::testing::Test
{
protected:
    void SetUp() override { os::EnableManualCounter(kBase); }
    void TearDown() override
    {
        m_harness.Stop();
        os::DisableManualCounter();
    }

    void At(double seconds) { os::SetManualCounter(kBase + Seconds(seconds)); }

    uint32_t CountOf(const std::string& text)
    {
        uint32_t count = 0;
        for (const CapturedMessage& message : m_log.Messages())
            count += message.text == text;
        return count;
    }

    // Updates and feeds until the sound thread has made the video's voice.
    bool WaitForVoice()
    {
        for (int i = 0; i < 200; ++i)
        {
            bool voice = false;
            m_harness.Update();
            m_harness.Sound()->Flush();
            m_harness.OnPlayer([&](VideoPlayer* player) { voice = player != nullptr && player->HasVoice(); });
            if (voice)
                return true;
        }
        return false;
    }
    uint64_t SamplesPlayed()
    {
        uint64_t played = 0;
        m_harness.OnPlayer([&](VideoPlayer* player) { played = player != nullptr ? player->GetSamplesPlayed() : 0; });
        return played;
    }
    // Mixes block by block with the wall clock in step, letting an update feed the voice after
    // each block (as the game's frames would) and carry its position to the player.
    void MixAndFeed(uint32_t blocks)
    {
        for (uint32_t i = 0; i < blocks; ++i)
        {
            m_now += 0.01;
            At(m_now);
            m_harness.Mix(1);
            m_harness.Update();
            m_harness.Sound()->Flush();
        }
    }

    ConsoleCapture m_log;
    VideoTestHarness m_harness;
    double m_now = 0.0;
};

TEST_F(VideoEngineTest, SilentVideoShowsEachFrameWhenTheWallClockReachesItsTime)
{
    VideoSpec spec;
    spec.frames = 12;
    ASSERT_TRUE(m_harness.WriteVideo("clip", spec));
    ASSERT_TRUE(m_harness.Start());
    ASSERT_TRUE(m_harness.Video().Play("clip", nullptr, true, false, 1.0f));
    m_harness.Renderer().SubmitCommands(true);
    EXPECT_TRUE(m_harness.Video().IsPlaying());
    EXPECT_TRUE(m_harness.Video().IsFullScreen());
    ASSERT_TRUE(m_harness.UpdateUntilOpen());

    for (double t = 0.025; t < 1.2; t += 0.05)
    {
        At(t);
        m_harness.Update();
        EXPECT_EQ(m_harness.ShownFrame(), ExpectedFrame(t, spec.frames)) << "at " << t << " s";
    }
    // A frame shows once the clock reaches its time; the player ends only once the clock has passed it.
    At(1.2);
    for (int i = 0; i < 3; ++i)
        m_harness.Update();
    EXPECT_EQ(m_harness.ShownFrame(), 11);
    EXPECT_TRUE(m_harness.Video().IsPlaying());
    bool again = true;
    m_harness.OnPlayer([&](VideoPlayer* player) { VideoPlaneRegion regions[3]; again = player->FetchPlanes(regions); });
    EXPECT_FALSE(again) << "a frame's planes are fetched once";
    // The last frame has been shown: the player ends and the next update destroys it.
    for (double t = 1.25; t < 1.5 && m_harness.Video().IsPlaying(); t += 0.05)
    {
        At(t);
        m_harness.Update();
    }
    EXPECT_FALSE(m_harness.Video().IsPlaying());
    EXPECT_EQ(m_harness.Video().GetPlayRequests(), 1u);
    EXPECT_EQ(m_harness.Video().GetPlayersDestroyed(), 1u);
    EXPECT_EQ(m_harness.ReadLuma(0, 0), -1) << "the plane textures go with the player";
}

// The player's steps are timed on the profiler's "VideoDecode" channel (real time here: a frozen
// clock would time nothing).
TEST_F(VideoEngineTest, DecodingIsTimedOnTheVideoDecodeChannel)
{
    os::DisableManualCounter();
    ASSERT_STREQ(GetProfilerChannelInfo(kProfilerVideoDecodeChannel).name, "VideoDecode");
    VideoSpec spec;
    spec.frames = 12;
    ASSERT_TRUE(m_harness.WriteVideo("clip", spec));
    ASSERT_TRUE(m_harness.Start());
    Profiler::Mask mask;
    mask.Set(kProfilerVideoDecodeChannel, true);
    gProfiler.Init(&mask);
    gProfiler.Render(320, 240);
    m_harness.Renderer().SubmitCommands(true);
    EXPECT_EQ(gProfiler.GetRawSample(kProfilerVideoDecodeChannel, 0), 0.0f) << "nothing decoded yet";

    ASSERT_TRUE(m_harness.Video().Play("clip", nullptr, true, false, 1.0f));
    ASSERT_TRUE(m_harness.UpdateUntilOpen());
    for (int i = 0; i < 3; ++i)
        m_harness.Update();
    gProfiler.Render(320, 240);
    m_harness.Renderer().SubmitCommands(true);
    EXPECT_GT(gProfiler.GetRawSample(kProfilerVideoDecodeChannel, 0), 0.0f);
    gProfiler.Close();
}

TEST_F(VideoEngineTest, PictureOffsetMapsThePictureIntoTheTextures)
{
    VideoSpec spec;
    spec.width = 40;
    spec.height = 24;
    spec.pictureX = 8;
    spec.pictureY = 2;
    spec.frames = 4;
    spec.detail = true;
    ASSERT_TRUE(m_harness.WriteVideo("offset", spec));
    ASSERT_TRUE(m_harness.Start(false));
    ASSERT_TRUE(m_harness.Video().Play("offset", "videos", false, false, 1.0f));
    ASSERT_TRUE(m_harness.UpdateUntilOpen());
    At(0.225);
    m_harness.Update();
    m_harness.Update();
    uint32_t textureWidth = 0, textureHeight = 0, chromaWidth = 0;
    RunOnRenderThread(m_harness.Renderer(), [&](NorvexRenderer&) {
        gpu::SurfaceDesc desc{};
        static_cast<gpu::GpuTexture*>(m_harness.Video().GetPlaneTexture(0)->GetTexture())->GetLevelDesc(0, &desc);
        textureWidth = desc.width;
        textureHeight = desc.height;
        static_cast<gpu::GpuTexture*>(m_harness.Video().GetPlaneTexture(1)->GetTexture())->GetLevelDesc(0, &desc);
        chromaWidth = desc.width;
    });
    EXPECT_EQ(textureWidth, 40u);
    EXPECT_EQ(textureHeight, 24u);
    EXPECT_EQ(chromaWidth, 20u);
    // The code band is the picture's top rows: its first texel is the picture's, not the frame's.
    EXPECT_EQ(m_harness.ShownFrame(), 1);
    EXPECT_EQ(m_harness.ReadLuma(39, 0), int(VideoWriter::FrameLuma(1)));
    EXPECT_NEAR(m_harness.ReadLuma(39, 15), int(VideoWriter::FrameLuma(1)), 4) << "the code band's last row, coded lossily";
    EXPECT_GT(m_harness.ReadLuma(39, 16), 100) << "the texture starts below the 16 code rows";
}

// The colour planes take the decoder's subsampling, whatever the file's chroma format, and an odd
// picture keeps its last colour column and row. The kit colours the left and right halves of the
// picture apart in U and the top and bottom halves in V; each texture's far corner is right only
// when the plane is sized and placed as the decoder made it. An odd picture uses only part of its
// colour texture's last texel, and the draw scales colour coordinates to match.
TEST_F(VideoEngineTest, ColourPlanesFollowTheDecodersSubsamplingAndOddSizes)
{
    const struct
    {
        const char* name;
        VideoChroma chroma;
        uint32_t width, height;
        uint32_t chromaWidth, chromaHeight;
        float scaleX, scaleY;
    } cases[] = {
        {"4:2:0", VideoChroma::Half420, 64, 48, 32, 24, 1.0f, 1.0f},
        {"4:2:2", VideoChroma::Half422, 64, 48, 32, 48, 1.0f, 1.0f},
        {"4:4:4", VideoChroma::Full444, 64, 48, 64, 48, 1.0f, 1.0f},
        {"odd 4:2:0", VideoChroma::Half420, 63, 47, 32, 24, 63.0f / 64.0f, 47.0f / 48.0f},
        {"odd 4:2:2", VideoChroma::Half422, 63, 47, 32, 47, 63.0f / 64.0f, 1.0f},
        {"odd 4:4:4", VideoChroma::Full444, 63, 47, 63, 47, 1.0f, 1.0f},
    };
    ASSERT_TRUE(m_harness.Start(false));
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        VideoSpec spec;
        spec.chroma = c.chroma;
        spec.width = c.width;
        spec.height = c.height;
        spec.frames = 4;
        ASSERT_TRUE(m_harness.WriteVideo(c.name, spec));
        ASSERT_TRUE(m_harness.Video().Play(c.name, nullptr, false, false, 1.0f));
        m_now = 0.0;
        At(0.0);
        ASSERT_TRUE(m_harness.UpdateUntilOpen());
        At(0.15);
        m_harness.Update();
        ASSERT_EQ(m_harness.ShownFrame(), 0);
        EXPECT_EQ(m_harness.PlaneSize(0), std::make_pair(c.width, c.height));
        RunOnRenderThread(m_harness.Renderer(), [&](NorvexRenderer&) {
            const VideoCoordScale& scale = m_harness.Video().GetChromaCoordScale();
            EXPECT_EQ(std::make_pair(scale.x, scale.y), std::make_pair(c.scaleX, c.scaleY));
        });
        const uint32_t lastX = c.chromaWidth - 1;
        const uint32_t lastY = c.chromaHeight - 1;
        for (uint32_t plane = 1; plane < 3; ++plane)
        {
            SCOPED_TRACE(plane == 1 ? "U" : "V");
            EXPECT_EQ(m_harness.PlaneSize(plane), std::make_pair(c.chromaWidth, c.chromaHeight));
            const bool acrossIsU = plane == 1;
            EXPECT_NEAR(m_harness.ReadPlane(plane, 1, 1), VideoWriter::kChromaLow, 16);
            EXPECT_NEAR(m_harness.ReadPlane(plane, lastX, lastY), VideoWriter::kChromaHigh, 16);
            // The far end of the other direction tells U's columns and V's rows from a transposition.
            EXPECT_NEAR(m_harness.ReadPlane(plane, acrossIsU ? lastX : 1, acrossIsU ? 1 : lastY),
                        VideoWriter::kChromaHigh, 16);
            EXPECT_NEAR(m_harness.ReadPlane(plane, acrossIsU ? 1 : lastX, acrossIsU ? lastY : 1),
                        VideoWriter::kChromaLow, 16);
        }
        m_harness.Video().Stop();
        m_harness.Renderer().SubmitCommands(true);
    }
}

TEST_F(VideoEngineTest, AFailedPlaneTextureIsNeverWrittenAndIsMadeLater)
{
    VideoSpec spec;
    spec.frames = 6;
    ASSERT_TRUE(m_harness.WriteVideo("clip", spec));
    ASSERT_TRUE(m_harness.Start(false));
    ASSERT_TRUE(m_harness.Video().Play("clip", nullptr, false, false, 1.0f));
    ASSERT_TRUE(m_harness.UpdateUntilOpen());
    gpu::Faults().FailResourceCreation(1, gpu::ObjectKind::Texture);
    At(0.125);
    m_harness.Update();
    EXPECT_TRUE(m_log.Contains("Video plane texture 0 of 64x48 cannot be created", CONSOLE_ERROR));
    bool chroma = false;
    RunOnRenderThread(m_harness.Renderer(), [&](NorvexRenderer&) {
        chroma = m_harness.Video().GetPlaneTexture(1) != nullptr && m_harness.Video().GetPlaneTexture(2) != nullptr;
    });
    EXPECT_TRUE(chroma);
    EXPECT_EQ(m_harness.ReadLuma(0, 0), -1);
    At(0.225);
    m_harness.Update();
    EXPECT_EQ(m_harness.ShownFrame(), 1);
}

TEST_F(VideoEngineTest, LoopingKeepsFrameTimesIncreasingAcrossPasses)
{
    VideoSpec spec;
    spec.frames = 5;
    ASSERT_TRUE(m_harness.WriteVideo("loop", spec));
    ASSERT_TRUE(m_harness.Start(false));
    ASSERT_TRUE(m_harness.Video().Play("loop", nullptr, false, true, 1.0f));
    ASSERT_TRUE(m_harness.UpdateUntilOpen());
    float lastTime = 0.0f;
    for (double t = 0.025; t < 1.8; t += 0.05)
    {
        At(t);
        m_harness.Update();
        float frameTime = 0.0f;
        m_harness.OnPlayer([&](VideoPlayer* player) { frameTime = player != nullptr ? player->GetFrameTime() : -1.0f; });
        EXPECT_GE(frameTime, lastTime) << "at " << t << " s";
        lastTime = frameTime;
        EXPECT_EQ(m_harness.ShownFrame(), ExpectedFrame(t, spec.frames)) << "at " << t << " s";
    }
    EXPECT_GT(lastTime, 1.5f);
    EXPECT_TRUE(m_harness.Video().IsPlaying());
}

TEST_F(VideoEngineTest, LoopingSoundIsDecodedAheadOnTheSameContinuousLine)
{
    VideoSpec spec;
    spec.frames = 5;
    spec.sound = true;
    ASSERT_TRUE(m_harness.WriteVideo("loop", spec));
    ASSERT_TRUE(m_harness.Start(false)); // no sound thread: the wall clock drives the picture
    ASSERT_TRUE(m_harness.Video().Play("loop", nullptr, false, true, 1.0f));
    ASSERT_TRUE(m_harness.UpdateUntilOpen());
    float lastSound = 0.0f;
    for (double t = 0.025; t < 1.8; t += 0.05)
    {
        At(t);
        m_harness.Update();
        float soundTime = 0.0f;
        uint32_t produced = 0;
        m_harness.OnPlayer([&](VideoPlayer* player) {
            soundTime = player->GetDecodedSoundTime();
            produced = player->GetBytesProduced();
        });
        EXPECT_GE(soundTime, lastSound) << "at " << t << " s";
        // Each pass yields its own samples and no more: the decoder starts every pass afresh.
        EXPECT_NEAR(produced / (2.0 * 22050.0), soundTime, 0.02) << "at " << t << " s";
        EXPECT_GE(soundTime, float(t) + 0.5f) << "sound is decoded ahead at " << t << " s";
        lastSound = soundTime;
        EXPECT_EQ(m_harness.ShownFrame(), ExpectedFrame(t, spec.frames)) << "at " << t << " s";
    }
    EXPECT_GT(lastSound, 2.5f);
}

// Looping files whose sound never gets a second ahead of the picture: the demo's video cut inside
// its last page (the only one with sound) or just before it, a picture of no length, a sound stream
// without a sample, and a sound a hundredth as long as the picture in every pass. Sound stays due,
// so each pass once read the whole file again for it while the waiting picture's pages piled up.
// After a fixed number of updates what the player holds stays bounded, and the picture plays on by
// the wall clock or the player ends saying why.
TEST_F(VideoEngineTest, ALoopingFileWhoseSoundFallsBehindStaysBoundedAndPlaysOnOrEnds)
{
    VideoSpec demo; // as the demo's outpost video is made
    demo.width = 128;
    demo.height = 96;
    demo.fpsNumerator = 15;
    demo.frames = 30;
    demo.sound = true;
    demo.toneHz = 330.0;
    std::vector<uint8_t> film;
    ASSERT_TRUE(VideoWriter::EncodeOggTheora(demo, film));
    size_t lastPage = 0; // the sound's one page of samples ends the file
    for (size_t at = 0; at < film.size();)
    {
        lastPage = at;
        const uint8_t segments = film[at + 26];
        at += 27 + segments + std::accumulate(&film[at + 27], &film[at + 27 + segments], size_t(0));
    }
    ASSERT_EQ(film[lastPage + 5], 4) << "the last page ends its stream";
    ASSERT_EQ(std::memcmp(&film[lastPage + 14], &film[70 + 14], 4), 0) << "and is the sound's";
    VideoSpec instant; // a picture of no length: every frame at once
    instant.fpsNumerator = UINT32_MAX;
    instant.frames = 48;
    instant.sound = true;
    VideoSpec silent;
    silent.sound = true;
    silent.soundSeconds = 1e-6;
    VideoSpec apart;
    apart.width = 320;
    apart.height = 240;
    apart.quality = 63;
    apart.frames = 20;
    apart.detail = true;
    apart.sound = true;
    apart.soundSeconds = 0.02;
    const char* const apartReason = "one stream holds more than 8 MiB of pages while the other reads on";
    const struct
    {
        const char* name;
        size_t cut; // bytes of the demo's video; 0: the whole file written from `spec`
        const VideoSpec* spec;
        double fps; // of the frames shown by the wall clock; 0: not checked
        const char* reason; // why the player ends; null: it plays on
    } cases[] = {
        {"cut inside the last page", lastPage + (film.size() - lastPage) / 5, nullptr, 15.0, nullptr},
        {"cut near the end", film.size() - 79, nullptr, 15.0, nullptr},
        {"cut before the last page", lastPage, nullptr, 15.0, nullptr},
        {"instant", 0, &instant, 0.0, nullptr},
        {"silent", 0, &silent, 10.0, nullptr},
        {"apart", 0, &apart, 0.0, apartReason},
    };
    ASSERT_TRUE(m_harness.Start());
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        if (c.spec != nullptr)
            ASSERT_TRUE(m_harness.WriteVideo(c.name, *c.spec));
        else
            std::ofstream(m_harness.VideoPath(c.name), std::ios::binary)
                .write(reinterpret_cast<const char*>(film.data()), std::streamsize(c.cut));
        m_log.Clear();
        At(0.0);
        ASSERT_TRUE(m_harness.Video().Play(c.name, "videos", false, true, 1.0f));
        ASSERT_TRUE(m_harness.UpdateUntilOpen());
        // A player that plays on holds a pass of these small files and a buffering step; one that ends
        // holds its bound and at most what one update reads.
        const uint64_t bound =
            c.reason == nullptr
                ? 4 * VideoPlayer::kReaderBytes
                : VideoPlayer::kMaxHeldBytes + VideoPlayer::kMaxBufferStepsPerAdvance * VideoPlayer::kBufferStepBytes;
        const uint32_t frames = c.spec != nullptr ? c.spec->frames : demo.frames;
        uint64_t held = 0;
        std::vector<int> shown;
        std::vector<double> offClock; // when the frame shown was not the wall clock's
        for (int update = 0; update < 240 && m_harness.Video().IsPlaying() && held <= bound; ++update)
        {
            const double t = 0.025 + 0.05 * update;
            At(t);
            m_harness.Mix(5);
            m_harness.Update();
            m_harness.Sound()->Flush();
            m_harness.OnPlayer([&](VideoPlayer* player) { held = std::max(held, player ? player->GetBufferedBytes() : 0); });
            shown.push_back(m_harness.ShownFrame());
            if (c.fps != 0.0 && shown.back() != ExpectedFrame(t, frames, c.fps))
                offClock.push_back(t);
        }
        EXPECT_LE(held, bound);
        const std::string file = "Video file videos/" + std::string(c.name) + ".ogv: ";
        if (c.reason == nullptr)
        {
            EXPECT_TRUE(m_harness.Video().IsPlaying());
            EXPECT_TRUE(offClock.empty()) << offClock.size() << " frames off the clock, first at " << offClock.front();
            std::sort(shown.begin(), shown.end());
            EXPECT_GT(std::unique(shown.begin(), shown.end()) - shown.begin(), 9) << "the picture plays on";
            EXPECT_EQ(CountOf(file + "a whole pass of the looping video brings no sound; the picture plays on by the "
                                     "wall clock"),
                      1u);
        }
        else
        {
            EXPECT_FALSE(m_harness.Video().IsPlaying());
            EXPECT_TRUE(m_log.Contains("Video error - its picture and sound lie too far apart", CONSOLE_ERROR));
            EXPECT_EQ(CountOf(file + c.reason), 1u);
        }
        EXPECT_EQ(CountOf("Video synchronization error. Resyncing..."), 0u);
        m_harness.Video().Stop();
        m_harness.Renderer().SubmitCommands(true);
    }
}

TEST_F(VideoEngineTest, ASecondPlayReplacesTheFirstAndStopBalancesTheCounters)
{
    VideoSpec spec;
    spec.frames = 8;
    ASSERT_TRUE(m_harness.WriteVideo("first", spec));
    ASSERT_TRUE(m_harness.WriteVideo("second", spec));
    ASSERT_TRUE(m_harness.Start());
    ASSERT_TRUE(m_harness.Video().Play("first", nullptr, true, false, 1.0f));
    ASSERT_TRUE(m_harness.UpdateUntilOpen());
    At(0.15);
    m_harness.Update();
    EXPECT_EQ(m_harness.ShownFrame(), 0);

    ASSERT_TRUE(m_harness.Video().Play("second", nullptr, false, false, 1.0f));
    m_harness.Renderer().SubmitCommands(true);
    EXPECT_EQ(m_harness.Video().GetPlayRequests(), 2u);
    EXPECT_EQ(m_harness.Video().GetPlayersDestroyed(), 1u);
    EXPECT_TRUE(m_harness.Video().IsPlaying());
    EXPECT_FALSE(m_harness.Video().IsFullScreen());
    EXPECT_EQ(m_harness.ReadLuma(0, 0), -1) << "the new player starts without a frame";
    RunOnRenderThread(m_harness.Renderer(), [](NorvexRenderer& r) { r.GetDevice()->BeginScene(); });
    m_harness.Video().Draw();
    m_harness.Renderer().SubmitCommands(true);
    RunOnRenderThread(m_harness.Renderer(), [](NorvexRenderer& r) {
        EXPECT_TRUE(r.GetDevice()->GetDrawLog().empty()) << "nothing to draw before its first frame";
        r.GetDevice()->EndScene();
    });

    m_harness.Video().Stop();
    m_harness.Renderer().SubmitCommands(true);
    EXPECT_EQ(m_harness.Video().GetPlayersDestroyed(), 2u);
    EXPECT_FALSE(m_harness.Video().IsPlaying());
    // Both players were handed to the sound thread, which frees them (the leak checker watches).
    m_harness.Sound()->Flush();
    // A play one byte too long for a render call is refused.
    const uint32_t longest = kMaxRenderPayloadBytes - renderpayload::kCallHeader - uint32_t(sizeof(void*)) - 16 - 3;
    EXPECT_FALSE(m_harness.Video().Play(std::string(longest + 1, 'n').c_str(), "v", false, false, 1.0f));
    EXPECT_TRUE(m_harness.Video().Play(std::string(longest, 'n').c_str(), "v", false, false, 1.0f));
}

TEST_F(VideoEngineTest, FilesThatCannotPlayReportWhyAndEndThePlayer)
{
    std::vector<uint8_t> good;
    VideoSpec spec;
    ASSERT_TRUE(VideoWriter::EncodeOggTheora(spec, good));
    // What the encoders cannot take is refused before anything is written.
    for (const auto& change : std::initializer_list<void (*)(VideoSpec&)>{
             [](VideoSpec& s) { s.width = 1u << 20; },
             [](VideoSpec& s) { s.sound = true, s.channelTonesHz = {440.0, 550.0}; },
             [](VideoSpec& s) { s.sound = true, s.soundRate = 0; }})
    {
        VideoSpec bad = spec;
        change(bad);
        std::vector<uint8_t> none;
        EXPECT_FALSE(VideoWriter::EncodeOggTheora(bad, none));
        EXPECT_TRUE(none.empty());
    }
    ASSERT_TRUE(m_harness.Start(false));
    // Not an Ogg file at all, and a file cut inside its headers.
    {
        std::ofstream garbage(m_harness.VideoPath("garbage"), std::ios::binary);
        garbage << "OggS this is not a video, only some text that looks like the start of one";
        std::ofstream cut(m_harness.VideoPath("cut"), std::ios::binary);
        cut.write(reinterpret_cast<const char*>(good.data()), 200);
        // The first page holds the identification header alone: claim 65535 macroblocks a row.
        std::vector<uint8_t> huge = good;
        ASSERT_EQ(huge[26], 1) << "one segment";
        huge[27 + 1 + 10] = 0xFF;
        huge[27 + 1 + 11] = 0xFF;
        ogg_page page{huge.data(), 28, huge.data() + 28, huge[27]};
        ogg_page_checksum_set(&page);
        std::ofstream big(m_harness.VideoPath("huge"), std::ios::binary);
        big.write(reinterpret_cast<const char*>(huge.data()), std::streamsize(huge.size()));
        // And 65535 macroblocks a column.
        std::vector<uint8_t> tall = good;
        tall[27 + 1 + 12] = 0xFF;
        tall[27 + 1 + 13] = 0xFF;
        ogg_page tallPage{tall.data(), 28, tall.data() + 28, tall[27]};
        ogg_page_checksum_set(&tallPage);
        std::ofstream high(m_harness.VideoPath("tall"), std::ios::binary);
        high.write(reinterpret_cast<const char*>(tall.data()), std::streamsize(tall.size()));
        // And a frame of no macroblocks a row, which the decoder refuses.
        std::vector<uint8_t> narrow = good;
        narrow[27 + 1 + 10] = 0;
        narrow[27 + 1 + 11] = 0;
        ogg_page narrowPage{narrow.data(), 28, narrow.data() + 28, narrow[27]};
        ogg_page_checksum_set(&narrowPage);
        std::ofstream(m_harness.VideoPath("narrow"), std::ios::binary)
            .write(reinterpret_cast<const char*>(narrow.data()), std::streamsize(narrow.size()));
    }
    // Damage that leaves no Ogg page (random bytes, another format, a byte in every fifty flipped),
    // and a video of its header pages alone, which hold no frame.
    {
        const auto write = [this](const char* name, const std::vector<uint8_t>& bytes, size_t size) {
            std::ofstream(m_harness.VideoPath(name), std::ios::binary)
                .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(size));
        };
        std::mt19937 random(7);
        std::vector<uint8_t> noise(4096);
        std::generate(noise.begin(), noise.end(), [&] { return uint8_t(random()); });
        write("random", noise, noise.size());
        std::memcpy(noise.data(), "\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR", 16);
        write("png", noise, noise.size());
        std::vector<uint8_t> flipped = good;
        for (size_t at = 30; at < flipped.size(); at += 50)
            flipped[at] ^= 0x5A;
        write("flipped", flipped, flipped.size());
        size_t headers = 0; // the pages whose first packet is a header (top bit set)
        for (size_t lacing = good[26]; (good[headers + 27 + lacing] & 0x80) != 0; lacing = good[headers + 26])
            headers += 27 + lacing + std::accumulate(&good[headers + 27], &good[headers + 27 + lacing], size_t(0));
        write("pictureless", good, headers);
    }
    const char* const unparsable = "Video error - can't parse headers or init decoders";
    const struct
    {
        const char* name;
        bool loop;
        const char* message;
        const char* reason;
    } cases[] = {
        {"missing", false, "Video error - can't open video file for streaming", "missing, empty or unreadable"},
        {"garbage", false, unparsable, "no Ogg page in it"},
        {"cut", false, "Video error - incomplete file header", "the data ends inside its headers"},
        {"huge", false, "Video frame of 1048560x48 is larger than 8192 pixels a side", "its picture is too large"},
        {"tall", false, "Video frame of 64x1048560 is larger than 8192 pixels a side", "its picture is too large"},
        {"narrow", false, unparsable, "a Theora header is damaged"},
        {"random", false, unparsable, "no Ogg page in it"},
        {"random", true, unparsable, "no Ogg page in it"},
        {"png", false, unparsable, "no Ogg page in it"},
        {"png", true, unparsable, "no Ogg page in it"},
        {"flipped", false, unparsable, "no Ogg page in it"},
        {"flipped", true, unparsable, "no Ogg page in it"},
        {"cut", true, "Video error - incomplete file header", "the data ends inside its headers"},
        {"pictureless", true, "Video error - no frame in a whole pass of a looping video", "no packet of it decodes to a picture"},
    };
    uint32_t played = 0;
    for (const auto& c : cases)
    {
        SCOPED_TRACE(std::string(c.name) + (c.loop ? ", looping" : ""));
        m_log.Clear();
        ASSERT_TRUE(m_harness.Video().Play(c.name, nullptr, true, c.loop, 1.0f));
        ++played;
        // Every update returns, and a bounded number of them ends the player.
        for (int i = 0; i < 400 && m_harness.Video().IsPlaying(); ++i)
        {
            m_harness.Update();
            os::Sleep(1);
        }
        EXPECT_FALSE(m_harness.Video().IsPlaying()) << c.name;
        bool found = false;
        for (const CapturedMessage& message : m_log.Messages())
            found |= message.text == c.message && message.kind == CONSOLE_ERROR && message.channel == CONSOLE_CHANNEL_RENDER;
        EXPECT_TRUE(found) << c.name << ": " << c.message;
        // Once, with the file and why.
        EXPECT_EQ(CountOf(std::string("Video file videos/") + c.name + ".ogv: " + c.reason), 1u);
        EXPECT_EQ(m_harness.Video().GetPlayersDestroyed(), played);
    }
}

TEST_F(VideoEngineTest, SoundReachesTheMixerAndDrivesThePicture)
{
    VideoSpec spec;
    spec.frames = 20;
    spec.sound = true;
    spec.toneHz = 441.0;
    ASSERT_TRUE(m_harness.WriteVideo("tone", spec));
    ASSERT_TRUE(m_harness.Start());
    ASSERT_TRUE(m_harness.Video().Play("tone", nullptr, true, false, 0.5f));
    ASSERT_TRUE(m_harness.UpdateUntilOpen());
    ASSERT_TRUE(WaitForVoice());
    // No sample played yet: the picture waits for the sound, whatever the wall clock says.
    At(0.15);
    m_harness.Update();
    EXPECT_EQ(m_harness.ShownFrame(), -1);
    EXPECT_EQ(SamplesPlayed(), 0u);

    m_harness.Memory()->Take();
    MixAndFeed(15);
    const uint64_t played = SamplesPlayed();
    EXPECT_NEAR(double(played), 0.15 * 22050, 0.02 * 22050);
    const std::vector<float> mix = m_harness.Memory()->Take();
    const uint32_t channels = m_harness.Memory()->GetChannelCount();
    ASSERT_GT(channels, 0u);
    std::vector<float> left;
    for (size_t i = 0; i < mix.size(); i += channels)
        left.push_back(mix[i]);
    double energy = 0.0;
    uint32_t crossings = 0;
    for (size_t i = 1; i < left.size(); ++i)
    {
        energy += double(left[i]) * left[i];
        crossings += left[i - 1] < 0.0f && left[i] >= 0.0f;
    }
    // A sine of amplitude 0.5 at volume 0.5.
    EXPECT_NEAR(std::sqrt(energy / double(left.size())), 0.5 * 0.354, 0.03);
    EXPECT_NEAR(crossings / 0.15, 441.0, 30.0);
    // About a second is decoded ahead, but the voice holds at most two chunks of it.
    uint32_t submitted = 0, held = 0;
    m_harness.OnPlayer([&](VideoPlayer* player) {
        submitted = player->GetBytesSubmitted();
        held = submitted - player->GetBytesPlayed();
    });
    EXPECT_GT(held, 0u);
    EXPECT_LE(held, 2 * VideoSoundRing::kChunkBytes);

    // The sound clock runs (0.15 s played, wall clock 0.15 s): frame 0 (0.1 s) has been shown.
    EXPECT_EQ(m_harness.ShownFrame(), 0);
}

// Vorbis puts the centre channel second; the video's voice declares speaker order, as streamed
// sounds do. A three-channel video with a tone per channel sounds its left tone on the left, its
// right tone on the right and its centre tone on both at -3 dB.
TEST_F(VideoEngineTest, WideVideoSoundPlaysEveryChannelWhereItsSpeakerIs)
{
    VideoSpec spec;
    spec.frames = 20;
    spec.sound = true;
    spec.soundChannels = 3;
    spec.channelTonesHz = {300.0, 500.0, 700.0}; // Vorbis order: left, centre, right
    ASSERT_TRUE(m_harness.WriteVideo("wide", spec));
    ASSERT_TRUE(m_harness.Start());
    ASSERT_TRUE(m_harness.Video().Play("wide", nullptr, true, false, 1.0f));
    ASSERT_TRUE(m_harness.UpdateUntilOpen());
    ASSERT_TRUE(WaitForVoice());
    m_harness.Memory()->Take();
    MixAndFeed(60);
    const std::vector<float> mix = m_harness.Memory()->Take();
    const uint32_t channels = m_harness.Memory()->GetChannelCount();
    const uint32_t rate = m_harness.Memory()->GetSampleRate();
    ASSERT_EQ(channels, 2u);
    std::vector<float> left, right;
    for (size_t i = 0; i + 1 < mix.size(); i += channels)
    {
        left.push_back(mix[i]);
        right.push_back(mix[i + 1]);
    }
    // 0.1 s to 0.5 s: every tone has whole cycles in the window.
    const size_t from = rate / 10;
    const size_t to = rate / 2;
    ASSERT_GE(left.size(), to);
    using SoundAnalysis::ToneLevel;
    const double full = ToneLevel(left, from, to, 300.0, rate);
    EXPECT_GT(full, 0.15);
    EXPECT_NEAR(ToneLevel(right, from, to, 700.0, rate), full, 0.1 * full);
    EXPECT_LT(ToneLevel(left, from, to, 700.0, rate), 0.05 * full) << "the right channel reached the left";
    EXPECT_LT(ToneLevel(right, from, to, 300.0, rate), 0.05 * full);
    EXPECT_NEAR(ToneLevel(left, from, to, 500.0, rate), 0.7071 * full, 0.1 * full) << "centre on the left";
    EXPECT_NEAR(ToneLevel(right, from, to, 500.0, rate), 0.7071 * full, 0.1 * full) << "centre on the right";
}

// Sound shorter than the picture: once it has played out, the wall clock drives the rest of the
// picture (no resynchronising to a clock that stands still) and the video ends after its last frame.
TEST_F(VideoEngineTest, APictureThatOutlastsItsSoundPlaysOnByTheWallClockAndEnds)
{
    VideoSpec spec;
    spec.frames = 15;
    spec.sound = true;
    spec.soundSeconds = 0.4;
    ASSERT_TRUE(m_harness.WriteVideo("short", spec));
    ASSERT_TRUE(m_harness.Start());
    ASSERT_TRUE(m_harness.Video().Play("short", nullptr, true, false, 1.0f));
    ASSERT_TRUE(m_harness.UpdateUntilOpen());
    ASSERT_TRUE(WaitForVoice());
    for (const double check : {0.35, 0.75, 1.05, 1.45})
    {
        MixAndFeed(uint32_t(std::lround((check - m_now) * 100.0)));
        EXPECT_EQ(m_harness.ShownFrame(), ExpectedFrame(m_now, spec.frames)) << "at " << m_now << " s";
    }
    EXPECT_TRUE(m_harness.Video().IsPlaying());
    MixAndFeed(15);
    EXPECT_FALSE(m_harness.Video().IsPlaying()) << "the last frame ends at 1.5 s";
    EXPECT_EQ(CountOf("Video synchronization error. Resyncing..."), 0u);
}

// Sound longer than the picture: the player lives until the voice has played the last of it, and
// so the whole sound reaches the mix.
TEST_F(VideoEngineTest, SoundThatOutlastsThePicturePlaysToItsEnd)
{
    VideoSpec spec;
    spec.frames = 5;
    spec.sound = true;
    spec.soundSeconds = 1.2;
    ASSERT_TRUE(m_harness.WriteVideo("long", spec));
    ASSERT_TRUE(m_harness.Start());
    ASSERT_TRUE(m_harness.Video().Play("long", nullptr, true, false, 1.0f));
    ASSERT_TRUE(m_harness.UpdateUntilOpen());
    ASSERT_TRUE(WaitForVoice());
    m_harness.Memory()->Take();
    MixAndFeed(110);
    EXPECT_TRUE(m_harness.Video().IsPlaying()) << "sound is still playing at 1.1 s";
    EXPECT_EQ(m_harness.ShownFrame(), 4) << "the last frame stays";
    for (int i = 0; i < 40 && m_harness.Video().IsPlaying(); ++i)
        MixAndFeed(1);
    EXPECT_FALSE(m_harness.Video().IsPlaying());
    EXPECT_LT(m_now, 1.3);

    const std::vector<float> mix = m_harness.Memory()->Take();
    const uint32_t channels = m_harness.Memory()->GetChannelCount();
    const uint32_t rate = m_harness.Memory()->GetSampleRate();
    ASSERT_GT(channels, 0u);
    size_t lastAudible = 0;
    for (size_t i = 0; i < mix.size(); i += channels)
        if (std::fabs(mix[i]) > 0.05f)
            lastAudible = i / channels;
    EXPECT_NEAR(double(lastAudible) / rate, 1.2, 0.03) << "the tone sounds to its end";
}

// Sound that nobody can play (no sound thread, or a sound thread without a device) counts as
// played at once: the wall clock drives the picture and the video ends after its last frame.
TEST_F(VideoEngineTest, SoundWithNothingToPlayItLeavesThePictureToTheWallClock)
{
    const struct
    {
        const char* name;
        bool soundThread;
        audio::DeviceFailure device;
        uint32_t channels;
    } cases[] = {{"no sound thread", false, audio::DeviceFailure::EngineCreation, 1},
                 {"no sound device", true, audio::DeviceFailure::EngineCreation, 1},
                 {"a voice the mixer refuses", true, audio::DeviceFailure::None, 9}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        VideoTestHarness harness;
        VideoSpec spec;
        spec.frames = 8;
        spec.sound = true;
        spec.soundChannels = c.channels;
        ASSERT_TRUE(harness.WriteVideo("tone", spec));
        ASSERT_TRUE(harness.Start(c.soundThread, c.device));
        At(0.0);
        ASSERT_TRUE(harness.Video().Play("tone", nullptr, true, false, 1.0f));
        ASSERT_TRUE(harness.UpdateUntilOpen());
        for (double t = 0.025; t < 0.8; t += 0.1)
        {
            At(t);
            harness.Update();
            EXPECT_EQ(harness.ShownFrame(), ExpectedFrame(t, spec.frames)) << "at " << t << " s";
        }
        // The last frame shows, the player ends, the next update destroys it (the sound thread,
        // where there is one, has taken the sound by then).
        At(0.85);
        for (int i = 0; i < 3; ++i)
        {
            if (harness.Sound() != nullptr)
                harness.Sound()->Flush();
            harness.Update();
        }
        EXPECT_EQ(harness.ShownFrame(), -1);
        EXPECT_FALSE(harness.Video().IsPlaying());
        harness.Stop();
    }
    EXPECT_TRUE(m_log.Contains("Video sound voice refused (9 channels, 22050 Hz)", CONSOLE_WARNING));
    EXPECT_TRUE(m_log.Contains("Video file videos/tone.ogv: its sound is not played", CONSOLE_WARNING));
}

TEST_F(VideoEngineTest, ASoundLagOfMoreThanAFifthOfASecondResyncsOnce)
{
    VideoSpec spec;
    spec.frames = 30;
    spec.sound = true;
    ASSERT_TRUE(m_harness.WriteVideo("tone", spec));
    ASSERT_TRUE(m_harness.Start());
    ASSERT_TRUE(m_harness.Video().Play("tone", nullptr, true, false, 1.0f));
    ASSERT_TRUE(m_harness.UpdateUntilOpen());
    ASSERT_TRUE(WaitForVoice());
    const std::string resync = "Video synchronization error. Resyncing...";

    MixAndFeed(20); // 0.2 s of sound
    At(0.3);        // 0.1 s behind: no resync
    m_harness.Update();
    m_harness.Update();
    EXPECT_EQ(CountOf(resync), 0u);

    EXPECT_EQ(m_harness.ShownFrame(), 2) << "by the wall clock";
    At(0.5); // 0.3 s behind: one resync, after which the clocks agree
    m_harness.Update();
    EXPECT_EQ(m_harness.ShownFrame(), 2) << "the resynchronised clock (0.2 s) holds the next frame back at once";
    m_harness.Update();
    m_harness.Update();
    EXPECT_EQ(CountOf(resync), 1u);
    for (const CapturedMessage& message : m_log.Messages())
        if (message.text == resync)
        {
            EXPECT_EQ(message.kind, uint32_t(CONSOLE_MESSAGE));
            EXPECT_EQ(message.channel, uint8_t(CONSOLE_CHANNEL_SOUND));
        }
    float videoTime = 0.0f;
    m_harness.OnPlayer([&](VideoPlayer* player) { videoTime = player->GetVideoTime(); });
    EXPECT_NEAR(videoTime, double(SamplesPlayed()) / 22050.0, 0.01);
}

TEST_F(VideoEngineTest, WithoutItsShadersAVideoPlaysUndrawnAndSaysSoOnce)
{
    VideoSpec spec;
    spec.frames = 4;
    ASSERT_TRUE(m_harness.WriteVideo("plain", spec));
    ASSERT_TRUE(m_harness.Start(false));
    m_harness.Video().Close();
    gShaderManager.ClearDefinitions();
    EXPECT_FALSE(m_harness.Video().Init());
    EXPECT_TRUE(m_log.Contains("Video shaders \"Video\" cannot be loaded", CONSOLE_ERROR));
    ASSERT_TRUE(m_harness.Video().Play("plain", nullptr, true, false, 1.0f));
    ASSERT_TRUE(m_harness.UpdateUntilOpen());
    At(0.15);
    m_harness.Update();
    ASSERT_EQ(m_harness.ShownFrame(), 0);
    RunOnRenderThread(m_harness.Renderer(), [](NorvexRenderer& r) { r.GetDevice()->BeginScene(); });
    m_harness.Video().Draw();
    m_harness.Video().Draw();
    m_harness.Renderer().SubmitCommands(true);
    RunOnRenderThread(m_harness.Renderer(), [](NorvexRenderer& r) {
        EXPECT_TRUE(r.GetDevice()->GetDrawLog().empty());
        r.GetDevice()->EndScene();
    });
    EXPECT_EQ(CountOf("Video draw without the \"Video\" shaders"), 1u);
}

TEST_F(VideoEngineTest, FullScreenDrawFitsThePictureWithTheVideoShaders)
{
    VideoSpec spec;
    spec.width = 63;
    spec.height = 31;
    spec.frames = 4;
    ASSERT_TRUE(m_harness.WriteVideo("wide", spec));
    ASSERT_TRUE(m_harness.Start(false));
    // A second start-up keeps the shaders it holds and says so.
    EXPECT_TRUE(m_harness.Video().Init());
    // Without a frame the draw does nothing.
    m_harness.Video().Draw();
    m_harness.Renderer().SubmitCommands(true);
    ASSERT_TRUE(m_harness.Video().Play("wide", nullptr, true, false, 1.0f));
    ASSERT_TRUE(m_harness.UpdateUntilOpen());
    At(0.15);
    m_harness.Update();
    ASSERT_EQ(m_harness.ShownFrame(), 0);

    size_t drawsBefore = 0;
    RunOnRenderThread(m_harness.Renderer(), [&](NorvexRenderer& r) {
        drawsBefore = r.GetDevice()->GetDrawLog().size();
        r.GetDevice()->SetRenderState(gpu::kRsSrgbWriteEnable, 1);
    });
    RunOnRenderThread(m_harness.Renderer(), [&](NorvexRenderer& r) {
        r.GetDevice()->BeginScene();
        r.GetDevice()->Clear(0, nullptr, gpu::kClearTarget, 0xFF000000u, 1.0f, 0);
    });
    m_harness.Video().Draw();
    m_harness.Renderer().SubmitCommands(true);
    uint32_t width = 0, height = 0, bar = 0, quarters[2] = {};
    RunOnRenderThread(m_harness.Renderer(), [&](NorvexRenderer& r) {
        gpu::GpuDevice* device = r.GetDevice();
        device->EndScene();
        gpu::GpuSurface* target = nullptr;
        ASSERT_EQ(device->GetRenderTarget(0, &target), gpu::kOk);
        width = target->Desc().width;
        height = target->Desc().height;
        // The picture fills the middle two thirds of the height: a bar above it, then its upper
        // quarters (left and right).
        bar = target->ReadPixelArgb(width / 2, height / 12);
        quarters[0] = target->ReadPixelArgb(width / 4, height / 3);
        quarters[1] = target->ReadPixelArgb(3 * width / 4, height / 3);
        target->Release();
        ASSERT_EQ(device->GetDrawLog().size(), drawsBefore + 1);
        const gpu::DrawRecord& draw = device->GetDrawLog().back();
        EXPECT_EQ(draw.primitiveType, gpu::kPrimitiveTriangleFan);
        EXPECT_EQ(draw.primitiveCount, 2u);
        EXPECT_EQ(draw.fvf, gpu::kFvfXyz | gpu::kFvfTex1);
        EXPECT_EQ(draw.renderStates[gpu::kRsZFunc], kCompareAlwaysForTest);
        EXPECT_EQ(draw.renderStates[gpu::kRsZWriteEnable], 0u);
        EXPECT_EQ(draw.renderStates[gpu::kRsSrgbWriteEnable], 0u);
        EXPECT_NE(draw.vertexShaderId, 0u);
        EXPECT_NE(draw.pixelShaderId, 0u);
        for (uint32_t stage = 0; stage < 3; ++stage)
            EXPECT_NE(draw.textureIds[stage], 0u) << "plane " << stage;
        // A 2:1 picture on the 4:3 test screen: full width, two thirds of the height; its odd sides
        // reach into half of the last colour texel.
        float constants[8] = {};
        device->GetVertexShaderConstantF(0, constants, 2);
        EXPECT_FLOAT_EQ(constants[0], 1.0f);
        EXPECT_FLOAT_EQ(constants[2], 0.5f / float(r.GetRenderWidth()));
        EXPECT_FLOAT_EQ(constants[3], 0.5f / float(r.GetRenderHeight()));
        const float sx = float(r.GetBackBufferWidth()) / 63.0f;
        const float sy = float(r.GetBackBufferHeight()) / 31.0f;
        EXPECT_FLOAT_EQ(constants[4], std::min(sx, sy) / sx);
        EXPECT_FLOAT_EQ(constants[5], std::min(sx, sy) / sy);
        EXPECT_EQ(std::make_pair(constants[6], constants[7]), std::make_pair(63.0f / 64.0f, 31.0f / 32.0f));
        uint32_t srgb = 0;
        device->GetRenderState(gpu::kRsSrgbWriteEnable, &srgb);
        EXPECT_EQ(srgb, 1u) << "sRGB writing is restored after the draw";
    });
    EXPECT_EQ(bar, 0xFF000000u) << "the bar keeps what was there";
    // The picture spans the width, and its rows are centred in the height.
    const float pictureHeight = float(width) * 31.0f / 63.0f;
    const float v = (float(height / 3) + 0.5f - (float(height) - pictureHeight) / 2.0f) / pictureHeight;
    for (uint32_t side = 0; side < 2; ++side)
    {
        const uint32_t expected = m_harness.PictureRgb(side == 0 ? 0.25f : 0.75f, v);
        for (int shift : {16, 8, 0})
            EXPECT_NEAR(int(quarters[side] >> shift & 0xFF), int(expected >> shift & 0xFF), 2)
                << "side " << side << ", channel at bit " << shift;
    }
    EXPECT_NE(quarters[0] & 0xFFFFFFu, quarters[1] & 0xFFFFFFu) << "the left and right chroma differ";
}
} // namespace
