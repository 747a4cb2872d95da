#include "scene/kinds/SFXTemplate.h"

#include "core/console/GameConsole.h"
#include "core/reflection/RecordStream.h"
#include "effects/SFXContext.h"
#include "effects/sfx/SFXDefinition.h"
#include "effects/SFXEntity.h"
#include "renderer/NorvexRenderer.h"

namespace
{
const char* const kActivityTimerNames[] = {"Gameplay", "System", "Game", nullptr};
} // namespace

const BoundingBox4 kTemplatePreviewBounds(Vector(-1.0f, -1.0f, -1.0f, 1.0f), Vector(1.0f, 1.0f, 1.0f, 1.0f));

RTTI_DEFINE_CLASS(SFXTemplate, EntityTemplate)

void SFXTemplate::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = SFXTemplate;
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, uint8_t>("Activity timer", &C::m_activityTimer,
                                                                    RTTI_PROPERTY_ENUMERATION))
        ->SetEnumerationNames(kActivityTimerNames);
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, bool>("Offscreen processing", &C::m_offscreenProcessing));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, float>("Activation at start delay", &C::m_activationDelay));
    table.AddProperty(
        new RTTIDirectAccessTypedProperty<C, bool>("Constant BoundingBox Update Enabled", &C::m_constantBoundsUpdate));
    table.AddProperty(
        new RTTIDirectAccessTypedProperty<C, bool>("Use FSE SFX Color Multiplier", &C::m_useSFXColorMultiplier));
}

SFXTemplate::SFXTemplate() : m_definition(new SFXDefinition)
{
    SetTypeId(kTypeId);
    SetWireframeColor(HDRColor(255, 0, 255, 255));
}

SFXTemplate::~SFXTemplate()
{
    // Effects playing on the render thread read the definition until every posted command ran. Only
    // the game thread writes (and drains) the stream; the resource thread evicts a template only
    // once no entity uses it, after the game thread submitted the releases of its effects.
    if (gRenderer != nullptr && gRenderer->IsGameThread())
        gRenderer->SubmitCommands(true);
    m_definition->ReleaseElementResources(0);
    delete m_definition;
}

Entity* SFXTemplate::CreateEntity()
{
    return new SFXEntity;
}

void SFXTemplate::InvalidateSafePointers()
{
    EntityTemplate::InvalidateSafePointers();
    m_definition->InvalidateSafePointers();
}

size_t SFXTemplate::SerializeToMemory(uint8_t* buffer, size_t capacity, uint32_t flags)
{
    const size_t own = EntityTemplate::SerializeToMemory(buffer, capacity, flags);
    if (own == 0)
        return 0;
    if (buffer == nullptr)
        return own + m_definition->SerializeToMemory(nullptr, 0, flags);
    const size_t definition = m_definition->SerializeToMemory(buffer + own, capacity - own, flags);
    // An empty definition still writes its fields; nothing written means it did not fit.
    return definition != 0 ? own + definition : 0;
}

bool SFXTemplate::DeserializeFromMemory(const uint8_t* buffer, size_t size, uint32_t flags, size_t* consumed)
{
    // Both records are checked before either is read, so a template whose definition is cut short
    // is not left half read.
    RecordInput probe(buffer, size);
    if (!GetClassProperties()->ValidateObject(probe, flags) ||
        !SFXDefinition::StaticClassProperties()->ValidateObject(probe, flags))
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "SFX template %s: the record or its effect definition is not whole",
                       GetFileName());
        return false;
    }
    size_t own = 0;
    size_t definition = 0;
    if (!EntityTemplate::DeserializeFromMemory(buffer, size, flags, &own) ||
        !m_definition->DeserializeFromMemory(buffer + own, size - own, flags, &definition))
        return false;
    if (consumed != nullptr)
        *consumed = own + definition;
    // A body the resource manager reads took its elements' templates without waiting for them.
    if (GetPool() != nullptr && m_definition->WaitsForArrivals())
        m_definition->WaitForArrivals(*this);
    return true;
}

void SFXTemplate::DeleteUnflaggedResources()
{
    m_definition->DeleteUnflaggedElements();
}

void SFXTemplate::PrepareDependencies()
{
    m_definition->PreloadElementResources();
}

void SFXTemplate::SetResourceFlags(uint32_t flags)
{
    EntityTemplate::SetResourceFlags(flags);
    m_definition->SetElementResourceFlags(flags);
}

void SFXTemplate::OnUnload()
{
    m_definition->ReleaseElementResources(0);
}

EntityTemplatePreview* SFXTemplate::CreatePreviewInstance()
{
    if (gRenderer == nullptr)
        return nullptr;
    SFXContext* context = new SFXContext(*gRenderer, this, SFXContext::kFlagNoGrid, false);
    context->Init(*m_definition, Matrix::ONE, false, 1);
    context->PostRestart(1, 0);
    return context;
}

void SFXTemplate::DestroyPreviewInstance(EntityTemplatePreview* instance)
{
    if (instance != nullptr)
        instance->Destroy();
}

bool SFXTemplate::DrawPreview(const Matrix& matrix, const HDRColor& color, EntityTemplatePreview* instance)
{
    if (auto* context = dynamic_cast<SFXContext*>(instance); context != nullptr && gRenderer != nullptr)
    {
        context->SetTransformAndBounds(matrix, matrix, false, kTemplatePreviewBounds);
        gRenderer->AddRenderTask(context, 224);
    }
    return DrawDebugShape(matrix, color, 0, 0);
}
