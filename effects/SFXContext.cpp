#include "effects/SFXContext.h"

#include "core/console/GameConsole.h"
#include "effects/sfx/SFXDefinition.h"
#include "effects/sfx/SFXElementContext.h"
#include "renderer/NorvexRenderer.h"
#include "renderer/RenderCommands.h"

#include <cmath>
#include <cstring>
#include <utility>

namespace rp = renderpayload;

namespace
{
// Game thread, after the post that deletes the element contexts that held the references.
void ReleaseTemplates(const Dynarray<EntityTemplate*>& references)
{
    for (EntityTemplate* reference : references)
        reference->Release();
}
} // namespace

SFXContext* SFXContext::sActiveHead = nullptr;
SFXContext* SFXContext::sActiveTail = nullptr;

SFXContext::SFXContext(NorvexRenderer& renderer, EntityTemplate* effectTemplate, uint32_t renderingFlags, bool nested,
                       bool useSceneColor)
    : EntityRenderingContext(renderer, renderingFlags), m_template(effectTemplate), m_renderingFlags(renderingFlags),
      m_useSceneColor(useSceneColor ? 1 : 0), m_nested(nested ? 1 : 0)
{
}

void SFXContext::ComputeParentMatrices(const SFXDefinition& definition, const Matrix& world, Matrix& keep,
                                       Matrix& unit)
{
    const Vector& scale = definition.GetScaleForAllElements();
    const float factors[3] = {scale.x, scale.y, scale.z};
    keep = world;
    unit = world;
    for (int row = 0; row < 3; ++row)
    {
        Vector& k = keep.rows[row];
        k = Vector(k.x * factors[row], k.y * factors[row], k.z * factors[row], k.w * factors[row]);
        Vector& u = unit.rows[row];
        const float squares = u.x * u.x + u.y * u.y + u.z * u.z;
        // A collapsed axis stays collapsed instead of becoming infinite.
        const float inverse = squares > 0.0f ? factors[row] / std::sqrt(squares) : 0.0f;
        u = Vector(u.x * inverse, u.y * inverse, u.z * inverse, u.w * inverse);
    }
}

void SFXContext::Init(SFXDefinition& definition, const Matrix& matrix, bool carryOver, uint32_t initFlags)
{
    const bool first = m_definition == nullptr;
    // The passes and boxes read below and drawn from are those of the templates' bodies, even for an
    // effect read from its file before its templates came in.
    (first ? definition : *m_definition).TakeLoadedTemplates(m_nested != 0);
    if (first)
    {
        definition.LinkContext(*this);
        m_renderingFlags = definition.GetDepthPassByte() != 0 ? m_renderingFlags | kFlagDepthPass
                                                              : m_renderingFlags & ~kFlagDepthPass;
        m_renderingFlags = definition.GetFlag32Byte() != 0 ? m_renderingFlags | kFlagChannelPass
                                                           : m_renderingFlags & ~kFlagChannelPass;
        // Effects with depth-pass elements are the shadow map's casters.
        SetContextFlag(kFlagCastsShadows, (m_renderingFlags & kFlagDepthPass) != 0);
    }
    // The references of the element contexts this install replaces.
    Dynarray<EntityTemplate*> replaced;
    UnlinkNestedContexts(replaced);
    m_finished.store(0, std::memory_order_release);

    Matrix keep;
    Matrix unit;
    ComputeParentMatrices(*m_definition, matrix, keep, unit);
    const Dynarray<SFXElementDefinition*>& definitions = m_definition->GetElements();
    const int32_t count = definitions.Count();
    SFXElementContext** const elements = count > 0 ? new SFXElementContext*[size_t(count)] : nullptr;
    bool refusedNesting = false;
    for (int32_t i = 0; i < count; ++i)
    {
        elements[i] = nullptr;
        const SFXElementDefinition* const element = definitions[i];
        if (element == nullptr)
            continue;
        if (m_nested != 0 && element->IsNestedSfx())
        {
            if (!refusedNesting)
                gConsole.Error(CONSOLE_CHANNEL_ENGINE,
                               "SFXes with nested SFXes with nested SFXes are not allowed! Don't be silly...");
            refusedNesting = true;
            continue;
        }
        if (!element->IsEnabled())
            continue;
        SFXElementContext* const context = element->CreateContext();
        if (context == nullptr)
            continue;
        elements[i] = context;
        context->Init(*element, element->ScalesWithParent() ? keep : unit, m_renderingFlags, initFlags);
        if (EntityTemplate* const reference = context->TakeTemplateReference())
            m_templateReferences.Add(reference);
        if (SFXContext* nested = context->GetNestedContext())
        {
            m_renderer.SubmitCommands(true);
            m_nestedContexts.Add(nested);
        }
    }

    if (!first)
    {
        // The render thread is idle after the drain: the installed element contexts can be read.
        m_renderer.SubmitCommands(true);
        if (carryOver && count == m_elementCount)
            for (int32_t i = 0; i < count; ++i)
            {
                SFXElementContext* const old = m_elements[i];
                SFXElementContext* const fresh = elements[i];
                if (old == nullptr || fresh == nullptr || definitions[i] == nullptr)
                    continue;
                for (const SFXEnvelopeBinding& binding : definitions[i]->GetEnvelopeBindings())
                    fresh->GetState(binding.state) = old->GetState(binding.state);
                fresh->TakeOver(*old);
            }
    }
    // The definition travels with its element contexts: the render side draws them with it.
    if (BeginSfxCall(SUB_INSTALL, rp::kU32 + rp::kPointer + rp::kU8 + rp::kPointer))
    {
        RenderCommandWriter& writer = m_renderer.GetWriter();
        writer.Put(uint32_t(count));
        writer.Put(elements);
        writer.Put(uint8_t(first ? 1 : 0));
        const SFXDefinition* const definition = m_definition;
        writer.Put(definition);
        ReleaseTemplates(replaced);
        return;
    }
    // The render thread never sees these element contexts: they die here, and the installed ones
    // keep their references until they go.
    for (int32_t i = 0; i < count; ++i)
        delete elements[i];
    delete[] elements;
    ReleaseTemplates(m_templateReferences);
    m_templateReferences = std::move(replaced);
}

bool SFXContext::BeginSfxCall(uint32_t subOperation, uint32_t argumentBytes)
{
    if (!m_renderer.WriteCall(&SFXContext::CommandThunk, subOperation, rp::kPointer + argumentBytes))
        return false;
    m_renderer.GetWriter().Put(this);
    return true;
}

bool SFXContext::BeginNamedCall(uint32_t subOperation, uint32_t fixedBytes, uint32_t nameBytes)
{
    // Measured before any narrowing, so no length can wrap into a small one.
    const size_t total = size_t(rp::kCallHeader) + rp::kPointer + fixedBytes + rp::kU32 + size_t(nameBytes);
    if (total > kMaxRenderPayloadBytes)
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "SFX element name of %u bytes does not fit a render command",
                       nameBytes);
        return false;
    }
    return BeginSfxCall(subOperation, fixedBytes + rp::kU32 + nameBytes);
}

namespace
{
// A name's length without its terminator, saturated so that a huge one is still refused.
uint32_t NameLength(const char* name)
{
    const size_t length = std::strlen(name);
    return length < size_t(kMaxRenderPayloadBytes) ? uint32_t(length) : kMaxRenderPayloadBytes;
}
} // namespace

void SFXContext::PostRestart(uint8_t unused, uint8_t skip)
{
    if (!BeginSfxCall(SUB_RESTART, 2 * rp::kU8))
        return;
    m_renderer.GetWriter().Put(unused);
    m_renderer.GetWriter().Put(skip);
}

void SFXContext::PostSubOp1()
{
    BeginSfxCall(SUB_STOP, 0);
}

void SFXContext::PostSetSpeedMultiplier(float multiplier)
{
    if (BeginSfxCall(SUB_SPEED, rp::kFloat))
        m_renderer.GetWriter().Put(multiplier);
}

void SFXContext::PostSetSpawnRateMultiplier(float multiplier)
{
    if (BeginSfxCall(SUB_SPAWN_RATE, rp::kFloat))
        m_renderer.GetWriter().Put(multiplier);
}

void SFXContext::PostSetElementLocalColor(const char* name, const Vector& color)
{
    const uint32_t length = NameLength(name != nullptr ? name : "");
    if (!BeginNamedCall(SUB_ELEMENT_COLOR, rp::kVector, length + 1))
        return;
    RenderCommandWriter& writer = m_renderer.GetWriter();
    writer.Put(color);
    writer.Put(length);
    writer.Write(name != nullptr ? name : "", length + 1);
}

void SFXContext::PostSetElementSpeedMultiplier(const char* name, float multiplier)
{
    const uint32_t length = NameLength(name != nullptr ? name : "");
    if (!BeginNamedCall(SUB_ELEMENT_SPEED, rp::kFloat, length + 1))
        return;
    RenderCommandWriter& writer = m_renderer.GetWriter();
    writer.Put(multiplier);
    writer.Put(length);
    writer.Write(name != nullptr ? name : "", length + 1);
}

void SFXContext::PostSetElementLifeMultiplier(const char* name, float multiplier)
{
    const uint32_t length = NameLength(name != nullptr ? name : "");
    if (!BeginNamedCall(SUB_ELEMENT_LIFE, rp::kFloat, length + 1))
        return;
    RenderCommandWriter& writer = m_renderer.GetWriter();
    writer.Put(multiplier);
    writer.Put(length);
    writer.Write(name != nullptr ? name : "", length + 1);
}

void SFXContext::PostBreakLoop(const char* name)
{
    // The length counts the terminator; 0 names every loop.
    const uint32_t bytes = name != nullptr ? NameLength(name) + 1 : 0;
    if (!BeginNamedCall(SUB_BREAK_LOOP, 0, bytes))
        return;
    m_renderer.GetWriter().Put(bytes);
    m_renderer.GetWriter().Write(name, bytes);
}

void SFXContext::PostActivateLoop(const char* name)
{
    const uint32_t bytes = name != nullptr ? NameLength(name) + 1 : 0;
    if (!BeginNamedCall(SUB_ACTIVATE_LOOP, 0, bytes))
        return;
    m_renderer.GetWriter().Put(bytes);
    m_renderer.GetWriter().Write(name, bytes);
}

void SFXContext::PostFadeOutSound(float seconds, uint8_t mute)
{
    if (!BeginSfxCall(SUB_FADE_OUT_SOUND, rp::kFloat + rp::kU8))
        return;
    m_renderer.GetWriter().Put(seconds);
    m_renderer.GetWriter().Put(mute);
}

void SFXContext::PostAdvanceTime(float seconds)
{
    if (BeginSfxCall(SUB_ADVANCE_TIME, rp::kFloat))
        m_renderer.GetWriter().Put(seconds);
}

void SFXContext::PostSetPassMasks(uint32_t andMask, uint32_t orMask)
{
    if (!BeginSfxCall(SUB_PASS_MASKS, 2 * rp::kU32))
        return;
    m_renderer.GetWriter().Put(andMask);
    m_renderer.GetWriter().Put(orMask);
}

void SFXContext::PostSetSpawner(ParticleSpawner* spawner)
{
    if (BeginSfxCall(SUB_SPAWNER, rp::kPointer))
        m_renderer.GetWriter().Put(spawner);
}

void SFXContext::PostSetColor(const Vector& color)
{
    if (BeginSfxCall(SUB_COLOR, rp::kVector))
        m_renderer.GetWriter().Put(color);
}

void SFXContext::PostSubOp16(const EntityTemplate* meshTemplate)
{
    if (m_definition == nullptr || meshTemplate == nullptr)
        return;
    const Dynarray<SFXElementDefinition*>& elements = m_definition->GetElements();
    bool prepared = false;
    for (int32_t i = 0; i < elements.Count(); ++i)
    {
        SFXElementDefinition* const element = elements[i];
        if (element == nullptr || element->GetResource() != meshTemplate)
            continue;
        if (!prepared)
        {
            m_definition->PrepareElementRefresh(m_nested != 0);
            prepared = true;
        }
        element->RefreshResource();
        if (!BeginSfxCall(SUB_MESH_TEMPLATE_CHANGED, rp::kU32 + rp::kPointer))
            return;
        m_renderer.GetWriter().Put(uint32_t(i));
        m_renderer.GetWriter().Put(element);
    }
}

void SFXContext::PostDetachDefinition()
{
    // The nested contexts die with the element contexts that the detach deletes.
    Dynarray<EntityTemplate*> references;
    UnlinkNestedContexts(references);
    // Only the game thread writes the stream and counts template users; elsewhere the definition's
    // owner must have released its effects first (an evicted template has no effect left), and the
    // references stay until the release.
    if (!m_renderer.IsGameThread())
    {
        m_templateReferences = std::move(references);
        return;
    }
    BeginSfxCall(SUB_DETACH_DEFINITION, 0);
    ReleaseTemplates(references);
}

// Only the game-side links change here: the render thread may be drawing this context (or a nested
// one) at this moment and keeps its own definition until the posted deletion runs.
void SFXContext::Release()
{
    if (m_definition != nullptr)
        m_definition->UnlinkContext(*this);
    Dynarray<EntityTemplate*> references;
    UnlinkNestedContexts(references);
    // Once the deletion is posted this context may be gone: only the local list is read after it.
    EntityRenderingContext::Release();
    ReleaseTemplates(references);
}

void SFXContext::UnlinkNestedContexts(Dynarray<EntityTemplate*>& references)
{
    references = std::move(m_templateReferences);
    for (SFXContext* nested : m_nestedContexts)
    {
        if (nested->m_definition != nullptr)
            nested->m_definition->UnlinkContext(*nested);
        for (EntityTemplate* reference : nested->m_templateReferences)
            references.Add(reference);
        nested->m_templateReferences.Clear();
    }
    m_nestedContexts.Clear();
}

bool SFXContext::GetDynamicBounds(BoundingBox4* bounds) const
{
    if (m_publishedCounter.GetIssued() <= m_publishedCounter.GetCompleted())
        return false;
    *bounds = m_publishedBounds;
    m_publishedCounter.IncrementCompleted();
    return true;
}
