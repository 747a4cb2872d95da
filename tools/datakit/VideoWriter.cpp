#include "tools/datakit/VideoWriter.h"

#include "tools/datakit/SoundWriter.h"

#include <ogg/ogg.h>
#include <theora/theoraenc.h>
#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <numbers>

namespace
{
constexpr uint32_t kCodeRows = 16;
constexpr uint32_t kLumaBase = 16;
constexpr uint32_t kLumaStep = 8;

struct Page
{
    double seconds;
    std::vector<uint8_t> bytes;
};

void AppendPage(const ogg_page& page, double seconds, std::vector<Page>& pages)
{
    Page out{seconds, {}};
    out.bytes.insert(out.bytes.end(), page.header, page.header + page.header_len);
    out.bytes.insert(out.bytes.end(), page.body, page.body + page.body_len);
    pages.push_back(std::move(out));
}

void AppendBytes(const std::vector<Page>& pages, std::vector<uint8_t>& out)
{
    for (const Page& page : pages)
        out.insert(out.end(), page.bytes.begin(), page.bytes.end());
}

// Pages of a stream in the order written; flush forces out what is left.
void DrainPages(ogg_stream_state& stream, bool flush, double seconds, std::vector<Page>& pages)
{
    ogg_page page;
    while (flush ? ogg_stream_flush(&stream, &page) > 0 : ogg_stream_pageout(&stream, &page) > 0)
        AppendPage(page, seconds, pages);
}

uint32_t RoundUp16(uint32_t value)
{
    return (value + 15) & ~15u;
}

// One coded frame: padding outside the picture, the code luminance in the picture's code area and,
// with detail, a texture that moves with the frame number below it.
void FillFrame(const VideoSpec& spec, uint32_t frame, uint32_t frameWidth, uint32_t frameHeight,
               std::vector<uint8_t>& luma)
{
    std::fill(luma.begin(), luma.end(), VideoWriter::kPaddingLuma);
    const uint8_t code = VideoWriter::FrameLuma(frame);
    for (uint32_t y = 0; y < spec.height; ++y)
    {
        uint8_t* row = luma.data() + size_t(spec.pictureY + y) * frameWidth + spec.pictureX;
        const bool codeRow = !spec.detail || y < kCodeRows;
        for (uint32_t x = 0; x < spec.width; ++x)
        {
            if (codeRow)
                row[x] = code;
            else
            {
                const uint32_t u = x + frame * 3;
                const uint32_t v = y + frame;
                row[x] = uint8_t(64 + ((u * 7 + v * 13 + ((u * v) >> 3)) & 127));
            }
        }
    }
    (void)frameHeight;
}

// Subsampling of the chroma planes (luma pixels per chroma sample across and down).
uint32_t ChromaStepX(VideoChroma chroma)
{
    return chroma == VideoChroma::Full444 ? 1 : 2;
}

uint32_t ChromaStepY(VideoChroma chroma)
{
    return chroma == VideoChroma::Half420 ? 2 : 1;
}

th_pixel_fmt PixelFormat(VideoChroma chroma)
{
    switch (chroma)
    {
    case VideoChroma::Half422: return TH_PF_422;
    case VideoChroma::Full444: return TH_PF_444;
    case VideoChroma::Half420: break;
    }
    return TH_PF_420;
}

// One chroma plane of the coded frame: each sample takes the colour of the picture pixel at its
// top-left luma position, neutral outside the picture.
void FillChroma(const VideoSpec& spec, uint32_t planeWidth, uint32_t planeHeight,
                uint8_t (*colour)(const VideoSpec&, uint32_t, uint32_t), std::vector<uint8_t>& plane)
{
    const uint32_t stepX = ChromaStepX(spec.chroma);
    const uint32_t stepY = ChromaStepY(spec.chroma);
    for (uint32_t j = 0; j < planeHeight; ++j)
        for (uint32_t i = 0; i < planeWidth; ++i)
        {
            const uint32_t x = i * stepX;
            const uint32_t y = j * stepY;
            const bool inside = x >= spec.pictureX && x - spec.pictureX < spec.width && y >= spec.pictureY &&
                                y - spec.pictureY < spec.height;
            plane[size_t(j) * planeWidth + i] =
                inside ? colour(spec, x - spec.pictureX, y - spec.pictureY) : VideoWriter::kChromaNeutral;
        }
}

class TheoraEncoder
{
public:
    TheoraEncoder()
    {
        th_info_init(&m_info);
        th_comment_init(&m_comment);
        ogg_stream_init(&m_stream, 0x7E0A);
    }
    ~TheoraEncoder()
    {
        if (m_encoder != nullptr)
            th_encode_free(m_encoder);
        th_comment_clear(&m_comment);
        th_info_clear(&m_info);
        ogg_stream_clear(&m_stream);
    }

    bool Init(const VideoSpec& spec)
    {
        m_info.frame_width = RoundUp16(spec.pictureX + spec.width);
        m_info.frame_height = RoundUp16(spec.pictureY + spec.height);
        m_info.pic_width = spec.width;
        m_info.pic_height = spec.height;
        m_info.pic_x = spec.pictureX;
        m_info.pic_y = spec.pictureY;
        m_info.fps_numerator = spec.fpsNumerator;
        m_info.fps_denominator = spec.fpsDenominator;
        m_info.aspect_numerator = 1;
        m_info.aspect_denominator = 1;
        m_info.colorspace = TH_CS_UNSPECIFIED;
        m_info.pixel_fmt = PixelFormat(spec.chroma);
        m_info.target_bitrate = 0;
        m_info.quality = std::clamp(spec.quality, 0, 63);
        m_encoder = th_encode_alloc(&m_info);
        return m_encoder != nullptr;
    }

    // The first header packet on its own page, then the rest of the headers.
    bool WriteHeaders(std::vector<Page>& first, std::vector<Page>& rest)
    {
        ogg_packet packet;
        bool firstPacket = true;
        for (;;)
        {
            const int result = th_encode_flushheader(m_encoder, &m_comment, &packet);
            if (result < 0)
                return false;
            if (result == 0)
                break;
            ogg_stream_packetin(&m_stream, &packet);
            if (firstPacket)
                DrainPages(m_stream, true, 0.0, first);
            firstPacket = false;
        }
        DrainPages(m_stream, true, 0.0, rest);
        return true;
    }

    bool WriteFrames(const VideoSpec& spec, std::vector<Page>& pages)
    {
        const uint32_t width = m_info.frame_width;
        const uint32_t height = m_info.frame_height;
        const uint32_t chromaWidth = width / ChromaStepX(spec.chroma);
        const uint32_t chromaHeight = height / ChromaStepY(spec.chroma);
        std::vector<uint8_t> luma(size_t(width) * height);
        std::vector<uint8_t> u(size_t(chromaWidth) * chromaHeight);
        std::vector<uint8_t> v(u.size());
        FillChroma(spec, chromaWidth, chromaHeight, &VideoWriter::PictureU, u);
        FillChroma(spec, chromaWidth, chromaHeight, &VideoWriter::PictureV, v);
        th_ycbcr_buffer buffer;
        buffer[0] = {int(width), int(height), int(width), luma.data()};
        buffer[1] = {int(chromaWidth), int(chromaHeight), int(chromaWidth), u.data()};
        buffer[2] = {int(chromaWidth), int(chromaHeight), int(chromaWidth), v.data()};
        for (uint32_t frame = 0; frame < spec.frames; ++frame)
        {
            FillFrame(spec, frame, width, height, luma);
            if (th_encode_ycbcr_in(m_encoder, buffer) != 0)
                return false;
            ogg_packet packet;
            while (th_encode_packetout(m_encoder, frame + 1 == spec.frames ? 1 : 0, &packet) > 0)
            {
                ogg_stream_packetin(&m_stream, &packet);
                ogg_page page;
                while (ogg_stream_pageout(&m_stream, &page) > 0)
                    AppendPage(page, th_granule_time(m_encoder, ogg_page_granulepos(&page)), pages);
            }
        }
        ogg_page page;
        while (ogg_stream_flush(&m_stream, &page) > 0)
            AppendPage(page, th_granule_time(m_encoder, ogg_page_granulepos(&page)), pages);
        return true;
    }

private:
    th_info m_info;
    th_comment m_comment;
    th_enc_ctx* m_encoder = nullptr;
    ogg_stream_state m_stream;
};

class VorbisEncoder
{
public:
    VorbisEncoder()
    {
        vorbis_info_init(&m_info);
        vorbis_comment_init(&m_comment);
        ogg_stream_init(&m_stream, 0x50DA);
    }
    ~VorbisEncoder()
    {
        if (m_started)
        {
            vorbis_block_clear(&m_block);
            vorbis_dsp_clear(&m_dsp);
        }
        vorbis_comment_clear(&m_comment);
        vorbis_info_clear(&m_info);
        ogg_stream_clear(&m_stream);
    }

    bool Init(const VideoSpec& spec)
    {
        if (vorbis_encode_init_vbr(&m_info, long(spec.soundChannels), long(spec.soundRate), 0.4f) != 0)
            return false;
        vorbis_analysis_init(&m_dsp, &m_info);
        vorbis_block_init(&m_dsp, &m_block);
        m_started = true;
        return true;
    }

    void WriteHeaders(std::vector<Page>& first, std::vector<Page>& rest)
    {
        ogg_packet identification, comment, codebooks;
        vorbis_analysis_headerout(&m_dsp, &m_comment, &identification, &comment, &codebooks);
        ogg_stream_packetin(&m_stream, &identification);
        DrainPages(m_stream, true, 0.0, first);
        ogg_stream_packetin(&m_stream, &comment);
        ogg_stream_packetin(&m_stream, &codebooks);
        DrainPages(m_stream, true, 0.0, rest);
    }

    void WriteTone(const VideoSpec& spec, std::vector<Page>& pages)
    {
        const double seconds = spec.soundSeconds > 0.0 ? spec.soundSeconds
                                                       : double(spec.frames) * spec.fpsDenominator / spec.fpsNumerator;
        const std::vector<double> tones = spec.channelTonesHz.empty()
                                              ? std::vector<double>(spec.soundChannels, spec.toneHz)
                                              : spec.channelTonesHz;
        const SoundSamples tone = SoundWriter::MakeTone(tones, spec.soundRate, seconds, 0.5);
        const uint32_t frames = tone.FrameCount();
        constexpr uint32_t kChunk = 1024;
        for (uint32_t done = 0; done < frames; done += kChunk)
        {
            const uint32_t count = std::min(kChunk, frames - done);
            float** buffers = vorbis_analysis_buffer(&m_dsp, int(count));
            for (uint32_t i = 0; i < count; ++i)
                for (uint32_t c = 0; c < spec.soundChannels; ++c)
                    buffers[c][i] = tone.samples[size_t(done + i) * spec.soundChannels + c] / 32768.0f;
            vorbis_analysis_wrote(&m_dsp, int(count));
            Drain(spec, pages);
        }
        vorbis_analysis_wrote(&m_dsp, 0);
        Drain(spec, pages);
        ogg_page page;
        while (ogg_stream_flush(&m_stream, &page) > 0)
            AppendPage(page, double(ogg_page_granulepos(&page)) / spec.soundRate, pages);
    }

private:
    void Drain(const VideoSpec& spec, std::vector<Page>& pages)
    {
        while (vorbis_analysis_blockout(&m_dsp, &m_block) == 1)
        {
            vorbis_analysis(&m_block, nullptr);
            vorbis_bitrate_addblock(&m_block);
            ogg_packet packet;
            while (vorbis_bitrate_flushpacket(&m_dsp, &packet) == 1)
            {
                ogg_stream_packetin(&m_stream, &packet);
                ogg_page page;
                while (ogg_stream_pageout(&m_stream, &page) > 0)
                    AppendPage(page, double(ogg_page_granulepos(&page)) / spec.soundRate, pages);
            }
        }
    }

    vorbis_info m_info;
    vorbis_comment m_comment;
    vorbis_dsp_state m_dsp;
    vorbis_block m_block;
    ogg_stream_state m_stream;
    bool m_started = false;
};
} // namespace

namespace VideoWriter
{
uint8_t FrameLuma(uint32_t frame)
{
    return uint8_t(kLumaBase + kLumaStep * (frame % kFrameCodes));
}

uint32_t FrameCodeOfLuma(uint8_t luma)
{
    const int code = int(std::lround((double(luma) - kLumaBase) / kLumaStep));
    return uint32_t(std::clamp(code, 0, int(kFrameCodes) - 1));
}

uint8_t PictureU(const VideoSpec& spec, uint32_t x, uint32_t /*y*/)
{
    return x < spec.width / 2 ? kChromaLow : kChromaHigh;
}

uint8_t PictureV(const VideoSpec& spec, uint32_t /*x*/, uint32_t y)
{
    return y < spec.height / 2 ? kChromaLow : kChromaHigh;
}

bool EncodeOggTheora(const VideoSpec& spec, std::vector<uint8_t>& out)
{
    out.clear();
    // Odd offsets would put the picture between chroma samples; odd sizes are fine.
    if (spec.width == 0 || spec.height == 0 || (spec.pictureX | spec.pictureY) & 1 || spec.fpsNumerator == 0 ||
        spec.fpsDenominator == 0 || spec.frames == 0)
    {
        std::fprintf(stderr, "datakit: video sizes must be non-zero and offsets even, with frames\n");
        return false;
    }
    TheoraEncoder theora;
    VorbisEncoder vorbis;
    std::vector<Page> theoraFirst, theoraHeaders, theoraData;
    std::vector<Page> vorbisFirst, vorbisHeaders, vorbisData;
    if (!theora.Init(spec) || !theora.WriteHeaders(theoraFirst, theoraHeaders))
    {
        std::fprintf(stderr, "datakit: the Theora encoder refused %ux%u\n", spec.width, spec.height);
        return false;
    }
    if (spec.sound)
    {
        if (!spec.channelTonesHz.empty() && spec.channelTonesHz.size() != spec.soundChannels)
        {
            std::fprintf(stderr, "datakit: %zu channel tones for %u sound channels\n", spec.channelTonesHz.size(),
                         spec.soundChannels);
            return false;
        }
        if (!vorbis.Init(spec))
        {
            std::fprintf(stderr, "datakit: the Vorbis encoder refused %u channels at %u Hz\n", spec.soundChannels,
                         spec.soundRate);
            return false;
        }
        vorbis.WriteHeaders(vorbisFirst, vorbisHeaders);
    }
    if (!theora.WriteFrames(spec, theoraData))
    {
        std::fprintf(stderr, "datakit: the Theora encoder refused a frame\n");
        return false;
    }
    if (spec.sound)
        vorbis.WriteTone(spec, vorbisData);

    // Every stream's first page comes first, then the other headers, then the data by time.
    AppendBytes(theoraFirst, out);
    AppendBytes(vorbisFirst, out);
    AppendBytes(theoraHeaders, out);
    AppendBytes(vorbisHeaders, out);
    std::vector<Page> data;
    std::merge(theoraData.begin(), theoraData.end(), vorbisData.begin(), vorbisData.end(), std::back_inserter(data),
               [](const Page& a, const Page& b) { return a.seconds < b.seconds; });
    AppendBytes(data, out);
    return true;
}

bool WriteOggTheora(const std::string& path, const VideoSpec& spec)
{
    std::vector<uint8_t> bytes;
    if (!EncodeOggTheora(spec, bytes))
        return false;
    if (SoundWriter::WriteFile(path, bytes))
        return true;
    std::fprintf(stderr, "datakit: cannot write %s\n", path.c_str());
    return false;
}
} // namespace VideoWriter
