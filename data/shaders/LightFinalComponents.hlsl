// The full-screen pass of deferred lighting: the scene's sun on the stored normals (dimmed where the
// shadow map says the pixel is shadowed, and through the projected texture with MASK) plus the
// ambient term, written at a quarter into the light accumulation target.
#include "Common.hlsl"

// The program the graphics stand-in runs for this family, with the switches the options set.
#pragma program LightFullScreen
#ifdef SHADOWMAP
#pragma program Shadow
#endif
#ifdef SHADOWMAP_FILTERING
#pragma program Filtered
#endif
#ifdef LOWSPEC
#pragma program LowSpec
#endif
#ifdef MASK
#pragma program Projected
#endif

sampler2D ProjectedTexture : register(s0);
sampler2D NormalDepthTexture : register(s5);
sampler2D ShadowMapTexture : register(s12);
float4x4 InverseProjection : register(c10);
float4 LightDirection : register(c14);
float4 LightColors[3] : register(c15);
float4 SpecularColor : register(c18);
float4 SecondDirection : register(c19);
float4 AmbientColor : register(c20);
// The projected texture's u and v from a view-space position.
float4 ProjectedRows[2] : register(c21);
float4x4 ShadowMatrix : register(c25);
// (1 - shadow strength, filter offset in texels, map size, 0).
float4 ShadowParameters : register(c29);

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
    float3 n = tex2D(NormalDepthTexture, i.uv).xyz * 2 - 1;
    float3 sun = LightColors[0].rgb * saturate(dot(n, -LightDirection.xyz));
    float4 p = mul(float4(i.uv.x * 2 - 1, 1 - i.uv.y * 2, ReadDepth(i.uv).x, 1), InverseProjection);
    float4 view = float4(p.xyz / p.w, 1);
#ifdef MASK
    sun *= tex2D(ProjectedTexture, float2(dot(view, ProjectedRows[0]), dot(view, ProjectedRows[1]))).rgb;
#endif
#ifdef SHADOWMAP
    float4 s = mul(view, ShadowMatrix);
    float lit = s.z <= tex2D(ShadowMapTexture, s.xy).r + 0.002;
#ifdef SHADOWMAP_FILTERING
    lit = (lit + (s.z <= tex2D(ShadowMapTexture, s.xy + ShadowParameters.y).r + 0.002)) * 0.5;
#endif
    sun *= lerp(ShadowParameters.x, 1, lit);
#endif
    return float4(sun * 0.25 + AmbientColor.rgb, 1);
}
