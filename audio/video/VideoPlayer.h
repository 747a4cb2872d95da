// One playing video: the streaming reader, Ogg framing, the Theora and Vorbis decoders, the time
// lines and the sound ring that feeds the video's own voice.
//
// Threads: the constructor and everything about reading, decoding and the clock belong to the
// render thread (VideoEngine calls them). The voice and the sound ring belong to the sound thread,
// reached only through the sound sub-operations posted with the sound engine's call command; the
// render thread reads what the sound thread publishes (samples played, bytes submitted, voice made)
// through atomics. Destroy closes the decoders on the render thread and then posts the voice's end
// and the player's freeing, so the sound thread frees the player after every sound command posted
// for it.
#pragma once

#include "audio/video/VideoPlane.h"
#include "audio/video/VideoSoundRing.h"
#include "audio/video/VideoTimeLine.h"
#include "core/time/Time.h"

#include <ogg/ogg.h>
#include <theora/theora.h>
#include <vorbis/codec.h>

#include <atomic>
#include <cstdint>
#include <string>

class BaseThread;
class CommandRingBuffer;
class StreamingFileReader;
namespace audio
{
class SourceVoice;
}

// Sound-thread sub-operations of a video player (the call command's argument).
enum VideoSoundOperation : uint32_t
{
    VIDEO_SOUND_CREATE_VOICE = 0, // f32 volume
    VIDEO_SOUND_APPEND = 1,       // u32 bytes, pointer to a new[] block of PCM
    VIDEO_SOUND_FEED = 2,
    VIDEO_SOUND_DESTROY_VOICE = 3,
    VIDEO_SOUND_FREE = 4,
};

// An Ogg Theora video with optional Vorbis sound, decoded on the render thread.
class VideoPlayer
{
public:
    static constexpr uint32_t kReaderBytes = 131072;
    // Bytes taken from the reader per buffering step: a quarter of its ring, which it refills a
    // quarter at a time, so a step normally finds its bytes ready instead of waiting for the disk.
    static constexpr uint32_t kBufferStepBytes = kReaderBytes / 4;
    // Buffering steps one advance may take (2 MiB).
    static constexpr uint32_t kMaxBufferStepsPerAdvance = 64;
    // Pages one stream may hold undecoded while the other stream's reading brings them in (bytes):
    // sound decoded ahead holds about a second of picture, far less than this.
    static constexpr uint32_t kMaxHeldBytes = 8u << 20;
    static constexpr const char* kExtension = "ogv";
    // Sound further from the wall clock than this moves the wall clock (seconds).
    static constexpr float kResyncSeconds = 0.2f;
    // How far sound is decoded ahead of the picture (seconds).
    static constexpr float kSoundLeadSeconds = 1.0f;
    // Larger coded frames are refused: a damaged header must not make the decoder allocate
    // gigabytes (pixels per side).
    static constexpr uint32_t kMaxFrameSide = 8192;

    // Starts the reader; the headers are read by the first advances once it is open.
    VideoPlayer(const char* name, const char* folder, bool loop, float volume);
    VideoPlayer(const VideoPlayer&) = delete;
    VideoPlayer& operator=(const VideoPlayer&) = delete;

    // Render thread.
    // One step of the player; true when a new frame is due to be shown.
    bool Advance();
    // The planes of the frame decoded since the last fetch (Y, U, V), each with the part that
    // shows the picture; false when there is none.
    bool FetchPlanes(VideoPlaneRegion regions[3]);
    // Closes the decoders and the reader and hands the player to the sound thread, which frees
    // it (or frees it here when no sound thread runs). The caller must not touch it afterwards.
    void Destroy();

    bool IsActive() const { return m_active; }
    bool HasHeaders() const { return m_decodersStarted; }
    bool HasSound() const { return m_vorbisHeaders != 0; }
    // The picture size (0 before the headers).
    uint32_t GetPictureWidth() const { return m_decodersStarted ? m_theoraInfo.frame_width : 0; }
    uint32_t GetPictureHeight() const { return m_decodersStarted ? m_theoraInfo.frame_height : 0; }
    uint32_t GetFramesDecoded() const { return m_framesDecoded; }
    float GetFrameTime() const { return m_frameTime; }
    float GetVideoTime() const { return m_videoTime; }
    float GetDecodedSoundTime() const { return m_decodedSoundTime; }
    uint32_t GetBytesProduced() const { return m_bytesProduced; }
    // Bytes read from the file and not yet decoded: the Ogg sync buffer and both streams.
    uint64_t GetBufferedBytes() const;

    // Published by the sound thread; any thread.
    uint64_t GetSamplesPlayed() const { return m_samplesPlayed.load(std::memory_order_acquire); }
    uint32_t GetBytesSubmitted() const { return m_bytesSubmitted.load(std::memory_order_acquire); }
    // Bytes the voice has finished with (submitted and no longer queued); without a voice, every
    // byte handed over.
    uint32_t GetBytesPlayed() const { return m_bytesPlayed.load(std::memory_order_acquire); }
    // Render thread: the sound stream has ended and the voice has played all of it (always true
    // for a video without sound).
    bool IsSoundPlayedOut() const;
    bool HasVoice() const { return m_hasVoice.load(std::memory_order_acquire); }

    // The sound engine runs this for every sub-operation (sound thread).
    static void SoundCall(BaseThread& thread, uintptr_t operation, CommandRingBuffer& ring);

private:
    ~VideoPlayer();

    // Render thread.
    bool Open();
    // Logs the error and, on the next line, the file and why.
    void LogFailure(const char* error, const char* reason) const;
    bool FindStreams();
    bool ReadRemainingHeaders();
    bool BufferData();
    // At the end of a pass of a looping file: a pass that brought no sound ends the sound.
    void JudgeSoundOfPass();
    void QueuePage();
    // The sound stream is still decoded (it exists and has not ended for want of sound).
    bool DecodesSound() const { return m_vorbisHeaders != 0 && !m_soundEnded; }
    void UpdateClock();
    bool MoreDecodingDue(float videoTime);
    void DecodeFrame();
    void DecodeSound();
    bool ConsumeReadyFrame();
    void CloseDecoders();
    // Posts a sound sub-operation with `extraBytes` of payload after the player; false when no
    // sound thread runs.
    bool PostSound(uint32_t operation, const void* extra, uint32_t extraBytes);

    // Sound thread.
    void CreateVoice(BaseThread& thread, float volume);
    void AppendSound(uint8_t* block, uint32_t bytes);
    void FeedVoice();
    void DestroyVoice();

    StreamingFileReader* m_reader = nullptr;
    const std::string m_path; // as the messages name it
    Time m_startTime;
    float m_volume;
    bool m_active = true;
    const bool m_loop;

    theora_info m_theoraInfo;
    theora_comment m_theoraComment;
    theora_state m_theoraState;
    ogg_stream_state m_theoraStream;
    uint32_t m_theoraHeaders = 0;
    ogg_int64_t m_firstGranulePosition = -1;
    bool m_passRestarted = false;

    vorbis_info m_vorbisInfo;
    vorbis_comment m_vorbisComment;
    vorbis_dsp_state m_vorbisDsp;
    vorbis_block m_vorbisBlock;
    ogg_stream_state m_vorbisStream;
    uint32_t m_vorbisHeaders = 0;
    // A whole pass of a looping file brought no sound: the picture plays on by the wall clock.
    bool m_soundEnded = false;
    uint32_t m_bytesProducedBeforePass = 0;

    ogg_sync_state m_sync;
    ogg_page m_page;
    ogg_packet m_packet;
    bool m_syncStarted = false;
    bool m_headersTried = false;
    bool m_decodersStarted = false;

    uint32_t m_framesDecoded = 0;
    uint32_t m_framesFetched = 0;
    // Whether a looping file has started over, the frames decoded before its current pass, and
    // whether the picture ran out of packets during that pass.
    bool m_rewound = false;
    uint32_t m_framesBeforePass = 0;
    bool m_pictureStarvedInPass = false;
    // Why the opening failed; every failing step of it sets one.
    const char* m_headerFailure = nullptr;
    bool m_videoWantsData = false;
    bool m_soundWantsData = false;
    bool m_frameReady = false;
    float m_frameTime = 0.0f;
    VideoTimeLine m_frameLine;
    float m_decodedSoundTime = 0.0f;
    VideoTimeLine m_soundLine;
    float m_videoTime = 0.0f;
    uint32_t m_bytesProduced = 0;

    // Set before the voice is asked for; read by the sound thread after the post.
    uint32_t m_soundChannels = 0;
    uint32_t m_soundRate = 0;

    // Sound thread.
    audio::SourceVoice* m_voice = nullptr;
    VideoSoundRing m_ring;
    std::atomic<uint64_t> m_samplesPlayed{0};
    std::atomic<uint32_t> m_bytesSubmitted{0};
    std::atomic<uint32_t> m_bytesPlayed{0};
    std::atomic<bool> m_hasVoice{false};
};
