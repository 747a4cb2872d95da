// Particle quads: the colour over life from the four node colours (the vertex carries the segment
// and the blend within it as bytes), times the texture, with optional texture-sheet frames blended
// into the next one and desaturation; blends that ignore alpha get it multiplied into the colour.
#include "Common.hlsl"

// The program the graphics stand-in runs for this family.
#pragma program Particle
#ifdef TEXTURE_FRAME_INTERPOLATION
#pragma program FrameInterpolation
#endif
#ifdef TEXTURE_DESATURATION
#pragma program Desaturation
#endif
#ifdef BLEND_ALPHA
#pragma program BlendAlpha
#endif

float4 NodeColors[4] : register(c0);
float4 Desaturation : register(c0);
sampler2D ParticleTexture : register(s0);

struct VertexOutput
{
    float4 position : POSITION;
    float4 color : COLOR0;
    float4 uv : TEXCOORD0;
    float4 nextUv : TEXCOORD1;
};

// color: segment / 255, blend, frame blend, 1 - blend; uv: current frame u, v, next frame u, v.
VertexOutput vertex(float4 position : POSITION, float4 segment : COLOR0, float4 uv : TEXCOORD0)
{
    VertexOutput o;
    o.position = mul(position, ModelViewProjMatrix);
    int node = (int)(segment.x * 255.0 + 0.5);
    o.color = lerp(NodeColors[node], NodeColors[node + 1], segment.y) * ConstantColor;
    o.uv = float4(uv.xy, 0, 0);
    o.nextUv = float4(uv.zw, segment.z, 0);
    return o;
}

float4 pixel(VertexOutput i) : COLOR0
{
    float4 texel = tex2D(ParticleTexture, i.uv.xy);
#ifdef TEXTURE_FRAME_INTERPOLATION
    texel = lerp(texel, tex2D(ParticleTexture, i.nextUv.xy), i.nextUv.z);
#endif
    float4 color = texel * i.color;
#ifdef TEXTURE_DESATURATION
    float luminance = dot(color.rgb, float3(0.2126, 0.7152, 0.0722));
    color.rgb = lerp(color.rgb, luminance.xxx, Desaturation.x);
#endif
#ifndef BLEND_ALPHA
    // Adding, subtracting and modulating blends ignore alpha: the colour carries it.
    color.rgb *= color.a;
#endif
    return color;
}
