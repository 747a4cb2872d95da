#include "effects/sfx/SFXDefinition.h"

#include "core/console/GameConsole.h"
#include "effects/SFXContext.h"
#include "platform/os/Sync.h"
#include "renderer/NorvexRenderer.h"

namespace
{
constexpr uint32_t kScaleForAllFlags = 0x40;

// Nothing the render thread runs may still read data that is about to change. Only the game
// thread writes the stream: a template body loading on the resource thread has nothing to drain
// there (the effects it is for start once it is loaded).
void DrainRenderStream()
{
    if (gRenderer != nullptr && gRenderer->IsGameThread())
        gRenderer->SubmitCommands(true);
}

// The registry of every live definition; made on first use and never destroyed, so definitions
// that die during static destruction still find it.
struct Registry
{
    os::CriticalSection lock;
    SFXDefinition* head = nullptr;
    SFXDefinition* tail = nullptr;
    int32_t count = 0;
};

Registry& GetRegistry()
{
    static Registry* const registry = new Registry;
    return *registry;
}
} // namespace

RTTI_DEFINE_CLASS(SFXDefinition, RTTIPolyBaseClass)

void SFXDefinition::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = SFXDefinition;
    table.AddProperty(
        new RTTIDynarrayOfPolyObjectPointersProperty<C, SFXElementDefinition>("Element definitions", &C::m_elements));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, float>("Delete timeout", &C::m_deleteTimeout));
    table.AddProperty(
        new RTTIDirectAccessTypedProperty<C, Vector>("Scale for all elements", &C::m_scaleForAll, kScaleForAllFlags));
}

SFXDefinition::SFXDefinition() : m_scaleForAll(1.0f, 1.0f, 1.0f, 1.0f)
{
    Registry& registry = GetRegistry();
    os::ScopedLock lock(registry.lock);
    m_registryPrevious = registry.tail;
    if (registry.tail != nullptr)
        registry.tail->m_registryNext = this;
    else
        registry.head = this;
    registry.tail = this;
    ++registry.count;
}

SFXDefinition::~SFXDefinition()
{
    {
        Registry& registry = GetRegistry();
        os::ScopedLock lock(registry.lock);
        (m_registryPrevious != nullptr ? m_registryPrevious->m_registryNext : registry.head) = m_registryNext;
        (m_registryNext != nullptr ? m_registryNext->m_registryPrevious : registry.tail) = m_registryPrevious;
        --registry.count;
    }
    StopWaitingForArrivals();
    SettleHandOvers();
    // Contexts should be released before their definition; one that is not must not keep a
    // pointer to freed memory on either side. The render thread may be drawing it with this
    // definition right now, so it is told in stream order to drop its elements and the definition,
    // and the drain waits until it has, before the elements go.
    if (m_contextHead != nullptr)
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "SFXDefinition destroyed while effects still play it");
        while (m_contextHead != nullptr)
        {
            SFXContext& context = *m_contextHead;
            UnlinkContext(context);
            context.PostDetachDefinition();
        }
        DrainRenderStream();
    }
    m_elements.DeleteAllPointers();
}

void SFXDefinition::InvalidateSafePointers()
{
    RTTIPolyBaseClass::InvalidateSafePointers();
    for (SFXElementDefinition* element : m_elements)
        if (element != nullptr)
            element->InvalidateSafePointers();
}

void SFXDefinition::OnBeforePropertiesChanged()
{
    DrainRenderStream();
}

void SFXDefinition::OnPropertyChanged(const RTTIProperty* property)
{
    (void)property;
    ResolveElements(true);
    ReinitContexts(false);
}

void SFXDefinition::OnPreLoad(uint32_t flags)
{
    if ((flags & 4) == 0)
        DrainRenderStream();
}

void SFXDefinition::OnPostLoad(uint32_t flags)
{
    for (SFXElementDefinition* element : m_elements)
        if (element != nullptr)
            element->SetOwner(this);
    ResolveElements((flags & 4) == 0);
}

void SFXDefinition::ResolveElements(bool load)
{
    SettleHandOvers();
    for (SFXElementDefinition* element : m_elements)
        if (element != nullptr)
            element->ResolveResources(load);
    AggregateElementPasses();
}

void SFXDefinition::AggregateElementPasses()
{
    m_passBits = 0;
    m_depthPass = 0;
    m_flag32 = 0;
    for (const SFXElementDefinition* element : m_elements)
    {
        if (element == nullptr)
            continue;
        m_passBits |= element->GetPassBits();
        m_depthPass |= element->GetDepthPassByte();
        m_flag32 |= element->GetFlag32Byte();
    }
}

bool SFXDefinition::HasPendingTemplates(bool nested) const
{
    for (const SFXElementDefinition* element : m_elements)
        if (element != nullptr && !(nested && element->IsNestedSfx()) && element->IsTemplatePending())
            return true;
    return false;
}

void SFXDefinition::TakeLoadedTemplates(bool nested)
{
    if (!HasPendingTemplates(nested))
        return;
    SettleHandOvers();
    if (m_contextHead != nullptr)
        DrainRenderStream();
    for (SFXElementDefinition* element : m_elements)
        if (element != nullptr && !(nested && element->IsNestedSfx()) && element->IsTemplatePending())
            element->TakeLoadedTemplate();
    AggregateElementPasses();
}

void SFXDefinition::PrepareElementRefresh(bool nested)
{
    TakeLoadedTemplates(nested);
    DrainRenderStream();
}

void SFXDefinition::ReleaseElementResources(uint32_t flag)
{
    for (SFXElementDefinition* element : m_elements)
        if (element != nullptr)
            element->ReleaseResources(flag);
}

void SFXDefinition::PreloadElementResources()
{
    DrainRenderStream();
    for (SFXElementDefinition* element : m_elements)
        if (element != nullptr)
            element->PreloadResources();
}

void SFXDefinition::SetElementResourceFlags(uint32_t flags)
{
    for (SFXElementDefinition* element : m_elements)
        if (element != nullptr)
            element->SetResourceFlags(flags);
}

void SFXDefinition::DeleteUnflaggedElements()
{
    DrainRenderStream();
    int32_t kept = 0;
    for (int32_t i = 0; i < m_elements.Count(); ++i)
    {
        SFXElementDefinition* const element = m_elements[i];
        // Empty slots of a stored list are dropped with the disabled elements.
        if (element != nullptr && element->IsEnabled())
            m_elements[kept++] = element;
        else
            delete element;
    }
    while (m_elements.Count() > kept)
        m_elements.RemoveAt(m_elements.Count() - 1);
    ReinitContexts(false);
}

void SFXDefinition::ReinitContexts(bool carryOver)
{
    for (SFXContext* context = m_contextHead; context != nullptr; context = context->m_definitionNext)
        context->Init(*this, Matrix::ONE, carryOver, 0);
}

void SFXDefinition::LinkContext(SFXContext& context)
{
    if (context.m_definition == this)
        return;
    if (context.m_definition != nullptr)
        context.m_definition->UnlinkContext(context);
    context.m_definition = this;
    context.m_definitionPrevious = m_contextTail;
    context.m_definitionNext = nullptr;
    (m_contextTail != nullptr ? m_contextTail->m_definitionNext : m_contextHead) = &context;
    m_contextTail = &context;
}

void SFXDefinition::UnlinkContext(SFXContext& context)
{
    if (context.m_definition != this)
        return;
    (context.m_definitionPrevious != nullptr ? context.m_definitionPrevious->m_definitionNext : m_contextHead) =
        context.m_definitionNext;
    (context.m_definitionNext != nullptr ? context.m_definitionNext->m_definitionPrevious : m_contextTail) =
        context.m_definitionPrevious;
    context.m_definitionPrevious = nullptr;
    context.m_definitionNext = nullptr;
    context.m_definition = nullptr;
}

void SFXDefinition::WalkRegistry(const std::function<void(SFXDefinition&)>& visit)
{
    Registry& registry = GetRegistry();
    os::ScopedLock lock(registry.lock);
    for (SFXDefinition* definition = registry.head; definition != nullptr; definition = definition->m_registryNext)
        visit(*definition);
}

int32_t SFXDefinition::GetRegistryCount()
{
    Registry& registry = GetRegistry();
    os::ScopedLock lock(registry.lock);
    return registry.count;
}
