#include "ui/elements/UIElement.h"

#include "renderer/NorvexRenderer.h"

#include <gtest/gtest.h>

namespace
{
int gDeletions = 0;

class CountedTestElement : public UIElement
{
public:
    ~CountedTestElement() override { ++gDeletions; }
};

TEST(UIElementTest, ReleaseClearsEverySafePointerAndWithoutARendererDeletesAtOnce)
{
    ASSERT_EQ(gRenderer, nullptr);
    gDeletions = 0;
    CountedTestElement* element = new CountedTestElement;
    SafePointer<UIElement> first(element);
    SafePointer<UIElement> second(element);
    EXPECT_FALSE(element->IsReleased());
    element->Release();
    EXPECT_FALSE(first);
    EXPECT_FALSE(second);
    EXPECT_EQ(gDeletions, 1);
}
} // namespace
