// "Generate outlines from stencil": full-screen tile quads that write 1 into the colour channel of
// the side being generated (the colour write mask picks it; the stencil test picks the pixels).
#include "Common.hlsl"

// The program the graphics stand-in runs for this family.
#pragma program OutlineMask

float4 vertex(float2 position : POSITION) : POSITION
{
    return float4(position, 0, 1);
}

float4 pixel() : COLOR0
{
    return float4(1, 1, 1, 1);
}
