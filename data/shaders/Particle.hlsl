// Particle quads: the colour over life from the four node colours (the vertex carries the segment
// and the blend within it as bytes), times the texture, with optional texture-sheet frames blended
// into the next one and desaturation; soft particles fade near the scene behind them and fogged ones
// fade into the scene's fog; blends that ignore alpha get it multiplied into the colour.
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
#ifdef SOFTNESS
#pragma program Softness
#endif
#ifdef FOG
#pragma program Fog
#endif

float4 NodeColors[4] : register(c0);
float4 Desaturation : register(c0);
sampler2D ParticleTexture : register(s0);
// The scene's fog: amount = view distance x a + b (a, b, 0, 0).
float4 FogFactors : register(c240);

struct VertexOutput
{
    float4 position : POSITION;
    float4 color : COLOR0;
    float4 uv : TEXCOORD0;
    float4 nextUv : TEXCOORD1;
    // View distance, the fade per unit of distance to the scene behind, and the fog's visibility.
    float4 depth : TEXCOORD2;
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
    o.depth = float4(o.position.w, DepthSoftness.z * DepthSoftness.x, 1, 0);
#ifdef FOG
    o.depth.z = 1 - saturate(o.position.w * FogFactors.x + FogFactors.y);
#endif
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
#ifdef SOFTNESS
    color.a *= saturate((SceneViewDepth(ScreenUvOf(i.position.xy)) - i.depth.x) * i.depth.y);
#endif
#ifdef FOG
    // The particle fades into the fog rather than glowing through it.
    color.a *= i.depth.z;
#endif
#ifndef BLEND_ALPHA
    // Adding, subtracting and modulating blends ignore alpha: the colour carries it.
    color.rgb *= color.a;
#endif
    return color;
}
