// Stands in for the fixed-function pipeline: coloured, textured, skinned and video quads.
#include "Common.hlsl"

// The program the graphics stand-in runs for this family, with the switches the options set.
#pragma program VertexColor
#ifdef DENORMALIZATION
#pragma program ConstantColor
#endif
#ifdef TEXTURE
#pragma program Texture
#ifdef ALPHA_ONLY_TEXTURE
#pragma program AlphaTexture
#endif
#endif
#ifdef SKINNING
#pragma program Skinning
#endif
#ifdef VIDEO
#pragma program Video
#endif
#ifdef SATURATION
#pragma program Saturation
#endif
#ifdef FADE
#pragma program Fade
#endif
#ifdef CONVERT_TO_SRGB
#pragma program Srgb
#endif
#ifdef SCREEN_UV
#pragma program ScreenUv
#endif
#ifdef SCREEN_BLUR
#pragma program ScreenBlur
#endif

sampler2D DiffuseTexture : register(s0);
sampler2D VideoChromaTexture : register(s1);
float4 FadeColor : register(c0);
float4 SaturationWeights : register(c1);
#ifdef TEXTURE_ANIMATION
// Effect quads' texture sheets: the frame size (1/X, 1/Y, 1/X, 1/Y), the origins of the frame and
// of the next one, and the blend between the two.
float4 FrameScale : register(c195);
float4 FrameOrigins : register(c196);
float4 FrameBlend : register(c0);
#endif
#ifdef REFRACTION
// (power, granularity, 0, 0) and the blend-mode row of the quad's own blending.
float4 RefractionParams : register(c1);
float4 RefractionBlend : register(c2);
#endif

struct VertexOutput
{
    float4 position : POSITION;
    float4 color : COLOR0;
    float2 uv : TEXCOORD0;
    float2 nextUv : TEXCOORD1;
    float depth : TEXCOORD2;
};

VertexOutput vertex(float4 position : POSITION, float4 color : COLOR0, float2 uv : TEXCOORD0,
                    float4 weights : BLENDWEIGHT, float4 indices : BLENDINDICES)
{
    VertexOutput o;
#ifdef SKINNING
    position = Skin(position, weights, indices);
#endif
    o.position = mul(position, ModelViewProjMatrix);
#ifdef DENORMALIZATION
    o.color = color * ConstantColor;
#else
    o.color = color;
#endif
    o.uv = uv;
    o.nextUv = uv;
#ifdef TEXTURE_ANIMATION
    o.uv = uv * FrameScale.xy + FrameOrigins.xy;
    o.nextUv = uv * FrameScale.zw + FrameOrigins.zw;
#endif
    o.depth = o.position.w;
    return o;
}

float4 pixel(VertexOutput i) : COLOR0
{
    float4 color = i.color;
#ifdef SCREEN_UV
    float2 uv = i.position.xy * ScreenToView.xy;
#else
    float2 uv = i.uv;
#endif
#ifdef TEXTURE
#ifdef ALPHA_ONLY_TEXTURE
    color.a *= tex2D(DiffuseTexture, uv).a;
#elif defined(SCREEN_BLUR)
    color *= (tex2D(DiffuseTexture, uv) + tex2D(FrameTexture, uv)) * 0.5;
#elif defined(TEXTURE_ANIMATION)
    color *= lerp(tex2D(DiffuseTexture, uv), tex2D(DiffuseTexture, i.nextUv), FrameBlend.x);
#else
    color *= tex2D(DiffuseTexture, uv);
#endif
#endif
#ifdef REFRACTION
    // The texture's red and green, repeated by the granularity, bend the screen behind the quad by
    // the power; its alpha blends as the quad's own blending would have.
    float4 bend = tex2D(DiffuseTexture, i.uv * RefractionParams.y);
    float2 screen = i.position.xy * ScreenToView.xy + (bend.rg * 2 - 1) * RefractionParams.x * 0.05;
    float4 behind = tex2D(FrameTexture, screen);
    color = lerp(behind, behind * RefractionBlend + color, color.a);
#endif
#ifdef SOFTNESS
    // Fades where the quad comes close to what the scene drew behind it.
    float sceneDepth = ReadDepth(i.position.xy * ScreenToView.xy).x * DepthSoftness.x;
    color.a *= saturate((sceneDepth - i.depth) * DepthSoftness.z);
#endif
#ifdef VIDEO
    color = tex2D(DiffuseTexture, uv) + tex2D(VideoChromaTexture, uv);
#endif
#ifdef SATURATION
    color.rgb = dot(color.rgb, SaturationWeights.rgb).xxx;
#endif
#ifdef FADE
    color *= FadeColor;
#endif
#ifdef CONVERT_TO_SRGB
    color.rgb = pow(color.rgb, 1.0 / 2.2);
#endif
    return color;
}
