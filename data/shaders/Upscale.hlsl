// Scales the semi-resolution frame up to the back buffer.
#include "Common.hlsl"

// The program the graphics stand-in runs for this family.
#pragma program Copy

sampler2D SourceTexture : register(s0);
float4 SourceScaleOffset : register(c0);

struct VertexOutput
{
    float4 position : POSITION;
    float2 uv : TEXCOORD0;
};

VertexOutput vertex(float4 position : POSITION, float2 uv : TEXCOORD0)
{
    VertexOutput o;
    o.position = mul(position, ModelViewProjMatrix);
    o.uv = uv * SourceScaleOffset.xy + SourceScaleOffset.zw;
    return o;
}

float4 pixel(VertexOutput i) : COLOR0
{
    return tex2D(SourceTexture, i.uv);
}
