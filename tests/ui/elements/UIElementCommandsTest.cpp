// Every main-thread setter reaches the render side only as a UI command: the records are read back
// byte by byte from a stream that no render thread runs, and the render-side twin stays untouched
// until they run. Then each command's render-side effect, run as written (no render thread).
#include "ui/elements/UIElement.h"

#include "support/ConsoleCapture.h"
#include "support/RenderStreamCapture.h"
#include "ui/elements/UICommand.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <vector>

namespace
{
using Bytes = std::vector<uint8_t>;

template <typename... T>
Bytes Pack(const T&... values)
{
    Bytes out;
    (
        [&] {
            const uint8_t* p = reinterpret_cast<const uint8_t*>(&values);
            out.insert(out.end(), p, p + sizeof(values));
        }(),
        ...);
    return out;
}

const RenderCallFunction kTrampoline = &UICommandTrampoline<&UIElement::RunCommand>;

struct Expected
{
    uint32_t id;
    Bytes arguments;
};

// Reads the next command; it must be a UI command of the element family for `element`.
void ExpectCommand(RenderStreamCapture& capture, const UIElement* element, const Expected& expected, const char* name)
{
    SCOPED_TRACE(name);
    ASSERT_EQ(capture.NextOpcode(), uint32_t(RENDER_OP_CALL));
    EXPECT_EQ(capture.Read<uintptr_t>(), reinterpret_cast<uintptr_t>(kTrampoline));
    EXPECT_EQ(capture.Read<uint32_t>(), expected.id);
    EXPECT_EQ(capture.Read<uintptr_t>(), reinterpret_cast<uintptr_t>(element)) << "the element pointer is 8 bytes";
    Bytes arguments;
    for (size_t i = 0; i < expected.arguments.size(); ++i)
        arguments.push_back(capture.Read<uint8_t>());
    EXPECT_EQ(arguments, expected.arguments);
}

TEST(UIElementCommandsTest, EachSetterWritesItsRecordAndNothingChangesUntilItRuns)
{
    RenderStreamCapture capture;
    UIElement element;
    UIElement child;
    const Vector v(1.0f, 2.0f, 3.0f, 4.0f);
    const float g = std::pow(0.5f, 2.2f);
    const struct
    {
        const char* name;
        std::function<void()> call;
        std::vector<Expected> commands;
    } cases[] = {
        {"AddChild", [&] { element.AddChild(&child); }, {{1, Pack(&child)}}},
        {"AddChild(null)", [&] { element.AddChild(nullptr); }, {}},
        {"RemoveChild", [&] { element.RemoveChild(&child); }, {{2, Pack(&child)}}},
        {"RaiseFlag", [&] { element.RaiseFlag(0x10, true); }, {{4, Pack(uint32_t(0x10), uint8_t(1))}}},
        {"ClearFlag", [&] { element.ClearFlag(2); }, {{5, Pack(uint32_t(2), uint8_t(0))}}},
        {"SetModal", [&] { element.SetModal(2); }, {{7, Pack(uint32_t(4))}, {6, Pack(uint32_t(4))}}},
        {"SetModal(0)", [&] { element.SetModal(0); }, {{7, Pack(uint32_t(4))}}},
        {"SetWindowAlignment", [&] { element.SetWindowAlignment(3); }, {{8, Pack(uint32_t(3))}}},
        {"SetAspectScaling", [&] { element.SetAspectScaling(2); }, {{9, Pack(uint32_t(2))}}},
        {"SetPosition", [&] { element.SetPosition(v); }, {{10, Pack(v)}}},
        {"SetPositionXYZ", [&] { element.SetPositionXYZ(1, 2, 3); }, {{10, Pack(Vector(1, 2, 3, 1))}}},
        {"SetPositionWithMask",
         [&] { element.SetPositionWithMask(1, 2, 3, true, false, true); },
         {{11, Pack(Vector(1, 2, 3, 1), Vector(1, 0, 1, 0))}}},
        {"SetAnchorXYZ", [&] { element.SetAnchorXYZ(1, 2, 3); }, {{12, Pack(Vector(1, 2, 3, 0))}}},
        {"SetRotationZ", [&] { element.SetRotationZ(45); }, {{13, Pack(Vector(0, 0, 45, 0))}}},
        {"SetRotationXYZ", [&] { element.SetRotationXYZ(1, 2, 3); }, {{13, Pack(Vector(1, 2, 3, 0))}}},
        {"SetScaleUniform", [&] { element.SetScaleUniform(2); }, {{14, Pack(Vector(2, 2, 2, 0))}}},
        {"SetScaleXYZ", [&] { element.SetScaleXYZ(1, 2, 3); }, {{14, Pack(Vector(1, 2, 3, 0))}}},
        {"SetSizeXY", [&] { element.SetSizeXY(10, 20); }, {{15, Pack(Vector(10, 20, 0, 0))}}},
        {"SetSelectionFrame", [&] { element.SetSelectionFrame(v); }, {{16, Pack(v)}}},
        {"SetColorRGBA", [&] { element.SetColorRGBA(0.5f, 0.5f, 0.5f, 0.5f); }, {{17, Pack(Vector(g, g, g, 0.5f))}}},
        {"SetColor", [&] { element.SetColor(Vector(0.5f, 1, 0, 0.5f)); }, {{17, Pack(Vector(g, 1, 0, 0.5f))}}},
        {"SetLinearColorRGBA", [&] { element.SetLinearColorRGBA(0.5f, 0.5f, 0.5f, 0.5f); }, {{17, Pack(Vector(0.5f, 0.5f, 0.5f, 0.5f))}}},
        {"SetBlendMode", [&] { element.SetBlendMode(BLEND_ADD); }, {{18, Pack(uint32_t(2))}}},
        {"SetColorMode", [&] { element.SetColorMode(UICOLOR_STATIC); }, {{19, Pack(uint32_t(0))}}},
        {"SetOutline", [&] { element.SetOutline(33); }, {{20, Pack(uint32_t(33))}}},
        {"SetTag", [&] { element.SetTag("ab"); }, {{21, Pack(uint32_t(3), 'a', 'b', '\0')}}},
        {"SetTag(null)", [&] { element.SetTag(nullptr); }, {{21, Pack(uint32_t(0))}}},
        {"SetExtraParamVector", [&] { element.SetExtraParamVector(v); }, {{22, Pack(v)}}},
        {"RemoveAllActions", [&] { element.RemoveAllActions(-1); }, {{24, Pack(uint32_t(0xFFFFFFFF))}}},
        {"AddAction(null)", [&] { element.AddAction(nullptr); }, {{25, Pack(uintptr_t(0))}}},
        {"DeleteChildren", [&] { element.DeleteChildren(); }, {{3, {}}}},
    };
    for (const auto& c : cases)
    {
        c.call();
        capture.Take();
        for (const Expected& expected : c.commands)
            ExpectCommand(capture, &element, expected, c.name);
        EXPECT_EQ(capture.NextOpcode(), RenderStreamCapture::kNone) << c.name << " writes nothing else";
    }

    // The main thread keeps only what it owns; the render-side twin has seen no command run.
    EXPECT_EQ(element.GetUserFlags(), 0x10u) << "the main copy of the user flags";
    EXPECT_EQ(element.GetStateFlags(), UISTATE_DEFAULT) << "mode 0 leaves the element non-modal";
    EXPECT_EQ(element.GetRenderFlags(), 0u);
    EXPECT_EQ(element.GetRenderState(), 0u);
    EXPECT_TRUE(element.GetRenderPosition().Equal(Vector(0, 0, 0, 0)));
    EXPECT_TRUE(element.GetRenderSize().Equal(Vector(64, 64, 0, 0)));
    EXPECT_TRUE(element.GetRenderColor().Equal(Vector(1, 1, 1, 1)));
    EXPECT_TRUE(element.GetRenderScale().Equal(Vector(1, 1, 1, 0)));
    EXPECT_EQ(element.GetBlendMode(), BLEND_ALPHA);
    EXPECT_EQ(element.GetColorMode(), UICOLOR_MULTIPLYBYPARENTALPHA);
    EXPECT_EQ(element.GetOutlineMask(), 0u);
    EXPECT_TRUE(element.GetRenderTag().IsEmpty());
    EXPECT_EQ(element.GetRenderFirstChild(), nullptr);

    // Release queues command 0 and leaves the deletion to the render side.
    UIElement* released = new UIElement;
    released->Release();
    capture.Take();
    ExpectCommand(capture, released, {0, {}}, "Release");
    delete released; // as the render thread would
}

TEST(UIElementCommandsTest, RenderSideEffectsOfTheCommands)
{
    ASSERT_EQ(gRenderer, nullptr) << "no stream: commands run as they are written";
    const float g = std::pow(0.5f, 2.2f);
    const struct
    {
        const char* name;
        std::function<void(UIElement&)> call;
        std::function<bool(const UIElement&)> check;
    } cases[] = {
        {"outline 0 clears the mask", [](UIElement& e) { e.SetOutline(3); e.SetOutline(0); },
         [](const UIElement& e) { return e.GetOutlineMask() == 0; }},
        {"outline 33 is 1 << 1", [](UIElement& e) { e.SetOutline(33); }, [](const UIElement& e) { return e.GetOutlineMask() == 2; }},
        {"outline 20", [](UIElement& e) { e.SetOutline(20); }, [](const UIElement& e) { return e.GetOutlineMask() == 1u << 20; }},
        {"gamma colour", [](UIElement& e) { e.SetColorRGBA(0.5f, 0.5f, 0.5f, 0.5f); },
         [g](const UIElement& e) { return std::fabs(e.GetRenderColor().x - 0.2176f) < 1e-4f && e.GetRenderColor().y == g && e.GetRenderColor().w == 0.5f; }},
        {"mask all false keeps the position",
         [](UIElement& e) { e.SetPositionXYZ(5, 6, 7); e.SetPositionWithMask(1, 2, 3, false, false, false); },
         [](const UIElement& e) { return e.GetRenderPosition().Equal(Vector(5, 6, 7, 1)); }},
        {"mask on y only",
         [](UIElement& e) { e.SetPositionXYZ(5, 6, 7); e.SetPositionWithMask(1, 2, 3, false, true, false); },
         [](const UIElement& e) { return e.GetRenderPosition().Equal(Vector(5, 2, 7, 1)) && e.GetLocalMatrix().rows[3].y == 2.0f; }},
        {"mask on z keeps w",
         [](UIElement& e) { e.SetPosition(Vector(5, 6, 7, 0)); e.SetPositionWithMask(1, 2, 3, false, false, true); },
         [](const UIElement& e) { return e.GetRenderPosition().Equal(Vector(5, 6, 3, 0)); }},
        {"anchor stored negated", [](UIElement& e) { e.SetAnchorXYZ(1, -2, 3); },
         [](const UIElement& e) { return e.GetRenderAnchor().Equal(Vector(-1, 2, -3, 0)); }},
        {"size sets the rectangle", [](UIElement& e) { e.SetSizeXY(10, 20); },
         [](const UIElement& e) { return e.GetRenderSize().Equal(Vector(10, 20, 0, 0)) && e.GetRectMax().Equal(Vector(10, 20, 0, 1)); }},
        {"screen rectangle from the origin", [](UIElement& e) { e.SetSizeXY(10, 20); },
         [](const UIElement& e) {
             Vector c[4];
             e.GetScreenRect(c);
             return c[0].Equal(Vector(0, 0, 0, 1)) && c[1].Equal(Vector(10, 0, 0, 1)) && c[2].Equal(Vector(10, 20, 0, 1)) &&
                    c[3].Equal(Vector(0, 20, 0, 1));
         }},
        {"negative scale mirrors", [](UIElement& e) { e.SetScaleXYZ(-1, 2, 1); },
         [](const UIElement& e) { return e.IsMirrored() && e.GetLocalMatrix().rows[0].x == -1.0f; }},
        {"two negative factors do not", [](UIElement& e) { e.SetScaleXYZ(-1, -2, 1); }, [](const UIElement& e) { return !e.IsMirrored(); }},
        {"tag null is empty", [](UIElement& e) { e.SetTag("x"); e.SetTag(nullptr); }, [](const UIElement& e) { return e.GetRenderTag().IsEmpty(); }},
        {"tag", [](UIElement& e) { e.SetTag("hello"); }, [](const UIElement& e) { return e.GetRenderTag().Equals("hello"); }},
        {"modal render bit", [](UIElement& e) { e.SetModal(1); },
         [](const UIElement& e) { return e.GetRenderState() == UIRENDERSTATE_MODAL && e.IsModalFlag() == 1; }},
        {"modal off", [](UIElement& e) { e.SetModal(2); e.SetModal(0); }, [](const UIElement& e) { return e.GetRenderState() == 0 && e.IsModalFlag() == 0; }},
        {"alignment, scaling, modes",
         [](UIElement& e) { e.SetWindowAlignment(8); e.SetAspectScaling(3); e.SetBlendMode(4); e.SetColorMode(2); },
         [](const UIElement& e) { return e.GetWindowAlignment() == 8 && e.GetAspectScaling() == 3 && e.GetBlendMode() == 4 && e.GetColorMode() == 2; }},
        {"translation in the last row", [](UIElement& e) { e.SetPositionXYZ(3, 4, 0); },
         [](const UIElement& e) { return e.GetLocalMatrix().rows[3].x == 3.0f && e.GetLocalMatrix().rows[3].y == 4.0f; }},
    };
    for (const auto& c : cases)
    {
        UIElement* element = new UIElement;
        c.call(*element);
        EXPECT_TRUE(c.check(*element)) << c.name;
        element->Release();
    }
}

// A runner that tries to write a command while its own runs.
bool gNestedOpened = false;
void NestingRunner(uint32_t, CommandRingBuffer& reader)
{
    ReadCommandValue<void*>(reader);
    gNestedOpened = UICommand(kTrampoline, &NestingRunner, 1, nullptr, 0).IsOpen();
}

TEST(UIElementCommandsTest, RecordsThatCannotBeReadSafelyAreRefused)
{
    ConsoleCapture log;
    UICommand(kTrampoline, &NestingRunner, 1, nullptr, 0);
    EXPECT_FALSE(gNestedOpened) << "a command written while another runs would be read as part of it";
    EXPECT_TRUE(log.Contains("UI command 1 with 8 bytes refused"));
    UIElement* element = new UIElement;
    element->SetTag("kept");
    UICommand(kTrampoline, &UIElement::RunCommand, 21, element, 4 + 3).Put(uint32_t(3)).Write("abc", 3);
    EXPECT_TRUE(element->GetRenderTag().IsEmpty()) << "a tag without its terminator is not read past the record";
    element->Release();
}

TEST(UIElementCommandsTest, RecursiveFlagsReachEveryRenderDescendant)
{
    UIElement* root = new UIElement;
    UIElement* child = new UIElement;
    UIElement* grandchild = new UIElement;
    root->AddChild(child);
    child->AddChild(grandchild);
    root->RaiseFlag(UIFLAG_TEXTTAG, false);
    EXPECT_EQ(child->GetRenderFlags(), 0u);
    root->RaiseFlag(UIFLAG_DEPTHTEST | UIFLAG_TEXTTAG, true);
    EXPECT_EQ(grandchild->GetRenderFlags(), UIFLAG_DEPTHTEST | UIFLAG_TEXTTAG);
    EXPECT_EQ(grandchild->GetUserFlags(), 0u) << "the main copy is the element's own";
    root->ClearFlag(UIFLAG_TEXTTAG, true);
    EXPECT_EQ(grandchild->GetRenderFlags(), UIFLAG_DEPTHTEST);
    EXPECT_EQ(root->GetRenderFlags(), UIFLAG_DEPTHTEST);
    root->Release();
}

TEST(UIElementCommandsTest, ChildrenBoundsComeFromTheRenderSideTree)
{
    UIElement* root = new UIElement;
    UIElement* child = new UIElement;
    UIElement* grandchild = new UIElement;
    UIElement* skipped = new UIElement;
    root->AddChild(child);
    child->AddChild(grandchild);
    root->AddChild(skipped);
    child->SetPositionXYZ(100, 50, 0);
    child->SetSizeXY(10, 10);
    grandchild->SetPositionXYZ(-20, 0, 0);
    grandchild->SetSizeXY(5, 40);
    grandchild->SetAnchorXYZ(3, 10, 0);
    skipped->SetPositionXYZ(-1000, -1000, 0);
    skipped->RaiseFlag(UIFLAG_TEXTTAG);
    Vector min, max;
    root->GetChildrenBounds(min, max, UIFLAG_TEXTTAG);
    // child: (100,50)-(110,60); grandchild in child space (-23,-10)-(-18,30), so (77,40)-(82,80).
    EXPECT_TRUE(min.Equal(Vector(77, 40, 0, 1))) << min.x << " " << min.y;
    EXPECT_TRUE(max.Equal(Vector(110, 80, 0, 1))) << max.x << " " << max.y;
    root->GetChildrenBounds(min, max, 0);
    EXPECT_EQ(min.x, -1000.0f) << "without the mask the flagged child counts";
    grandchild->GetChildrenBounds(min, max, 0);
    EXPECT_EQ(min.x, 3.4028235e38f) << "no descendants: the empty box";
    EXPECT_EQ(max.x, -3.4028235e38f);
    NorvexRenderer idle; // made but never started: no open block, so the tree is read at once
    root->GetChildrenBounds(min, max, UIFLAG_TEXTTAG);
    EXPECT_TRUE(min.Equal(Vector(77, 40, 0, 1))) << min.x << " " << min.y;
    root->Release();
}
} // namespace
