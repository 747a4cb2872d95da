// Radial blur towards the screen centre: four reads along the way, mixed with the sharp image by
// the source and blurred ratios.
#include "PostCommon.hlsl"

// The program the graphics stand-in runs for this family.
#pragma program ZoomBlur

sampler2D SourceTexture : register(s0);
float4 TexelShift : register(c0); // vertex: 1/W, 1/H, then half a texel
float4 Zoom : register(c0); // strength x -0.005, source ratio, blurred ratio

// Pixel centres lie on whole window coordinates: half a texel more puts each on its texel's centre.
PostVertexOutput vertex(float4 position : POSITION, float2 uv : TEXCOORD0)
{
    return PostQuad(position, uv + TexelShift.zw);
}

float4 pixel(PostVertexOutput i) : COLOR0
{
    float2 toCentre = (i.uv - 0.5) * Zoom.x;
    float3 blurred = 0;
    for (int k = 1; k <= 4; ++k)
        blurred += tex2D(SourceTexture, i.uv + toCentre * k).rgb;
    float3 sharp = tex2D(SourceTexture, i.uv).rgb;
    return float4(sharp * Zoom.y + blurred * 0.25 * Zoom.z, 1);
}
