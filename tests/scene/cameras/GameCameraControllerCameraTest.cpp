// The in-game camera's matrices, its field-of-view widening for narrow windows and the sound
// listener it hangs over the ground.
#include "engine/config/ProjectConfig.h"
#include "scene/cameras/CameraTestSupport.h"
#include "scene/cameras/GameCameraControllerCamera.h"

#include <numbers>

namespace
{
constexpr float kDegToRad = std::numbers::pi_v<float> / 180.0f;

class GameCameraControllerCameraTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_width = gProjectConfig.m_uiScreenWidth;
        m_height = gProjectConfig.m_uiScreenHeight;
        gProjectConfig.m_uiScreenWidth = 1280.0f;
        gProjectConfig.m_uiScreenHeight = 720.0f;
    }
    void TearDown() override
    {
        gProjectConfig.m_uiScreenWidth = m_width;
        gProjectConfig.m_uiScreenHeight = m_height;
    }
    float m_width = 0.0f;
    float m_height = 0.0f;
    GameCameraControllerCamera m_camera;
};

TEST_F(GameCameraControllerCameraTest, ANarrowWindowWidensTheFieldOfView)
{
    m_camera.SetViewport(0, 0, 800, 600, 0.0f, 1.0f);
    // 2·atan(tan(25°)·(16/9)/(4/3)) ≈ 63.8°.
    const float widened = 2.0f * std::atan(std::tan(25.0f * kDegToRad) * (16.0f / 9.0f) / (4.0f / 3.0f)) / kDegToRad;
    EXPECT_NEAR(widened, 63.8f, 0.1f);
    EXPECT_NEAR(m_camera.ComputeEffectiveFOV(), widened, 1e-3f);
    Matrix view, projection;
    m_camera.ComputeMatrices(view, projection);
    EXPECT_NEAR(projection.At(1, 1), 1.0f / std::tan(widened * 0.5f * kDegToRad), 1e-4f);
    EXPECT_NEAR(projection.At(0, 0), projection.At(1, 1) * 0.75f, 1e-4f);

    m_camera.SetViewport(0, 0, 1920, 1080, 0.0f, 1.0f);
    EXPECT_FLOAT_EQ(m_camera.ComputeEffectiveFOV(), 50.0f) << "as wide as the design: no widening";
    m_camera.SetViewport(0, 0, 2560, 1080, 0.0f, 1.0f);
    EXPECT_FLOAT_EQ(m_camera.ComputeEffectiveFOV(), 50.0f);
    gProjectConfig.m_uiScreenHeight = 0.0f;
    m_camera.SetViewport(0, 0, 800, 600, 0.0f, 1.0f);
    EXPECT_FLOAT_EQ(m_camera.ComputeEffectiveFOV(), 50.0f) << "a design without height keeps the field of view";
}

TEST_F(GameCameraControllerCameraTest, ViewTurnsByTheConjugateAndScalesAfter)
{
    m_camera.SetViewport(0, 0, 1280, 720, 0.0f, 1.0f);
    Quaternion turn;
    turn.LoadYRotation(90.0f);
    m_camera.SetCameraPosition(Vector(10.0f, 5.0f, 0.0f, 1.0f));
    m_camera.SetCameraRotation(turn);
    m_camera.SetScale(Vector(2.0f, 3.0f, 4.0f, 1.0f));
    Matrix view, projection;
    m_camera.ComputeMatrices(view, projection);
    // The camera's forward is its rotation applied to +z; a point ahead lands on the view's +z axis.
    Vector forward(0.0f, 0.0f, 1.0f, 0.0f);
    Matrix rotation;
    rotation.LoadQuaternionAndTranslation(turn, Vector::ZERO4);
    forward.Transform(rotation);
    Vector ahead(10.0f, 5.0f, 0.0f, 1.0f);
    ahead.MulAdd(forward, 6.0f);
    {
        SCOPED_TRACE("z scaled by 4");
        ExpectNear(TransformPoint(ahead, view), Vector(0.0f, 0.0f, 24.0f, 1.0f), 1e-3f);
    }

    // Another viewpoint: no scale and no post-projection matrix.
    Matrix post;
    post.LoadTranslation(0.5f, 0.0f, 0.0f);
    m_camera.SetPostProjection(post);
    Matrix otherView, otherProjection;
    m_camera.ComputeMatricesFor(Vector(10.0f, 5.0f, 0.0f, 1.0f), turn, 40.0f, otherView, otherProjection);
    ExpectNear(TransformPoint(ahead, otherView), Vector(0.0f, 0.0f, 6.0f, 1.0f), 1e-3f);
    EXPECT_NEAR(otherProjection.At(1, 1), 1.0f / std::tan(20.0f * kDegToRad), 1e-4f);
    EXPECT_FLOAT_EQ(otherProjection.At(3, 0), 0.0f);
}

TEST_F(GameCameraControllerCameraTest, PostProjectionFollowsTheProjection)
{
    m_camera.SetViewport(0, 0, 1280, 720, 0.0f, 1.0f);
    Matrix plain, view;
    m_camera.ComputeMatrices(view, plain);
    Matrix post;
    post.LoadTranslation(0.25f, -0.5f, 0.0f);
    m_camera.SetPostProjection(post);
    Matrix shifted;
    m_camera.ComputeMatrices(view, shifted);
    Matrix expected;
    expected.Mul(post, plain);
    EXPECT_TRUE(shifted.Equals(expected));
    // A point on the view axis lands off centre by the offset after the divide.
    Vector p(0.0f, 0.0f, 100.0f, 1.0f);
    p.TransformHomogen(shifted);
    EXPECT_NEAR(p.x, 0.25f, 1e-5f);
    EXPECT_NEAR(p.y, -0.5f, 1e-5f);
}

TEST_F(GameCameraControllerCameraTest, AnEmptyViewportGivesFiniteMatrices)
{
    m_camera.SetViewport(0, 0, 0, 0, 0.0f, 1.0f);
    Matrix view, projection;
    m_camera.ComputeMatrices(view, projection);
    EXPECT_TRUE(IsFinite(view));
    EXPECT_TRUE(IsFinite(projection));
}

TEST_F(GameCameraControllerCameraTest, ListenerHangsAboveThePointLookedAt)
{
    // Straight down from height 40: the listener is right below the camera at the altitude.
    Matrix down;
    down.Set(Vector(1, 0, 0, 0), Vector(0, 0, 1, 0), Vector(0, -1, 0, 0), Vector(3, 40, 7, 1));
    const Matrix listener = GameCameraControllerCamera::ComputeListenerMatrix(down, 100.0f);
    ExpectNear(listener.rows[3], Vector(3.0f, 100.0f, 7.0f, 1.0f));
    ExpectNear(listener.rows[2], Vector(0.0f, -1.0f, 0.0f, 0.0f));
    {
        SCOPED_TRACE("steep: the screen's up, flattened");
        ExpectNear(listener.rows[1], Vector(0.0f, 0.0f, 1.0f, 0.0f));
    }
    ExpectNear(listener.rows[0], Vector(1.0f, 0.0f, 0.0f, 0.0f));

    // Thirty degrees down from (0, 10, 0) looking along +x: the ground point is 10·√3 ahead, and
    // the listener's up is the flattened forward.
    const float c = std::cos(30.0f * kDegToRad), s = std::sin(30.0f * kDegToRad);
    Matrix tilted;
    tilted.Set(Vector(0, 0, -1, 0), Vector(s, c, 0, 0), Vector(c, -s, 0, 0), Vector(0, 10, 0, 1));
    const Matrix shallow = GameCameraControllerCamera::ComputeListenerMatrix(tilted, 50.0f);
    ExpectNear(shallow.rows[3], Vector(10.0f * std::sqrt(3.0f), 50.0f, 0.0f, 1.0f), 1e-3f);
    ExpectNear(shallow.rows[1], Vector(1.0f, 0.0f, 0.0f, 0.0f));
    ExpectNear(shallow.rows[0], Vector(0.0f, 0.0f, -1.0f, 0.0f));

    // Level (forward.y above -0.05): the camera's own matrix.
    Matrix level;
    level.Set(Vector(1, 0, 0, 0), Vector(0, 0.9987503f, 0.0499792f, 0), Vector(0, -0.0499792f, 0.9987503f, 0),
              Vector(1, 2, 3, 1));
    EXPECT_TRUE(GameCameraControllerCamera::ComputeListenerMatrix(level, 100.0f).Equals(level));
}

TEST_F(GameCameraControllerCameraTest, PropertiesAndDefaults)
{
    const RTTIPropertiesBase* table = m_camera.GetClassProperties();
    const char* names[] = {"Position", "Rotation", "Scale", "FOV", "zNear", "zFar"};
    for (const char* name : names)
        EXPECT_NE(table->FindProperty(name), nullptr) << name;
    EXPECT_FLOAT_EQ(m_camera.GetFOV(), 50.0f);
    EXPECT_FLOAT_EQ(m_camera.GetZNear(), 10.0f);
    EXPECT_FLOAT_EQ(m_camera.GetZFar(), 1000.0f);
}
} // namespace
