#include "platform/audio/AdpcmDecoder.h"
#include "platform/audio/AudioEngine.h"
#include "platform/audio/MemoryOutput.h"

#include <gtest/gtest.h>

#include <deque>
#include <random>

namespace
{
// The mixer written out frame by frame over already decoded frames: fetch one frame at a time,
// interpolate linearly, add each source channel times its gain in order, and move to the next
// frame's position, reckoned from the block's start in fixed point (2^-32 frames; the step rounded
// to the nearest), passing the whole frames it has gone beyond. t is the fraction's top 24 bits.
struct ReferenceVoice
{
    uint32_t channels = 0;
    std::deque<std::vector<float>> frames;
    std::vector<float> current;
    std::vector<float> next;
    bool haveCurrent = false;
    bool haveNext = false;
    uint32_t fraction = 0;
    uint64_t played = 0;

    bool Fetch(std::vector<float>& frame)
    {
        if (frames.empty())
            return false;
        frame = frames.front();
        frames.pop_front();
        return true;
    }

    void Mix(std::vector<float>& bus, uint32_t count, uint32_t busChannels, double step, const std::vector<float>& gains)
    {
        const uint64_t fixedStep = uint64_t(step * 4294967296.0 + 0.5);
        uint32_t start = fraction;
        uint32_t first = 0;
        uint64_t passed = 0;
        for (uint32_t i = 0; i < count; ++i)
        {
            if (!haveCurrent)
            {
                haveCurrent = Fetch(current);
                fraction = 0;
                if (!haveCurrent)
                    continue;
                start = 0;
                first = i;
                passed = 0;
            }
            if (!haveNext)
                haveNext = Fetch(next);
            const float t = float(fraction >> 8) / 16777216.0f;
            std::vector<float> sample(channels);
            for (uint32_t c = 0; c < channels; ++c)
                sample[c] = haveNext ? current[c] + (next[c] - current[c]) * t : current[c];
            for (uint32_t d = 0; d < busChannels; ++d)
            {
                float sum = bus[size_t(i) * busChannels + d];
                for (uint32_t c = 0; c < channels; ++c)
                    sum += sample[c] * gains[d * channels + c];
                bus[size_t(i) * busChannels + d] = sum;
            }
            const uint64_t position = start + uint64_t(i + 1 - first) * fixedStep;
            fraction = uint32_t(position);
            for (; passed < position >> 32 && haveCurrent; ++passed)
            {
                ++played;
                if (!haveNext)
                    haveNext = Fetch(next);
                if (haveNext)
                {
                    current = next;
                    haveNext = Fetch(next);
                }
                else
                {
                    haveCurrent = false;
                    fraction = 0;
                }
            }
        }
    }
};

// The frames a buffer plays, decoded the plain way (ADPCM one block per call), loops unrolled.
std::vector<std::vector<float>> DecodeBuffer(const audio::WaveFormat& format, const std::vector<uint8_t>& bytes,
                                             const audio::AudioBuffer& buffer)
{
    const uint32_t channels = format.channels;
    std::vector<std::vector<float>> frames;
    if (format.formatTag == audio::kFormatPcm)
    {
        for (size_t at = 0; at + format.blockAlign <= bytes.size(); at += format.blockAlign)
        {
            std::vector<float> frame(channels);
            for (uint32_t c = 0; c < channels; ++c)
                frame[c] = format.bitsPerSample == 8
                               ? (float(bytes[at + c]) - 128.0f) / 128.0f
                               : float(int16_t(uint16_t(bytes[at + 2 * c] | (bytes[at + 2 * c + 1] << 8)))) / 32768.0f;
            frames.push_back(frame);
        }
    }
    else
    {
        const uint32_t perBlock = audio::AdpcmSamplesPerBlock(format);
        std::vector<int16_t> block(size_t(perBlock) * channels);
        for (size_t at = 0; at < bytes.size(); at += format.blockAlign)
        {
            const uint32_t size = uint32_t(std::min<size_t>(format.blockAlign, bytes.size() - at));
            const uint32_t got = audio::DecodeAdpcmBlock(bytes.data() + at, size, channels, block.data(), perBlock);
            for (uint32_t f = 0; f < got; ++f)
            {
                std::vector<float> frame(channels);
                for (uint32_t c = 0; c < channels; ++c)
                    frame[c] = float(block[size_t(f) * channels + c]) / 32768.0f;
                frames.push_back(frame);
            }
        }
    }
    if (buffer.loopCount == 0)
        return frames;
    const size_t end = buffer.loopLength ? buffer.loopBegin + buffer.loopLength : frames.size();
    std::vector<std::vector<float>> played(frames.begin(), frames.begin() + end);
    for (uint32_t pass = 0; pass < buffer.loopCount; ++pass)
        played.insert(played.end(), frames.begin() + buffer.loopBegin, frames.begin() + end);
    played.insert(played.end(), frames.begin() + end, frames.end());
    return played;
}

struct VoiceCase
{
    audio::SourceVoice* voice = nullptr;
    ReferenceVoice reference;
    std::vector<std::vector<uint8_t>> buffers;
};

class SourceVoiceTest : public testing::Test
{
protected:
    std::mt19937 m_random{20261207};

    uint32_t Uniform(uint32_t low, uint32_t high) { return std::uniform_int_distribution<uint32_t>(low, high)(m_random); }
    float UniformFloat(float low, float high) { return std::uniform_real_distribution<float>(low, high)(m_random); }

    audio::WaveFormat RandomFormat()
    {
        const uint32_t rate = Uniform(8000, 96000);
        switch (Uniform(0, 3))
        {
        case 0: return audio::MakePcmFormat(Uniform(1, 8), rate, 8);
        case 1:
        {
            const uint16_t channels = uint16_t(Uniform(1, 2));
            const uint16_t align = uint16_t(channels * Uniform(8, 40));
            return audio::WaveFormat{audio::kFormatAdpcm, channels, rate, 0, align, 4, 0};
        }
        default: return audio::MakePcmFormat(Uniform(1, 8), rate);
        }
    }

    // Random bytes of whole frames (ADPCM: valid headers, possibly a short last block).
    std::vector<uint8_t> RandomBytes(const audio::WaveFormat& format, uint32_t frames)
    {
        std::vector<uint8_t> bytes(size_t(frames) * (format.formatTag == audio::kFormatPcm ? format.blockAlign : 1));
        for (uint8_t& byte : bytes)
            byte = uint8_t(Uniform(0, 255));
        if (format.formatTag == audio::kFormatAdpcm)
        {
            const uint32_t header = 7 * format.channels;
            bytes.resize(std::max<size_t>(bytes.size(), header));
            if (bytes.size() % format.blockAlign != 0 && bytes.size() % format.blockAlign < header)
                bytes.resize(bytes.size() - bytes.size() % format.blockAlign + header);
            for (size_t at = 0; at < bytes.size(); at += format.blockAlign)
                for (uint32_t c = 0; c < format.channels; ++c)
                {
                    bytes[at + c] = uint8_t(Uniform(0, 6));
                    bytes[at + format.channels + 2 * c + 1] = uint8_t(Uniform(0, 3)); // a moderate step
                }
        }
        return bytes;
    }

    void Submit(VoiceCase& voice, uint32_t frames, bool loop)
    {
        const audio::WaveFormat& format = voice.voice->GetFormat();
        voice.buffers.push_back(RandomBytes(format, frames));
        const std::vector<uint8_t>& bytes = voice.buffers.back();
        audio::AudioBuffer buffer;
        buffer.audioData = bytes.data();
        buffer.audioBytes = uint32_t(bytes.size());
        const uint32_t count = uint32_t(audio::FramesInBytes(format, buffer.audioBytes));
        if (loop && count > 4)
        {
            buffer.loopBegin = Uniform(0, count / 2);
            buffer.loopLength = Uniform(0, 1) ? Uniform(1, count - buffer.loopBegin) : 0;
            buffer.loopCount = Uniform(1, 3);
        }
        ASSERT_TRUE(voice.voice->SubmitBuffer(buffer));
        for (std::vector<float>& frame : DecodeBuffer(format, bytes, buffer))
            voice.reference.frames.push_back(std::move(frame));
    }
};

// Voices of every shape (1 to 8 channels of 8- and 16-bit PCM, mono and stereo ADPCM with whole
// and short blocks), with odd lengths, loops, steps from far below one frame to many frames per
// output frame, changing pitches, volumes and matrices, running dry and resuming, on buses of
// 1, 2, 3, 6 and 8 channels at rates whose blocks are and are not a multiple of four frames: every
// output value and every frame count must be exactly the frame-by-frame loop's.
TEST_F(SourceVoiceTest, BlockMixMatchesAFrameByFrameLoopSampleForSample)
{
    const uint32_t buses[][2] = {{2, 48000}, {1, 44100}, {3, 22000}, {6, 8000}, {8, 16000}, {2, 44100}};
    for (const auto& bus : buses)
    {
        const uint32_t busChannels = bus[0];
        const uint32_t busRate = bus[1];
        SCOPED_TRACE(testing::Message() << busChannels << " channels at " << busRate);
        audio::MixerConfig config;
        config.mode = audio::EngineMode::Manual;
        config.output = audio::OutputKind::Memory;
        std::unique_ptr<audio::Engine> engine = audio::Engine::Create(config);
        ASSERT_NE(engine->CreateMasteringVoice(busChannels, busRate), nullptr);

        // The first two run out exactly on the last frame of the first block, with no frame after it.
        const uint32_t blockFrames = busRate / 100;
        std::vector<VoiceCase> voices(39);
        for (size_t v = 0; v < voices.size(); ++v)
        {
            VoiceCase& voice = voices[v];
            const audio::WaveFormat format = v < 2 ? audio::MakePcmFormat(1, busRate / uint32_t(v + 1)) : RandomFormat();
            voice.voice = engine->CreateSourceVoice(format, 0, 16.0f);
            ASSERT_NE(voice.voice, nullptr) << engine->GetLastError();
            voice.reference.channels = format.channels;
            if (v < 2)
            {
                Submit(voice, blockFrames / uint32_t(v + 1) + 1, false);
                voice.voice->Start();
                continue;
            }
            for (uint32_t b = Uniform(1, 3); b > 0; --b)
                Submit(voice, Uniform(1, 6000), Uniform(0, 2) == 0);
            if (Uniform(0, 1))
            {
                std::vector<float> levels(size_t(format.channels) * busChannels);
                for (float& level : levels)
                    level = UniformFloat(-1.0f, 1.5f);
                ASSERT_TRUE(voice.voice->SetOutputMatrix(format.channels, busChannels, levels.data()));
            }
            voice.voice->SetVolume(UniformFloat(0.0f, 2.0f));
            voice.voice->SetFrequencyRatio(UniformFloat(0.001f, 3.0f));
            voice.voice->Start();
        }

        for (uint32_t block = 0; block < 40; ++block)
        {
            std::vector<float> expected(size_t(busRate / 100) * busChannels, 0.0f);
            for (VoiceCase& voice : voices)
            {
                const std::vector<float> matrix = voice.voice->GetOutputMatrix();
                std::vector<float> gains(matrix.size());
                for (size_t g = 0; g < matrix.size(); ++g)
                    gains[g] = matrix[g] * voice.voice->GetVolume();
                const audio::WaveFormat& format = voice.voice->GetFormat();
                const double step = double(voice.voice->GetFrequencyRatio()) * format.samplesPerSec / busRate;
                voice.reference.Mix(expected, busRate / 100, busChannels, step, gains);
            }
            ASSERT_TRUE(engine->RenderBlocks(1));
            const std::vector<float> out = engine->GetMemoryOutput()->Take();
            ASSERT_EQ(out.size(), expected.size());
            for (size_t i = 0; i < out.size(); ++i)
                ASSERT_EQ(out[i], expected[i]) << "block " << block << ", sample " << i;
            for (size_t v = 0; v < voices.size(); ++v)
                ASSERT_EQ(voices[v].voice->GetState().samplesPlayed, voices[v].reference.played) << "voice " << v;

            // New pitches now and then; dry voices get more to play.
            for (VoiceCase& voice : voices)
            {
                if (Uniform(0, 7) == 0)
                    voice.voice->SetFrequencyRatio(UniformFloat(0.001f, 3.0f));
                if (voice.voice->GetState().buffersQueued == 0 && Uniform(0, 3) == 0)
                    Submit(voice, Uniform(1, 3000), false);
            }
        }
    }
}
} // namespace
