// The render side of the text kinds: the text commands' executor, and the measuring and drawing of
// text runs with their inline tags. Render thread only (any thread while no render thread runs).
#include "core/console/GameConsole.h"
#include "core/strings/StringUtils.h"
#include "core/threads/CommandRingBuffer.h"
#include "platform/gpu/GpuTypes.h"
#include "platform/os/CodePage.h"
#include "renderer/resources/ResourceFont.h"
#include "ui/elements/UICommand.h"
#include "ui/elements/UITextBase.h"
#include "ui/elements/UITextCommandArgs.h"
#include "ui/render/UIQuadBatch.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace
{
constexpr size_t kTagNameCapacity = 128;
constexpr char16_t kTagMark = u'|';
constexpr char16_t kSeparator[] = u"/";

// A text payload: u32 count, the units and a terminator. A count the record cannot hold is read as
// far as the record goes.
template <typename Unit>
std::vector<Unit> ReadUnits(CommandRingBuffer& reader)
{
    const uint32_t count = ReadCommandValue<uint32_t>(reader);
    const uint32_t fits = reader.GetReadLeft() / sizeof(Unit);
    std::vector<Unit> units(std::min(count, fits) + 1, Unit(0));
    reader.Read(units.data(), uint32_t(std::min<size_t>(count + 1, fits) * sizeof(Unit)));
    units.back() = 0;
    return units;
}

std::u16string ReadNarrowText(CommandRingBuffer& reader)
{
    const std::vector<char> narrow = ReadUnits<char>(reader);
    const size_t length = narrow.size() - 1;
    std::u16string wide(length, u'\0');
    wide.resize(os::NarrowToWide(os::kCodePageSystem, narrow.data(), length, wide.data(), length));
    return wide;
}

std::u16string ReadWideText(CommandRingBuffer& reader)
{
    const std::vector<char16_t> units = ReadUnits<char16_t>(reader);
    return std::u16string(units.data());
}

Matrix TextRenderThen(const Matrix& first, const Matrix& second)
{
    Matrix result;
    result.Mul(second, first);
    return result;
}

Matrix Translation(float x, float y)
{
    Matrix matrix;
    matrix.LoadTranslation(x, y, 0.0f);
    return matrix;
}

// The name between two marks: each unit cut to its low byte, at most 127 of them.
NameString TagName(const char16_t* begin, const char16_t* end)
{
    char name[kTagNameCapacity] = {};
    size_t length = 0;
    for (const char16_t* c = begin; c < end && length < kTagNameCapacity - 1; ++c)
        name[length++] = char(uint8_t(*c));
    return NameString(name);
}

// Calls `plain` for each run of ordinary characters and `tag` for each "|name|" of the text, until
// one of them answers false. A mark without its closing mark is an ordinary character: the rest
// of the text is shown as typed.
template <typename Plain, typename Tag>
void ForEachPiece(const char16_t* text, bool tags, Plain plain, Tag tag)
{
    const char16_t* c = text;
    while (c != nullptr && *c != 0)
    {
        const char16_t* end = c;
        const char16_t* close = nullptr;
        while (*end != 0)
        {
            if (tags && *end == kTagMark)
            {
                const char16_t* probe = end + 1;
                while (*probe != 0 && *probe != kTagMark)
                    ++probe;
                if (*probe == kTagMark)
                    close = probe;
                else
                    end = probe;
                break;
            }
            ++end;
        }
        if (end != c && !plain(c, end))
            return;
        if (close == nullptr || !tag(TagName(end + 1, close)))
            return;
        c = close + 1;
    }
}
} // namespace

// ---- The commands ----

void UITextBase::RunTextCommand(uint32_t commandId, CommandRingBuffer& reader)
{
    UIElement* const element = ReadCommandValue<UIElement*>(reader);
    UITextCommandArgs args;
    // The stream carries no lengths: every payload is read whole, whatever the element.
    switch (commandId)
    {
    case UITEXT_CMD_SET_FONT:
        args.font = ReadCommandValue<ResourceFont*>(reader);
        args.vector = ReadCommandValue<Vector>(reader);
        args.byte = ReadCommandValue<uint8_t>(reader);
        args.integer = ReadCommandValue<int32_t>(reader);
        break;
    case UITEXT_CMD_SET_SHADOW_POSITION:
    case UITEXT_CMD_SET_SHADOW_COLOR:
    case UITEXT_CMD_SET_SECOND_COLOR:
    case UITEXT_CMD_SET_TINT: args.vector = ReadCommandValue<Vector>(reader); break;
    case UITEXT_CMD_SET_ALIGNMENT:
    case UITEXT_CMD_BOX_LINES_TO_RENDER:
        args.first = ReadCommandValue<uint32_t>(reader);
        args.second = ReadCommandValue<uint32_t>(reader);
        break;
    case UITEXT_CMD_SET_TEXT_CONVERSION: args.byte = ReadCommandValue<uint8_t>(reader); break;
    case UITEXT_CMD_APPEND_NARROW:
    case UITEXT_CMD_TEXT_SET_NARROW:
    case UITEXT_CMD_BOX_SET_NARROW: args.text = ReadNarrowText(reader); break;
    case UITEXT_CMD_APPEND_WIDE:
    case UITEXT_CMD_TEXT_SET_WIDE:
    case UITEXT_CMD_BOX_SET_WIDE: args.text = ReadWideText(reader); break;
    case UITEXT_CMD_TEXT_COPY:
        args.element = ReadCommandValue<UIElement*>(reader);
        args.byte = ReadCommandValue<uint8_t>(reader);
        args.flag = ReadCommandValue<uint8_t>(reader);
        break;
    case UITEXT_CMD_BOX_LINE_SPACING: args.a = ReadCommandValue<float>(reader); break;
    case UITEXT_CMD_BOX_ALIGN_TO_BOTTOM:
        args.element = ReadCommandValue<UIElement*>(reader);
        args.a = ReadCommandValue<float>(reader);
        args.b = ReadCommandValue<float>(reader);
        break;
    default: break;
    }
    if (element == nullptr || !element->IsUITextBase())
    {
        // A font handed over for an element that cannot take it is not leaked.
        if (args.font != nullptr)
            args.font->Release();
        return;
    }
    static_cast<UITextBase*>(element)->ExecuteTextCommand(commandId, args);
}

void UITextBase::ExecuteTextCommand(uint32_t commandId, UITextCommandArgs& args)
{
    switch (commandId)
    {
    case UITEXT_CMD_RELEASE_FONT: SetRenderFont(nullptr); return;
    case UITEXT_CMD_SET_FONT:
        SetRenderFont(args.font);
        m_renderPixelSize = args.vector;
        m_renderCharacterWrap = args.byte;
        m_renderSpacing = args.integer;
        UpdateLayout();
        return;
    case UITEXT_CMD_SET_SHADOW_POSITION:
    case UITEXT_CMD_SET_SHADOW_COLOR:
    {
        (commandId == UITEXT_CMD_SET_SHADOW_POSITION ? m_shadowOffset : m_shadowColor) = args.vector;
        const bool offset = std::fabs(m_shadowOffset.x) > 0.01f || std::fabs(m_shadowOffset.y) > 0.01f ||
                            std::fabs(m_shadowOffset.z) > 0.01f;
        m_shadowEnabled = m_shadowColor.w > 0.0f && offset;
        return;
    }
    case UITEXT_CMD_SET_SECOND_COLOR: m_secondColor = args.vector; return;
    case UITEXT_CMD_SET_TINT:
        m_tint = args.vector;
        m_tintEnabled = m_tint.w > 0.0001f;
        return;
    case UITEXT_CMD_SET_ALIGNMENT:
        m_horizontalAlignment = args.first;
        m_verticalAlignment = args.second;
        UpdateLayout();
        return;
    case UITEXT_CMD_SET_TEXT_CONVERSION: m_conversion = args.byte; return;
    case UITEXT_CMD_APPEND_NARROW:
    case UITEXT_CMD_APPEND_WIDE:
        Convert(args.text);
        AddText(args.text.c_str());
        return;
    default: ExecuteKindCommand(commandId, args); return;
    }
}

void UITextBase::ExecuteKindCommand(uint32_t, UITextCommandArgs&)
{
}

void UITextBase::SetRenderFont(ResourceFont* font)
{
    if (m_renderFont != nullptr)
        m_renderFont->Release();
    m_renderFont = font;
}

void UITextBase::Convert(std::u16string& text) const
{
    if (m_conversion == UITEXTCONVERSION_UPPERCASE)
        WideStringToUpper(text.data(), true);
}

bool UITextBase::GetCharacterPosition(uint32_t, Vector&) const
{
    return false;
}

// ---- Measuring and drawing ----

Vector UITextBase::MeasureText(const char16_t* text, int32_t maxCharacters, bool appendSpace) const
{
    const ResourceFont* const font = m_renderFont;
    if (font == nullptr || text == nullptr || *text == 0)
        return Vector(0.0f, 0.0f, 0.0f, 0.0f);
    float width = 0.0f;
    float height = 0.0f;
    int32_t budget = maxCharacters;
    const bool tags = (GetRenderFlags() & UIFLAG_NOSPECIALTAGSUBSTITUTION) == 0;
    ForEachPiece(
        text, tags,
        [&](const char16_t* begin, const char16_t* end) {
            const std::u16string run(begin, end);
            const int32_t length = int32_t(run.size());
            const Vector extent =
                font->GetTextExtent(run.c_str(), m_renderSpacing, budget < 0 ? -1 : std::min(budget, length), appendSpace);
            width += extent.x;
            height = extent.y;
            if (budget >= 0)
                budget -= std::min(budget, length);
            return budget != 0;
        },
        [&](const NameString& name) {
            bool first = true;
            for (UIElement* child = GetRenderFirstChild(); child != nullptr && budget != 0; child = child->GetRenderNextSibling())
            {
                // Children are named on the main thread before they are drawn inline.
                if (!(child->GetNameString() == name))
                    continue;
                if (!first)
                {
                    width += font->GetTextExtent(kSeparator, m_renderSpacing, -1, appendSpace).x;
                    if (budget > 0)
                        --budget;
                }
                first = false;
                width += child->GetRenderSize().x * child->GetRenderScale().x / m_renderPixelSize.x;
            }
            return budget != 0;
        });
    return Vector(width, height, 0.0f, 0.0f);
}

float UITextBase::DrawTextRun(const char16_t* text, const Matrix& matrix, const Vector& elementColor,
                              const Vector& textColor, const Vector& secondColor, bool mirrored,
                              const Vector* constants, bool shadowPass, int32_t& budget, float blendStep,
                              float blendBase) const
{
    const ResourceFont* const font = m_renderFont;
    if (font == nullptr || text == nullptr)
        return 0.0f;
    const uint32_t depth = (GetRenderFlags() & UIFLAG_DEPTHTEST) != 0 ? gpu::kCmpLessEqual : gpu::kCmpAlways;
    const bool tags = (GetRenderFlags() & UIFLAG_NOSPECIALTAGSUBSTITUTION) == 0;
    Matrix pen = matrix;
    float advanced = 0.0f;
    float base = blendBase;
    auto drawPlain = [&](const char16_t* run, int32_t length) {
        const float advance = font->DrawText(run, pen, elementColor, textColor, secondColor, m_renderSpacing,
                                             GetBlendMode(), mirrored, depth, budget, blendStep, base);
        const int32_t used = budget < 0 ? length : std::min(budget, length);
        if (budget >= 0)
            budget -= used;
        // Later pieces continue the blend where this one stopped.
        base += blendStep * float(used);
        pen = TextRenderThen(Translation(advance, 0.0f), pen);
        advanced += advance;
    };
    ForEachPiece(
        text, tags,
        [&](const char16_t* begin, const char16_t* end) {
            const std::u16string run(begin, end);
            drawPlain(run.c_str(), int32_t(run.size()));
            return budget != 0;
        },
        [&](const NameString& name) {
            bool first = true;
            for (UIElement* child = GetRenderFirstChild(); child != nullptr && budget != 0; child = child->GetRenderNextSibling())
            {
                if (!(child->GetNameString() == name))
                    continue;
                if (!first)
                    drawPlain(kSeparator, 1);
                first = false;
                const float width = child->GetRenderSize().x * child->GetRenderScale().x / m_renderPixelSize.x;
                if (!shadowPass && budget != 0)
                {
                    Matrix unscale;
                    unscale.LoadScale(Vector(1.0f / m_renderPixelSize.x, 1.0f / m_renderPixelSize.y, 1.0f, 1.0f));
                    const Matrix at =
                        TextRenderThen(TextRenderThen(unscale, Translation(0.0f, float(font->GetLineHeight()))), pen);
                    child->RenderTree(at, elementColor, mirrored, constants, 0);
                    // The text after the child draws at once: the child's queued quads go first.
                    FlushAllUIQuadBatches();
                }
                pen = TextRenderThen(Translation(width, 0.0f), pen);
                advanced += width;
            }
            return budget != 0;
        });
    return advanced;
}

void UITextBase::SnapToPixels(Matrix& matrix) const
{
    const uint32_t flags = GetRenderFlags();
    const float* p = &m_renderPixelSize.x;
    for (uint32_t axis = 0; axis < 2; ++axis)
    {
        if ((flags & (0x20u << axis)) == 0 || !(p[axis] > 0.0f))
            continue;
        float& t = (&matrix.rows[3].x)[axis];
        t = std::floor((t + 0.5f * p[axis]) / p[axis]) * p[axis];
    }
}

Vector UITextBase::TintedColor(const Vector& color) const
{
    if (!m_tintEnabled)
        return color;
    const float t = m_tint.w;
    // The tint's w is its factor, not an alpha: the colour keeps its own.
    return Vector((1.0f - t) * color.x + t * m_tint.x, (1.0f - t) * color.y + t * m_tint.y,
                  (1.0f - t) * color.z + t * m_tint.z, color.w);
}
