// The handle of one shader variant: its vertex and pixel shader resources and, once resolved, their
// shader objects. Requested and resolved on the game thread (or a loader); bound and given constants
// on the render thread only, after it was resolved.
#pragma once

#include <cstdint>

class Resource;
class ShaderObject;

// Vertex and pixel shader resources and objects; owns one reference on each resource.
class ShaderPair
{
public:
    // All empty.
    void Clear();
    // Releases what the pair holds, then asks the shader manager for the variant (asynchronous
    // load). False when the family or its resources do not exist.
    bool Load(const char* name, const char* options, uint32_t resourceFlags);
    // Takes the shader objects from the resources (null for a resource of the other kind).
    void Resolve();
    // Releases both resources and clears the pair.
    void Release();
    // Both shader objects present.
    bool IsValid() const { return m_vertexObject != nullptr && m_pixelObject != nullptr; }

    // Render thread.
    void Bind() const;
    void SetVertexConstants(uint32_t firstRegister, const float* data, uint32_t vec4Count) const;
    void SetPixelConstants(uint32_t firstRegister, const float* data, uint32_t vec4Count) const;

    Resource* m_vertexResource = nullptr;
    Resource* m_pixelResource = nullptr;
    ShaderObject* m_vertexObject = nullptr;
    ShaderObject* m_pixelObject = nullptr;
};
