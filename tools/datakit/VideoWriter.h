// Test videos: Ogg Theora (encoded with libtheora) with optional Ogg Vorbis tones, whose frames
// carry their own number as luminance so that a test can tell which frame a player shows.
// Any thread; no shared state.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Chroma subsampling of a test video: both directions, across only, or none.
enum class VideoChroma : uint8_t
{
    Half420,
    Half422,
    Full444,
};

// The layout of a test video. The coded frame is the picture plus its offset, rounded up to 16.
struct VideoSpec
{
    uint32_t width = 64;  // picture
    uint32_t height = 48; // picture
    uint32_t pictureX = 0; // picture offset in the coded frame (pixels from the left), even
    uint32_t pictureY = 0; // (pixels from the top), even
    uint32_t fpsNumerator = 10;
    uint32_t fpsDenominator = 1;
    uint32_t frames = 20;
    int quality = 48; // 0..63
    VideoChroma chroma = VideoChroma::Half420;
    // A moving texture under the top band of 16 code rows, so that frames cost what real ones do.
    bool detail = false;
    bool sound = false;
    uint32_t soundRate = 22050;
    uint32_t soundChannels = 1;
    double toneHz = 440.0;
    // One tone per channel in the file's own (Vorbis) channel order; empty: toneHz on every channel.
    std::vector<double> channelTonesHz;
    double soundSeconds = 0.0; // 0: as long as the picture
};

namespace VideoWriter
{
// Frame numbers repeat after this many codes.
constexpr uint32_t kFrameCodes = 28;
// Luminance of the picture's code area in frame n; the area outside the picture is kPaddingLuma.
uint8_t FrameLuma(uint32_t frame);
constexpr uint8_t kPaddingLuma = 250;
// The frame code (0..kFrameCodes-1) nearest to a decoded luminance.
uint32_t FrameCodeOfLuma(uint8_t luma);
// The chroma of picture pixel (x, y): each plane is split in two halves of the picture, U across
// (left kChromaLow, right kChromaHigh) and V down (top low, bottom high); outside the picture both
// are neutral. A player that places or sizes its colour planes wrongly reads the wrong half.
constexpr uint8_t kChromaLow = 80;
constexpr uint8_t kChromaHigh = 176;
constexpr uint8_t kChromaNeutral = 128;
uint8_t PictureU(const VideoSpec& spec, uint32_t x, uint32_t y);
uint8_t PictureV(const VideoSpec& spec, uint32_t x, uint32_t y);

// The whole file image; false (with a message on stderr) when an encoder refuses the layout.
bool EncodeOggTheora(const VideoSpec& spec, std::vector<uint8_t>& out);
bool WriteOggTheora(const std::string& path, const VideoSpec& spec);
} // namespace VideoWriter
