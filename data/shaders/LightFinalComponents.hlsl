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

#ifdef SHADOWMAP_FILTERING
// The depth change of the receiver's plane (normal n, view space) per map unit along u and along v,
// from the shadow matrix's u, v and depth columns. A plane edge-on to the light has none (its slopes
// come out infinite or undefined), but the sun does not light it either.
float2 ReceiverSlope(float3 n)
{
    float3 u = ShadowMatrix._m00_m10_m20;
    float3 v = ShadowMatrix._m01_m11_m21;
    float3 z = ShadowMatrix._m02_m12_m22;
    return float2(dot(z, cross(v, n)), dot(z, cross(n, u))) / dot(n, cross(u, v));
}
#endif

#ifdef SHADOWMAP
// The receiver (view position p, normal n) is moved one map texel along its normal, towards the
// light on the side it faces, before it is looked up: a point of a lit plane then lies in front of
// the plane's own depths wherever the lookup lands within a texel, and in front of a surface it meets
// in a corner (a box on the ground). The map is read at texel centres (half a texel on: its pixel
// centres lay on whole coordinates when it was drawn). The filter's second tap is compared with the
// depth the receiver's plane has there when that is nearer the light.
float ShadowLit(float3 p, float3 n)
{
    float texel =
        max(1 / length(ShadowMatrix._m00_m10_m20), 1 / length(ShadowMatrix._m01_m11_m21)) / ShadowParameters.z;
    float4 s = mul(float4(p + n * texel, 1), ShadowMatrix);
    float halfTexel = 0.5 / ShadowParameters.z;
    float lit = s.z <= tex2D(ShadowMapTexture, s.xy + halfTexel).r + 0.002;
#ifdef SHADOWMAP_FILTERING
    float2 slope = ReceiverSlope(n);
    // Only a plane that comes nearer the light there is followed: where it goes away, the tap may lie
    // on a surface meeting it in a corner, nearer than the plane's continuation.
    float there = s.z + min(ShadowParameters.y * (slope.x + slope.y), 0);
    lit = (lit + (there <= tex2D(ShadowMapTexture, s.xy + ShadowParameters.y + halfTexel).r + 0.002)) * 0.5;
#endif
    return lit;
}
#endif

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
    sun *= lerp(ShadowParameters.x, 1, ShadowLit(view.xyz, n));
#endif
    return float4(sun * 0.25 + AmbientColor.rgb, 1);
}
