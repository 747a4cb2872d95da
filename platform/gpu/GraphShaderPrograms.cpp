// The programs of the graph family: flat ribbons along straight strips or Catmull-Rom segments and
// arrowheads, placed from per-piece vertex constants by the batch vertices' place along the piece
// (x), side (y) and piece number (z); the colour is the constant colour, times the texture when
// textured.
#include "platform/gpu/ShaderProgramKit.h"

#include <cmath>

namespace gpu
{
namespace
{
// Registers of the piece array the source declares.
constexpr uint32_t kGraphPieceRegisters = 64;

// The horizontal unit perpendicular of a direction, zero for a vertical one.
void GraphAcross(const float* direction, float* across)
{
    const float x = -direction[2], z = direction[0];
    const float length2 = x * x + z * z;
    const float scale = length2 > 0.0f ? 1.0f / std::sqrt(length2) : 0.0f;
    across[0] = x * scale;
    across[1] = 0.0f;
    across[2] = z * scale;
}

class GraphVertex : public VertexProgram
{
public:
    enum Shape
    {
        SHAPE_STRIP,
        SHAPE_CURVE,
        SHAPE_ARROW,
    };
    explicit GraphVertex(Binder& b)
        : m_shape(b.Has("Arrow") ? SHAPE_ARROW : b.Has("CatmullRom") ? SHAPE_CURVE : SHAPE_STRIP),
          m_matrix(b.Float("ModelViewProjMatrix")), m_color(b.Float("ConstantColor")),
          m_settings(b.Float("GraphSettings")), m_pieces(b.Float("Pieces"))
    {
    }

    void Run(const float* constants, const VertexInput& in, ClipVertex* out) const override
    {
        const float* v = in.attributes[kAttrPosition];
        const uint32_t perPiece = m_shape == SHAPE_CURVE ? 4 : 2;
        // A piece number past the array would read registers that hold no piece.
        const float number = std::clamp(v[2] + 0.5f, 0.0f, float(kGraphPieceRegisters / perPiece - 1));
        const float* piece = Reg(constants, m_pieces + uint32_t(number) * perPiece);
        const float s = v[0];
        float centre[3], direction[3], u = 0.0f;
        if (m_shape == SHAPE_ARROW)
            for (int i = 0; i < 3; ++i)
            {
                direction[i] = piece[4 + i];
                centre[i] = piece[i] + direction[i] * s * Reg(constants, m_settings)[0];
            }
        else if (m_shape == SHAPE_CURVE)
        {
            const float* p0 = piece;
            const float *p1 = piece + 4, *p2 = piece + 8, *p3 = piece + 12;
            const float s2 = s * s, s3 = s2 * s, r = 1.0f - s;
            for (int i = 0; i < 3; ++i)
            {
                const float b = p2[i] - p0[i];
                const float c = 2.0f * p0[i] - 5.0f * p1[i] + 4.0f * p2[i] - p3[i];
                const float d = 3.0f * p1[i] - p0[i] - 3.0f * p2[i] + p3[i];
                centre[i] = 0.5f * (2.0f * p1[i] + b * s + c * s2 + d * s3);
                direction[i] = 0.5f * (b + c * 2.0f * s + d * 3.0f * s2);
            }
            u = p0[3] * r * r * r + 3.0f * p1[3] * s * r * r + 3.0f * p2[3] * s2 * r + p3[3] * s3;
        }
        else
        {
            const float *a = piece, *b = piece + 4;
            for (int i = 0; i < 3; ++i)
            {
                centre[i] = a[i] + (b[i] - a[i]) * s;
                direction[i] = b[i] - a[i];
            }
            u = a[3] + (b[3] - a[3]) * s;
        }
        const float* settings = Reg(constants, m_settings);
        float across[3];
        GraphAcross(direction, across);
        const float world[4] = {centre[0] + across[0] * v[1] * settings[0], centre[1],
                                centre[2] + across[2] * v[1] * settings[0], 1.0f};
        MulColumns(constants, m_matrix, world, out->position);
        std::fill(out->varyings, out->varyings + kVaryingCount, 0.0f);
        Copy4(out->varyings + kVaryColor, Reg(constants, m_color));
        out->varyings[kVaryTex0] = u * settings[1];
        out->varyings[kVaryTex0 + 1] = v[1] + 0.5f;
    }

private:
    Shape m_shape;
    uint32_t m_matrix, m_color, m_settings, m_pieces;
};

class GraphPixel : public PixelProgram
{
public:
    explicit GraphPixel(Binder& b) : m_textured(b.Has("Texture")), m_texture(m_textured ? b.Sampler("GraphTexture") : 0)
    {
    }

    bool Run(const PixelContext& c, const PixelInput& in, Color4f* out) const override
    {
        const Color4f color = Varying(in, kVaryColor);
        *out = m_textured ? Mul(SampleTex0(c, m_texture, in), color) : color;
        return true;
    }
    bool SamplesTextures() const override { return m_textured; }

private:
    bool m_textured;
    uint32_t m_texture;
};
} // namespace

void AddGraphPrograms(std::vector<ProgramEntry>& entries)
{
    entries.push_back({"Graph",
                       {"CatmullRom", "Texture", "Arrow"},
                       [](Binder& b) { return std::make_unique<GraphVertex>(b); },
                       [](Binder& b) { return std::make_unique<GraphPixel>(b); }});
}
} // namespace gpu
