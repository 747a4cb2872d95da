// "Outline dilate": widens the side mask (green hostile, red friendly, blue neutral, alpha hero)
// over five taps (the pixel and four kernel offsets), adding each covered tap's side colour; alpha
// marks the border, where some of the taps but not all fall on an outlined side.
#include "Common.hlsl"

// The program the graphics stand-in runs for this family.
#pragma program OutlineDilate

sampler2D OutlineMask : register(s0);
float4 ScreenMapping : register(c0);   // clip xy to texture coordinates: x, y scales, then offsets
float4 KernelOffsets : register(c1);   // pixel: +u, +v, -u, -v
float4 SideColors[4] : register(c2);   // pixel: hostile, friendly, neutral, hero x their alpha x 0.2

struct VertexOutput
{
    float4 position : POSITION;
    float2 uv : TEXCOORD0;
};

VertexOutput vertex(float2 position : POSITION)
{
    VertexOutput o;
    o.position = float4(position, 0, 1);
    o.uv = position * ScreenMapping.xy + ScreenMapping.zw;
    return o;
}

float4 Tap(float2 uv)
{
    float4 m = tex2D(OutlineMask, uv);
    float3 color = m.g * SideColors[0].rgb + m.r * SideColors[1].rgb + m.b * SideColors[2].rgb + m.a * SideColors[3].rgb;
    return float4(color, max(max(m.r, m.g), max(m.b, m.a)) > 0.5 ? 1 : 0);
}

float4 pixel(VertexOutput i) : COLOR0
{
    float4 sum = Tap(i.uv) + Tap(i.uv + float2(KernelOffsets.x, 0)) + Tap(i.uv + float2(KernelOffsets.z, 0)) +
                 Tap(i.uv + float2(0, KernelOffsets.y)) + Tap(i.uv + float2(0, KernelOffsets.w));
    return float4(sum.rgb, sum.a > 0 && sum.a < 5 ? 1 : 0);
}
