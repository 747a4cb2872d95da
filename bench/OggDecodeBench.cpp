// Decoding a 10 s stereo 44.1 kHz Ogg Vorbis file held in memory: through the sound engine's data
// source and decoder (16384-byte reads, as a voice is fed) beside libvorbisfile reading the same
// memory directly, the two sides timed in the same iteration one after the other.
// "x_reference" is the median of vorbisfile's time over ours (1 means no overhead);
// "realtime_multiple" is seconds of sound our path decodes per second of time.
#include "PairedRatio.h"

#include "audio/sound/OGGStream.h"
#include "audio/sound/SoundStreamDataSource.h"
#include "tools/datakit/SoundWriter.h"

#include <benchmark/benchmark.h>

#include <vorbis/vorbisfile.h>

#include <cstring>

namespace
{
constexpr double kSeconds = 10.0;

const std::vector<uint8_t>& TestFile()
{
    static const std::vector<uint8_t> file = [] {
        SoundSamples sound = SoundWriter::MakeTone({440.0, 554.4}, 44100, kSeconds, 0.3);
        const SoundSamples clicks = SoundWriter::MakeClicks(44100, kSeconds, 4410, 20);
        for (size_t i = 0; i < sound.samples.size(); ++i)
            sound.samples[i] = int16_t(sound.samples[i] / 2 + clicks.samples[i / 2] / 4);
        std::vector<uint8_t> bytes;
        SoundWriter::EncodeOggVorbis(sound, 0.5f, bytes);
        return bytes;
    }();
    return file;
}

struct MemoryFile
{
    const uint8_t* data;
    size_t size;
    size_t position;
};

size_t ReadMemory(void* out, size_t size, size_t count, void* source)
{
    MemoryFile* file = static_cast<MemoryFile*>(source);
    const size_t take = std::min(size * count, file->size - file->position);
    std::memcpy(out, file->data + file->position, take);
    file->position += take;
    return take;
}

void DecodeThroughDataSource(const std::vector<uint8_t>& file, uint8_t* half, uint32_t halfBytes)
{
    SoundStreamStaticDataSource source;
    source.AddRange(file.data(), uint32_t(file.size()));
    OGGStream stream(&source);
    stream.Open();
    while (stream.Read(half, halfBytes) > 0)
        benchmark::ClobberMemory();
}

void DecodeWithVorbisfileDirectly(const std::vector<uint8_t>& file, char* half, int halfBytes)
{
    MemoryFile memory{file.data(), file.size(), 0};
    OggVorbis_File vorbis;
    ov_callbacks callbacks{};
    callbacks.read_func = &ReadMemory;
    ov_open_callbacks(&memory, &vorbis, nullptr, 0, callbacks);
    int section = 0;
    while (ov_read(&vorbis, half, halfBytes, 0, 2, 1, &section) > 0)
        benchmark::ClobberMemory();
    ov_clear(&vorbis);
}

void OggDecode(benchmark::State& state)
{
    const std::vector<uint8_t>& file = TestFile();
    static uint8_t half[16384];
    PairedRatio ratio;
    for (auto _ : state)
        ratio.Measure([&] { DecodeThroughDataSource(file, half, sizeof(half)); },
                      [&] { DecodeWithVorbisfileDirectly(file, reinterpret_cast<char*>(half), int(sizeof(half))); });
    state.counters["x_reference"] = ratio.SpeedRatio();
    state.counters["realtime_multiple"] = ratio.MedianOurs() > 0.0 ? kSeconds / ratio.MedianOurs() : 0.0;
}
BENCHMARK(OggDecode)->Unit(benchmark::kMillisecond)->Iterations(40);
} // namespace
