// Renders a light's cube of directions (with its mask) for the light probe pass.
#include "Common.hlsl"

samplerCUBE MaskCube : register(s0);
float4 LightColor : register(c0);

struct VertexOutput
{
    float4 position : POSITION;
    float3 direction : TEXCOORD0;
};

VertexOutput vertex(float4 position : POSITION)
{
    VertexOutput o;
    o.position = mul(position, ModelViewProjMatrix);
    o.direction = position.xyz;
    return o;
}

float4 pixel(VertexOutput i) : COLOR0
{
#ifdef MASK
    return LightColor * texCUBE(MaskCube, i.direction).r;
#else
    return LightColor;
#endif
}
