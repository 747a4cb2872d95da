// The glow's source: what lies above the threshold, cut down to a quarter of the viewport.
#include "PostCommon.hlsl"

// The program the graphics stand-in runs for this family.
#pragma program GlowSource

sampler2D SourceTexture : register(s0);
// (1, 1, 2/W, 2/H) and (1/W, 1/H, -1/W, 1/H): the quad's scale and the half-texel shift that puts
// pixel centres on texel centres.
float4 QuadScale : register(c0);
float4 QuadShift : register(c1);
float4 GlowFactor : register(c0);

PostVertexOutput vertex(float4 position : POSITION, float2 uv : TEXCOORD0)
{
    PostVertexOutput o;
    o.position = float4(position.xy * QuadScale.xy + QuadShift.zw, 0, 1);
    o.uv = uv;
    return o;
}

float4 pixel(PostVertexOutput i) : COLOR0
{
    float3 color = tex2D(SourceTexture, i.uv).rgb;
    return float4(max(color - GlowFactor.rgb, 0), 1);
}
