// The UI shader table: the vertex and pixel shader objects of each UI shader index (the default UI
// pair is 17, the stencil mask draws with 0). The renderer fills it from its system shaders; an
// index can be set directly, which is how a caller draws with shaders of its own making.
//
// Render thread (any thread while no render thread runs).
#pragma once

#include <cstdint>

class PixelShaderObject;
class VertexShaderObject;

// One row of the table.
struct UIShader
{
    const VertexShaderObject* vertex = nullptr;
    const PixelShaderObject* pixel = nullptr;
};

constexpr uint32_t kUIShaderCount = 18;
constexpr uint32_t kUIShaderMask = 0;
constexpr uint32_t kUIShaderDefault = 17;

// The pair set for the index, else the renderer's system pair of that index once it is resolved;
// both null for an index outside the table or a pair not loaded.
UIShader GetUIShader(uint32_t index);
// Replaces the renderer's pair for the index (null objects give the renderer's pair back).
void SetUIShader(uint32_t index, const VertexShaderObject* vertex, const PixelShaderObject* pixel);
