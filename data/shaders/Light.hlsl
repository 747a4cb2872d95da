// Deferred point, spot and tube lights: one additive volume per light over the pixels the normals
// pass marked. Each pixel's view-space position comes back from the depth texture; the light falls
// off as a x d^2 + b (a spot also by c x cos + d across its cone), lit by the stored normal. The
// colour arrives at a quarter, as the light accumulation target stores it.
#include "Common.hlsl"

// The program the graphics stand-in runs for this family, with the switches the options set.
#pragma program LightVolume
#ifdef SPOT
#pragma program Spot
#endif
#ifdef TUBE
#pragma program Tube
#endif
#ifdef MASK
#pragma program Mask
#endif
#ifdef LOWSPEC
#pragma program LowSpec
#endif

sampler2D MaskTexture : register(s0);
sampler2D NormalTexture : register(s6);
float4 LightColor : register(c10);
float4 SpecularColor : register(c11);
float4 LightPosition : register(c12);
float4 Attenuation : register(c13);
// Spot: the cone's axis; tube: its axis with the half length in w (view space).
float4 LightAxis : register(c14);
float4x4 MaskProjection : register(c15);

struct VertexOutput
{
    float4 position : POSITION;
};

VertexOutput vertex(float4 position : POSITION)
{
    VertexOutput o;
    o.position = mul(position, ModelViewProjMatrix);
    return o;
}

float4 pixel(VertexOutput i) : COLOR0
{
    float2 uv = i.position.xy * ScreenToView.xy;
    float3 n = tex2D(NormalTexture, uv).xyz * 2 - 1;
    float w = ReadDepth(uv).x * InverseProjectionTerms.z + InverseProjectionTerms.w;
    float3 p = ViewRay(uv) / w;
    float3 toLight = LightPosition.xyz - p;
#ifdef TUBE
    toLight += LightAxis.xyz * clamp(dot(-toLight, LightAxis.xyz), -LightAxis.w, LightAxis.w);
#endif
    float attenuation = saturate(Attenuation.x * dot(toLight, toLight) + Attenuation.y);
#ifdef SPOT
    attenuation *= saturate(Attenuation.z * dot(normalize(-toLight), LightAxis.xyz) + Attenuation.w);
#endif
#ifdef MASK
    float4 maskUV = mul(float4(p, 1), MaskProjection);
    attenuation *= tex2D(MaskTexture, maskUV.xy / maskUV.w).r;
#endif
#ifdef LOWSPEC
    return float4(LightColor.rgb * attenuation, 0);
#else
    return float4(LightColor.rgb * attenuation * saturate(dot(n, normalize(toLight))), 0);
#endif
}
