// The full-screen quads of the post-processing passes: clip-space corners with one texture set.
#ifndef POST_COMMON_HLSL
#define POST_COMMON_HLSL
#include "Common.hlsl"

struct PostVertexOutput
{
    float4 position : POSITION;
    float2 uv : TEXCOORD0;
};

// The corners as they come: each family's vertex entry returns this unless it moves them.
PostVertexOutput PostQuad(float4 position, float2 uv)
{
    PostVertexOutput o;
    o.position = float4(position.xy, 0, 1);
    o.uv = uv;
    return o;
}

float Luminance(float3 color)
{
    return dot(color, float3(0.2126, 0.7152, 0.0722));
}
#endif
