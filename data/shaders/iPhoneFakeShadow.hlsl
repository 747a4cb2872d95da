// Blob shadows under units, drawn from the dynamic shadow texture.
#include "Common.hlsl"

// The program the graphics stand-in runs for this family.
#pragma program FakeShadow

sampler2D ShadowTexture : register(s0);
float4 ShadowStrength : register(c0);

struct VertexOutput
{
    float4 position : POSITION;
    float2 uv : TEXCOORD0;
};

VertexOutput vertex(float4 position : POSITION, float2 uv : TEXCOORD0)
{
    VertexOutput o;
    o.position = mul(position, ViewProjMatrix);
    o.uv = uv;
    return o;
}

float4 pixel(VertexOutput i) : COLOR0
{
    return float4(0, 0, 0, tex2D(ShadowTexture, i.uv).a * ShadowStrength.x);
}
