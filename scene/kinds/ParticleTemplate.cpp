#include "scene/kinds/ParticleTemplate.h"

#include "core/console/GameConsole.h"
#include "effects/particles/ParticleEntity.h"
#include "effects/particles/ParticleSystemContext.h"
#include "renderer/NorvexRenderer.h"

RTTI_DEFINE_CLASS(ParticleTemplate, EntityTemplate)

void ParticleTemplate::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = ParticleTemplate;
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, bool>("Offscreen processing", &C::m_offscreenProcessing));
    table.AddProperty(new RTTIEmbeddedObjectProperty<C, ParticleSystem>("Particle system definition", &C::m_system));
}

ParticleTemplate::ParticleTemplate()
{
    SetTypeId(kTypeId);
    SetWireframeColor(HDRColor(80, 240, 120, 255));
}

Entity* ParticleTemplate::CreateEntity()
{
    return new ParticleEntity;
}

ParticleTemplatePreview::ParticleTemplatePreview(const ParticleSystem& system)
    : m_context(new ParticleSystemContext(system, Matrix::ONE, 0))
{
    m_context->PostRestart();
}

void ParticleTemplatePreview::Destroy()
{
    m_context->PostDestroy();
    delete this;
}

void ParticleTemplate::OnPropertyChanged(const RTTIProperty* property)
{
    m_system.BuildShader(false);
    EntityTemplate::OnPropertyChanged(property);
}

bool ParticleTemplate::DoLoad()
{
    if (!EntityTemplate::DoLoad())
        return false;
    m_system.BuildShader(true);
    return true;
}

void ParticleTemplate::OnUnload()
{
    m_system.ReleaseShader();
}

EntityTemplatePreview* ParticleTemplate::CreatePreviewInstance()
{
    // A body read on the resource thread keeps its particles' mesh only when that had come in
    // already; the preview's context would otherwise play without the mesh for its whole life.
    m_system.WaitForMeshTemplate();
    return new ParticleTemplatePreview(m_system);
}

void ParticleTemplate::DestroyPreviewInstance(EntityTemplatePreview* instance)
{
    if (instance != nullptr)
        instance->Destroy();
}

bool ParticleTemplate::DrawPreview(const Matrix& matrix, const HDRColor& color, EntityTemplatePreview* instance)
{
    if (auto* preview = dynamic_cast<ParticleTemplatePreview*>(instance); preview != nullptr && gRenderer != nullptr)
    {
        Vector colorVector;
        color.ToVector(colorVector);
        preview->GetContext()->PostSetMatrix(matrix);
        gRenderer->DrawParticleSystem(preview->GetContext(), matrix,
                                      BoundingBox4(Vector(-1.0f, -1.0f, -1.0f, 1.0f), Vector(1.0f, 1.0f, 1.0f, 1.0f)),
                                      colorVector);
    }
    return DrawDebugShape(matrix, color, 0, 0);
}
