// The tone-mapping composite: the scene with its glow, exposure, contrast and saturation, outlines,
// a vignette, the tone curve and the colour table. Variants: ENABLED (everything but the plain
// copy), OUTLINES, LOCAL_CONTRAST, LOW_SPEC_MODE, LUM_IN_ALPHA (luminance kept for a following
// FXAA pass). The renderer uploads vertex registers 0-18 and pixel registers 0-14; the camera, fog
// and tint registers serve projects whose composite reads them.
#include "PostCommon.hlsl"

// The program the graphics stand-in runs for this family, with the switches the options set.
#pragma program PostComposite
#ifdef ENABLED
#pragma program Enabled
#endif
#ifdef OUTLINES
#pragma program Outlines
#endif
#ifdef LUM_IN_ALPHA
#pragma program LumInAlpha
#endif

sampler2D SceneTexture : register(s0);
sampler2D GlowAtlas : register(s1);
sampler2D OutlineTexture : register(s2);
sampler2D ColorTable : register(s3);
sampler2D ToneCurve : register(s4);

float4 TexelShift : register(c0);  // vertex: 1/W, 1/H, then half a texel
float4 CompositeColor : register(c0);
float4 GlowColor : register(c1);
float4 NonGlowColor : register(c2);
float4 Shading : register(c3);      // exposition, contrast, saturation, local contrast
float4 AtlasShare : register(c12);  // 1/W, 1/H, the glow quarter's share of the atlas
float4 Vignette : register(c14);    // start, end, aspect: see VignetteKeep

// The share of the colour the vignette keeps. It darkens from the distance "start" from the centre
// (y scaled by "aspect") out to the screen's corners, where it takes away the share "end" of the
// colour: the defaults (0, 0.1) give a light vignette, an "end" of 0 or a "start" beyond the corners
// none at all.
float VignetteKeep(float2 uv)
{
    float reach = length(float2(0.5, 0.5 * Vignette.z));
    float2 fromCentre = (uv - 0.5) * float2(1, Vignette.z);
    float t = saturate((length(fromCentre) - Vignette.x) / max(reach - Vignette.x, 1e-5));
    return 1 - saturate(Vignette.y) * t * t * (3 - 2 * t);
}

float3 Table(sampler2D table, float3 color)
{
    return float3(tex2D(table, float2(color.r, 0.5)).r, tex2D(table, float2(color.g, 0.5)).g,
                  tex2D(table, float2(color.b, 0.5)).b);
}

// Pixel centres lie on whole window coordinates: half a texel more puts each on its texel's centre.
PostVertexOutput vertex(float4 position : POSITION, float2 uv : TEXCOORD0)
{
    return PostQuad(position, uv + TexelShift.zw);
}

float4 pixel(PostVertexOutput i) : COLOR0
{
    float3 color = tex2D(SceneTexture, i.uv).rgb;
#ifdef ENABLED
    float3 glow = tex2D(GlowAtlas, i.uv * AtlasShare.zw).rgb;
    color = (color * NonGlowColor.rgb + glow * GlowColor.rgb) * Shading.x;
    color = lerp(Luminance(color).xxx, color, Shading.z);
    color = (color - 0.5) * Shading.y + 0.5;
#ifdef OUTLINES
    float4 outline = tex2D(OutlineTexture, i.uv);
    color = lerp(color, outline.rgb, outline.a);
#endif
    color *= VignetteKeep(i.uv);
    color = Table(ColorTable, Table(ToneCurve, saturate(color * 0.25)));
#endif
    color *= CompositeColor.rgb;
#ifdef LUM_IN_ALPHA
    return float4(color, Luminance(color));
#else
    return float4(color, 1);
#endif
}
