#include "scene/kinds/ParticleTemplate.h"

#include "core/console/GameConsole.h"
#include "effects/ParticleEntity.h"
#include "effects/ParticleSpawner.h"

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

void ParticleTemplate::OnPropertyChanged(const RTTIProperty* property)
{
    m_system.BuildShader(0);
    EntityTemplate::OnPropertyChanged(property);
}

bool ParticleTemplate::DoLoad()
{
    if (!EntityTemplate::DoLoad())
        return false;
    m_system.BuildShader(1);
    return true;
}

void ParticleTemplate::OnUnload()
{
    m_system.ReleaseShader();
}

EntityTemplatePreview* ParticleTemplate::CreatePreviewInstance()
{
    ParticleSpawner* spawner = new ParticleSpawner(m_system, Matrix::ONE);
    spawner->PostSubOp3();
    return spawner;
}

void ParticleTemplate::DestroyPreviewInstance(EntityTemplatePreview* instance)
{
    if (instance != nullptr)
        instance->Destroy();
}

bool ParticleTemplate::DrawPreview(const Matrix& matrix, const HDRColor& color, EntityTemplatePreview* instance)
{
    if (auto* spawner = dynamic_cast<ParticleSpawner*>(instance))
    {
        spawner->PostSetMatrix(matrix);
        // Drawing particle systems belongs to the renderer's particle work.
        static bool reported = false;
        if (!reported)
        {
            reported = true;
            gConsole.Warning(CONSOLE_CHANNEL_RENDER, "ParticleTemplate: drawing particle previews is not built yet");
        }
    }
    return DrawDebugShape(matrix, color, 0, 0);
}
