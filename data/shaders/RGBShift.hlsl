// Chromatic shift: red and blue read the previous result moved apart along x and y.
#include "PostCommon.hlsl"

// The program the graphics stand-in runs for this family.
#pragma program RGBShift

sampler2D SourceTexture : register(s0);
float4 TexelShift : register(c0); // vertex: 1/W, 1/H, then half a texel
float4 Shift : register(c0); // shift / W, shift / H

// Pixel centres lie on whole window coordinates: half a texel more puts each on its texel's centre.
PostVertexOutput vertex(float4 position : POSITION, float2 uv : TEXCOORD0)
{
    return PostQuad(position, uv + TexelShift.zw);
}

float4 pixel(PostVertexOutput i) : COLOR0
{
    float r = tex2D(SourceTexture, i.uv + Shift.xy).r;
    float g = tex2D(SourceTexture, i.uv).g;
    float b = tex2D(SourceTexture, i.uv - Shift.xy).b;
    return float4(r, g, b, 1);
}
