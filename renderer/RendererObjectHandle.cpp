#include "renderer/RendererObjectHandle.h"

#include "renderer/jobs/TextureHolder.h"

TextureHolder* RendererObjectHandle::AddReference(TextureHolder* handle)
{
    if (handle != nullptr)
        handle->AddReference();
    return handle;
}

void RendererObjectHandle::Release(TextureHolder*& slot)
{
    TextureHolder* const handle = slot;
    slot = nullptr;
    if (handle != nullptr && handle->DropReference() == 0)
    {
        handle->Release();
        delete handle;
    }
}

void RendererObjectHandle::Replace(TextureHolder*& slot, TextureHolder* handle)
{
    // The new reference first: replacing a handle by itself must not free it on the way.
    AddReference(handle);
    Release(slot);
    slot = handle;
}
