// Flow layouts over three children of sizes 40x10, 50x20 and 60x30: where each stacking and
// alignment word places them, spacers, and how the layout grows (never shrinks) to fit. The layout
// commands run at once (no render thread), so render-side places can be read back directly.
#include "ui/widgets/UILayout.h"

#include <gtest/gtest.h>

#include <array>

namespace
{
struct Place
{
    float x, y;
};

struct Case
{
    const char* what;
    uint32_t flags;
    UILayout::Spacers spacers;
    std::array<Place, 3> start;
    std::array<Place, 3> placed;
    float width, height; // the layout starts at 90 x 20; every change of column adds a width
};

TEST(UILayoutTest, FlowLayoutsStackAlignAndGrowAsTheirWordSays)
{
    const std::array<Place, 3> origin{Place{0, 0}, Place{0, 0}, Place{0, 0}};
    const Case cases[] = {
        {"vertical", 5, {}, origin, {Place{0, 0}, Place{0, 10}, Place{0, 30}}, 90, 60},
        {"vertical, first child lower", 5, {}, {Place{0, 5}, Place{0, 0}, Place{0, 0}},
         {Place{0, 5}, Place{0, 15}, Place{0, 35}}, 90, 60},
        {"vertical centred", 133, {}, origin, {Place{10, 0}, Place{5, 10}, Place{0, 30}}, 150, 60},
        {"vertical right", 69, {}, origin, {Place{20, 0}, Place{10, 10}, Place{0, 30}}, 150, 60},
        {"vertical left aligns nothing", 37, {}, origin, {Place{0, 0}, Place{0, 10}, Place{0, 30}}, 90, 60},
        {"vertical with spacers", 5, {2, 0, 3, 4}, origin, {Place{4, 3}, Place{4, 17}, Place{4, 41}}, 90, 60},
        {"horizontal", 9, {}, origin, {Place{0, 0}, Place{40, 0}, Place{90, 0}}, 150, 20},
        {"horizontal centred places the same", 137, {}, origin, {Place{0, 0}, Place{40, 0}, Place{90, 0}}, 150, 20},
        {"horizontal with spacers", 9, {2, 5, 3, 0}, origin, {Place{2, 3}, Place{47, 3}, Place{102, 3}}, 150, 20},
        {"grid lays nothing out but grows", 6, {}, {Place{0, 0}, Place{0, 15}, Place{70, 15}},
         {Place{0, 0}, Place{0, 15}, Place{70, 15}}, 100, 30},
    };
    for (const Case& c : cases)
    {
        auto* layout = new UILayout;
        layout->SetSizeXY(90, 20);
        UIElement* children[3];
        for (int i = 0; i < 3; ++i)
        {
            children[i] = new UIElement;
            children[i]->SetSizeXY(40.0f + 10.0f * float(i), 10.0f * float(i + 1));
            children[i]->SetPositionXYZ(c.start[i].x, c.start[i].y, 0);
            layout->AddChild(children[i]);
        }
        layout->SetLayoutFlags(c.flags);
        layout->SetSpacers(c.spacers);
        layout->QueueLayout();
        for (int i = 0; i < 3; ++i)
        {
            EXPECT_FLOAT_EQ(children[i]->GetRenderPosition().x, c.placed[i].x) << c.what << " child " << i;
            EXPECT_FLOAT_EQ(children[i]->GetRenderPosition().y, c.placed[i].y) << c.what << " child " << i;
        }
        EXPECT_FLOAT_EQ(layout->GetRenderSize().x, c.width) << c.what;
        EXPECT_FLOAT_EQ(layout->GetRenderSize().y, c.height) << c.what;
        layout->Release();
    }
}

TEST(UILayoutTest, ALayoutNeverShrinksAndAnEmptyOneStaysAsItIs)
{
    auto* layout = new UILayout;
    layout->SetSizeXY(500, 400);
    auto* child = new UIElement;
    child->SetSizeXY(10, 10);
    layout->AddChild(child);
    layout->SetLayoutFlags(5);
    layout->QueueLayout();
    EXPECT_FLOAT_EQ(layout->GetRenderSize().x, 500);
    EXPECT_FLOAT_EQ(layout->GetRenderSize().y, 400);
    layout->Release();

    auto* empty = new UILayout;
    empty->SetSizeXY(5, 5);
    empty->SetLayoutFlags(9);
    empty->QueueLayout();
    EXPECT_FLOAT_EQ(empty->GetRenderSize().x, 5);
    // Made from a recipe (either of the two low build bits), a layout lays itself out.
    auto* item = new UIElement;
    item->SetSizeXY(10, 10);
    empty->AddChild(item);
    empty->OnCreated(0);
    EXPECT_FLOAT_EQ(empty->GetRenderSize().x, 5);
    empty->OnCreated(2);
    EXPECT_FLOAT_EQ(empty->GetRenderSize().x, 10);
    empty->Release();
}
} // namespace
