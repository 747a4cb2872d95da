// Shows a video frame from its three planes (luminance and two chroma textures), fitted inside the
// screen with bars.
#include "Common.hlsl"

// The program the graphics stand-in runs for this family.
#pragma program Video

sampler2D PlaneY : register(s0);
sampler2D PlaneU : register(s1);
sampler2D PlaneV : register(s2);
// (1, 1, half a target texel in x, in y)
float4 VideoTexelOffset : register(c0);
// (picture width, picture height) as fractions of the screen, then the scale from luminance to
// colour texture coordinates (below 1 where an odd picture's colour texture has a half-used edge)
float4 VideoPictureScale : register(c1);

struct VertexOutput
{
    float4 position : POSITION;
    float2 uv : TEXCOORD0;
    float2 chromaUv : TEXCOORD1;
};

VertexOutput vertex(float4 position : POSITION, float2 uv : TEXCOORD0)
{
    VertexOutput o;
    o.position = float4(position.xy * VideoPictureScale.xy - VideoTexelOffset.zw * float2(2.0, -2.0), position.z, 1.0);
    o.uv = uv * VideoTexelOffset.xy;
    o.chromaUv = o.uv * VideoPictureScale.zw;
    return o;
}

float4 pixel(VertexOutput i) : COLOR0
{
    return float4(VideoYuvToRgb(tex2D(PlaneY, i.uv).r, tex2D(PlaneU, i.chromaUv).r, tex2D(PlaneV, i.chromaUv).r), 1.0);
}
