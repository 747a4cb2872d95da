// Blob shadows under units: each quad darkens the shadow target by the sprite's alpha times the
// strength its vertices carry; the target keeps the darkest value (blend mode min).
#include "Common.hlsl"

// The program the graphics stand-in runs for this family.
#pragma program FakeShadow

sampler2D ShadowTexture : register(s0);

struct VertexOutput
{
    float4 position : POSITION;
    float3 uvs : TEXCOORD0; // u, v, strength
};

VertexOutput vertex(float4 position : POSITION, float3 uvs : TEXCOORD0)
{
    VertexOutput o;
    o.position = mul(position, ModelViewProjMatrix);
    o.uvs = uvs;
    return o;
}

float4 pixel(VertexOutput i) : COLOR0
{
    return (1 - tex2D(ShadowTexture, i.uvs.xy).a * i.uvs.z).xxxx;
}
