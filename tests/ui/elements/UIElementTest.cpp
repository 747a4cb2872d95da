#include "ui/elements/UIElement.h"

#include "renderer/NorvexRenderer.h"

#include <gtest/gtest.h>

namespace
{
int gDeletions = 0;

class CountedElement : public UIElement
{
public:
    ~CountedElement() override { ++gDeletions; }
};

TEST(UIElementTest, ReleaseClearsEverySafePointerAndWithoutARendererDeletesAtOnce)
{
    ASSERT_EQ(gRenderer, nullptr);
    gDeletions = 0;
    CountedElement* element = new CountedElement;
    SafePointer<UIElement> first(element);
    SafePointer<UIElement> second(element);
    EXPECT_FALSE(element->IsReleased());
    element->Release();
    EXPECT_FALSE(first);
    EXPECT_FALSE(second);
    EXPECT_EQ(gDeletions, 1);
}
} // namespace
