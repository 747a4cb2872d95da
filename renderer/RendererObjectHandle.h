// RendererObjectHandle: the counted references that render-side structures hold on shared device
// textures (TextureHolder is the handle: a device texture and its reference count). A structure
// that keeps a texture keeps one reference of its own, so the game side unloading a texture
// resource cannot free it under the render thread. Adding a reference is safe from any thread that
// itself holds one; releasing belongs to the render thread, which frees the texture at zero.
#pragma once

class TextureHolder;

// Reference helpers over a texture handle slot.
class RendererObjectHandle
{
public:
    // One more reference on the handle (none for null); answers the handle.
    static TextureHolder* AddReference(TextureHolder* handle);
    // Render thread: drops the slot's reference (freeing the texture at zero) and clears the slot.
    static void Release(TextureHolder*& slot);
    // Render thread: the slot takes `handle` with one reference of its own, releasing what it held.
    static void Replace(TextureHolder*& slot, TextureHolder* handle);
};
