// Glyph quads from the font page texture, optionally with an outline from the second channel.
#include "Common.hlsl"

// The program the graphics stand-in runs for this family.
#pragma program Font
#ifdef OUTLINES
#pragma program Outlines
#endif

sampler2D FontPage : register(s0);
float4 OutlineColor : register(c0);

struct VertexOutput
{
    float4 position : POSITION;
    float4 color : COLOR0;
    float2 uv : TEXCOORD0;
};

VertexOutput vertex(float4 position : POSITION, float4 color : COLOR0, float2 uv : TEXCOORD0)
{
    VertexOutput o;
    o.position = mul(position, ModelViewProjMatrix);
    o.color = color * ConstantColor;
    o.uv = uv;
    return o;
}

float4 pixel(VertexOutput i) : COLOR0
{
    float4 glyph = tex2D(FontPage, i.uv);
#ifdef OUTLINES
    return lerp(OutlineColor, i.color, glyph.a) * max(glyph.a, glyph.g);
#else
    return float4(i.color.rgb, i.color.a * glyph.a);
#endif
}
