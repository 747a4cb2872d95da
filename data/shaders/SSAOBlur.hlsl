// Blurs the occlusion along one direction over five taps; FINAL_PASS turns it into a colour, the
// occlusion colour where occluded and white elsewhere, scaled down where ping-pong B is lit.
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
    float light = Luminance(tex2D(LightTexture, i.uv).rgb);
    occlusion *= 1 - saturate(light * BlurTerms.x);
    return float4(1 - OneMinusColor.rgb * occlusion, 1);
#else
    return float4(occlusion, 0, 0, 1);
#endif
}
