// The turn of a local 3D matrix on a hand-set clock with no render thread (commands run as written):
// rotation by spherical interpolation, translation by linear interpolation, from the values the
// matrix held when the action started; kinds without such a matrix are left alone.
#include "platform/os/Clock.h"
#include "ui/elements/UIElement.h"
#include "ui/widgets/UIActionKinds.h"

#include <gtest/gtest.h>

#include <cmath>
#include <new>

namespace
{
const int64_t kSecond = os::kCounterFrequency;

// An element that carries a local 3D matrix as the 3D kinds do.
class Local3DElement : public UIElement
{
public:
    Matrix* GetRenderLocal3DMatrix() override { return &local; }
    Matrix local = Matrix::ONE;
};

void Frame(UIElement& element, int64_t ticks)
{
    SetUIActionClocks({Time(ticks), Time(ticks), Time(ticks)});
    element.UpdateActions();
}

TEST(UIActionKindsLocalRotateTest, TheMatrixTurnsAndMovesFromWhereItWas)
{
    Local3DElement* element = new Local3DElement;
    element->local.LoadTranslation(2.0f, 2.0f, 4.0f);
    Quaternion quarter;
    quarter.LoadZRotation(90.0f);
    element->AddAction(new (std::nothrow)
                           UIActionLocalRotateWithOffset(2.0f, quarter, Vector(10.0f, 6.0f, 0.0f, 1.0f), 0, 1));
    Frame(*element, 0);
    EXPECT_FLOAT_EQ(element->local.rows[3].x, 2.0f);
    Frame(*element, kSecond / 2);
    EXPECT_FLOAT_EQ(element->local.rows[3].y, 3.0f) << "a quarter of the way from 2 to 6";
    Frame(*element, kSecond);
    // Half way: 45 degrees about z, half way from (2, 2, 4) to (10, 6, 0).
    const float c = std::cos(float(M_PI) / 4.0f);
    EXPECT_NEAR(element->local.rows[0].x, c, 1e-5f);
    EXPECT_NEAR(std::fabs(element->local.rows[0].y), c, 1e-5f);
    EXPECT_NEAR(element->local.rows[2].z, 1.0f, 1e-5f);
    EXPECT_FLOAT_EQ(element->local.rows[3].x, 6.0f);
    EXPECT_FLOAT_EQ(element->local.rows[3].y, 4.0f);
    EXPECT_FLOAT_EQ(element->local.rows[3].z, 2.0f);
    EXPECT_FLOAT_EQ(element->local.rows[3].w, 1.0f);
    Frame(*element, 2 * kSecond);
    Matrix expected;
    expected.LoadQuaternionAndTranslation(quarter, Vector(10.0f, 6.0f, 0.0f, 1.0f));
    for (int row = 0; row < 4; ++row)
        for (int column = 0; column < 4; ++column)
            EXPECT_NEAR(element->local.At(row, column), expected.At(row, column), 1e-5f) << row << "," << column;
    EXPECT_EQ(element->GetFirstAction(1), nullptr);
    element->Release();

    // A plain element has no such matrix: the action runs out and changes nothing.
    UIElement* plain = new UIElement;
    plain->AddAction(new (std::nothrow) UIActionLocalRotateWithOffset(0.0f, quarter, Vector(1, 1, 1, 1), 0, 0));
    Frame(*plain, 3 * kSecond);
    EXPECT_EQ(plain->GetFirstAction(0), nullptr);
    EXPECT_TRUE(plain->GetLocalMatrix().Equals(Matrix::ONE));
    plain->Release();
}
} // namespace
