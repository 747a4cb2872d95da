// Deferred point, spot and tube lights over the light volume.
#include "Common.hlsl"

sampler2D NormalTexture : register(s0);
sampler2D MaskTexture : register(s1);
sampler2D ShadowMapTexture : register(s2);
float4 LightPosition : register(c0);
float4 LightColor : register(c1);
float4 LightFalloff : register(c2);
float4 SpotDirection : register(c3);
float4 TubeAxis : register(c4);
float4x4 ShadowMatrix : register(c5);

struct VertexOutput
{
    float4 position : POSITION;
    float4 screen : TEXCOORD0;
};

VertexOutput vertex(float4 position : POSITION)
{
    VertexOutput o;
    o.position = mul(position, ModelViewProjMatrix);
    o.screen = o.position;
    return o;
}

float4 pixel(VertexOutput i) : COLOR0
{
    float2 uv = i.screen.xy * ScreenToView.xy;
    float4 normal = tex2D(NormalTexture, uv);
    float3 toLight = LightPosition.xyz - ReadDepth(uv).xyz * InverseProjectionTerms.xyz;
#ifdef TUBE
    toLight -= TubeAxis.xyz * dot(toLight, TubeAxis.xyz);
#endif
    float attenuation = saturate(LightFalloff.x - length(toLight) * LightFalloff.y);
#ifdef SPOT
    attenuation *= saturate(dot(normalize(toLight), SpotDirection.xyz) * SpotDirection.w);
#endif
#ifdef MASK
    attenuation *= tex2D(MaskTexture, uv).r;
#endif
#ifdef SHADOWMAP
    float4 shadowUV = mul(float4(toLight, 1), ShadowMatrix);
#ifdef SHADOWMAP_FILTERING
    attenuation *= (tex2D(ShadowMapTexture, shadowUV.xy).r + tex2D(ShadowMapTexture, shadowUV.xy + ScreenToView.xy).r) * 0.5;
#else
    attenuation *= tex2D(ShadowMapTexture, shadowUV.xy).r;
#endif
#endif
#ifdef LOWSPEC
    return LightColor * attenuation;
#else
    return LightColor * attenuation * saturate(dot(normal.xyz, normalize(toLight)));
#endif
}
