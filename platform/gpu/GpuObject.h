// Reference-counted base of every graphics stand-in object, with process-wide live counts per kind
// so that tests and shutdown checks can see leaks. AddRef and Release may be called from any
// thread; the object dies on the thread that drops the last reference.
#pragma once

#include <atomic>
#include <cstdint>

namespace gpu
{
class GpuDevice;

enum class ObjectKind : uint8_t
{
    Factory,
    Device,
    SwapChain,
    Surface,
    Texture,
    CubeTexture,
    VertexBuffer,
    IndexBuffer,
    VertexDeclaration,
    VertexShader,
    PixelShader,
    Query,
    Blob,
    ConstantTable,
    Count
};
const char* ObjectKindName(ObjectKind kind);

// Objects alive right now, by kind or all together.
uint32_t LiveObjectCount(ObjectKind kind);
uint32_t LiveObjectTotal();

// Shared by all stand-in objects: a reference count starting at 1 and a process-unique id.
class GpuObject
{
public:
    GpuObject(const GpuObject&) = delete;
    GpuObject& operator=(const GpuObject&) = delete;

    // Both answer the new count; Release deletes the object at 0.
    virtual uint32_t AddRef();
    virtual uint32_t Release();
    uint32_t GetRefCount() const { return m_refs.load(std::memory_order_acquire); }

    ObjectKind GetKind() const { return m_kind; }
    // Process-unique, never 0; draw records name objects by it.
    uint64_t GetId() const { return m_id; }

protected:
    // Uncounted objects are parts of another object (the levels of a texture).
    explicit GpuObject(ObjectKind kind, bool counted = true);
    virtual ~GpuObject();

private:
    std::atomic<uint32_t> m_refs{1};
    const uint64_t m_id;
    const ObjectKind m_kind;
    const bool m_counted;
};

// A device-created object. It keeps a plain pointer to its device, which the device clears when it
// dies first (the leak is logged); the device keeps the list of its live resources.
class GpuResource : public GpuObject
{
public:
    GpuDevice* GetDevice() const { return m_device; }
    uint32_t GetPool() const { return m_pool; }
    // True for objects that must be released before the device can be reset.
    bool MustReleaseBeforeReset() const { return m_releaseBeforeReset; }

protected:
    // Unregistered resources are parts of a registered one and are not counted either.
    GpuResource(ObjectKind kind, GpuDevice* device, uint32_t pool, bool releaseBeforeReset, bool registered = true);
    ~GpuResource() override;

private:
    friend class GpuDevice;
    // What the device knows of the resource's pixels when it rasterises only some frames
    // (RasterMode::WrittenFrames). Frames are numbered by the presents before them.
    struct FrameContent
    {
        static constexpr uint64_t kNoFrame = ~0ull;
        uint64_t firstWriteFrame = kNoFrame;
        uint64_t accessFrame = kNoFrame; // the last frame that read or wrote it
        bool crossFrame = false;         // a frame read it before writing it: its pixels outlive frames
        bool stale = false;              // its last write was skipped
        bool staleReported = false;
    };
    FrameContent m_frameContent;
    GpuDevice* m_device;
    GpuResource* m_prev = nullptr;
    GpuResource* m_next = nullptr;
    const uint32_t m_pool;
    const bool m_releaseBeforeReset;
    const bool m_registered;
};

// Releases an object and clears the slot that held it.
template <typename T>
void SafeRelease(T*& object)
{
    if (object)
    {
        object->Release();
        object = nullptr;
    }
}
} // namespace gpu
