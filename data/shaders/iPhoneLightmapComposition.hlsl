// Composes the blob shadows into the frame: the fake shadow target, white where no shadow falls and
// seen through the same camera, multiplies the scene colour (the blend does the multiplying). Every
// list of shadow quads darkens its red channel, so red is the shadow.
#include "Common.hlsl"

// The program the graphics stand-in runs for this family.
#pragma program ShadowComposition

sampler2D ShadowTexture : register(s0);

struct VertexOutput
{
    float4 position : POSITION;
    float2 uv : TEXCOORD0;
};

VertexOutput vertex(float4 position : POSITION, float2 uv : TEXCOORD0)
{
    VertexOutput o;
    o.position = mul(position, ModelViewProjMatrix);
    o.uv = uv;
    return o;
}

float4 pixel(VertexOutput i) : COLOR0
{
    return float4(tex2D(ShadowTexture, i.uv).rrr, 1);
}
