// Combines the accumulated light buffers with the albedo into the lit frame.
#include "Common.hlsl"

sampler2D AlbedoTexture : register(s0);
sampler2D LightTexture : register(s1);
sampler2D MaskTexture : register(s2);
sampler2D ShadowMapTexture : register(s3);
float4 AmbientColor : register(c0);

struct VertexOutput
{
    float4 position : POSITION;
    float2 uv : TEXCOORD0;
};

VertexOutput vertex(float4 position : POSITION, float2 uv : TEXCOORD0)
{
    VertexOutput o;
    o.position = position;
    o.uv = uv;
    return o;
}

float4 pixel(VertexOutput i) : COLOR0
{
    float4 light = tex2D(LightTexture, i.uv) + AmbientColor;
#ifdef MASK
    light *= tex2D(MaskTexture, i.uv).r;
#endif
#ifdef SHADOWMAP
#ifdef SHADOWMAP_FILTERING
    light *= (tex2D(ShadowMapTexture, i.uv).r + tex2D(ShadowMapTexture, i.uv + ScreenToView.xy).r) * 0.5;
#else
    light *= tex2D(ShadowMapTexture, i.uv).r;
#endif
#endif
#ifdef LOWSPEC
    return tex2D(AlbedoTexture, i.uv) * light.r;
#else
    return tex2D(AlbedoTexture, i.uv) * light;
#endif
}
