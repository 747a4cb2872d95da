// Writes mesh depth into the shadow map.
#include "Common.hlsl"

// The program the graphics stand-in runs for this family, with the switches the options set.
#pragma program ShadowDepth
#ifdef SKINNING
#pragma program Skinning
#endif
#ifdef INSTANCING
#pragma program Instancing
#endif
#ifdef ALPHA_TEST
#pragma program AlphaTest
#endif
#ifdef DISTORTION
#pragma program Distortion
#endif

sampler2D AlphaTexture : register(s0);
sampler2D DistortionTexture : register(s1);
float4 AlphaReference : register(c0);
#ifdef INSTANCING
// Three registers per instance, after the bones.
float4 InstanceTransforms[3 * 16] : register(c192);
#endif

struct VertexOutput
{
    float4 position : POSITION;
    float2 uv : TEXCOORD0;
    float depth : TEXCOORD1;
};

VertexOutput vertex(float4 position : POSITION, float2 uv : TEXCOORD0, float4 weights : BLENDWEIGHT,
                    float4 indices : BLENDINDICES, float instance : TEXCOORD3)
{
    VertexOutput o;
#ifdef SKINNING
    position = Skin(position, weights, indices);
#endif
#ifdef INSTANCING
    position.xyz += InstanceTransforms[instance * 3].xyz;
#endif
    o.position = mul(position, ModelViewProjMatrix);
    o.uv = uv;
    o.depth = o.position.z / o.position.w;
    return o;
}

float4 pixel(VertexOutput i) : COLOR0
{
    float2 uv = i.uv;
#ifdef DISTORTION
    uv += tex2D(DistortionTexture, uv).xy;
#endif
#ifdef ALPHA_TEST
    clip(tex2D(AlphaTexture, uv).a - AlphaReference.x);
#endif
    return i.depth.xxxx;
}
