// ctest-labels: thread
// Screen points and world positions through a known game camera, from C++ and from scripts, and
// the mouse clicks a rendered frame hands to the visible entities under the cursor.
#include "engine/input/InputCodes.h"
#include "engine/input/InputManager.h"
#include "engine/scripting/LuaWrapper.h"
#include "scene/cameras/GameCameraController.h"
#include "scene/entities/Entity.h"
#include "scene/entities/EntityConstants.h"
#include "scene/entities/EntityManager.h"
#include "scene/templates/EntityTemplate.h"
#include "support/GameEngineFixture.h"
#include "ui/screens/UIScreen.h"

#include <lua.hpp>

#include <cmath>
#include <string>
#include <vector>

namespace
{
class GameScreenProjectionTest : public GameEngineFixture
{
protected:
    void SetUp() override
    {
        GameEngineFixture::SetUp();
        if (!gEntityManager.IsInitialized())
            gEntityManager.Init(BoundingBox4(Vector(-100, -25, -100, 1), Vector(100, 200, 100, 1)), 40.0f);
        gEntityManager.NewScene();
        m_template.SetStaticBoundingBox(BoundingBox4(Vector(-1, -1, -1, 1), Vector(1, 1, 1, 1)));
    }
    void TearDown() override
    {
        // The input manager outlives the test: no button stays down and no emulated tap stays open.
        InputManager& input = gGame.GetInputManager();
        input.OnMouseButton(0.5f, 0.5f, INPUT_MOUSE_EVENT_LEFT_UP);
        input.Update(Time::Now());
        input.Update(Time::Now());
        input.EndFrame();
        input.ClearInputEvents();
        gEntityManager.NewScene();
        GameEngineFixture::TearDown();
    }
    // The camera at `position` looking along +z, sent by one frame.
    void PlaceCamera(const Vector& position)
    {
        gGame.GetCameraController()->SetCameraPosition(position);
        ASSERT_TRUE(gGame.Render(false));
    }
    double LuaNumber(const char* name)
    {
        lua_State* L = gLua.GetState();
        lua_getglobal(L, name);
        const double value = lua_tonumber(L, -1);
        lua_pop(L, 1);
        return value;
    }
    bool LuaRun(const std::string& chunk) { return gLua.LoadAndCall(chunk.c_str(), 0); }
    Entity* CreateEntity(const Vector& position, uint32_t flags)
    {
        Matrix local = Matrix::ONE;
        local.rows[3] = position;
        Entity* entity = gEntityManager.CreateEntity(&m_template, nullptr, local, 0, nullptr);
        if (entity != nullptr && flags != 0)
            entity->RaiseFlag(flags, false);
        return entity;
    }
    void PressLeftButton(float x, float y)
    {
        gGame.GetInputManager().OnMouseButton(x, y, INPUT_MOUSE_EVENT_LEFT_DOWN);
        gGame.GetInputManager().Update(Time::Now());
    }

    EntityTemplate m_template;
};

void ExpectNear(const Vector& actual, const Vector& expected, float tolerance, const char* what)
{
    EXPECT_NEAR(actual.x, expected.x, tolerance) << what;
    EXPECT_NEAR(actual.y, expected.y, tolerance) << what;
    EXPECT_NEAR(actual.z, expected.z, tolerance) << what;
    EXPECT_NEAR(actual.w, expected.w, tolerance) << what;
}

// Counts its clicks; may delete the clicked entity.
class CountingClickHandler : public EntityClickHandler
{
public:
    void OnClick(Entity* entity) override
    {
        clicked.push_back(entity);
        if (deleteOnClick)
            gEntityManager.DeleteEntity(entity);
    }
    std::vector<Entity*> clicked;
    bool deleteOnClick = false;
};
} // namespace

TEST_F(GameScreenProjectionTest, ScreenPointsAndWorldPositionsMapBothWays)
{
    PlaceCamera(Vector(10.0f, 20.0f, -30.0f, 1.0f));
    Vector origin;
    Vector direction;
    gGame.ScreenPointToWorld(Vector(0.5f, 0.5f, 0.0f, 0.0f), origin, direction);
    ExpectNear(origin, Vector(10.0f, 20.0f, -30.0f, 1.0f), 1e-3f, "the ray starts at the camera");
    ExpectNear(direction, Vector(0.0f, 0.0f, 1.0f, 0.0f), 1e-4f, "the middle looks ahead");

    // Right of and above the middle on the screen is right of and above the view in the world.
    gGame.ScreenPointToWorld(Vector(0.75f, 0.25f, 0.0f, 0.0f), origin, direction);
    EXPECT_GT(direction.x, 0.1f);
    EXPECT_GT(direction.y, 0.1f);
    EXPECT_NEAR(direction.Length(), 1.0f, 1e-4f);

    // The depth of a point 100 ahead with near 10 and far 1000: (100 - 10) x 1000 / (990 x 100).
    const Vector ahead = gGame.WorldPositionToScreenPoint(Vector(10.0f, 20.0f, 70.0f, 1.0f));
    ExpectNear(ahead, Vector(0.5f, 0.5f, 90.0f * 1000.0f / (990.0f * 100.0f), 1.0f), 1e-4f, "straight ahead");

    // A world point goes to the screen and back along the same ray.
    const Vector point(40.0f, -5.0f, 170.0f, 1.0f);
    const Vector screen = gGame.WorldPositionToScreenPoint(point);
    EXPECT_GT(screen.x, 0.5f);
    EXPECT_GT(screen.y, 0.5f) << "below the eye is down the screen";
    gGame.ScreenPointToWorld(screen, origin, direction);
    Vector expected;
    expected.Sub(point, Vector(10.0f, 20.0f, -30.0f, 1.0f));
    expected.w = 0.0f;
    expected.Div(expected.Length());
    ExpectNear(direction, expected, 1e-4f, "back along the ray");

    // A position in the camera's own plane has no screen point (w = 0): no division by zero.
    const Vector beside = gGame.WorldPositionToScreenPoint(Vector(50.0f, 20.0f, -30.0f, 1.0f));
    ExpectNear(beside, Vector(0.0f, 0.0f, 0.0f, 1.0f), 0.0f, "in the camera's plane");
}

TEST_F(GameScreenProjectionTest, APointProjectedOnAPlaneLiesOnItAndUnderTheCursor)
{
    PlaceCamera(Vector(10.0f, 20.0f, -30.0f, 1.0f));
    const Vector ground(0.0f, 1.0f, 0.0f, 0.0f);
    Vector hit(7.0f, 7.0f, 7.0f, 7.0f);
    ASSERT_TRUE(gGame.LoadScreenPointProjectedOnWorldPlane(hit, Vector(0.5f, 0.75f, 0.0f, 0.0f), ground));
    EXPECT_NEAR(hit.y, 0.0f, 1e-3f);
    EXPECT_NEAR(hit.x, 10.0f, 1e-3f);
    EXPECT_GT(hit.z, -30.0f);
    const Vector back = gGame.WorldPositionToScreenPoint(hit);
    ExpectNear(back, Vector(0.5f, 0.75f, back.z, 1.0f), 1e-3f, "the hit shows where the cursor was");

    // A plane the ray leaves behind, and one it runs along, give no point and keep the result.
    const Vector above(0.0f, 1.0f, 0.0f, -100.0f);
    Vector kept(7.0f, 7.0f, 7.0f, 7.0f);
    EXPECT_FALSE(gGame.LoadScreenPointProjectedOnWorldPlane(kept, Vector(0.5f, 0.75f, 0.0f, 0.0f), above));
    EXPECT_FALSE(gGame.LoadScreenPointProjectedOnWorldPlane(kept, Vector(0.5f, 0.5f, 0.0f, 0.0f), ground));
    ExpectNear(kept, Vector(7.0f, 7.0f, 7.0f, 7.0f), 0.0f, "unchanged");
}

TEST_F(GameScreenProjectionTest, ScriptsReachTheConversions)
{
    PlaceCamera(Vector(0.0f, 50.0f, 0.0f, 1.0f));
    ASSERT_TRUE(LuaRun("local o, d = Vector:new_local(), Vector:new_local() "
                       "gGame:ScreenPointToWorld(Vector:new_local(0.5, 0.5, 0, 0), o, d) "
                       "gOriginY, gDirectionZ = o.y, d.z "
                       "local s = gGame:WorldPositionToScreenPoint(Vector:new_local(0, 50, 100, 1)) "
                       "gScreenX, gScreenY, gScreenW = s.x, s.y, s.w "
                       "local hit = Vector:new_local() "
                       "gHitFound = gGame:LoadScreenPointProjectedOnWorldPlane(hit, Vector:new_local(0.5, 0.9, 0, 0), "
                       "Vector:new_local(0, 1, 0, 0)) "
                       "gHitY = hit.y"));
    EXPECT_NEAR(LuaNumber("gOriginY"), 50.0, 1e-3);
    EXPECT_NEAR(LuaNumber("gDirectionZ"), 1.0, 1e-4);
    EXPECT_NEAR(LuaNumber("gScreenX"), 0.5, 1e-4);
    EXPECT_NEAR(LuaNumber("gScreenY"), 0.5, 1e-4);
    EXPECT_EQ(LuaNumber("gScreenW"), 1.0);
    ASSERT_TRUE(LuaRun("gHitFound = gHitFound and 1 or 0"));
    EXPECT_EQ(LuaNumber("gHitFound"), 1.0);
    EXPECT_NEAR(LuaNumber("gHitY"), 0.0, 1e-3);
}

TEST_F(GameScreenProjectionTest, UIPointsGoThroughTheTopScreenAsTheFrameLaidItOut)
{
    Vector out;
    const Vector origin(0, 0, 0, 1);
    EXPECT_FALSE(gGame.UIPointToScreenPoint(origin, out) || gGame.ScreenPointToUIPoint(origin, out) ||
                 gGame.WorldPositionToUIPoint(origin, out)) << "no screen";
    UIScreen::SetUISizeOverride(640.0f, 480.0f);
    // Only the frame's draw of the pre-effect screen lays it out; it is the top of the stack too.
    UIScreen* const screen = new UIScreen;
    gGame.AppendUIScreen(screen);
    gGame.SetPreFSEUIScreen(screen);
    PlaceCamera(Vector(10.0f, 20.0f, -30.0f, 1.0f));
    ASSERT_TRUE(gGame.UIPointToScreenPoint(Vector(160, 360, 0, 1), out));
    ExpectNear(out, Vector(0.25f, 0.75f, 0, 1), 1e-5f, "UI to screen");
    ASSERT_TRUE(gGame.ScreenPointToUIPoint(Vector(0.25f, 0.75f, 0, 1), out));
    ExpectNear(out, Vector(160, 360, 0, 1), 1e-3f, "screen to UI");
    const Vector world(40.0f, -5.0f, 170.0f, 1.0f);
    ASSERT_TRUE(gGame.WorldPositionToUIPoint(world, out));
    const Vector onScreen = gGame.WorldPositionToScreenPoint(world);
    ExpectNear(out, Vector(onScreen.x * 640.0f, onScreen.y * 480.0f, 0, 1), 1e-2f, "world to UI");
    gGame.SetPreFSEUIScreen(nullptr);
    gGame.GetScreenStack().Clear(true);
    UIScreen::SetUISizeOverride(0.0f, 0.0f);
}

TEST_F(GameScreenProjectionTest, WithoutACameraTheRayIsTheWorldAxis)
{
    gGame.Close();
    Vector origin(5, 5, 5, 5);
    Vector direction(5, 5, 5, 5);
    gGame.ScreenPointToWorld(Vector(0.2f, 0.3f, 0.0f, 0.0f), origin, direction);
    ExpectNear(origin, Vector(0.0f, 0.0f, 0.0f, 1.0f), 0.0f, "origin");
    ExpectNear(direction, Vector(0.0f, 0.0f, 1.0f, 0.0f), 0.0f, "direction");
    ExpectNear(gGame.WorldPositionToScreenPoint(Vector(1, 2, 3, 1)), Vector(0.0f, 0.0f, 0.0f, 1.0f), 0.0f, "screen");
    gGame.Init(&m_window, 320, 240, &m_delegate, nullptr, 0);
}

TEST_F(GameScreenProjectionTest, AFrameClicksTheClickableVisibleEntitiesUnderTheCursor)
{
    // The camera stands off the world's origin: the click's ray starts where the camera is.
    PlaceCamera(Vector(0.0f, 20.0f, 0.0f, 1.0f));
    CountingClickHandler handler;
    Entity* target = CreateEntity(Vector(0.0f, 20.0f, 100.0f, 1.0f), ENTITYFLAG_TAKES_MOUSE_CLICKS);
    Entity* aside = CreateEntity(Vector(20.0f, 20.0f, 100.0f, 1.0f), ENTITYFLAG_TAKES_MOUSE_CLICKS);
    Entity* deaf = CreateEntity(Vector(0.0f, 20.0f, 150.0f, 1.0f), 0);
    ASSERT_NE(target, nullptr);
    ASSERT_NE(aside, nullptr);
    ASSERT_NE(deaf, nullptr);
    for (Entity* entity : {target, aside, deaf})
        entity->SetClickHandler(&handler, false);

    ASSERT_TRUE(gGame.Render(false));
    EXPECT_TRUE(handler.clicked.empty()) << "no button went down";

    PressLeftButton(0.5f, 0.5f);
    ASSERT_TRUE(gGame.Render(false));
    EXPECT_EQ(handler.clicked, std::vector<Entity*>{target}) << "only the clickable entity on the ray";

    // Still held: no new click. Released and pressed on the other entity: that one.
    handler.clicked.clear();
    gGame.GetInputManager().Update(Time::Now());
    ASSERT_TRUE(gGame.Render(false));
    EXPECT_TRUE(handler.clicked.empty());
    gGame.GetInputManager().OnMouseButton(0.5f, 0.5f, INPUT_MOUSE_EVENT_LEFT_UP);
    gGame.GetInputManager().Update(Time::Now());
    const Vector asideOnScreen = gGame.WorldPositionToScreenPoint(Vector(20.0f, 20.0f, 100.0f, 1.0f));
    PressLeftButton(asideOnScreen.x, asideOnScreen.y);
    ASSERT_TRUE(gGame.Render(false));
    EXPECT_EQ(handler.clicked, std::vector<Entity*>{aside});
    // The last of the buttons, a middle double click, clicks too.
    handler.clicked.clear();
    gGame.GetInputManager().OnMouseButton(asideOnScreen.x, asideOnScreen.y, INPUT_MOUSE_EVENT_MIDDLE_DOUBLE_CLICK);
    gGame.GetInputManager().Update(Time::Now());
    ASSERT_TRUE(gGame.Render(false));
    EXPECT_EQ(handler.clicked, std::vector<Entity*>{aside});

    // A handler that deletes what it clicked leaves a frame that still renders.
    handler.clicked.clear();
    handler.deleteOnClick = true;
    gGame.GetInputManager().OnMouseButton(0.5f, 0.5f, INPUT_MOUSE_EVENT_LEFT_UP);
    gGame.GetInputManager().Update(Time::Now());
    PressLeftButton(0.5f, 0.5f);
    ASSERT_TRUE(gGame.Render(false));
    EXPECT_EQ(handler.clicked.size(), 1u);
    EXPECT_EQ(gEntityManager.GetVisibleList().Count(), 0);
}
