#include "renderer/NorvexRendererObject.h"

#include "renderer/NorvexRenderer.h"
#include "renderer/jobs/RendererJobs.h"

RTTI_DEFINE_CLASS_TABLE(NorvexRendererObject, RTTIPolyBaseClass)

void NorvexRendererObject::BuildClassProperties(RTTIPropertiesBase&) {}

void NorvexRendererObject::DestroyOnRenderThread()
{
    delete this;
}

void NorvexRendererObject::PostDeletion(NorvexRendererObject* object, bool inStream, bool wait)
{
    if (object == nullptr)
        return;
    object->m_pendingDelete.store(1, std::memory_order_release);
    if (inStream)
    {
        if (gRenderer != nullptr)
            gRenderer->PostObjectDeletion(object);
        return;
    }
    // A waited deletion gets an event (through PostRendererJob), so its wait ends.
    NorvexRendererObjetDeletionJob* job = new NorvexRendererObjetDeletionJob(object);
    if (!wait)
    {
        job->SetFireAndForget(true);
        PostRendererJob(job, false);
        return;
    }
    PostRendererJob(job, true);
    delete job;
}
