// Blurs the occlusion along one direction over five taps; FINAL_PASS applies it to the accumulated
// light: towards the occlusion colour where occluded, less so where the light (at a quarter) is bright.
#include "PostCommon.hlsl"

// The program the graphics stand-in runs for this family.
#pragma program SSAOBlur
#ifdef FINAL_PASS
#pragma program Final
#endif

sampler2D OcclusionTexture : register(s0);
sampler2D LightTexture : register(s1);
float4 OneMinusColor : register(c0); // then the colour itself in c1
float4 BlurTerms : register(c2); // occlusion factor, step u, step v

PostVertexOutput vertex(float4 position : POSITION, float2 uv : TEXCOORD0)
{
    return PostQuad(position, uv);
}

float4 pixel(PostVertexOutput i) : COLOR0
{
    float occlusion = 0;
    for (int k = -2; k <= 2; ++k)
        occlusion += tex2D(OcclusionTexture, i.uv + BlurTerms.yz * k).r;
    occlusion *= 0.2;
#ifdef FINAL_PASS
    float4 light = tex2D(LightTexture, i.uv);
    occlusion *= 1 - saturate(Luminance(light.rgb * 4) * BlurTerms.x);
    return float4(light.rgb * (1 - OneMinusColor.rgb * occlusion), light.a);
#else
    return float4(occlusion, 0, 0, 1);
#endif
}
