// The programs of the deferred scene families: deferred mesh materials (their normals and compose
// variants), the full-screen lighting pass, the light volumes and the lighting cube's faces. They read the targets the passes
// bind at the pixel's own screen position, as the sources do through ScreenToView.
#include "platform/gpu/ShaderProgramKit.h"

#include <cmath>

namespace gpu
{
namespace
{
float Dot3(const float* a, const float* b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

void Normalize3(float* v)
{
    const float length = std::sqrt(Dot3(v, v));
    for (int i = 0; i < 3; ++i)
        v[i] = length > 0.0f ? v[i] / length : 0.0f;
}

float Saturate(float value) { return std::clamp(value, 0.0f, 1.0f); }

// A stored normal (0..1 per channel) back to -1..1.
void StoredNormal(const PixelContext& c, uint32_t sampler, const PixelInput& in, float u, float v, float* n)
{
    const Color4f t = Sample(c, sampler, in, u, v);
    n[0] = t.r * 2.0f - 1.0f;
    n[1] = t.g * 2.0f - 1.0f;
    n[2] = t.b * 2.0f - 1.0f;
}

// The view-space position of a screen point and depth through the inverse projection's (0,0),
// (1,1), (2,3) and (3,3) entries (a perspective projection's inverse has no others).
void ViewPosition(const float* terms, float u, float v, float depth, float* p)
{
    const float x = u * 2.0f - 1.0f, y = 1.0f - v * 2.0f;
    const float w = depth * terms[2] + terms[3];
    const float k = w != 0.0f ? 1.0f / w : 0.0f;
    p[0] = x * terms[0] * k;
    p[1] = y * terms[1] * k;
    p[2] = k;
}

// Deferred mesh: position, view-space normal, constant colour and transformed texture set 0.
class DeferredMeshVertex : public VertexProgram
{
public:
    explicit DeferredMeshVertex(Binder& b)
        : m_skinning(b.Has("Skinning")), m_matrix(b.Float("ModelViewProjMatrix")),
          m_modelView(b.Float("ModelViewMatrix")), m_color(b.Float("ConstantColor")), m_transform(b.Float("TextureTransform"))
    {
    }

    void Run(const float* constants, const VertexInput& in, ClipVertex* out) const override
    {
        float position[4];
        ReadPosition(constants, in, m_skinning, position);
        MulColumns(constants, m_matrix, position, out->position);
        std::fill(out->varyings, out->varyings + kVaryingCount, 0.0f);
        Copy4(out->varyings + kVaryColor, Reg(constants, m_color));
        const float* t = Reg(constants, m_transform);
        out->varyings[kVaryTex0] = in.attributes[kAttrTex0][0] * t[0] + t[2];
        out->varyings[kVaryTex0 + 1] = in.attributes[kAttrTex0][1] * t[1] + t[3];
        const float normal[4] = {in.attributes[kAttrNormal][0], in.attributes[kAttrNormal][1],
                                 in.attributes[kAttrNormal][2], 0.0f};
        MulColumns(constants, m_modelView, normal, out->varyings + kVaryTex1);
    }

private:
    bool m_skinning;
    uint32_t m_matrix, m_modelView, m_color, m_transform;
};

// Normals: the normal as a colour. Compose: the colour (and texture) times four times the light.
class DeferredMeshPixel : public PixelProgram
{
public:
    explicit DeferredMeshPixel(Binder& b)
        : m_compose(b.Has("Compose")), m_texture(b.Has("Texture")),
          m_diffuse(m_texture ? b.Sampler("DiffuseTexture") : 0), m_light(m_compose ? b.Sampler("LightTexture") : 0),
          m_screenToView(m_compose ? b.Float("ScreenToView") : 0)
    {
    }

    bool Run(const PixelContext& c, const PixelInput& in, Color4f* out) const override
    {
        if (!m_compose)
        {
            float n[3] = {in.varyings[kVaryTex1], in.varyings[kVaryTex1 + 1], in.varyings[kVaryTex1 + 2]};
            Normalize3(n);
            *out = {n[0] * 0.5f + 0.5f, n[1] * 0.5f + 0.5f, n[2] * 0.5f + 0.5f, 1.0f};
            return true;
        }
        Color4f color = Varying(in, kVaryColor);
        if (m_texture)
            color = Mul(color, SampleTex0(c, m_diffuse, in));
        float u = 0.0f, v = 0.0f;
        ScreenCentreUv(c, m_screenToView, in, &u, &v);
        const Color4f light = Sample(c, m_light, in, u, v);
        *out = {color.r * light.r * 4.0f, color.g * light.g * 4.0f, color.b * light.b * 4.0f, color.a};
        return true;
    }
    uint32_t VaryingCount() const override { return kVaryTex2; }

private:
    bool m_compose, m_texture;
    uint32_t m_diffuse, m_light, m_screenToView;
};

// Clip-space positions as they come, texture set 0 passed on: full-screen quads.
class PassThroughVertex : public VertexProgram
{
public:
    void Run(const float*, const VertexInput& in, ClipVertex* out) const override
    {
        Copy4(out->position, in.attributes[kAttrPosition]);
        out->position[3] = 1.0f;
        std::fill(out->varyings, out->varyings + kVaryingCount, 0.0f);
        Copy4(out->varyings + kVaryTex0, in.attributes[kAttrTex0]);
    }
};

// The sun on the stored normal, through the projected texture, dimmed to the shadow factor where the
// map is nearer the light, plus the ambient; at a quarter.
class LightFullScreenPixel : public PixelProgram
{
public:
    explicit LightFullScreenPixel(Binder& b)
        : m_shadow(b.Has("Shadow")), m_filtered(b.Has("Filtered")), m_projected(b.Has("Projected")),
          m_normals(b.Sampler("NormalDepthTexture")), m_direction(b.Float("LightDirection")),
          m_colors(b.Float("LightColors")), m_ambient(b.Float("AmbientColor")),
          m_depth(m_shadow || m_projected ? b.Sampler("DepthTexture") : 0),
          m_map(m_shadow ? b.Sampler("ShadowMapTexture") : 0),
          m_inverseProjection(m_shadow || m_projected ? b.Float("InverseProjection") : 0),
          m_shadowMatrix(m_shadow ? b.Float("ShadowMatrix") : 0),
          m_parameters(m_shadow ? b.Float("ShadowParameters") : 0),
          m_texture(m_projected ? b.Sampler("ProjectedTexture") : 0), m_rows(m_projected ? b.Float("ProjectedRows") : 0)
    {
    }

    bool Run(const PixelContext& c, const PixelInput& in, Color4f* out) const override
    {
        const float u = in.varyings[kVaryTex0], v = in.varyings[kVaryTex0 + 1];
        float n[3];
        StoredNormal(c, m_normals, in, u, v, n);
        const float* d = Reg(c.constants, m_direction);
        const float* sun = Reg(c.constants, m_colors);
        float lambert = Saturate(-Dot3(n, d));
        float view[4] = {0.0f, 0.0f, 0.0f, 1.0f};
        if (m_shadow || m_projected)
            ViewPoint(c, in, u, v, view);
        if (m_shadow)
            lambert *= ShadowFactor(c, in, view, n);
        Color4f through = {1.0f, 1.0f, 1.0f, 1.0f};
        if (m_projected)
            through = Sample(c, m_texture, in, Dot4(view, Reg(c.constants, m_rows)),
                             Dot4(view, Reg(c.constants, m_rows + 1)));
        const float* a = Reg(c.constants, m_ambient);
        *out = {sun[0] * through.r * lambert * 0.25f + a[0], sun[1] * through.g * lambert * 0.25f + a[1],
                sun[2] * through.b * lambert * 0.25f + a[2], 1.0f};
        return true;
    }
    uint32_t VaryingCount() const override { return kVaryTex1; }

private:
    static float Dot4(const float* a, const float* b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2] + a[3] * b[3]; }
    // The pixel's view-space position from the depth through the inverse projection.
    void ViewPoint(const PixelContext& c, const PixelInput& in, float u, float v, float* view) const
    {
        const float depth = Sample(c, m_depth, in, u, v).r;
        const float ndc[4] = {u * 2.0f - 1.0f, 1.0f - v * 2.0f, depth, 1.0f};
        float p[4];
        MulColumns(c.constants, m_inverseProjection, ndc, p);
        const float w = p[3] != 0.0f ? p[3] : 1.0f;
        view[0] = p[0] / w;
        view[1] = p[1] / w;
        view[2] = p[2] / w;
        view[3] = 1.0f;
    }
    // The receiver is moved one map texel along its normal, towards the light on the side it faces,
    // before it is looked up: a point of a lit plane then lies in front of the plane's own depths
    // wherever the lookup lands within a texel, and in front of a surface it meets in a corner (a box
    // on the ground). The map is read at texel centres (half a texel on: its pixel centres lay on
    // whole coordinates when it was drawn). The filter's second tap is compared with the depth the
    // receiver's plane has there when that is nearer the light.
    float ShadowFactor(const PixelContext& c, const PixelInput& in, const float* view, const float* n) const
    {
        const float* m = Reg(c.constants, m_shadowMatrix);
        const float* k = Reg(c.constants, m_parameters);
        const float texel = std::max(InverseLength3(m), InverseLength3(m + 4)) / k[2];
        const float moved[4] = {view[0] + n[0] * texel, view[1] + n[1] * texel, view[2] + n[2] * texel, 1.0f};
        float s[4];
        MulColumns(c.constants, m_shadowMatrix, moved, s);
        const float halfTexel = 0.5f / k[2];
        float lit = s[2] <= Sample(c, m_map, in, s[0] + halfTexel, s[1] + halfTexel).r + kBias ? 1.0f : 0.0f;
        if (m_filtered)
        {
            float slope[2];
            ReceiverSlope(m, m + 4, m + 8, n, slope);
            // Only a plane that comes nearer the light there is followed: where it goes away, the tap
            // may lie on a surface meeting it in a corner, nearer than the plane's continuation.
            const float there = s[2] + std::min(k[1] * (slope[0] + slope[1]), 0.0f);
            const float tap = Sample(c, m_map, in, s[0] + k[1] + halfTexel, s[1] + k[1] + halfTexel).r;
            lit = (lit + (there <= tap + kBias ? 1.0f : 0.0f)) * 0.5f;
        }
        return k[0] + (1.0f - k[0]) * lit;
    }
    // View units per map unit along one of the map's axes, from that axis's column.
    static float InverseLength3(const float* axis) { return 1.0f / std::sqrt(Dot3(axis, axis)); }
    // The depth change of the plane through the receiver with normal n per map unit along u and v,
    // from the shadow matrix's u, v and depth columns over view space. A plane edge-on to the light
    // has none (its slopes come out infinite or undefined), but the sun does not light it either.
    static void ReceiverSlope(const float* u, const float* v, const float* z, const float* n, float* slope)
    {
        float uv[3], vn[3], nu[3];
        Cross3(u, v, uv);
        Cross3(v, n, vn);
        Cross3(n, u, nu);
        const float det = Dot3(n, uv);
        slope[0] = Dot3(z, vn) / det;
        slope[1] = Dot3(z, nu) / det;
    }
    static void Cross3(const float* a, const float* b, float* out)
    {
        out[0] = a[1] * b[2] - a[2] * b[1];
        out[1] = a[2] * b[0] - a[0] * b[2];
        out[2] = a[0] * b[1] - a[1] * b[0];
    }

    static constexpr float kBias = 0.002f;
    bool m_shadow, m_filtered, m_projected;
    uint32_t m_normals, m_direction, m_colors, m_ambient, m_depth, m_map, m_inverseProjection, m_shadowMatrix,
        m_parameters, m_texture, m_rows;
};

// The light of one volume at the pixel's position, by distance (and cone, and segment for tubes),
// times the red of its mask where the mask projection puts the position.
class LightVolumePixel : public PixelProgram
{
public:
    explicit LightVolumePixel(Binder& b)
        : m_spot(b.Has("Spot")), m_tube(b.Has("Tube")), m_lowSpec(b.Has("LowSpec")),
          m_normals(b.Sampler("NormalTexture")), m_depth(b.Sampler("DepthTexture")),
          m_screenToView(b.Float("ScreenToView")), m_terms(b.Float("InverseProjectionTerms")),
          m_color(b.Float("LightColor")), m_position(b.Float("LightPosition")), m_attenuation(b.Float("Attenuation")),
          m_axis(m_spot || m_tube ? b.Float("LightAxis") : 0), m_mask(b.Has("Mask")),
          m_maskTexture(m_mask ? b.Sampler("MaskTexture") : 0), m_maskProjection(m_mask ? b.Float("MaskProjection") : 0)
    {
    }

    bool Run(const PixelContext& c, const PixelInput& in, Color4f* out) const override
    {
        float u = 0.0f, v = 0.0f;
        ScreenCentreUv(c, m_screenToView, in, &u, &v);
        float p[3];
        ViewPosition(Reg(c.constants, m_terms), u, v, Sample(c, m_depth, in, u, v).r, p);
        const float* l = Reg(c.constants, m_position);
        float toLight[3] = {l[0] - p[0], l[1] - p[1], l[2] - p[2]};
        const float* axis = Reg(c.constants, m_axis);
        if (m_tube)
        {
            // The nearest point of the tube's segment stands in for its centre.
            const float along = std::clamp(-Dot3(toLight, axis), -axis[3], axis[3]);
            for (int i = 0; i < 3; ++i)
                toLight[i] += axis[i] * along;
        }
        const float* k = Reg(c.constants, m_attenuation);
        float attenuation = Saturate(k[0] * Dot3(toLight, toLight) + k[1]);
        float direction[3] = {toLight[0], toLight[1], toLight[2]};
        Normalize3(direction);
        if (m_spot)
            attenuation *= Saturate(k[2] * -Dot3(direction, axis) + k[3]);
        if (m_mask)
        {
            const float position[4] = {p[0], p[1], p[2], 1.0f};
            float m[4];
            MulColumns(c.constants, m_maskProjection, position, m);
            const float w = m[3] != 0.0f ? m[3] : 1.0f;
            attenuation *= Sample(c, m_maskTexture, in, m[0] / w, m[1] / w).r;
        }
        if (!m_lowSpec)
        {
            float n[3];
            StoredNormal(c, m_normals, in, u, v, n);
            attenuation *= Saturate(Dot3(n, direction));
        }
        const float* color = Reg(c.constants, m_color);
        *out = {color[0] * attenuation, color[1] * attenuation, color[2] * attenuation, 0.0f};
        return true;
    }
    uint32_t VaryingCount() const override { return 0; }

private:
    bool m_spot, m_tube, m_lowSpec;
    uint32_t m_normals, m_depth, m_screenToView, m_terms, m_color, m_position, m_attenuation, m_axis;
    bool m_mask;
    uint32_t m_maskTexture, m_maskProjection;
};

// Position through the model-view-projection only: light volumes.
class VolumeVertex : public VertexProgram
{
public:
    explicit VolumeVertex(Binder& b) : m_matrix(b.Float("ModelViewProjMatrix")) {}

    void Run(const float* constants, const VertexInput& in, ClipVertex* out) const override
    {
        const float position[4] = {in.attributes[kAttrPosition][0], in.attributes[kAttrPosition][1],
                                   in.attributes[kAttrPosition][2], 1.0f};
        MulColumns(constants, m_matrix, position, out->position);
        std::fill(out->varyings, out->varyings + kVaryingCount, 0.0f);
    }

private:
    uint32_t m_matrix;
};
// One lighting-cube face: the quad's corners as they are, each carrying the face direction it
// stands for.
class LightCubeVertex : public VertexProgram
{
public:
    explicit LightCubeVertex(Binder& b)
        : m_forward(b.Float("FaceForward")), m_up(b.Float("FaceUp")), m_right(b.Float("FaceRight"))
    {
    }

    void Run(const float* constants, const VertexInput& in, ClipVertex* out) const override
    {
        const float x = in.attributes[kAttrPosition][0], y = in.attributes[kAttrPosition][1];
        const float position[4] = {x, y, 0.5f, 1.0f};
        Copy4(out->position, position);
        std::fill(out->varyings, out->varyings + kVaryingCount, 0.0f);
        const float *f = Reg(constants, m_forward), *u = Reg(constants, m_up), *r = Reg(constants, m_right);
        for (int i = 0; i < 3; ++i)
            out->varyings[kVaryTex0 + i] = f[i] - x * r[i] + y * u[i];
    }

private:
    uint32_t m_forward, m_up, m_right;
};

// The light's colour where the direction faces against it, the secondary colour where it faces
// along it, the side term across; wrap-around widens both; all times the red of the light's mask at
// the direction turned by the mask matrix.
class LightCubePixel : public PixelProgram
{
public:
    explicit LightCubePixel(Binder& b)
        : m_direction(b.Float("LightDirection")), m_color(b.Float("LightColor")),
          m_secondary(b.Float("SecondaryColor")), m_side(b.Float("SideTerm")), m_wrap(b.Float("WrapSpecular")),
          m_mask(b.Has("Mask")), m_maskTexture(m_mask ? b.Sampler("MaskTexture") : 0),
          m_maskMatrix(m_mask ? b.Float("MaskMatrix") : 0)
    {
    }

    bool Run(const PixelContext& c, const PixelInput& in, Color4f* out) const override
    {
        float n[3] = {in.varyings[kVaryTex0], in.varyings[kVaryTex0 + 1], in.varyings[kVaryTex0 + 2]};
        Normalize3(n);
        const float* l = Reg(c.constants, m_direction);
        const float facing = -Dot3(n, l);
        const float wrap = Reg(c.constants, m_wrap)[0];
        const float lit = Saturate((facing + wrap) / (1.0f + wrap));
        const float back = Saturate((-facing + wrap) / (1.0f + wrap));
        const float across = 1.0f - std::fabs(facing);
        const float *a = Reg(c.constants, m_color), *s = Reg(c.constants, m_secondary), *t = Reg(c.constants, m_side);
        float k = 1.0f;
        if (m_mask)
        {
            const float direction[4] = {n[0], n[1], n[2], 1.0f};
            float m[4];
            MulColumns(c.constants, m_maskMatrix, direction, m);
            k = Sample(c, m_maskTexture, in, m[0] * 0.5f + 0.5f, m[1] * 0.5f + 0.5f).r;
        }
        *out = {(a[0] * lit + s[0] * back + t[0] * across) * k, (a[1] * lit + s[1] * back + t[1] * across) * k,
                (a[2] * lit + s[2] * back + t[2] * across) * k, (a[3] * lit + s[3] * back + t[3] * across) * k};
        return true;
    }
    bool SamplesTextures() const override { return m_mask; }

private:
    uint32_t m_direction, m_color, m_secondary, m_side, m_wrap;
    bool m_mask;
    uint32_t m_maskTexture, m_maskMatrix;
};
} // namespace

void AddDeferredPrograms(std::vector<ProgramEntry>& entries)
{
    entries.push_back({"DeferredMesh",
                       {"Compose", "Texture", "Skinning"},
                       [](Binder& b) { return std::make_unique<DeferredMeshVertex>(b); },
                       [](Binder& b) { return std::make_unique<DeferredMeshPixel>(b); }});
    entries.push_back({"LightFullScreen",
                       {"Shadow", "Filtered", "LowSpec", "Projected"},
                       [](Binder&) { return std::make_unique<PassThroughVertex>(); },
                       [](Binder& b) { return std::make_unique<LightFullScreenPixel>(b); }});
    entries.push_back({"LightCube",
                       {"Mask"},
                       [](Binder& b) { return std::make_unique<LightCubeVertex>(b); },
                       [](Binder& b) { return std::make_unique<LightCubePixel>(b); }});
    entries.push_back({"LightVolume",
                       {"Spot", "Tube", "Mask", "LowSpec"},
                       [](Binder& b) { return std::make_unique<VolumeVertex>(b); },
                       [](Binder& b) { return std::make_unique<LightVolumePixel>(b); }});
}
} // namespace gpu
