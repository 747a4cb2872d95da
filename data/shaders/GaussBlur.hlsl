// One direction of a 13-tap Gaussian blur in seven bilinear fetches: the centre and three fetches
// per side placed between texel pairs so that each takes two weights.
#include "PostCommon.hlsl"

// The program the graphics stand-in runs for this family.
#pragma program GaussBlur

sampler2D SourceTexture : register(s0);
float4 BlurStep : register(c0);    // one texel along the blur's direction, times the step scale
float4 BlurWeights : register(c1); // centre, then the three side weights
float4 BlurOffsets : register(c2); // the three side offsets in texels

PostVertexOutput vertex(float4 position : POSITION, float2 uv : TEXCOORD0)
{
    return PostQuad(position, uv);
}

float4 pixel(PostVertexOutput i) : COLOR0
{
    float4 sum = tex2D(SourceTexture, i.uv) * BlurWeights.x;
    float3 weights = BlurWeights.yzw;
    for (int k = 0; k < 3; ++k)
    {
        float2 offset = BlurStep.xy * BlurOffsets[k];
        sum += (tex2D(SourceTexture, i.uv + offset) + tex2D(SourceTexture, i.uv - offset)) * weights[k];
    }
    return sum;
}
