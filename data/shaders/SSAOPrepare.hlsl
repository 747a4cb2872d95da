// Screen-space ambient occlusion: eight depth reads around the pixel at the sample radius; the
// nearer they are than the pixel (in view-space units), the more it is occluded. Stores the
// occlusion and the view depth.
// USE_NORMAL_MAPS: the auxiliary target's normals turn the kernel towards the surface.
#include "PostCommon.hlsl"

// The program the graphics stand-in runs for this family.
#pragma program SSAOPrepare
#ifdef USE_NORMAL_MAPS
#pragma program NormalMaps
#endif

sampler2D NormalSource : register(s0);
float4 Kernel[8] : register(c0);  // offsets in pixels
float4 Terms : register(c8);      // 1/W, 1/H, strength x 0.625 / r^4, sample radius

PostVertexOutput vertex(float4 position : POSITION, float2 uv : TEXCOORD0)
{
    return PostQuad(position, uv);
}

float ViewDepth(float2 uv)
{
    return 1 / (ReadDepth(uv).x * InverseProjectionTerms.z + InverseProjectionTerms.w);
}

float4 pixel(PostVertexOutput i) : COLOR0
{
    float depth = ViewDepth(i.uv);
    float occlusion = 0;
    for (int k = 0; k < 8; ++k)
    {
        float2 offset = Kernel[k].xy * Terms.xy;
#ifdef USE_NORMAL_MAPS
        offset *= sign(dot(tex2D(NormalSource, i.uv).xy * 2 - 1, Kernel[k].xy) + 0.001);
#endif
        float nearer = max(depth - ViewDepth(i.uv + offset), 0);
        occlusion += nearer * nearer * Terms.z;
    }
    return float4(saturate(occlusion), depth, 0, 1);
}
