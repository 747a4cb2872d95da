// Composes the blob shadows into the frame: the shadow quads, depth-tested against the scene, take
// the fake shadow target's value at their pixel (white where no shadow falls; seen through the same
// camera) and the blend multiplies the scene colour by it. Every list of shadow quads darkens the
// target's red channel, so red is the shadow.
#include "Common.hlsl"

// The program the graphics stand-in runs for this family.
#pragma program ShadowComposition

sampler2D ShadowTexture : register(s0);

float4 vertex(float4 position : POSITION) : POSITION
{
    return mul(position, ModelViewProjMatrix);
}

float4 pixel(float2 screen : VPOS) : COLOR0
{
    return float4(tex2D(ShadowTexture, screen * ScreenToView.xy).rrr, 1);
}
