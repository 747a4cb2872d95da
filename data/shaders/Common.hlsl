// Constants that the renderer uploads by register number for every shader, and the transforms
// that shader objects upload by name. Included by every family.
#ifndef COMMON_HLSL
#define COMMON_HLSL

// Vertex registers set once per camera change.
float4 FrameClocks : register(c247);     // first and second clock in seconds, 0, 0
float4 DepthSoftness : register(c248);   // depth scale, 0, 1 / (softness distance x depth scale), 0

// Pixel registers set once per camera change (from the inverse projection and the render size).
float4 InverseProjectionTerms : register(c219); // (0,0), (1,1), (2,3), (3,3) of the inverse projection
float4 ScreenToView : register(c223);           // 1/W, 1/H, 2a/W, -2b/H
float4 PixelCenterToView : register(c218);      // 0.5/W, 0.5/H, (0.5/W - 1) a, (0.5/H + 1) b
// View-space rays at depth 1 through the top-left and the bottom-right screen corner.
float4 FrustumCornerDirections[2] : register(c221);

// Textures bound by the renderer at every camera change.
sampler2D GlobalTexture : register(s8);       // the shared refraction noise, wrapped
sampler2D FrameTexture : register(s9);        // the refraction copy: the screen behind refracting objects
sampler2D DepthTexture : register(s10);
samplerCUBE LightingCube : register(s11);     // mobile modes: the lighting cube in place of deferred lights

// Uploaded by name by the vertex shader objects.
float4x4 ModelViewProjMatrix;
float4x4 ModelViewMatrix;
float4x4 ModelMatrix;
float4x4 ViewProjMatrix;
float4 ConstantColor;

#ifdef SKINNING
// Three registers per bone from register 0.
float4x3 BoneMatrices[MAX_SHADER_SKINNING_BONES] : register(c0);
float4 Skin(float4 position, float4 weights, float4 indices)
{
    float3 p = mul(position, BoneMatrices[indices.x]) * weights.x + mul(position, BoneMatrices[indices.y]) * weights.y;
    return float4(p, 1);
}
#endif

// The view-space ray at depth 1 through a screen position (texture coordinates of the screen).
float3 ViewRay(float2 uv)
{
    return float3(lerp(FrustumCornerDirections[0].xy, FrustumCornerDirections[1].xy, uv), 1);
}

float4 ReadDepth(float2 uv)
{
#ifdef HARDWARE_DEPTH
    return tex2D(DepthTexture, uv).xxxx;
#else
    return tex2D(DepthTexture, uv);
#endif
}

// The texture coordinate of a pixel's centre on a target of the render size.
float2 ScreenUvOf(float2 pixel)
{
    return (pixel + 0.5) * ScreenToView.xy;
}

// The view distance of what the scene drew at a screen point, back through the inverse projection.
float SceneViewDepth(float2 uv)
{
    return 1 / (ReadDepth(uv).x * InverseProjectionTerms.z + InverseProjectionTerms.w);
}

// A video sample's colour from its luminance and chroma samples, in the studio range the decoder
// writes.
float3 VideoYuvToRgb(float y, float u, float v)
{
    y = 1.164 * (y - 0.0625);
    u -= 0.5;
    v -= 0.5;
    return float3(y + 1.596 * v, y - 0.392 * u - 0.813 * v, y + 2.017 * u);
}

#endif
