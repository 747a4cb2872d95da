#include "scene/kinds/PhysicalEffectTemplate.h"

#include "gameplay/physics/PhysicalEffectEntity.h"
#include "renderer/NorvexRenderer.h"
#include "scene/templates/TemplateManager.h"

RTTI_DEFINE_CLASS(PhysicalEffectTemplate, EntityTemplate)

void PhysicalEffectTemplate::BuildClassProperties(RTTIPropertiesBase& table)
{
    table.AddProperty(new RTTIEmbeddedObjectProperty<PhysicalEffectTemplate, PhysicalEffect>(
        "Physical effect definition", &PhysicalEffectTemplate::m_effect));
}

PhysicalEffectTemplate::PhysicalEffectTemplate()
{
    SetTypeId(kTypeId);
    HDRColor color;
    color.FromVector(Vector(1.0f, 0.0f, 0.0f, 1.0f));
    SetWireframeColor(color);
}

Entity* PhysicalEffectTemplate::CreateEntity()
{
    return new PhysicalEffectEntity;
}

void PhysicalEffectTemplate::PrepareDependencies()
{
    if (!m_effect.GetMeshTemplatePath().IsEmpty())
        gTemplateManager.GetTemplate(m_effect.GetMeshTemplatePath().CStr(), true);
    if (!m_effect.GetParticleTemplatePath().IsEmpty())
        gTemplateManager.RequestTemplateByName(m_effect.GetParticleTemplatePath().CStr());
}

void PhysicalEffectTemplate::SetResourceFlags(uint32_t flags)
{
    EntityTemplate::SetResourceFlags(flags);
    // Paths that lead back here (an effect named as its own mesh) must not recurse without end.
    if (m_passingFlags)
        return;
    m_passingFlags = true;
    const NameString* const paths[] = {&m_effect.GetMeshTemplatePath(), &m_effect.GetParticleTemplatePath()};
    for (const NameString* path : paths)
        if (!path->IsEmpty())
            if (EntityTemplate* named = gTemplateManager.GetTemplate(path->CStr(), true))
                named->SetResourceFlags(flags);
    m_passingFlags = false;
}

bool PhysicalEffectTemplate::DrawDebugShape(const Matrix& matrix, const HDRColor&, uint32_t flags, uint32_t)
{
    Vector color(1.0f, 1.0f, 1.0f, 1.0f);
    if ((flags & 2) == 0)
        GetWireframeColor().ToVector(color);
    if (gRenderer != nullptr)
        gRenderer->DebugDrawBox(GetStaticBoundingBox(), matrix, color);
    return true;
}

bool PhysicalEffectTemplate::DrawDebug(const Matrix& matrix, uint32_t flags)
{
    return DrawDebugShape(matrix, HDRColor(), flags, 0);
}
