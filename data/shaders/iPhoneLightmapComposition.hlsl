// Composes the fake shadows into the scene lightmap.
#include "Common.hlsl"

sampler2D LightmapTexture : register(s0);
sampler2D ShadowTexture : register(s1);
float4 LightmapUVMulAdd;

struct VertexOutput
{
    float4 position : POSITION;
    float2 uv : TEXCOORD0;
};

VertexOutput vertex(float4 position : POSITION, float2 uv : TEXCOORD0)
{
    VertexOutput o;
    o.position = mul(position, ModelViewProjMatrix);
    o.uv = uv * LightmapUVMulAdd.xy + LightmapUVMulAdd.zw;
    return o;
}

float4 pixel(VertexOutput i) : COLOR0
{
    return tex2D(LightmapTexture, i.uv) * (1 - tex2D(ShadowTexture, i.uv).a);
}
