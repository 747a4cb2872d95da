#include "platform/audio/AudioEngine.h"
#include "platform/audio/WavFile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <unistd.h>

namespace
{
std::string TempPath(const char* name)
{
    return (std::filesystem::temp_directory_path() / (std::to_string(getpid()) + name)).string();
}

// A hand-made 16-bit stereo file: RIFF header, "fmt ", an odd-sized "LIST" chunk with its pad
// byte, then "data" with two frames.
std::vector<uint8_t> HandMadeWav()
{
    return {'R', 'I', 'F', 'F', 54, 0, 0, 0, 'W', 'A', 'V', 'E',
            'f', 'm', 't', ' ', 16, 0, 0, 0, 1, 0, 2, 0, 0x44, 0xAC, 0, 0, 0x10, 0xB1, 2, 0, 4, 0, 16, 0,
            'L', 'I', 'S', 'T', 1, 0, 0, 0, 'x', 0,
            'd', 'a', 't', 'a', 8, 0, 0, 0, 1, 0, 2, 0, 3, 0, 0xFF, 0xFF};
}

TEST(WavFileTest, ParsesAHandMadeFile)
{
    const std::vector<uint8_t> image = HandMadeWav();
    audio::WavData wav;
    std::string error;
    ASSERT_TRUE(audio::ParseWav(image.data(), image.size(), wav, &error)) << error;
    EXPECT_EQ(wav.format.formatTag, audio::kFormatPcm);
    EXPECT_EQ(wav.format.channels, 2);
    EXPECT_EQ(wav.format.samplesPerSec, 44100u);
    EXPECT_EQ(wav.format.avgBytesPerSec, 176400u);
    EXPECT_EQ(wav.format.blockAlign, 4);
    EXPECT_EQ(wav.format.bitsPerSample, 16);
    EXPECT_EQ(wav.format.extraSize, 0) << "a 16-byte format chunk has no extra size";
    EXPECT_EQ(wav.samples, (std::vector<uint8_t>{1, 0, 2, 0, 3, 0, 0xFF, 0xFF}));
    // An empty data chunk at the very end is still a data chunk.
    std::vector<uint8_t> empty(image.begin(), image.begin() + 50);
    empty.insert(empty.end(), 4, 0);
    ASSERT_TRUE(audio::ParseWav(empty.data(), empty.size(), wav, &error)) << error;
    EXPECT_TRUE(wav.samples.empty());
}

TEST(WavFileTest, RefusesTruncatedAndIncompleteImages)
{
    const std::vector<uint8_t> image = HandMadeWav();
    audio::WavData wav;
    std::string error;
    EXPECT_FALSE(audio::ParseWav(image.data(), image.size() - 1, wav, &error));
    EXPECT_EQ(error, "chunk size exceeds the file");
    EXPECT_FALSE(audio::ParseWav(image.data(), 46, wav, &error));
    EXPECT_EQ(error, "no data chunk");
    std::vector<uint8_t> shortFormat = image;
    shortFormat[16] = 14;
    EXPECT_FALSE(audio::ParseWav(shortFormat.data(), shortFormat.size(), wav, &error));
    EXPECT_EQ(error, "format chunk too short");
    EXPECT_FALSE(audio::ParseWav(image.data(), 11, wav, &error));
    EXPECT_EQ(error, "not a RIFF WAVE image");
    EXPECT_FALSE(audio::ParseWav(image.data(), 12, wav, &error));
    EXPECT_EQ(error, "no format chunk") << "the header alone";
    std::vector<uint8_t> huge = image;
    huge[50] = 0xFF;
    huge[51] = 0xFF;
    huge[52] = 0xFF;
    huge[53] = 0xFF;
    EXPECT_FALSE(audio::ParseWav(huge.data(), huge.size(), wav, &error));
    EXPECT_FALSE(audio::ReadWavFile(TempPath("missing.wav"), wav, &error));
    EXPECT_FALSE(audio::ReadWavFile(std::filesystem::temp_directory_path().string(), wav, &error));
    EXPECT_EQ(error, "read error") << "a folder opens but does not read";
}

TEST(WavFileTest, EngineWritesItsMixToTheNamedFile)
{
    const std::string path = TempPath("mix.wav");
    audio::MixerConfig config;
    config.mode = audio::EngineMode::Manual;
    config.output = audio::OutputKind::WavFile;
    config.wavPath = path;
    std::unique_ptr<audio::Engine> engine = audio::Engine::Create(config);
    ASSERT_NE(engine->CreateMasteringVoice(2, 44100), nullptr);
    const int16_t samples[4] = {1000, -1000, 32767, -32768};
    audio::SourceVoice* voice = engine->CreateSourceVoice(audio::MakePcmFormat(2, 44100));
    audio::AudioBuffer buffer;
    buffer.audioData = reinterpret_cast<const uint8_t*>(samples);
    buffer.audioBytes = sizeof(samples);
    voice->SubmitBuffer(buffer);
    voice->Start();
    ASSERT_TRUE(engine->RenderBlocks(2));

    // The header is kept current while the file is still open.
    audio::WavData wav;
    std::string error;
    ASSERT_TRUE(audio::ReadWavFile(path, wav, &error)) << error;
    EXPECT_EQ(wav.format.channels, 2);
    EXPECT_EQ(wav.format.samplesPerSec, 44100u);
    EXPECT_EQ(wav.format.bitsPerSample, 16);
    EXPECT_EQ(wav.format.avgBytesPerSec, 44100u * 4);
    ASSERT_EQ(wav.samples.size(), 2u * 441 * 2 * 2);
    auto sampleAt = [&](size_t i) { return int16_t(uint16_t(wav.samples[2 * i] | (wav.samples[2 * i + 1] << 8))); };
    const int16_t written[4] = {1000, -1000, 32766, -32767}; // full scale is 32767
    for (size_t i = 0; i < 4; ++i)
        EXPECT_EQ(sampleAt(i), written[i]) << i;
    EXPECT_EQ(sampleAt(4), 0);

    ASSERT_TRUE(engine->RenderBlocks(1));
    engine.reset();
    // Reading gives its descriptor back: the lowest free one is the same before and after.
    auto lowestFreeDescriptor = [] { const int fd = ::dup(0); ::close(fd); return fd; };
    const int freeBefore = lowestFreeDescriptor();
    ASSERT_TRUE(audio::ReadWavFile(path, wav, &error)) << error;
    EXPECT_EQ(lowestFreeDescriptor(), freeBefore);
    EXPECT_EQ(wav.samples.size(), 3u * 441 * 2 * 2);
    uint8_t riffSize[4] = {};
    std::FILE* file = std::fopen(path.c_str(), "rb");
    ASSERT_TRUE(file != nullptr && std::fseek(file, 4, SEEK_SET) == 0 && std::fread(riffSize, 1, 4, file) == 4);
    std::fclose(file);
    EXPECT_EQ(riffSize[0] | riffSize[1] << 8 | riffSize[2] << 16, 36 + 3 * 441 * 2 * 2);
    EXPECT_FALSE(audio::WavWriter().Open(path, audio::kMaxChannels + 1, 44100));
    EXPECT_TRUE(audio::WavWriter().Open(path, audio::kMaxChannels, 44100));
    EXPECT_EQ(lowestFreeDescriptor(), freeBefore) << "a writer that goes away closes its file";
    std::filesystem::remove(path);

    config.wavPath = TempPath("no/such/folder/mix.wav");
    engine = audio::Engine::Create(config);
    EXPECT_EQ(engine->CreateMasteringVoice(), nullptr);
    EXPECT_NE(engine->GetLastError().find("WAV"), std::string::npos);

    // A full disk stops the file, not the mix.
    config.wavPath = "/dev/full";
    engine = audio::Engine::Create(config);
    ASSERT_NE(engine->CreateMasteringVoice(2, 44100), nullptr);
    EXPECT_TRUE(engine->RenderBlocks(2));
    EXPECT_EQ(engine->GetLastError(), "cannot write the WAV output /dev/full");
    EXPECT_EQ(engine->GetPerformanceData().blocksMixed, 2u);
}

TEST(WavFileTest, DefaultConfigurationFollowsTheEnvironment)
{
    ::setenv(audio::kWavOutputVariable, "", 1);
    EXPECT_EQ(audio::GetDefaultMixerConfig().output, audio::OutputKind::None) << "set but empty";
    ::setenv(audio::kWavOutputVariable, "/tmp/out.wav", 1);
    audio::MixerConfig config = audio::GetDefaultMixerConfig();
    EXPECT_EQ(config.output, audio::OutputKind::WavFile);
    EXPECT_EQ(config.wavPath, "/tmp/out.wav");
    EXPECT_EQ(config.mode, audio::EngineMode::RealTime);

    audio::MixerConfig manual;
    manual.mode = audio::EngineMode::Manual;
    audio::SetDefaultMixerConfig(manual);
    EXPECT_EQ(audio::GetDefaultMixerConfig().output, audio::OutputKind::None);
    EXPECT_EQ(audio::Engine::Create()->GetMode(), audio::EngineMode::Manual);
    audio::ResetDefaultMixerConfig();
    EXPECT_EQ(audio::GetDefaultMixerConfig().output, audio::OutputKind::WavFile);
    ::unsetenv(audio::kWavOutputVariable);
}
} // namespace
