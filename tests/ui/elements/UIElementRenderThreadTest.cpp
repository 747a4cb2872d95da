// ctest-labels: thread
// The UI command exchange with a running render thread: setters on the test (game) thread, their
// effects read on the render thread after a synchronous submit, actions advanced there, and an
// element deleted by an action handed back to the game thread for its release.
#include "ui/elements/UIElement.h"

#include "platform/os/Clock.h"
#include "support/RenderThreadCall.h"
#include "support/RendererTestBase.h"
#include "ui/elements/UIDeferredDeletion.h"
#include "ui/elements/UIText.h"
#include "ui/widgets/UIAction.h"

#include <atomic>

namespace
{
std::atomic<int> gDestroyed{0};

class CountedElement : public UIElement
{
public:
    ~CountedElement() override { gDestroyed.fetch_add(1); }
};

class UIElementRenderThreadTest : public RendererTestBase
{
};

TEST_F(UIElementRenderThreadTest, SettersReachTheRenderThreadInStreamOrder)
{
    gDestroyed = 0;
    CountedElement* root = new CountedElement;
    CountedElement* child = new CountedElement;
    root->AddChild(child);
    child->SetPositionXYZ(10, 20, 0);
    child->SetSizeXY(30, 40);
    child->SetColorRGBA(1, 1, 1, 0.5f);
    child->RaiseFlag(UIFLAG_DEPTHTEST);
    child->SetTag("tag");
    bool seen = false;
    RunOnRenderThread(m_renderer, [&](NorvexRenderer&) {
        seen = root->GetRenderFirstChild() == child && child->GetRenderPosition().Equal(Vector(10, 20, 0, 1)) &&
               child->GetRectMax().Equal(Vector(30, 40, 0, 1)) && child->GetRenderColor().w == 0.5f &&
               child->GetRenderFlags() == UIFLAG_DEPTHTEST && child->GetRenderTag().Equals("tag");
    });
    EXPECT_TRUE(seen);
    Vector min, max;
    root->GetChildrenBounds(min, max, 0);
    EXPECT_TRUE(min.Equal(Vector(10, 20, 0, 1)));
    EXPECT_TRUE(max.Equal(Vector(40, 60, 0, 1)));
    root->Release();
    m_renderer.SubmitCommands(true);
    EXPECT_EQ(gDestroyed.load(), 2) << "deleted on the render thread with its children";
}

TEST_F(UIElementRenderThreadTest, ActionsRunOnTheRenderThreadAndADeleteComesBackForRelease)
{
    gDestroyed = 0;
    UIElement* root = new UIElement;
    CountedElement* doomed = new CountedElement;
    root->AddChild(doomed);
    root->Move2(1.0f, 100, 0, 0, 0);
    doomed->Wait(0.5f, 0, 0);
    doomed->Delete(0, 0);
    const int64_t second = os::kCounterFrequency;
    for (int64_t t : {int64_t(0), second / 2, second})
        RunOnRenderThread(m_renderer, [&](NorvexRenderer&) {
            SetUIActionClocks({Time(t), Time(t), Time(t)});
            root->UpdateActions();
            doomed->UpdateActions();
            PublishPendingUIElementDeletion();
        });
    float x = 0.0f;
    RunOnRenderThread(m_renderer, [&](NorvexRenderer&) { x = root->GetRenderPosition().x; });
    EXPECT_FLOAT_EQ(x, 100.0f);
    EXPECT_EQ(root->GetFirstChild(), doomed) << "the main side keeps it until the hand-over";
    UIElement::FinishDeferredDeletion();
    EXPECT_EQ(root->GetFirstChild(), nullptr);
    m_renderer.SubmitCommands(true);
    EXPECT_EQ(gDestroyed.load(), 1);
    root->Release();
    m_renderer.SubmitCommands(true);
}

TEST_F(UIElementRenderThreadTest, ManyCommandsStreamWhileTheRenderThreadRuns)
{
    gDestroyed = 0;
    UIElement* root = new UIElement;
    for (int frame = 0; frame < 200; ++frame)
    {
        CountedElement* element = new CountedElement;
        root->AddChild(element);
        element->SetPositionXYZ(float(frame), 0, 0);
        element->ChangeLinearColorRGBA(0.1f, 0, 0, 0, 0, 0, uint32_t(frame & 3));
        element->SetTag("x");
        if (frame % 3 == 0)
            element->Release();
        m_renderer.SubmitCommands(false);
    }
    m_renderer.SubmitCommands(true);
    int children = 0;
    RunOnRenderThread(m_renderer, [&](NorvexRenderer&) {
        for (UIElement* c = root->GetRenderFirstChild(); c != nullptr; c = c->GetRenderNextSibling())
            ++children;
    });
    EXPECT_EQ(children, 133);
    EXPECT_EQ(gDestroyed.load(), 67);
    root->Release();
    m_renderer.SubmitCommands(true);
    EXPECT_EQ(gDestroyed.load(), 200);
}

TEST_F(UIElementRenderThreadTest, ATextTooLongForOneBlockArrivesWhole)
{
    UIText* text = new UIText("body", 10);
    const std::u16string wide(3000, u'w');
    text->SetTextUnicharPtr(wide.c_str());
    std::u16string shown;
    RunOnRenderThread(m_renderer, [&](NorvexRenderer&) { shown = text->GetRenderText(); });
    EXPECT_EQ(shown, wide);
    text->Release();
    m_renderer.SubmitCommands(true);
}
} // namespace
