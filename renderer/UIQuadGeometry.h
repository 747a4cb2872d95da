// The device objects every UI draw shares: the vertex declaration of the 52-byte UI quad vertex,
// the unit quad (four corners of stride 20, a position and one texture coordinate) with its own
// declaration, the two shared RGBA textures that user images are copied into (one per size class),
// and the static 16-bit index table of 512 quads that the UI quad batches and the font drawing read
// from memory.
//
// Threads: created and released by whoever holds the device (the game thread at device creation,
// else the render thread); read by the render thread's UI draws. The index table is built once and
// read by any thread.
#pragma once

#include <cstdint>

class TextureHolder;

namespace gpu
{
class GpuDevice;
class GpuVertexBuffer;
class GpuVertexDeclaration;
} // namespace gpu

// Owner of the shared UI geometry of the renderer's device.
class UIQuadGeometry
{
public:
    static constexpr uint32_t kMaxIndexedQuads = 512;
    static constexpr uint32_t kIndicesPerQuad = 6;
    static constexpr uint32_t kVertexBytes = 52;
    static constexpr uint32_t kUnitQuadStride = 20;
    // Edge in pixels of the user image texture of size class 0, and of every other class.
    static constexpr uint32_t kSmallUserImageEdge = 64;
    static constexpr uint32_t kLargeUserImageEdge = 128;

    UIQuadGeometry() = default;
    UIQuadGeometry(const UIQuadGeometry&) = delete;
    UIQuadGeometry& operator=(const UIQuadGeometry&) = delete;
    ~UIQuadGeometry() { Release(); }

    // Makes both declarations, the unit quad and the user image textures; false (logged, nothing
    // kept) when the device refuses one of them.
    bool Create(gpu::GpuDevice* device);
    // The device textures go; a holder that a picture still counts lives on empty until its last
    // reference is dropped.
    void Release();

    gpu::GpuVertexDeclaration* GetQuadDeclaration() const { return m_quadDeclaration; }
    gpu::GpuVertexDeclaration* GetUnitQuadDeclaration() const { return m_unitQuadDeclaration; }
    gpu::GpuVertexBuffer* GetUnitQuad() const { return m_unitQuad; }
    // The shared texture of a size class (0, or any other value), null while none exists.
    TextureHolder* GetUserImageTexture(uint32_t sizeClass) const { return m_userImages[sizeClass == 0 ? 0 : 1]; }
    // Quad q uses 4q, 4q+1, 4q+2, 4q, 4q+2, 4q+3.
    static const uint16_t* GetIndices();

private:
    bool CreateUserImages(gpu::GpuDevice* device);

    gpu::GpuVertexDeclaration* m_quadDeclaration = nullptr;
    gpu::GpuVertexDeclaration* m_unitQuadDeclaration = nullptr;
    gpu::GpuVertexBuffer* m_unitQuad = nullptr;
    TextureHolder* m_userImages[2] = {};
};
