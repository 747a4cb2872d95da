// Glyph quads from the font page texture, optionally with an outline from the second channel.
// Vertices carry whole font pixels and texels as shorts and their colour as normalized shorts.
#include "Common.hlsl"

// The program the graphics stand-in runs for this family.
#pragma program Font
#ifdef OUTLINES
#pragma program Outlines
#endif

sampler2D FontPage : register(s0);
float4 TexelScale : register(c195);     // 1 / page width, 1 / page height, 1, 1
float4 PositionOffset : register(c196); // added to the glyph position in font pixels
float4 EffectColor : register(c200);    // the outline's colour

struct VertexOutput
{
    float4 position : POSITION;
    float4 color : COLOR0;
    float2 uv : TEXCOORD0;
};

VertexOutput vertex(float4 position : POSITION, float4 texel : TEXCOORD0, float4 color : TEXCOORD1)
{
    VertexOutput o;
    o.position = mul(float4(position.xy + PositionOffset.xy, 0, 1), ModelViewProjMatrix);
    o.color = color;
    o.uv = texel.xy * TexelScale.xy;
    return o;
}

float4 pixel(VertexOutput i) : COLOR0
{
    float4 glyph = tex2D(FontPage, i.uv);
#ifdef OUTLINES
    return lerp(EffectColor, i.color, glyph.a) * max(glyph.a, glyph.g);
#else
    return float4(i.color.rgb, i.color.a * glyph.a);
#endif
}
