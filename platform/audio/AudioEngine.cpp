#include "platform/audio/AudioEngine.h"

#include "platform/audio/MemoryOutput.h"

#include <immintrin.h>

#include <algorithm>
#include <chrono>
#include <thread>

namespace audio
{
namespace
{
constexpr uint32_t kMinBusRate = 8000;
constexpr uint32_t kMaxBusRate = 192000;
} // namespace

bool MasteringVoice::Destroy()
{
    std::lock_guard<std::mutex> lock(m_engine.m_lock);
    return m_engine.DestroyMasteringLocked();
}

std::unique_ptr<Engine> Engine::Create()
{
    return Create(GetDefaultMixerConfig());
}

std::unique_ptr<Engine> Engine::Create(const MixerConfig& config)
{
    if (config.failure == DeviceFailure::EngineCreation)
        return nullptr;
    std::unique_ptr<Engine> engine(new Engine(config));
    if (config.mode == EngineMode::RealTime && !engine->m_thread.Start("AudioMixer", MixThreadEntry, engine.get()))
        return nullptr;
    return engine;
}

Engine::Engine(const MixerConfig& config) : m_config(config)
{
    if (config.output == OutputKind::Memory)
        m_memory = config.memory ? config.memory : std::make_shared<MemoryOutput>();
}

Engine::~Engine()
{
    m_stopThread.store(true, std::memory_order_release);
    m_thread.Join();
    std::lock_guard<std::mutex> lock(m_lock);
    while (!m_voices.empty())
        DestroyVoiceLocked(m_voices.back());
    DestroyMasteringLocked();
}

MasteringVoice* Engine::CreateMasteringVoice(uint32_t channels, uint32_t sampleRate)
{
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_config.failure == DeviceFailure::MasteringVoice)
    {
        SetError("no audio device");
        return nullptr;
    }
    if (m_mastering)
    {
        SetError("the engine already has a mastering voice");
        return nullptr;
    }
    channels = channels ? channels : kDefaultChannels;
    sampleRate = sampleRate ? sampleRate : kDefaultSampleRate;
    if (channels > kMaxOutputChannels || sampleRate < kMinBusRate || sampleRate > kMaxBusRate ||
        sampleRate % (1000 / kBlockMilliseconds) != 0)
    {
        SetError("unsupported mastering voice layout");
        return nullptr;
    }
    if (m_config.output == OutputKind::WavFile && !m_wav.Open(m_config.wavPath, channels, sampleRate))
    {
        SetError("cannot open the WAV output " + m_config.wavPath);
        return nullptr;
    }
    m_mastering.reset(new MasteringVoice(*this, channels, sampleRate));
    m_bus.assign(size_t(sampleRate / (1000 / kBlockMilliseconds)) * channels, 0.0f);
    return m_mastering.get();
}

MasteringVoice* Engine::GetMasteringVoice() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_mastering.get();
}

SourceVoice* Engine::CreateSourceVoice(const WaveFormat& format, uint32_t flags, float maxFrequencyRatio)
{
    std::lock_guard<std::mutex> lock(m_lock);
    if (!m_mastering)
    {
        SetError("no mastering voice");
        return nullptr;
    }
    if (const char* why = WhyUndecodable(format))
    {
        SetError(std::string("cannot play the wave format: ") + why);
        return nullptr;
    }
    if ((flags & ~kVoiceMusic) != 0)
    {
        SetError("unknown source voice flags");
        return nullptr;
    }
    if (!(maxFrequencyRatio >= kMinFrequencyRatio && maxFrequencyRatio <= kMaxFrequencyRatio))
    {
        SetError("maximum frequency ratio out of range");
        return nullptr;
    }
    SourceVoice* voice = new SourceVoice(*this, format, flags, maxFrequencyRatio, m_mastering->GetChannelCount());
    m_voices.push_back(voice);
    return voice;
}

bool Engine::CommitChanges(uint32_t operationSet)
{
    std::lock_guard<std::mutex> lock(m_lock);
    std::vector<PendingChange> kept;
    for (PendingChange& change : m_pending)
    {
        if (operationSet == kCommitAll || change.operationSet == operationSet)
            Apply(change);
        else
            kept.push_back(std::move(change));
    }
    m_pending.swap(kept);
    return true;
}

PerformanceData Engine::GetPerformanceData() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    PerformanceData data;
    data.glitchesSinceEngineStarted = m_glitches;
    data.totalSourceVoiceCount = uint32_t(m_voices.size());
    data.activeSourceVoiceCount =
        uint32_t(std::count_if(m_voices.begin(), m_voices.end(), [](const SourceVoice* v) { return v->m_running; }));
    data.blocksMixed = m_blocksMixed;
    return data;
}

std::string Engine::GetLastError() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_lastError;
}

bool Engine::RenderBlocks(uint32_t count)
{
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_config.mode != EngineMode::Manual)
    {
        SetError("blocks are rendered by the mixing thread");
        return false;
    }
    if (!m_mastering)
    {
        SetError("no mastering voice");
        return false;
    }
    for (uint32_t i = 0; i < count; ++i)
        MixBlockLocked();
    return true;
}

void Engine::SimulateGlitches(uint32_t count)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_glitches += count;
}

void Engine::SetError(std::string text)
{
    m_lastError = std::move(text);
}

void Engine::Defer(PendingChange change)
{
    m_pending.push_back(std::move(change));
}

void Engine::Apply(const PendingChange& change)
{
    SourceVoice& voice = *change.voice;
    switch (change.kind)
    {
    case ChangeKind::Start: voice.ApplyStart(); break;
    case ChangeKind::Stop: voice.ApplyStop(); break;
    case ChangeKind::ExitLoop: voice.ApplyExitLoop(); break;
    case ChangeKind::Volume: voice.ApplyVolume(change.value); break;
    case ChangeKind::FrequencyRatio: voice.ApplyFrequencyRatio(change.value); break;
    case ChangeKind::OutputMatrix: voice.ApplyOutputMatrix(change.levels.data()); break;
    }
}

void Engine::DestroyVoiceLocked(SourceVoice* voice)
{
    std::erase_if(m_pending, [voice](const PendingChange& change) { return change.voice == voice; });
    std::erase(m_voices, voice);
    delete voice;
}

bool Engine::DestroyMasteringLocked()
{
    if (!m_mastering)
        return true;
    if (!m_voices.empty())
    {
        SetError("source voices still play into the mastering voice");
        return false;
    }
    m_mastering.reset();
    m_wav.Close();
    return true;
}

void Engine::MixBlockLocked()
{
    const uint32_t channels = m_mastering->GetChannelCount();
    const uint32_t rate = m_mastering->GetSampleRate();
    const uint32_t frames = uint32_t(m_bus.size() / channels);
    m_rows.assign(m_bus.size(), 0.0f);
    // Voices add into the bus in creation order, as the sums have always been taken.
    for (SourceVoice* voice : m_voices)
        voice->MixBlock(m_rows.data(), frames, channels, rate, m_scratch);
    if (channels == 2)
    {
        // The usual stereo bus, four frames at a time.
        const float* left = m_rows.data();
        const float* right = left + frames;
        float* out = m_bus.data();
        uint32_t i = 0;
        for (; i + 4 <= frames; i += 4)
        {
            const __m128 l = _mm_loadu_ps(left + i);
            const __m128 r = _mm_loadu_ps(right + i);
            _mm_storeu_ps(out + 2 * i, _mm_unpacklo_ps(l, r));
            _mm_storeu_ps(out + 2 * i + 4, _mm_unpackhi_ps(l, r));
        }
        for (; i < frames; ++i)
        {
            out[2 * i] = left[i];
            out[2 * i + 1] = right[i];
        }
    }
    else
        for (uint32_t d = 0; d < channels; ++d)
            for (uint32_t i = 0; i < frames; ++i)
                m_bus[size_t(i) * channels + d] = m_rows[size_t(d) * frames + i];
    if (m_memory)
        m_memory->Append(m_bus.data(), frames, channels, rate);
    if (m_wav.IsOpen() && !m_wav.Append(m_bus.data(), frames))
    {
        // A full disk must not stop the mix; the file keeps what was written.
        SetError("cannot write the WAV output " + m_config.wavPath);
        m_wav.Close();
    }
    ++m_blocksMixed;
}

void Engine::MixThreadEntry(void* engine)
{
    static_cast<Engine*>(engine)->MixThreadMain();
}

void Engine::MixThreadMain()
{
    // Paced by the steady clock, not the test-settable counter, so a frozen manual clock cannot
    // stall the mix.
    using Clock = std::chrono::steady_clock;
    const auto block = std::chrono::milliseconds(kBlockMilliseconds);
    auto due = Clock::now();
    while (!m_stopThread.load(std::memory_order_acquire))
    {
        {
            std::lock_guard<std::mutex> lock(m_lock);
            if (m_mastering)
                MixBlockLocked();
        }
        due += block;
        const auto now = Clock::now();
        if (now > due + block)
        {
            // More than a block late: the device would have played a gap.
            std::lock_guard<std::mutex> lock(m_lock);
            ++m_glitches;
            due = now;
        }
        std::this_thread::sleep_until(due);
    }
}
} // namespace audio
