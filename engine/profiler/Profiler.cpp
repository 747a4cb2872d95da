#include "engine/profiler/Profiler.h"

#include "core/console/GameConsole.h"
#include "core/math/Matrix.h"
#include "platform/gpu/GpuTypes.h"
#include "renderer/NorvexRenderer.h"
#include "renderer/resources/Resource.h"
#include "renderer/resources/ResourceManager.h"

#include <cctype>
#include <cstring>

Profiler gProfiler;

namespace
{
constexpr const char* kOverlayFontName = "_system.ttf~012";
constexpr uint32_t kMaskPayloadBytes = Profiler::kMaskWords * 4 + 4;
constexpr uint32_t kSamplePairBytes = 8;

// The renderer when its stream takes commands.
NorvexRenderer* OpenRenderer()
{
    return gRenderer != nullptr && gRenderer->IsStreamOpen() ? gRenderer : nullptr;
}

std::string Lowered(const char* text, size_t limit)
{
    std::string lowered(text, strnlen(text, limit));
    for (char& c : lowered)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return lowered;
}
} // namespace

Profiler::Profiler() = default;

void Profiler::Init(Mask* configMask)
{
    m_configMask = configMask;
    if (m_configMask == nullptr)
        return;
    PostMask(*m_configMask, PROFILER_MASK_SET);
    PostClear();
}

void Profiler::LoadOverlayFont()
{
    if (m_overlayFont != nullptr || gResourceManager == nullptr)
        return;
    m_overlayFont = gResourceManager->GetResource(RESOURCE_TYPE_FONT, kOverlayFontName, 0, true, 0);
    if (m_overlayFont != nullptr)
        m_overlayFont->Load(true);
}

void Profiler::Close()
{
    if (m_overlayFont != nullptr)
        m_overlayFont->Release();
    m_overlayFont = nullptr;
    m_configMask = nullptr;
}

bool Profiler::IsOverlayFontLoaded() const
{
    return m_overlayFont != nullptr && m_overlayFont->GetState() == RESOURCE_STATE_DONE && !m_overlayFont->HasLoadFailed();
}

void Profiler::EnableProfiler(const char* pattern, bool enable)
{
    if (m_configMask == nullptr)
        return;
    Mask selection;
    const std::string wanted = pattern != nullptr ? Lowered(pattern, kMaxPatternLength) : std::string();
    for (uint32_t i = 0; i < kChannelCount; ++i)
    {
        const char* const name = GetProfilerChannelInfo(i).name;
        if (pattern == nullptr || Lowered(name, kMaxPatternLength).find(wanted) != std::string::npos)
            selection.Set(i, true);
    }
    for (uint32_t w = 0; w < kMaskWords; ++w)
        m_configMask->words[w] = enable ? (m_configMask->words[w] | selection.words[w])
                                        : (m_configMask->words[w] & ~selection.words[w]);
    PostMask(selection, enable ? PROFILER_MASK_OR : PROFILER_MASK_AND_NOT);
}

void Profiler::StartTimer(uint32_t channel, uint32_t callerMode)
{
    if (channel >= kChannelCount)
        return;
    if (callerMode == kProfilerCallerOtherThread)
    {
        ThreadSection& section = ThreadSections()[channel];
        if (section.nesting++ == 0 && IsActive(channel))
        {
            section.running = true;
            section.start = Time::Now();
        }
        return;
    }
    Channel& record = m_channels[channel];
    if (record.nesting++ == 0 && IsActive(channel))
    {
        record.running = 1;
        record.timerStart = Time::Now();
    }
}

void Profiler::StopTimer(uint32_t channel, uint32_t callerMode)
{
    if (channel >= kChannelCount)
        return;
    if (callerMode == kProfilerCallerOtherThread)
    {
        ThreadSection& section = ThreadSections()[channel];
        if (section.nesting == 0 || --section.nesting != 0 || !section.running)
            return;
        section.running = false;
        const Time elapsed = Time::Now() - section.start;
        os::ScopedLock lock(m_lock);
        m_channels[channel].accumulator += elapsed;
        return;
    }
    Channel& record = m_channels[channel];
    if (record.nesting == 0)
        return;
    if (--record.nesting != 0 || record.running == 0)
        return;
    record.running = 0;
    record.accumulator += Time::Now() - record.timerStart;
}

Profiler::ThreadSection* Profiler::ThreadSections()
{
    // Each thread opens and closes its own sections: loads on two threads at once are both timed
    // and summed, where one shared nesting count would time neither correctly.
    thread_local ThreadSection sections[kChannelCount];
    return sections;
}

void Profiler::AddValue(uint32_t channel, float value, uint32_t callerMode)
{
    if (channel >= kChannelCount)
        return;
    if (callerMode != kProfilerCallerOtherThread)
    {
        m_channels[channel].value += value;
        return;
    }
    if (!IsActive(channel))
        return;
    os::ScopedLock lock(m_lock);
    m_channels[channel].value += value;
}

void Profiler::SetValue(uint32_t channel, float value, uint32_t callerMode)
{
    if (channel >= kChannelCount)
        return;
    if (callerMode != kProfilerCallerOtherThread)
    {
        m_channels[channel].value = value;
        return;
    }
    if (!IsActive(channel))
        return;
    os::ScopedLock lock(m_lock);
    m_channels[channel].value = value;
}

void Profiler::Render(uint32_t width, uint32_t height)
{
    NorvexRenderer* const renderer = OpenRenderer();
    if (renderer == nullptr)
        return;
    SendMainThreadSamples(*renderer);
    renderer->SetViewport(gpu::Viewport{0, 0, width, height, 0.0f, 1.0f});
    // Pixels map to texel centres: the projection is shifted by half a pixel.
    Matrix projection;
    projection.LoadOrthoOffCenterLH(-0.5f, float(width) - 0.5f, float(height) - 0.5f, -0.5f, 0.0f, 1.0f);
    renderer->SetCamera(Matrix::ONE, projection, Matrix::ONE);
    if (renderer->WriteCall(&Profiler::RenderCall, PROFILER_COMMAND_DRAW, sizeof(Profiler*) + 8))
    {
        renderer->GetWriter().Put(this);
        renderer->GetWriter().Put(width);
        renderer->GetWriter().Put(height);
    }
}

void Profiler::SendMainThreadSamples(NorvexRenderer& renderer)
{
    // The render thread may change the active mask at any time: one snapshot decides both the
    // count the command is sized by and the pairs appended, so the payload never overruns.
    uint32_t active[kMaskWords];
    for (uint32_t w = 0; w < kMaskWords; ++w)
        active[w] = m_active[w].load(std::memory_order_acquire);
    auto isActive = [&active](uint32_t channel) { return (active[channel / 32] >> (channel % 32)) & 1u; };
    uint32_t count = 0;
    for (uint32_t i = 0; i < kChannelCount; ++i)
        count += GetProfilerChannelInfo(i).source == PROFILER_SOURCE_MAIN && isActive(i);
    const bool posted = renderer.WriteCall(&Profiler::RenderCall, PROFILER_COMMAND_SAMPLES,
                                           uint32_t(sizeof(Profiler*)) + 4 + count * kSamplePairBytes);
    if (posted)
    {
        renderer.GetWriter().Put(this);
        renderer.GetWriter().Put(count);
    }
    for (uint32_t i = 0; i < kChannelCount; ++i)
    {
        const ProfilerChannelInfo& info = GetProfilerChannelInfo(i);
        if (info.source != PROFILER_SOURCE_MAIN)
            continue;
        Channel& channel = m_channels[i];
        if (info.mode == PROFILER_MODE_TIMER)
        {
            channel.value = float(channel.accumulator.ToMilliseconds());
            channel.accumulator = gZeroTime;
        }
        if (posted && isActive(i))
        {
            renderer.GetWriter().Put(i);
            renderer.GetWriter().Put(channel.value);
        }
        if (info.mode == PROFILER_MODE_COUNTER)
            channel.value = 0.0f;
    }
}

void Profiler::PostMask(const Mask& mask, uint32_t operation)
{
    NorvexRenderer* const renderer = OpenRenderer();
    if (renderer == nullptr || !renderer->WriteCall(&Profiler::RenderCall, PROFILER_COMMAND_MASK,
                                                    uint32_t(sizeof(Profiler*)) + kMaskPayloadBytes))
        return;
    renderer->GetWriter().Put(this);
    for (const uint32_t word : mask.words)
        renderer->GetWriter().Put(word);
    renderer->GetWriter().Put(operation);
}

void Profiler::PostClear()
{
    NorvexRenderer* const renderer = OpenRenderer();
    if (renderer != nullptr && renderer->WriteCall(&Profiler::RenderCall, PROFILER_COMMAND_CLEAR, sizeof(Profiler*)))
        renderer->GetWriter().Put(this);
}

bool Profiler::IsActive(uint32_t channel) const
{
    return channel < kChannelCount && (m_active[channel / 32].load(std::memory_order_acquire) >> (channel % 32)) & 1u;
}

float Profiler::GetCurrentValue(uint32_t channel) const
{
    return channel < kChannelCount ? m_channels[channel].value : 0.0f;
}
