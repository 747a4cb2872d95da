// "Render outlines": adds the dilated border colour over the image, scaled by the softness weights
// (5k, 5k x softness) with k = 1 / (4 softness + 1); inside and outside the border it adds nothing.
#include "Common.hlsl"

// The program the graphics stand-in runs for this family, with the switch the option sets.
#pragma program OutlineComposite
#ifdef LOW_SPEC_MODE
#pragma program LowSpec
#endif

sampler2D DilatedOutlines : register(s0);
float4 ScreenMapping : register(c0);   // clip xy to texture coordinates: x, y scales, then offsets
float4 SoftnessWeights : register(c1); // pixel

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

float4 pixel(VertexOutput i) : COLOR0
{
    float4 d = tex2D(DilatedOutlines, i.uv);
    return float4(d.rgb * d.a * (SoftnessWeights.x + SoftnessWeights.y), d.a);
}
