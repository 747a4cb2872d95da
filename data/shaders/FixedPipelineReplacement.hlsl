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
#ifdef TEXTURE_ANIMATION
#pragma program FrameSheet
#endif
#ifdef REFRACTION
#pragma program Refraction
#endif
#ifdef SOFTNESS
#pragma program Softness
#endif

sampler2D DiffuseTexture : register(s0);
#ifdef VIDEO
// The video element's planes: luminance and the two chroma planes.
sampler2D VideoPlaneY : register(s1);
sampler2D VideoPlaneU : register(s2);
sampler2D VideoPlaneV : register(s3);
// The scale from luminance to colour texture coordinates (x, y), then unused.
float4 VideoChromaScale : register(c4);
#endif
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
    // View distance, and the fade per unit of distance to the scene behind (softness).
    float2 depth : TEXCOORD2;
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
    o.depth = float2(o.position.w, DepthSoftness.z * DepthSoftness.x);
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
    // the power; the quad's colour lies over it as its own blending would have put it there:
    // colour x (f.x a + f.y) + behind x (f.z a + f.w), f the blend mode's row.
    float4 bend = tex2D(DiffuseTexture, i.uv * RefractionParams.y);
    float2 screen = ScreenUvOf(i.position.xy) + (bend.rg * 2 - 1) * RefractionParams.x * 0.05;
    float3 behind = tex2D(FrameTexture, screen).rgb;
    color = float4(color.rgb * (RefractionBlend.x * color.a + RefractionBlend.y) +
                   behind * (RefractionBlend.z * color.a + RefractionBlend.w), 1);
#endif
#ifdef SOFTNESS
    // Fades where the quad comes close to what the scene drew behind it.
    color.a *= saturate((SceneViewDepth(ScreenUvOf(i.position.xy)) - i.depth.x) * i.depth.y);
#endif
#ifdef VIDEO
    float2 chromaUv = uv * VideoChromaScale.xy;
    color.rgb *= VideoYuvToRgb(tex2D(VideoPlaneY, uv).r, tex2D(VideoPlaneU, chromaUv).r, tex2D(VideoPlaneV, chromaUv).r);
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
