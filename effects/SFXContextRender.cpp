// The render-thread half of SFXContext: its calls, the per-frame walk, the bounds it publishes and
// its draws.
#include "effects/SFXContext.h"

#include "core/math/HDRColor.h"
#include "core/threads/CommandRingBuffer.h"
#include "effects/sfx/SFXDefinition.h"
#include "effects/sfx/SFXElementContext.h"
#include "engine/profiler/Profiler.h"
#include "renderer/NorvexRenderer.h"
#include "renderer/RenderCommands.h"
#include "renderer/SceneEnvironment.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

namespace rp = renderpayload;

namespace
{
// Reads a u32 length and that many name bytes (`withTerminator`: the length leaves the terminator
// out and it follows). The name always ends at its first zero byte, so no comparison reads past it.
bool ReadName(CommandRingBuffer& reader, bool withTerminator, std::string& name, bool& hasName)
{
    uint32_t length = 0;
    if (!reader.Read(&length, rp::kU32))
        return false;
    const uint32_t bytes = withTerminator ? length + 1 : length;
    if (withTerminator && length == 0xFFFFFFFFu)
        return false;
    if (bytes > reader.GetReadLeft())
        return false;
    const char* const text = reinterpret_cast<const char*>(reader.GetReadCursor());
    hasName = bytes != 0;
    name.assign(text, strnlen(text, bytes));
    return reader.SkipRead(bytes);
}

Vector MulComponents(const Vector& a, const Vector& b)
{
    return Vector(a.x * b.x, a.y * b.y, a.z * b.z, a.w * b.w);
}
} // namespace

SFXContext::~SFXContext()
{
    for (int32_t i = 0; i < m_elementCount; ++i)
        delete m_elements[i];
    delete[] m_elements;
    LeaveActiveList();
}

SFXElementContext* SFXContext::GetElementContext(int32_t index) const
{
    return index >= 0 && index < m_elementCount ? m_elements[index] : nullptr;
}

void SFXContext::CommandThunk(NorvexRenderer&, uint32_t subOperation, CommandRingBuffer& reader)
{
    SFXContext* context = nullptr;
    if (!reader.Read(&context, sizeof(context)) || context == nullptr)
        return;
    context->ExecuteCommand(subOperation, reader);
}

template <typename Visit>
void SFXContext::ForEachNamed(const char* name, Visit visit)
{
    if (m_renderDefinition == nullptr)
        return;
    const Dynarray<SFXElementDefinition*>& definitions = m_renderDefinition->GetElements();
    const int32_t count = std::min(m_elementCount, definitions.Count());
    for (int32_t i = 0; i < count; ++i)
        if (m_elements[i] != nullptr && definitions[i] != nullptr &&
            std::strcmp(definitions[i]->GetDescription().c_str(), name) == 0)
            visit(*m_elements[i], *definitions[i]);
}

void SFXContext::ExecuteCommand(uint32_t subOperation, CommandRingBuffer& reader)
{
    switch (subOperation)
    {
    case SUB_RESTART:
    {
        uint8_t flags[2] = {};
        if (reader.Read(flags, sizeof(flags)))
            Start(flags[1]);
        return;
    }
    case SUB_STOP:
        Stop();
        return;
    case SUB_INSTALL:
    {
        uint32_t count = 0;
        SFXElementContext** elements = nullptr;
        uint8_t first = 0;
        const SFXDefinition* definition = nullptr;
        if (reader.Read(&count, rp::kU32) && reader.Read(&elements, rp::kPointer) && reader.Read(&first, rp::kU8) &&
            reader.Read(&definition, rp::kPointer))
            Install(elements, int32_t(count), first != 0, definition);
        return;
    }
    case SUB_DETACH_DEFINITION:
        // The element contexts were built from the dying definition's elements: they go with it,
        // and the effect finishes.
        Install(nullptr, 0, false, nullptr);
        m_active = 0;
        m_finished.store(1, std::memory_order_release);
        return;
    case SUB_SPEED:
    case SUB_SPAWN_RATE:
    case SUB_ADVANCE_TIME:
    {
        float value = 0.0f;
        if (!reader.Read(&value, rp::kFloat))
            return;
        if (subOperation == SUB_SPEED)
            m_speedMultiplier = value;
        else if (subOperation == SUB_SPAWN_RATE)
            m_spawnRateMultiplier = std::max(value, 0.0f);
        const Dynarray<SFXElementDefinition*>* const definitions =
            m_renderDefinition != nullptr ? &m_renderDefinition->GetElements() : nullptr;
        for (int32_t i = 0; i < m_elementCount; ++i)
        {
            SFXElementContext* const element = m_elements[i];
            if (element == nullptr)
                continue;
            if (subOperation == SUB_SPEED)
                element->SetSpeedMultiplier(value);
            else if (subOperation == SUB_SPAWN_RATE)
                element->SetSpawnRateMultiplier(m_spawnRateMultiplier);
            else if (definitions != nullptr && i < definitions->Count() && (*definitions)[i] != nullptr)
                element->AdvanceTime(*(*definitions)[i], value);
        }
        return;
    }
    case SUB_ELEMENT_COLOR:
    case SUB_ELEMENT_SPEED:
    case SUB_ELEMENT_LIFE:
    {
        Vector color;
        float value = 0.0f;
        const bool fixedRead =
            subOperation == SUB_ELEMENT_COLOR ? reader.Read(&color, rp::kVector) : reader.Read(&value, rp::kFloat);
        std::string name;
        bool hasName = false;
        if (!fixedRead || !ReadName(reader, true, name, hasName))
            return;
        ForEachNamed(name.c_str(), [&](SFXElementContext& element, const SFXElementDefinition&) {
            if (subOperation == SUB_ELEMENT_COLOR)
                element.SetColor(color);
            else if (subOperation == SUB_ELEMENT_SPEED)
                element.SetSpeedMultiplier(value);
            else
                element.SetLifeMultiplier(value);
        });
        return;
    }
    case SUB_BREAK_LOOP:
    case SUB_ACTIVATE_LOOP:
    {
        std::string name;
        bool hasName = false;
        if (!ReadName(reader, false, name, hasName))
            return;
        const char* const loop = hasName ? name.c_str() : nullptr;
        if (subOperation == SUB_BREAK_LOOP)
        {
            LeaveLoops(loop);
            return;
        }
        if (m_renderDefinition == nullptr)
            return;
        const Dynarray<SFXElementDefinition*>& definitions = m_renderDefinition->GetElements();
        const int32_t count = std::min(m_elementCount, definitions.Count());
        for (int32_t i = 0; i < count; ++i)
            if (m_elements[i] != nullptr && definitions[i] != nullptr)
                for (const SFXEnvelopeBinding& binding : definitions[i]->GetEnvelopeBindings())
                    binding.envelope->ActivateLoop(m_elements[i]->GetState(binding.state), loop);
        return;
    }
    case SUB_FADE_OUT_SOUND:
    {
        float seconds = 0.0f;
        uint8_t mute = 0;
        if (!reader.Read(&seconds, rp::kFloat) || !reader.Read(&mute, rp::kU8))
            return;
        for (int32_t i = 0; i < m_elementCount; ++i)
            if (m_elements[i] != nullptr)
            {
                m_elements[i]->FadeOutSound(seconds);
                m_elements[i]->SetSoundMuted(mute);
            }
        return;
    }
    case SUB_PASS_MASKS:
    {
        uint32_t masks[2] = {};
        if (reader.Read(masks, sizeof(masks)))
        {
            m_passAndMask = masks[0];
            m_passOrMask = masks[1];
        }
        return;
    }
    case SUB_SPAWNER:
    {
        ParticleSpawner* spawner = nullptr;
        if (!reader.Read(&spawner, rp::kPointer))
            return;
        for (int32_t i = 0; i < m_elementCount; ++i)
            if (m_elements[i] != nullptr)
                m_elements[i]->SetSpawner(spawner);
        return;
    }
    case SUB_COLOR:
    {
        Vector color;
        if (!reader.Read(&color, rp::kVector))
            return;
        for (int32_t i = 0; i < m_elementCount; ++i)
            if (m_elements[i] != nullptr)
                m_elements[i]->SetColor(color);
        return;
    }
    case SUB_MESH_TEMPLATE_CHANGED:
    {
        uint32_t index = 0;
        const SFXElementDefinition* element = nullptr;
        if (!reader.Read(&index, rp::kU32) || !reader.Read(&element, rp::kPointer) || element == nullptr)
            return;
        if (SFXElementContext* const context = GetElementContext(int32_t(index)))
            context->OnMeshTemplateChanged(*element);
        return;
    }
    default:
        // Sub-operation 3 and numbers past the table carry nothing and do nothing.
        return;
    }
}

void SFXContext::Install(SFXElementContext** elements, int32_t count, bool first, const SFXDefinition* definition)
{
    m_renderDefinition = definition;
    m_time = 0.0f;
    for (int32_t i = 0; i < m_elementCount; ++i)
        delete m_elements[i];
    delete[] m_elements;
    m_elements = elements;
    m_elementCount = elements != nullptr ? count : 0;
    m_lastDrawnFrame = m_renderer.GetPresentsExecuted();
    if (first && m_nested == 0)
        JoinActiveList();
}

void SFXContext::JoinActiveList()
{
    if (m_registered != 0)
        return;
    m_activePrevious = sActiveTail;
    m_activeNext = nullptr;
    (sActiveTail != nullptr ? sActiveTail->m_activeNext : sActiveHead) = this;
    sActiveTail = this;
    m_registered = 1;
}

void SFXContext::LeaveActiveList()
{
    if (m_registered == 0)
        return;
    (m_activePrevious != nullptr ? m_activePrevious->m_activeNext : sActiveHead) = m_activeNext;
    (m_activeNext != nullptr ? m_activeNext->m_activePrevious : sActiveTail) = m_activePrevious;
    m_activePrevious = nullptr;
    m_activeNext = nullptr;
    m_registered = 0;
}

void SFXContext::Start(uint8_t skip)
{
    for (int32_t i = 0; i < m_elementCount; ++i)
        if (m_elements[i] != nullptr)
            m_elements[i]->Start(skip);
    m_active = 1;
}

void SFXContext::Stop()
{
    m_active = 0;
    for (int32_t i = 0; i < m_elementCount; ++i)
        if (m_elements[i] != nullptr)
            m_elements[i]->Stop();
}

void SFXContext::LeaveLoops(const char* name)
{
    if (m_renderDefinition == nullptr)
        return;
    const Dynarray<SFXElementDefinition*>& definitions = m_renderDefinition->GetElements();
    const int32_t count = std::min(m_elementCount, definitions.Count());
    bool looping = false;
    for (int32_t i = 0; i < count; ++i)
    {
        if (m_elements[i] == nullptr || definitions[i] == nullptr)
            continue;
        for (const SFXEnvelopeBinding& binding : definitions[i]->GetEnvelopeBindings())
        {
            EnvelopePlayState& state = m_elements[i]->GetState(binding.state);
            binding.envelope->BreakLoop(state, name);
            if (state.loop < uint32_t(binding.envelope->GetLoops().Count()))
                looping = true;
        }
    }
    // A context in the walk finishes through its next update.
    if (looping || m_registered != 0)
        return;
    m_active = 0;
    m_finished.store(1, std::memory_order_release);
}

void SFXContext::ResetPlayback()
{
    if (m_renderDefinition != nullptr)
    {
        const Dynarray<SFXElementDefinition*>& definitions = m_renderDefinition->GetElements();
        const int32_t count = std::min(m_elementCount, definitions.Count());
        for (int32_t i = 0; i < count; ++i)
            if (m_elements[i] != nullptr && definitions[i] != nullptr)
                m_elements[i]->Reset(*definitions[i]);
    }
    m_time = 0.0f;
}

void SFXContext::RenderAll(double clock1, float delta1, double clock2, float delta2, double clock3, float delta3)
{
    gProfiler.StartTimer(PROFILER_SFX_TIME, PROFILER_SOURCE_RENDER);
    SFXContext* context = sActiveHead;
    while (context != nullptr)
    {
        // Taken first: the update may park the context, which leaves the list.
        SFXContext* const next = context->m_activeNext;
        context->UpdateNested(clock1, delta1, clock2, delta2, clock3, delta3);
        context = next;
    }
    gProfiler.StopTimer(PROFILER_SFX_TIME, PROFILER_SOURCE_RENDER);
}

void SFXContext::UpdateNested(double clock1, float delta1, double clock2, float delta2, double clock3, float delta3)
{
    if ((m_renderingFlags & kFlagEngineClock) != 0)
        UpdateFrame(clock1, delta1);
    else if ((m_renderingFlags & kFlagThirdClock) != 0)
        UpdateFrame(clock3, delta3);
    else
        UpdateFrame(clock2, delta2);
}

void SFXContext::UpdateFrame(double clock, float delta)
{
    if (m_active != 0 && m_renderDefinition != nullptr)
    {
        const float step = m_speedMultiplier * delta;
        m_time += step;
        bool running = false;
        if (m_elementCount > 0)
        {
            Matrix keep;
            Matrix unit;
            ComputeParentMatrices(*m_renderDefinition, GetWorld(), keep, unit);
            m_frameBounds = BoundingBox4::INVALID;
            const Dynarray<SFXElementDefinition*>& definitions = m_renderDefinition->GetElements();
            const int32_t count = std::min(m_elementCount, definitions.Count());
            bool someUnscaled = false;
            bool someExpands = false;
            for (int32_t i = 0; i < count; ++i)
            {
                SFXElementContext* const element = m_elements[i];
                const SFXElementDefinition* const definition = definitions[i];
                if (element == nullptr || definition == nullptr || !definition->IsEnabled())
                    continue;
                element->Update(clock, step, *definition, definition->ScalesWithParent() ? keep : unit);
                someUnscaled = someUnscaled || !definition->ScalesWithParent();
                running = running || element->IsRunning();
                if (!definition->ExpandsBoundingBox())
                    continue;
                someExpands = true;
                if (definition->GetFaceCameraMode() != 0)
                {
                    // A camera-facing element may turn any way: grow by the cube around its reach.
                    BoundingBox4 placed;
                    placed.Transform3D(element->GetLocalBounds(), element->GetLocalMatrix());
                    const float h = std::max({std::fabs(placed.min.x), std::fabs(placed.min.y), std::fabs(placed.min.z),
                                              std::fabs(placed.max.x), std::fabs(placed.max.y), std::fabs(placed.max.z)});
                    m_frameBounds.Expand(BoundingBox4(Vector(-h, -h, -h, 1.0f), Vector(h, h, h, 1.0f)));
                }
                else
                    m_frameBounds.Expand3D(element->GetLocalBounds(), element->GetLocalMatrix());
            }
            if (someUnscaled)
                m_frameBounds.Expand(keep.rows[3]);
            if (someExpands)
            {
                const Vector& scale = m_renderDefinition->GetScaleForAllElements();
                m_frameBounds.min = MulComponents(m_frameBounds.min, scale);
                m_frameBounds.max = MulComponents(m_frameBounds.max, scale);
                if (m_publishedCounter.IsAllCompleted())
                {
                    m_publishedBounds.min = Vector(m_frameBounds.min.x - 0.01f, m_frameBounds.min.y - 0.01f,
                                                   m_frameBounds.min.z - 0.01f, 1.0f);
                    m_publishedBounds.max = Vector(m_frameBounds.max.x + 0.01f, m_frameBounds.max.y + 0.01f,
                                                   m_frameBounds.max.z + 0.01f, 1.0f);
                    m_publishedCounter.IncrementIssued();
                }
            }
        }
        if (!running || m_elementCount == 0)
            m_finished.store(1, std::memory_order_release);
    }
    if ((m_renderingFlags & kFlagMayPark) != 0 && m_nested == 0 &&
        m_renderer.GetPresentsExecuted() - m_lastDrawnFrame > kParkAfterFrames)
    {
        LeaveActiveList();
        // What the elements last reported: a context that never ran counts as still looping.
        bool allLoopsDone = true;
        for (int32_t i = 0; i < m_elementCount; ++i)
            if (m_elements[i] != nullptr && !m_elements[i]->AreLoopsDone())
                allLoopsDone = false;
        if (allLoopsDone)
        {
            m_active = 0;
            m_finished.store(1, std::memory_order_release);
        }
    }
}

uint32_t SFXContext::ViewBit(uint32_t passFlags) const
{
    if ((passFlags & 0x2000) != 0)
        return SFXElementDefinition::VIEW_TACTICAL_EXTENDED;
    return (passFlags & 0x1000) != 0 ? SFXElementDefinition::VIEW_TACTICAL : SFXElementDefinition::VIEW_COMBAT;
}

Matrix SFXContext::ElementDrawMatrix(const SFXElementDefinition& element, const SFXElementContext& context,
                                     const Matrix& keep, const Matrix& unit) const
{
    const Matrix placed = context.GetWorldMatrix(element.ScalesWithParent() ? keep : unit);
    Matrix facing;
    facing.LoadBillboard(placed, element.GetFaceCameraMode(), m_renderer.GetCamera().inverseView,
                         element.GetFaceCameraOffset());
    return facing;
}

void SFXContext::Draw(const Matrix& world, uint32_t passFlags, const Vector& color)
{
    // The elements are placed from the context's own world matrix.
    (void)world;
    DrawEffect(color, passFlags, m_renderer.GetPassMask(), 0);
}

void SFXContext::DrawEffect(const Vector& color, uint32_t passFlags, uint32_t passMask, uint32_t extra)
{
    if (m_active == 0 || m_renderDefinition == nullptr)
        return;
    m_lastDrawnFrame = m_renderer.GetPresentsExecuted();
    // A nested context is updated by its element: it must never join the walk as well.
    if (m_nested == 0)
        JoinActiveList();
    passFlags = (passFlags & m_passAndMask) | m_passOrMask;
    const Vector tint = MulComponents(GetColorMultiplier(), color);
    const uint32_t view = ViewBit(passFlags);
    if ((passFlags & 1) != 0)
        return;
    Matrix keep;
    Matrix unit;
    ComputeParentMatrices(*m_renderDefinition, GetWorld(), keep, unit);
    // No scene set exists before the scene environment is created: colours stay as they are.
    const SceneParametersWrapper* const scene = gSceneEnvironment.GetActiveParameters();
    const Dynarray<SFXElementDefinition*>& definitions = m_renderDefinition->GetElements();
    const int32_t count = std::min(m_elementCount, definitions.Count());
    for (int32_t i = 0; i < count; ++i)
    {
        SFXElementContext* const element = m_elements[i];
        const SFXElementDefinition* const definition = definitions[i];
        if (element == nullptr || definition == nullptr || (definition->GetPassBits() & passMask) == 0 ||
            (definition->GetViewMask() & view) == 0 ||
            ((passFlags & 16) != 0 && !definition->IsDrawnInFilteredPass()))
            continue;
        HDRColor value;
        definition->GetColor().Evaluate(element->GetState(SFXElementDefinition::STATE_COLOR), value);
        if (value.a == 0)
            continue;
        Vector c;
        value.ToVector(c);
        c = MulComponents(Vector(std::max(c.x, 0.0f), std::max(c.y, 0.0f), std::max(c.z, 0.0f), std::max(c.w, 0.0f)),
                          MulComponents(element->GetColor(), tint));
        if (m_useSceneColor != 0 && definition->UsesSceneColorMultiplier() && scene != nullptr)
            c = MulComponents(c, scene->GetShading().sfxColorMultiplier);
        definition->Draw(ElementDrawMatrix(*definition, *element, keep, unit), c, element, passMask, extra, passFlags);
    }
}

void SFXContext::DrawDepth(uint8_t mirrorToggle, uint32_t passFlags)
{
    (void)mirrorToggle;
    if (m_active == 0 || m_renderDefinition == nullptr)
        return;
    passFlags = (passFlags & m_passAndMask) | m_passOrMask;
    const uint32_t view = ViewBit(passFlags);
    Matrix keep;
    Matrix unit;
    ComputeParentMatrices(*m_renderDefinition, GetWorld(), keep, unit);
    const Dynarray<SFXElementDefinition*>& definitions = m_renderDefinition->GetElements();
    const int32_t count = std::min(m_elementCount, definitions.Count());
    for (int32_t i = 0; i < count; ++i)
    {
        SFXElementContext* const element = m_elements[i];
        const SFXElementDefinition* const definition = definitions[i];
        if (element == nullptr || definition == nullptr || definition->GetDepthPassByte() == 0 ||
            (definition->GetViewMask() & view) == 0)
            continue;
        HDRColor value;
        definition->GetColor().Evaluate(element->GetState(SFXElementDefinition::STATE_COLOR), value);
        if (value.a != 0)
            definition->DrawDepth(ElementDrawMatrix(*definition, *element, keep, unit), element);
    }
}

uint32_t SFXContext::GetChannelMask(uint32_t passFlags) const
{
    if (m_active == 0 || m_renderDefinition == nullptr)
        return 0;
    passFlags = (passFlags & m_passAndMask) | m_passOrMask;
    const uint32_t view = ViewBit(passFlags);
    const Dynarray<SFXElementDefinition*>& definitions = m_renderDefinition->GetElements();
    const int32_t count = std::min(m_elementCount, definitions.Count());
    uint32_t mask = 0;
    for (int32_t i = 0; i < count; ++i)
        if (m_elements[i] != nullptr && definitions[i] != nullptr && (definitions[i]->GetPassBits() & 32) != 0 &&
            (definitions[i]->GetViewMask() & view) != 0)
            mask |= definitions[i]->GetChannelMask(m_elements[i]);
    return mask;
}

bool SFXContext::DrawChannel(const Matrix& world, uint32_t passFlags)
{
    (void)world;
    if (m_active == 0 || m_renderDefinition == nullptr)
        return false;
    passFlags = (passFlags & m_passAndMask) | m_passOrMask;
    const uint32_t view = ViewBit(passFlags);
    Matrix keep;
    Matrix unit;
    ComputeParentMatrices(*m_renderDefinition, GetWorld(), keep, unit);
    const Dynarray<SFXElementDefinition*>& definitions = m_renderDefinition->GetElements();
    const int32_t count = std::min(m_elementCount, definitions.Count());
    bool drawn = false;
    for (int32_t i = 0; i < count; ++i)
    {
        SFXElementContext* const element = m_elements[i];
        const SFXElementDefinition* const definition = definitions[i];
        if (element == nullptr || definition == nullptr || (definition->GetPassBits() & 32) == 0 ||
            (definition->GetViewMask() & view) == 0)
            continue;
        definition->DrawChannel(ElementDrawMatrix(*definition, *element, keep, unit), element);
        drawn = true;
    }
    return drawn;
}
