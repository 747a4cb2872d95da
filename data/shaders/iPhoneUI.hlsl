// User-interface quads of the mobile modes.
#include "Common.hlsl"

// The program the graphics stand-in runs for this family.
#pragma program UI
#ifdef NO_TEXTURE
#pragma program NoTexture
#endif

sampler2D UITexture : register(s0);

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
    o.color = color;
    o.uv = uv;
    return o;
}

float4 pixel(VertexOutput i) : COLOR0
{
#ifdef NO_TEXTURE
    return i.color;
#else
    return i.color * tex2D(UITexture, i.uv);
#endif
}
