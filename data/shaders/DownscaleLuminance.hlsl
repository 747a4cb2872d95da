// The local-contrast luminance: the tone-mapped scene's luminance beside the glow in the atlas.
#include "PostCommon.hlsl"

// The program the graphics stand-in runs for this family.
#pragma program DownscaleLuminance

sampler2D SourceTexture : register(s0);
sampler2D ToneCurve : register(s1);
float4 QuadScale : register(c0);
float4 QuadShift : register(c1);
float4 LuminanceFactor : register(c0);

PostVertexOutput vertex(float4 position : POSITION, float2 uv : TEXCOORD0)
{
    PostVertexOutput o;
    o.position = float4(position.xy * QuadScale.xy + QuadShift.zw, 0, 1);
    o.uv = uv;
    return o;
}

float4 pixel(PostVertexOutput i) : COLOR0
{
    float luminance = Luminance(tex2D(SourceTexture, i.uv).rgb) * LuminanceFactor.x;
    float mapped = tex2D(ToneCurve, float2(saturate(luminance * 0.25), 0.5)).g;
    return float4(mapped, mapped, mapped, 1);
}
