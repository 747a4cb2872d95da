// One directional-ambient light drawn into one face of the lighting cube: the face quad spans the
// face's directions (forward, plus the quad's x along minus the right axis and its y along up), and
// each direction takes the light's colour on the side the light reaches, its secondary colour on
// the far side and the side term across; wrap-around widens the lit side. Faces add every light.
#include "Common.hlsl"

// The program the graphics stand-in runs for this family, with the switch the option sets.
#pragma program LightCube
#ifdef MASK
#pragma program Mask
#endif

sampler2D MaskTexture : register(s0);
// Face basis: forward, up and their cross product.
float4 FaceForward : register(c0);
float4 FaceUp : register(c1);
float4 FaceRight : register(c2);
// The direction the light points, normalised (w 0).
float4 LightDirection : register(c0);
float4 LightColor : register(c1);
float4 SecondaryColor : register(c2);
float4 SideTerm : register(c3);
// Wrap-around factor, specular multiplier.
float4 WrapSpecular : register(c4);
float4x4 MaskMatrix : register(c10);

struct VertexOutput
{
    float4 position : POSITION;
    float3 direction : TEXCOORD0;
};

VertexOutput vertex(float4 position : POSITION)
{
    VertexOutput o;
    o.position = float4(position.xy, 0.5, 1);
    o.direction = FaceForward.xyz - position.x * FaceRight.xyz + position.y * FaceUp.xyz;
    return o;
}

float4 pixel(VertexOutput i) : COLOR0
{
    float3 n = normalize(i.direction);
    float facing = dot(n, -LightDirection.xyz);
    float wrap = WrapSpecular.x;
    float4 color = LightColor * saturate((facing + wrap) / (1 + wrap)) +
                   SecondaryColor * saturate((-facing + wrap) / (1 + wrap)) + SideTerm * (1 - abs(facing));
#ifdef MASK
    color *= tex2D(MaskTexture, mul(float4(n, 1), MaskMatrix).xy * 0.5 + 0.5).r;
#endif
    return color;
}
