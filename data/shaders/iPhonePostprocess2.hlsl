// The mobile screen curve: the plain variant copies; ENABLED with SCREEN_CURVE bends the picture
// as a curved screen would, by amplitude, curvature and coverage.
#include "PostCommon.hlsl"

// The program the graphics stand-in runs for this family, with the switches the options set.
#pragma program ScreenCurve
#ifdef SCREEN_CURVE
#pragma program Curve
#endif

sampler2D SourceTexture : register(s0);
float4 TexelShift : register(c0); // vertex: 1/W, 1/H, then half a texel
float4 Curve : register(c0); // amplitude, curvature, coverage

// Pixel centres lie on whole window coordinates: half a texel more puts each on its texel's centre.
PostVertexOutput vertex(float4 position : POSITION, float2 uv : TEXCOORD0)
{
    return PostQuad(position, uv + TexelShift.zw);
}

float4 pixel(PostVertexOutput i) : COLOR0
{
    float2 uv = i.uv;
#ifdef SCREEN_CURVE
    float2 centred = uv * 2 - 1;
    centred *= 1 + Curve.x * Curve.z * pow(dot(centred, centred), Curve.y) * 0.1;
    uv = centred * 0.5 + 0.5;
#endif
    return tex2D(SourceTexture, uv);
}
