// ctest-labels: thread
// Elements placed by the scene: entity tracking under the scene's camera (offsets, health bars with
// the entity's bar height, staying on screen, centred anchors, behind the camera, entities that die
// or hide) and connection bars between two elements, seen as pixels of the drawn screen.
#include "support/UIDrawHarness.h"

#include "scene/entities/Entity.h"

#include <gtest/gtest.h>

namespace
{
constexpr uint32_t kTrackingRed = 0xFF0000u;
constexpr uint32_t kTrackingBlack = 0x000000u;

class UITrackingDrawTest : public UIDrawHarness
{
protected:
    void SetUp() override
    {
        UIDrawHarness::SetUp();
        m_screen = new UIScreen;
        m_screen->SetVisible(true);
        // Clip space is world space: world (x, y) lands at UI (160 + 160 x, 120 - 120 y).
        m_renderer.SetCamera(Matrix::ONE, Matrix::ONE, Matrix::ONE);
    }
    void TearDown() override
    {
        m_screen->Release();
        m_renderer.SubmitCommands(true);
        UIDrawHarness::TearDown();
    }

    UIElement* Box(float w, float h)
    {
        UIElement* element = new UIElement;
        element->SetSizeXY(w, h);
        element->SetLinearColorRGBA(1.0f, 0.0f, 0.0f, 1.0f);
        m_screen->AddChild(element);
        return element;
    }

    UIScreen* m_screen = nullptr;
};

TEST_F(UITrackingDrawTest, TrackedElementsLandWhereTheSceneCameraProjectsTheirEntity)
{
    struct Case
    {
        const char* what;
        uint32_t flags;
        Vector entity, offset;
        float barHeight;
        uint32_t redX, redY, blackX, blackY;
        float scale = 1.0f;
        uint32_t shown = kTrackingRed; // black: hidden where it would stand
        Vector camera = Vector(1, 1, 1, 1); // the scene camera's scale
    };
    const Case cases[] = {
        {"plain", 0, Vector(0.5f, 0.5f, 0, 1), Vector(0, 0, 0, 0), 0.0f, 241, 61, 238, 61},
        {"offset", 0, Vector(0, 0, 0, 1), Vector(-0.5f, 0, 0, 0), 0.0f, 81, 121, 78, 121},
        {"bar height lifts a health bar", UIENTITYTRACKING_HEALTHBARMODE, Vector(0.5f, 0, 0, 1), Vector(0, 0.25f, 0, 0),
         0.25f, 241, 61, 241, 121},
        {"bar height ignored without health-bar mode", 0, Vector(0.5f, 0, 0, 1), Vector(0, 0, 0, 0), 0.5f, 241, 121,
         241, 61},
        {"pulled back onto the screen", UIENTITYTRACKING_STAYONSCREEN, Vector(5, 0, 0, 1), Vector(0, 0, 0, 0), 0.0f,
         311, 121, 308, 121},
        {"anchored in its centre", UIENTITYTRACKING_ANCHORINCENTER, Vector(0, 0, 0, 1), Vector(0, 0, 0, 0), 0.0f, 156,
         116, 166, 124},
        {"centred and kept in the corner", UIENTITYTRACKING_ANCHORINCENTER | UIENTITYTRACKING_STAYONSCREEN,
         Vector(-5, 5, 0, 1), Vector(0, 0, 0, 0), 0.0f, 1, 1, 11, 1},
        {"turned toward its target", UIENTITYTRACKING_STAYONSCREEN | UIENTITYTRACKING_ROTATETOWARDSTARGET,
         Vector(-5, 0, 0, 1), Vector(0, 0, 0, 0), 0.0f, 5, 115, 5, 125},
        {"scaled", UIENTITYTRACKING_PERSPECTIVESCALE, Vector(0, 0, 0, 1), Vector(), 0.0f, 188, 148, 191, 151, 3},
        {"scaled by the world height the camera shows", UIENTITYTRACKING_PERSPECTIVESCALE, Vector(0, 0, 0, 1), Vector(),
         0.0f, 218, 178, 221, 181, 3, kTrackingRed, Vector(0.25f, 0.5f, 1, 1)},
        {"relative to its parent", UIENTITYTRACKING_RELATIVETOPARENT, Vector(0.5f, 0.5f, 0, 1), Vector(0, 0, 0, 0),
         0.0f, 241, 61, 238, 61},
        {"a border marker hides while on screen", UIENTITYTRACKING_BORDERONLY, Vector(0.5f, 0.5f, 0, 1),
         Vector(0, 0, 0, 0), 0.0f, 241, 61, 238, 61, 1.0f, kTrackingBlack},
        {"a health bar near the screen shows even as a border marker",
         UIENTITYTRACKING_BORDERONLY | UIENTITYTRACKING_HEALTHBARMODE, Vector(0.5f, 0.5f, 0, 1), Vector(0, 0, 0, 0),
         0.0f, 241, 61, 238, 61},
        {"a health bar far off screen hides", UIENTITYTRACKING_HEALTHBARMODE | UIENTITYTRACKING_PERSPECTIVESCALE,
         Vector(-1.4375f, 0, 0, 1), Vector(0, 0, 0, 0), 0.0f, 10, 125, 31, 125, 10.0f, kTrackingBlack},
    };
    for (const Case& c : cases)
    {
        Entity entity;
        entity.SetGlobalPosition(c.entity);
        entity.SetBarHeight(c.barHeight);
        Matrix camera;
        camera.LoadScale(c.camera);
        m_renderer.SetCamera(Matrix::ONE, camera, Matrix::ONE);
        UIElement* element = Box(10, 10);
        m_screen->EnableEntityTracking(element, &entity, c.flags, c.offset, 0, c.scale);
        DrawScreen(*m_screen);
        EXPECT_EQ(Pixel(c.redX, c.redY), c.shown) << c.what;
        EXPECT_EQ(Pixel(c.blackX, c.blackY), kTrackingBlack) << c.what;
        element->Release();
    }
}

TEST_F(UITrackingDrawTest, AScreenDrawnFirstDoesNotLeaveItsCameraToTheNext)
{
    UIScreen* second = new UIScreen;
    second->SetVisible(true);
    Entity entity;
    entity.SetGlobalPosition(Vector(0.5f, 0.5f, 0, 1));
    UIElement* element = new UIElement;
    element->SetSizeXY(10, 10);
    element->SetLinearColorRGBA(1.0f, 0.0f, 0.0f, 1.0f);
    second->AddChild(element);
    second->EnableEntityTracking(element, &entity, 0, Vector(0, 0, 0, 0), 0, 1.0f);
    DrawScreen(*m_screen);
    DrawScreen(*second);
    EXPECT_EQ(Pixel(241, 61), kTrackingRed);
    second->Release();
}

TEST_F(UITrackingDrawTest, BehindTheCameraNothingIsDrawn)
{
    Matrix flipW = Matrix::ONE;
    flipW.rows[3].w = -1.0f;
    m_renderer.SetCamera(Matrix::ONE, flipW, Matrix::ONE);
    Entity entity;
    UIElement* element = Box(10, 10);
    m_screen->EnableEntityTracking(element, &entity, 0, Vector(0, 0, 0, 0), 0, 1.0f);
    DrawScreen(*m_screen);
    EXPECT_EQ(Pixel(161, 121), kTrackingBlack);
    EXPECT_EQ(Pixel(5, 5), kTrackingBlack) << "nor where it stood before";
    m_renderer.SetCamera(Matrix::ONE, Matrix::ONE, Matrix::ONE);
    DrawScreen(*m_screen);
    EXPECT_EQ(Pixel(161, 121), kTrackingRed) << "in front again, the element shows";
}

TEST_F(UITrackingDrawTest, EntriesEndWithTheirEntityUnlessTheySurviveIt)
{
    struct Case
    {
        uint32_t flags;
        int32_t entriesLeft;
    };
    const Case cases[] = {{0, 0},
                          {UIENTITYTRACKING_SURVIVEENTITYDEATH, 1},
                          {UIENTITYTRACKING_SURVIVEENTITYDEATH | UIENTITYTRACKING_HEALTHBARMODE, 0}};
    for (const Case& c : cases)
    {
        Entity* entity = new Entity;
        entity->SetGlobalPosition(Vector(0.5f, 0.5f, 0, 1));
        UIElement* element = Box(10, 10);
        m_screen->EnableEntityTracking(element, entity, c.flags, Vector(0, 0, 0, 0), 0, 1.0f);
        DrawScreen(*m_screen);
        delete entity;
        DrawScreen(*m_screen);
        EXPECT_EQ(m_screen->GetEntityTrackingCount(), c.entriesLeft) << "flags " << c.flags;
        EXPECT_EQ(Pixel(241, 61), kTrackingRed) << "flags " << c.flags << ": the element stays where it was last placed";
        element->Release();
        DrawScreen(*m_screen);
        EXPECT_EQ(m_screen->GetEntityTrackingCount(), 0) << "a released element ends its entry";
    }
}

TEST_F(UITrackingDrawTest, HideWithEntityFollowsTheEntitysHiddenFlag)
{
    Entity entity;
    UIElement* element = Box(10, 10);
    m_screen->EnableEntityTracking(element, &entity, UIENTITYTRACKING_HIDEWITHENTITY, Vector(0, 0, 0, 0), 0, 1.0f);
    entity.Hide(false);
    DrawScreen(*m_screen);
    EXPECT_FALSE(element->IsVisible());
    EXPECT_EQ(Pixel(161, 121), kTrackingBlack);
    entity.Show(false);
    DrawScreen(*m_screen);
    EXPECT_TRUE(element->IsVisible());
    EXPECT_EQ(Pixel(161, 121), kTrackingRed);
    entity.Hide(false);
    DrawScreen(*m_screen);
    EXPECT_FALSE(element->IsVisible()) << "hidden again with the entity's second hide";
    element->SetVisible(true, true, true);
    DrawScreen(*m_screen);
    EXPECT_TRUE(element->IsVisible()) << "a script may show it while the entity stays hidden";
}

TEST_F(UITrackingDrawTest, EntriesAreOnePerElementAndHidingFollowsOnlyTheEntity)
{
    Entity entity;
    UIElement* a = Box(10, 10);
    UIElement* b = Box(10, 10);
    m_screen->EnableEntityTracking(a, &entity, UIENTITYTRACKING_HIDEWITHENTITY, Vector(0, 0, 0, 0), 0, 1.0f);
    m_screen->EnableEntityTracking(a, &entity, UIENTITYTRACKING_HIDEWITHENTITY, Vector(0, 0, 0, 0), 0, 1.0f);
    DrawScreen(*m_screen);
    EXPECT_EQ(m_screen->GetEntityTrackingCount(), 1) << "tracking an element again replaces its entry";
    m_screen->EnableEntityTracking(b, &entity, 0, Vector(0, 0, 0, 0), 0, 1.0f);
    a->SetVisible(false, true, true);
    DrawScreen(*m_screen);
    EXPECT_FALSE(a->IsVisible()) << "a visible entity does not show what a script hid";
    EXPECT_EQ(m_screen->GetEntityTrackingCount(), 2);
    m_screen->DisableEntityTracking(a);
    DrawScreen(*m_screen);
    EXPECT_EQ(m_screen->GetEntityTrackingCount(), 1) << "b is still tracked";
}

TEST_F(UITrackingDrawTest, AConnectionBarSpansItsTwoElements)
{
    struct Case
    {
        const char* what;
        float bx, by;
        uint32_t redX, redY;
        uint32_t blackX, blackY;
        float degrees;
    };
    // a at (50, 100), bar 10 high: along x it covers 50..150 x 95..105; along y 45..55 x 100..200.
    const Case cases[] = {{"horizontal", 150, 100, 140, 97, 100, 108, 0}, {"vertical", 50, 200, 53, 190, 58, 150, 90}};
    for (const Case& c : cases)
    {
        UIElement* a = new UIElement;
        a->SetPositionXYZ(50, 100, 0);
        UIElement* b = new UIElement;
        b->SetPositionXYZ(c.bx, c.by, 0);
        a->RaiseFlag(UIFLAG_TRANSPARENT);
        b->RaiseFlag(UIFLAG_TRANSPARENT);
        m_screen->AddChild(a);
        m_screen->AddChild(b);
        UIElement* bar = Box(1, 10);
        bar->MorphIntoConnectionBetween(a, b);
        DrawScreen(*m_screen);
        EXPECT_EQ(Pixel(c.redX, c.redY), kTrackingRed) << c.what;
        EXPECT_EQ(Pixel(c.blackX, c.blackY), kTrackingBlack) << c.what;
        EXPECT_EQ(Pixel(45, 90), kTrackingBlack) << c.what << ": nothing before a";
        EXPECT_FLOAT_EQ(bar->GetRenderRotation().z, c.degrees) << c.what << ": the bar points from a to b";
        for (UIElement* element : {a, b, bar})
            element->Release();
    }
}
} // namespace
