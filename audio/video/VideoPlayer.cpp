#include "audio/video/VideoPlayer.h"

#include "audio/sound/SoundEngine.h"
#include "audio/video/VideoPcm.h"
#include "core/console/GameConsole.h"
#include "core/filesystem/StreamingFileReader.h"
#include "core/threads/CommandRingBuffer.h"
#include "platform/audio/AudioEngine.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

namespace
{
// First bytes of the identification headers, which open every pass of a looping file.
constexpr unsigned char kTheoraIdentificationHeader = 0x80;
constexpr unsigned char kTheoraHeaderBit = 0x80;
constexpr unsigned char kVorbisIdentificationHeader = 0x01;
// Sound times may step back this much without meaning that the file started over (seconds).
constexpr float kSoundSlackSeconds = 0.001f;

bool IsTheoraIdentification(const ogg_packet& packet)
{
    return packet.bytes >= 7 && packet.packet[0] == kTheoraIdentificationHeader &&
           std::memcmp(packet.packet + 1, "theora", 6) == 0;
}

// Packet bytes a stream holds that have not been taken out (a stream never started holds none).
uint64_t HeldBytes(const ogg_stream_state& stream)
{
    return uint64_t(stream.body_fill - stream.body_returned);
}

std::string VideoPathOf(const char* name, const char* folder)
{
    std::string path = folder != nullptr && folder[0] != '\0' ? std::string(folder) + "/" : std::string();
    return path + (name != nullptr ? name : "") + "." + VideoPlayer::kExtension;
}
} // namespace

VideoPlayer::VideoPlayer(const char* name, const char* folder, bool loop, float volume)
    : m_path(VideoPathOf(name, folder)), m_startTime(Time::Now()), m_volume(volume), m_loop(loop)
{
    std::memset(&m_theoraInfo, 0, sizeof(m_theoraInfo));
    std::memset(&m_theoraComment, 0, sizeof(m_theoraComment));
    std::memset(&m_theoraState, 0, sizeof(m_theoraState));
    std::memset(&m_theoraStream, 0, sizeof(m_theoraStream));
    std::memset(&m_vorbisInfo, 0, sizeof(m_vorbisInfo));
    std::memset(&m_vorbisComment, 0, sizeof(m_vorbisComment));
    std::memset(&m_vorbisDsp, 0, sizeof(m_vorbisDsp));
    std::memset(&m_vorbisBlock, 0, sizeof(m_vorbisBlock));
    std::memset(&m_vorbisStream, 0, sizeof(m_vorbisStream));
    std::memset(&m_sync, 0, sizeof(m_sync));
    std::memset(&m_page, 0, sizeof(m_page));
    std::memset(&m_packet, 0, sizeof(m_packet));
    m_reader = new StreamingFileReader(kReaderBytes, name, kExtension, folder, loop);
}

VideoPlayer::~VideoPlayer() = default;

void VideoPlayer::CloseDecoders()
{
    if (m_decodersStarted)
    {
        theora_clear(&m_theoraState);
        if (m_vorbisHeaders != 0)
        {
            vorbis_block_clear(&m_vorbisBlock);
            vorbis_dsp_clear(&m_vorbisDsp);
        }
        m_decodersStarted = false;
    }
    if (m_theoraHeaders != 0)
        ogg_stream_clear(&m_theoraStream);
    if (m_vorbisHeaders != 0)
        ogg_stream_clear(&m_vorbisStream);
    if (m_syncStarted)
    {
        theora_comment_clear(&m_theoraComment);
        theora_info_clear(&m_theoraInfo);
        vorbis_comment_clear(&m_vorbisComment);
        vorbis_info_clear(&m_vorbisInfo);
        ogg_sync_clear(&m_sync);
        m_syncStarted = false;
    }
    m_theoraHeaders = 0;
    m_vorbisHeaders = 0;
    m_frameReady = false;
}

void VideoPlayer::LogFailure(const char* error, const char* reason) const
{
    gConsole.Error(CONSOLE_CHANNEL_RENDER, "%s", error);
    gConsole.Error(CONSOLE_CHANNEL_RENDER, "Video file %s: %s", m_path.c_str(), reason);
}

void VideoPlayer::Destroy()
{
    CloseDecoders();
    if (m_reader != nullptr)
    {
        m_reader->PostDestroy();
        m_reader = nullptr;
    }
    m_active = false;
    if (!PostSound(VIDEO_SOUND_DESTROY_VOICE, nullptr, 0) || !PostSound(VIDEO_SOUND_FREE, nullptr, 0))
        delete this;
}

bool VideoPlayer::PostSound(uint32_t operation, const void* extra, uint32_t extraBytes)
{
    SoundEngine* const engine = gSoundEngine;
    if (engine == nullptr || !engine->IsRunning())
        return false;
    const ThreadCall call = &VideoPlayer::SoundCall;
    const uintptr_t argument = operation;
    VideoPlayer* const self = this;
    if (!engine->BeginCommand(THREAD_COMMAND_CALL, uint32_t(sizeof(call) + sizeof(argument) + sizeof(self)) + extraBytes))
        return false;
    CommandRingBuffer& ring = engine->GetRing();
    ring.Write(&call, sizeof(call));
    ring.Write(&argument, sizeof(argument));
    ring.Write(&self, sizeof(self));
    if (extraBytes != 0)
        ring.Write(extra, extraBytes);
    engine->EndCommand();
    return true;
}

bool VideoPlayer::BufferData()
{
    if (m_reader == nullptr)
        return false;
    char* const buffer = ogg_sync_buffer(&m_sync, long(kBufferStepBytes));
    if (buffer == nullptr)
        return false;
    uint32_t bytes = m_reader->Read(buffer, kBufferStepBytes);
    // The headers are looked for in the first pass only: a file without them would otherwise be
    // searched again from its start for ever.
    if (bytes == 0 && m_loop && m_decodersStarted)
    {
        // A pass in which the picture wanted a frame and found none gives none the next time
        // either: rewinding again would spin for ever on the render thread. The first pass is not
        // judged, as the header search read some of it without handing out its pages.
        if (m_rewound && m_pictureStarvedInPass && m_framesDecoded == m_framesBeforePass)
        {
            LogFailure("Video error - no frame in a whole pass of a looping video",
                       "no packet of it decodes to a picture");
            m_active = false;
        }
        else
        {
            JudgeSoundOfPass();
            m_reader->WaitUntilOpen();
            bytes = m_reader->Read(buffer, kBufferStepBytes);
            m_rewound = true;
            m_framesBeforePass = m_framesDecoded;
            m_pictureStarvedInPass = false;
            m_bytesProducedBeforePass = m_bytesProduced;
        }
    }
    ogg_sync_wrote(&m_sync, long(bytes));
    if (bytes == 0)
    {
        m_reader->PostDestroy();
        m_reader = nullptr;
    }
    return bytes != 0;
}

void VideoPlayer::JudgeSoundOfPass()
{
    // Sound that finds nothing in a whole pass finds nothing in the next one either: rewinding for
    // it would queue the file's picture again and again without end, with the picture waiting for a
    // sound clock that never starts. The pass's last pages go into the streams first.
    if (!DecodesSound())
        return;
    while (ogg_sync_pageout(&m_sync, &m_page) > 0)
        QueuePage();
    if (m_bytesProduced != m_bytesProducedBeforePass ||
        ogg_stream_packetpeek(&m_vorbisStream, nullptr) != 0 || vorbis_synthesis_pcmout(&m_vorbisDsp, nullptr) != 0)
        return;
    m_soundEnded = true;
    m_soundWantsData = false;
    gConsole.Warning(CONSOLE_CHANNEL_RENDER,
                     "Video file %s: a whole pass of the looping video brings no sound; the picture plays on by "
                     "the wall clock",
                     m_path.c_str());
}

void VideoPlayer::QueuePage()
{
    // Each stream takes only the pages of its own serial number; a sound that has ended takes none.
    if (m_theoraHeaders != 0)
        ogg_stream_pagein(&m_theoraStream, &m_page);
    if (DecodesSound())
        ogg_stream_pagein(&m_vorbisStream, &m_page);
}

uint64_t VideoPlayer::GetBufferedBytes() const
{
    const uint64_t synced = m_syncStarted ? uint64_t(m_sync.fill - m_sync.returned) : 0;
    return synced + HeldBytes(m_theoraStream) + HeldBytes(m_vorbisStream);
}

bool VideoPlayer::FindStreams()
{
    bool pageFound = false;
    for (;;)
    {
        if (!BufferData())
        {
            if (!pageFound)
                m_headerFailure = "no Ogg page in it";
            return true;
        }
        while (ogg_sync_pageout(&m_sync, &m_page) > 0)
        {
            pageFound = true;
            if (!ogg_page_bos(&m_page))
            {
                QueuePage();
                return true;
            }
            ogg_stream_state test;
            ogg_stream_init(&test, ogg_page_serialno(&m_page));
            ogg_stream_pagein(&test, &m_page);
            const bool packet = ogg_stream_packetout(&test, &m_packet) > 0;
            if (packet && m_theoraHeaders == 0 && theora_decode_header(&m_theoraInfo, &m_theoraComment, &m_packet) >= 0)
            {
                std::memcpy(&m_theoraStream, &test, sizeof(test));
                m_theoraHeaders = 1;
            }
            else if (packet && m_vorbisHeaders == 0 &&
                     vorbis_synthesis_headerin(&m_vorbisInfo, &m_vorbisComment, &m_packet) >= 0)
            {
                std::memcpy(&m_vorbisStream, &test, sizeof(test));
                m_vorbisHeaders = 1;
            }
            else
            {
                // A stream that says it is Theora but whose header the decoder refuses is damaged,
                // not missing.
                const bool damaged = packet && m_theoraHeaders == 0 && IsTheoraIdentification(m_packet);
                ogg_stream_clear(&test);
                if (damaged)
                {
                    m_headerFailure = "a Theora header is damaged";
                    return false;
                }
            }
        }
    }
}

bool VideoPlayer::ReadRemainingHeaders()
{
    while ((m_theoraHeaders != 0 && m_theoraHeaders < 3) || (m_vorbisHeaders != 0 && m_vorbisHeaders < 3))
    {
        int result = 0;
        while (m_theoraHeaders != 0 && m_theoraHeaders < 3 &&
               (result = ogg_stream_packetout(&m_theoraStream, &m_packet)) != 0)
        {
            if (result < 0 || theora_decode_header(&m_theoraInfo, &m_theoraComment, &m_packet) != 0)
            {
                m_headerFailure = "a Theora header is damaged";
                return false;
            }
            ++m_theoraHeaders;
        }
        while (m_vorbisHeaders != 0 && m_vorbisHeaders < 3 &&
               (result = ogg_stream_packetout(&m_vorbisStream, &m_packet)) != 0)
        {
            if (result < 0 || vorbis_synthesis_headerin(&m_vorbisInfo, &m_vorbisComment, &m_packet) != 0)
            {
                m_headerFailure = "a Vorbis header is damaged";
                return false;
            }
            ++m_vorbisHeaders;
        }
        if (ogg_sync_pageout(&m_sync, &m_page) > 0)
            QueuePage();
        else if ((m_theoraHeaders == 0 || m_theoraHeaders == 3) && (m_vorbisHeaders == 0 || m_vorbisHeaders == 3))
            break;
        else if (!BufferData())
        {
            gConsole.Error(CONSOLE_CHANNEL_RENDER, "Video error - incomplete file header");
            m_headerFailure = "the data ends inside its headers";
            return false;
        }
    }
    return true;
}

bool VideoPlayer::Open()
{
    m_headersTried = true;
    ogg_sync_init(&m_sync);
    theora_info_init(&m_theoraInfo);
    theora_comment_init(&m_theoraComment);
    vorbis_info_init(&m_vorbisInfo);
    vorbis_comment_init(&m_vorbisComment);
    m_syncStarted = true;

    bool ok = FindStreams() && ReadRemainingHeaders();
    if (ok && m_theoraHeaders == 0)
    {
        if (m_headerFailure == nullptr)
            m_headerFailure = "no Theora stream in it";
        ok = false;
    }
    if (ok && (m_theoraInfo.width > kMaxFrameSide || m_theoraInfo.height > kMaxFrameSide))
    {
        gConsole.Error(CONSOLE_CHANNEL_RENDER, "Video frame of %ux%u is larger than %u pixels a side",
                       m_theoraInfo.width, m_theoraInfo.height, kMaxFrameSide);
        m_headerFailure = "its picture is too large";
        ok = false;
    }
    if (ok && theora_decode_init(&m_theoraState, &m_theoraInfo) != 0)
    {
        m_headerFailure = "the Theora decoder refuses its headers";
        ok = false;
    }
    if (ok)
    {
        m_decodersStarted = true;
        int level = 0;
        theora_control(&m_theoraState, TH_DECCTL_SET_PPLEVEL, &level, sizeof(level));
        if (m_vorbisHeaders != 0)
        {
            vorbis_synthesis_init(&m_vorbisDsp, &m_vorbisInfo);
            vorbis_block_init(&m_vorbisDsp, &m_vorbisBlock);
        }
    }
    if (!ok)
    {
        LogFailure("Video error - can't parse headers or init decoders", m_headerFailure);
        CloseDecoders();
        m_active = false;
        return false;
    }
    if (m_vorbisHeaders != 0)
    {
        m_soundChannels = uint32_t(m_vorbisInfo.channels);
        m_soundRate = uint32_t(m_vorbisInfo.rate);
        PostSound(VIDEO_SOUND_CREATE_VOICE, &m_volume, sizeof(m_volume));
    }
    m_bytesProduced = 0;
    m_soundWantsData = m_vorbisHeaders != 0;
    m_videoWantsData = m_theoraHeaders != 0;
    m_active = true;
    return true;
}

bool VideoPlayer::IsSoundPlayedOut() const
{
    if (m_vorbisHeaders == 0)
        return true;
    return (m_soundEnded || (m_reader == nullptr && m_soundWantsData)) && GetBytesPlayed() == m_bytesProduced;
}

void VideoPlayer::UpdateClock()
{
    // Once the sound has played out its clock stands still: following it would freeze the picture
    // of a video whose sound is shorter, so the wall clock drives the rest.
    const bool voice = HasVoice() && !IsSoundPlayedOut();
    const uint64_t played = GetSamplesPlayed();
    if (voice && played == 0)
    {
        m_videoTime = 0.0f;
        return;
    }
    const float soundTime = m_soundRate != 0 ? float(double(played) / m_soundRate) : 0.0f;
    float videoTime = float((Time::Now() - m_startTime).ToSeconds());
    if (voice && std::fabs(videoTime - soundTime) > kResyncSeconds)
    {
        gConsole.Printf(CONSOLE_MESSAGE, CONSOLE_CHANNEL_SOUND, "Video synchronization error. Resyncing...");
        m_startTime = Time::Now() - Time(int64_t(double(soundTime) * double(Time::GetFrequency())));
        videoTime = soundTime;
    }
    m_videoTime = videoTime;
}

bool VideoPlayer::MoreDecodingDue(float videoTime)
{
    if (!m_active)
        return false;
    if (!m_frameReady)
        return true;
    if (!DecodesSound())
        return false;
    // Before the first block of a pass the position is unknown (-1): the last time stands.
    if (m_vorbisDsp.granulepos >= 0)
    {
        const float raw = float(vorbis_granule_time(&m_vorbisDsp, m_vorbisDsp.granulepos));
        m_decodedSoundTime = m_soundLine.Place(raw, kSoundSlackSeconds);
    }
    return videoTime + kSoundLeadSeconds > m_decodedSoundTime;
}

void VideoPlayer::DecodeFrame()
{
    for (;;)
    {
        const int result = ogg_stream_packetout(&m_theoraStream, &m_packet);
        if (result == 0)
        {
            m_videoWantsData = true;
            m_pictureStarvedInPass = true;
            return;
        }
        if (result < 0)
            continue;
        if (m_packet.bytes > 0 && (m_packet.packet[0] & kTheoraHeaderBit) != 0)
        {
            // A looping file started over: its first frames carry no granule position, so the
            // decoder is told that the next frame is the file's first one again (the time line
            // then adds the offset).
            m_passRestarted = m_packet.packet[0] == kTheoraIdentificationHeader || m_passRestarted;
            continue;
        }
        if (m_passRestarted && m_packet.granulepos < 0 && m_firstGranulePosition >= 0)
            theora_control(&m_theoraState, TH_DECCTL_SET_GRANPOS, &m_firstGranulePosition,
                           sizeof(m_firstGranulePosition));
        m_passRestarted = false;
        if (m_packet.granulepos >= 0)
            theora_control(&m_theoraState, TH_DECCTL_SET_GRANPOS, &m_packet.granulepos, sizeof(m_packet.granulepos));
        if (theora_decode_packetin(&m_theoraState, &m_packet) == 0)
        {
            if (m_firstGranulePosition < 0)
                m_firstGranulePosition = m_theoraState.granulepos;
            const float raw = float(theora_granule_time(&m_theoraState, m_theoraState.granulepos));
            m_frameTime = m_frameLine.Place(raw, 0.0f);
            ++m_framesDecoded;
            m_frameReady = true;
            return;
        }
    }
}

void VideoPlayer::DecodeSound()
{
    float** pcm = nullptr;
    const int samples = vorbis_synthesis_pcmout(&m_vorbisDsp, &pcm);
    if (samples > 0)
    {
        const uint32_t channels = m_soundChannels;
        const uint32_t bytes = uint32_t(samples) * channels * 2;
        uint8_t* const block = new uint8_t[bytes];
        ConvertVideoPcm(pcm, uint32_t(samples), channels, reinterpret_cast<int16_t*>(block));
        vorbis_synthesis_read(&m_vorbisDsp, samples);
        struct
        {
            uint32_t bytes;
            uint8_t* block;
        } append{bytes, block};
        if (!PostSound(VIDEO_SOUND_APPEND, &append, sizeof(append)))
        {
            // Nobody will play it: it counts as handed over, so the end of the video is still found.
            delete[] block;
            m_bytesSubmitted.fetch_add(bytes, std::memory_order_acq_rel);
            m_bytesPlayed.fetch_add(bytes, std::memory_order_acq_rel);
        }
        m_bytesProduced += bytes;
        m_soundWantsData = false;
        return;
    }
    const int result = ogg_stream_packetout(&m_vorbisStream, &m_packet);
    if (result == 0)
    {
        m_soundWantsData = true;
        return;
    }
    if (result <= 0)
        return;
    if (m_packet.bytes > 0 && m_packet.packet[0] == kVorbisIdentificationHeader)
    {
        // A looping file started over: its first audio packet only primes the overlap again, and
        // the time line learns of the new pass now (the first granule position may be a page away).
        vorbis_synthesis_restart(&m_vorbisDsp);
        m_decodedSoundTime = m_soundLine.Place(0.0f, kSoundSlackSeconds);
        return;
    }
    if (vorbis_synthesis(&m_vorbisBlock, &m_packet) == 0)
        vorbis_synthesis_blockin(&m_vorbisDsp, &m_vorbisBlock);
}

bool VideoPlayer::ConsumeReadyFrame()
{
    if (!m_frameReady || m_videoTime < m_frameTime)
        return false;
    m_frameReady = false;
    return true;
}

bool VideoPlayer::Advance()
{
    if (!m_active)
        return false;
    if (m_reader != nullptr && !m_decodersStarted)
    {
        if (!m_reader->IsFinishedOpening())
            return false;
        if (!m_reader->IsOpen())
        {
            LogFailure("Video error - can't open video file for streaming", "missing, empty or unreadable");
            CloseDecoders();
            m_active = false;
            return false;
        }
    }
    if (!m_decodersStarted && (m_headersTried || !Open()))
    {
        m_active = false;
        return false;
    }

    UpdateClock();
    uint32_t bufferSteps = 0;
    for (;;)
    {
        if (MoreDecodingDue(m_videoTime))
        {
            if (m_theoraHeaders != 0 && !m_frameReady)
                DecodeFrame();
            if (DecodesSound())
                DecodeSound();
        }
        if (m_reader != nullptr && (m_videoWantsData || m_soundWantsData))
        {
            // A stream that stops short (sound that ends long before the picture of a looping
            // file) would keep decoding due forever: one advance reads a bounded amount.
            if (++bufferSteps > kMaxBufferStepsPerAdvance)
                return ConsumeReadyFrame();
            // A stream whose pages pile up while the other one reads on (sound shorter than the
            // picture in every pass of a looping file, or a file that never interleaves them) would
            // take memory without end.
            if (HeldBytes(m_theoraStream) > kMaxHeldBytes || HeldBytes(m_vorbisStream) > kMaxHeldBytes)
            {
                static_assert(kMaxHeldBytes == 8u << 20, "the reason names the bound");
                LogFailure("Video error - its picture and sound lie too far apart",
                           "one stream holds more than 8 MiB of pages while the other reads on");
                m_active = false;
                return false;
            }
            BufferData();
            while (ogg_sync_pageout(&m_sync, &m_page) > 0)
                QueuePage();
            m_videoWantsData = false;
            m_soundWantsData = false;
        }
        PostSound(VIDEO_SOUND_FEED, nullptr, 0);
        if (m_reader == nullptr)
        {
            // The file has been read: decoding goes on while the sound decoder still holds packets
            // (leaving after one step would give the last second of sound a single decode step per
            // frame, less than it plays). The picture needs no more: a step either readies a frame
            // or finds the stream empty.
            if (!DecodesSound() || m_soundWantsData || !MoreDecodingDue(m_videoTime))
                break;
            continue;
        }
        if (!MoreDecodingDue(m_videoTime))
            return ConsumeReadyFrame();
    }

    // The file has ended: the player ends once every frame has been shown and the voice has played
    // all the sound (destroying it earlier would drop what it still holds).
    if (IsSoundPlayedOut() && m_videoWantsData && m_videoTime > m_frameTime && !m_frameReady)
        m_active = false;
    return ConsumeReadyFrame();
}

bool VideoPlayer::FetchPlanes(VideoPlaneRegion regions[3])
{
    if (m_theoraHeaders == 0 || !m_decodersStarted || m_framesFetched == m_framesDecoded)
        return false;
    yuv_buffer yuv;
    if (theora_decode_YUVout(&m_theoraState, &yuv) != 0)
        return false;
    m_framesFetched = m_framesDecoded;
    const VideoPlane planes[3] = {
        {yuv.y, yuv.y_stride, uint32_t(std::max(yuv.y_width, 0)), uint32_t(std::max(yuv.y_height, 0))},
        {yuv.u, yuv.uv_stride, uint32_t(std::max(yuv.uv_width, 0)), uint32_t(std::max(yuv.uv_height, 0))},
        {yuv.v, yuv.uv_stride, uint32_t(std::max(yuv.uv_width, 0)), uint32_t(std::max(yuv.uv_height, 0))},
    };
    for (uint32_t plane = 0; plane < 3; ++plane)
        regions[plane] = PictureRegionOf(planes[0], planes[plane], m_theoraInfo.offset_x, m_theoraInfo.offset_y,
                                         m_theoraInfo.frame_width, m_theoraInfo.frame_height);
    return true;
}

void VideoPlayer::SoundCall(BaseThread& thread, uintptr_t operation, CommandRingBuffer& ring)
{
    VideoPlayer* player = nullptr;
    if (!ring.Read(&player, sizeof(player)) || player == nullptr)
        return;
    switch (operation)
    {
    case VIDEO_SOUND_CREATE_VOICE:
    {
        float volume = 1.0f;
        if (ring.Read(&volume, sizeof(volume)))
            player->CreateVoice(thread, volume);
        break;
    }
    case VIDEO_SOUND_APPEND:
    {
        struct
        {
            uint32_t bytes;
            uint8_t* block;
        } append{};
        if (ring.Read(&append, sizeof(append)))
            player->AppendSound(append.block, append.bytes);
        break;
    }
    case VIDEO_SOUND_FEED:
        player->FeedVoice();
        break;
    case VIDEO_SOUND_DESTROY_VOICE:
        player->DestroyVoice();
        break;
    case VIDEO_SOUND_FREE:
        delete player;
        break;
    default:
        break;
    }
}

void VideoPlayer::CreateVoice(BaseThread& thread, float volume)
{
    audio::Engine* const mixer = static_cast<SoundEngine&>(thread).GetMixerOnThread();
    if (mixer == nullptr || m_voice != nullptr || m_soundChannels == 0)
        return;
    const audio::WaveFormat format = audio::MakePcmFormat(m_soundChannels, m_soundRate);
    m_voice = mixer->CreateSourceVoice(format, audio::kVoiceMusic, audio::kDefaultMaxFrequencyRatio);
    if (m_voice == nullptr)
    {
        gConsole.Warning(CONSOLE_CHANNEL_SOUND, "Video sound voice refused (%u channels, %u Hz)", m_soundChannels,
                         m_soundRate);
        gConsole.Warning(CONSOLE_CHANNEL_SOUND, "Video file %s: its sound is not played", m_path.c_str());
        return;
    }
    m_voice->SetVolume(volume);
    m_ring.SetFrameBytes(format.blockAlign);
    m_hasVoice.store(true, std::memory_order_release);
}

void VideoPlayer::AppendSound(uint8_t* block, uint32_t bytes)
{
    std::unique_ptr<uint8_t[]> owned(block);
    if (m_voice == nullptr)
    {
        m_bytesSubmitted.fetch_add(bytes, std::memory_order_acq_rel);
        m_bytesPlayed.fetch_add(bytes, std::memory_order_acq_rel);
        return;
    }
    m_ring.Append(std::move(owned), bytes);
    FeedVoice();
}

void VideoPlayer::FeedVoice()
{
    if (m_voice == nullptr)
        return;
    audio::VoiceState state = m_voice->GetState();
    m_samplesPlayed.store(state.samplesPlayed, std::memory_order_release);
    m_ring.Retire(state.buffersQueued);
    const uint8_t* data = nullptr;
    uint32_t bytes = 0;
    while (state.buffersQueued < 2 && m_ring.PeekChunk(&data, &bytes))
    {
        audio::AudioBuffer buffer;
        buffer.audioData = data;
        buffer.audioBytes = bytes;
        if (!m_voice->SubmitBuffer(buffer))
            break;
        if (state.samplesPlayed == 0)
            m_voice->Start();
        m_ring.Consume(bytes);
        m_bytesSubmitted.fetch_add(bytes, std::memory_order_acq_rel);
        ++state.buffersQueued;
    }
    // The ring holds exactly the chunks still queued in the voice.
    m_bytesPlayed.store(m_bytesSubmitted.load(std::memory_order_acquire) - m_ring.GetHeldBytes(),
                        std::memory_order_release);
}

void VideoPlayer::DestroyVoice()
{
    if (m_voice != nullptr)
    {
        m_voice->Destroy();
        m_voice = nullptr;
    }
    m_hasVoice.store(false, std::memory_order_release);
    m_ring.Reset();
    m_samplesPlayed.store(0, std::memory_order_release);
}
