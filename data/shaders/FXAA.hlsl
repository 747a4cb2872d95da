// Edge smoothing over the composite's result: where the luminance of the four neighbours differs
// from the centre's by more than the edge threshold, the centre moves towards their average.
// CONSOLE: the console settings (factors 4 to 6) instead of the desktop ones (1 to 3).
#include "PostCommon.hlsl"

// The program the graphics stand-in runs for this family.
#pragma program Fxaa
#ifdef CONSOLE
#pragma program Console
#endif

sampler2D SourceTexture : register(s0);
float4 RegionScale : register(c0);     // vertex: region share of the target, half a texel
float4 Texel : register(c0);           // 1/W, 1/H
float4 SubpixelSpan : register(c1);
float4 TwoTexels : register(c2);
float4 EightTexels : register(c3);
float4 Signs : register(c4);
float4 DesktopFactors : register(c5);  // subpixel, edge threshold, edge threshold minimum
float4 ConsoleFactors : register(c6);

PostVertexOutput vertex(float4 position : POSITION, float2 uv : TEXCOORD0)
{
    PostVertexOutput o;
    o.position = float4(position.xy, 0, 1);
    o.uv = uv * RegionScale.xy + RegionScale.zw;
    return o;
}

float4 pixel(PostVertexOutput i) : COLOR0
{
#ifdef CONSOLE
    float3 factors = ConsoleFactors.xyz;
#else
    float3 factors = DesktopFactors.xyz;
#endif
    float4 centre = tex2D(SourceTexture, i.uv);
    float3 around = tex2D(SourceTexture, i.uv + float2(Texel.x, 0)).rgb + tex2D(SourceTexture, i.uv - float2(Texel.x, 0)).rgb +
                    tex2D(SourceTexture, i.uv + float2(0, Texel.y)).rgb + tex2D(SourceTexture, i.uv - float2(0, Texel.y)).rgb;
    around *= 0.25;
    float contrast = abs(Luminance(around) - Luminance(centre.rgb));
    float edge = contrast > max(factors.z, factors.y * Luminance(centre.rgb)) ? factors.x : 0;
    return float4(lerp(centre.rgb, around, edge), 1);
}
