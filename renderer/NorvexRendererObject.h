// Objects shared between the threads that must die on the render thread, because commands already
// written may still use them. Created on any thread, marked ready once their device part exists,
// deleted through the command stream (opcode 50) or a fire-and-forget renderer job, both ordered
// after every command written before the request.
#pragma once

#include "core/reflection/RTTIClass.h"

#include <atomic>
#include <cstdint>

// Reflected base of render-side shared objects.
class NorvexRendererObject : public RTTIPolyBaseClass
{
    RTTI_DECLARE_CLASS(NorvexRendererObject, RTTIPolyBaseClass)

public:
    NorvexRendererObject() = default;

    // Render thread: deletes the object (subclasses release their device part first).
    virtual void DestroyOnRenderThread();

    void SetReady() { m_ready.store(1, std::memory_order_release); }
    bool IsReady() const { return m_ready.load(std::memory_order_acquire) != 0; }
    bool IsPendingDelete() const { return m_pendingDelete.load(std::memory_order_acquire) != 0; }

    // inStream (game thread): through the command stream; otherwise through the job queue (any
    // thread). With wait (queue only) returns once the object is gone.
    static void PostDeletion(NorvexRendererObject* object, bool inStream, bool wait);

private:
    std::atomic<uint8_t> m_ready{0};
    std::atomic<uint8_t> m_pendingDelete{0};
};
