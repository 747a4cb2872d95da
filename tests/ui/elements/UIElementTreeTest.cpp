// The main-side tree, ids, the id map, lookups and release, with no render thread running: each UI
// command runs as it is written, so the render-side twin can be read back at once.
#include "ui/elements/UIElement.h"

#include "ui/elements/UIElementIdMap.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace
{
std::vector<uint32_t> gTreeDestroyed;

class CountedTreeElement : public UIElement
{
public:
    explicit CountedTreeElement(const char* name = nullptr)
    {
        if (name != nullptr)
            SetName(name);
    }
    ~CountedTreeElement() override { gTreeDestroyed.push_back(GetId()); }
};

// root { a { a1, a2 "twin" }, b "twin" { b1 } }
struct Tree
{
    CountedTreeElement* root = new CountedTreeElement("root");
    CountedTreeElement* a = new CountedTreeElement("a");
    CountedTreeElement* a1 = new CountedTreeElement("a1");
    CountedTreeElement* a2 = new CountedTreeElement("twin");
    CountedTreeElement* b = new CountedTreeElement("twin");
    CountedTreeElement* b1 = new CountedTreeElement("b1");
    Tree()
    {
        root->AddChild(a);
        a->AddChild(a1);
        a->AddChild(a2);
        root->AddChild(b);
        b->AddChild(b1);
    }
};

std::vector<UIElement*> MainChildren(const UIElement& parent)
{
    std::vector<UIElement*> out;
    for (UIElement* c = parent.GetFirstChild(); c != nullptr; c = c->GetNextSibling())
        out.push_back(c);
    return out;
}

std::vector<UIElement*> RenderChildren(const UIElement& parent)
{
    std::vector<UIElement*> out;
    for (UIElement* c = parent.GetRenderFirstChild(); c != nullptr; c = c->GetRenderNextSibling())
        out.push_back(c);
    return out;
}

TEST(UIElementTreeTest, IdsGrowByOnePerConstructionAndAreNeverReused)
{
    const uint32_t next = UIElement::PeekNextId();
    const uint32_t constructed = UIElement::GetConstructedCount();
    const uint32_t live = UIElement::GetLiveCount();
    UIElement* first = new UIElement;
    UIElement* second = new UIElement;
    EXPECT_EQ(first->GetId(), next);
    EXPECT_EQ(second->GetId(), next + 1) << "also for elements that never enter the id map";
    EXPECT_EQ(UIElement::GetConstructedCount(), constructed + 2);
    EXPECT_EQ(UIElement::GetLiveCount(), live + 2);
    first->Release();
    EXPECT_EQ(UIElement::GetLiveCount(), live + 1);
    UIElement* third = new UIElement;
    EXPECT_EQ(third->GetId(), next + 2);
    second->Release();
    third->Release();
    EXPECT_EQ(UIElement::GetLiveCount(), live);
}

TEST(UIElementTreeTest, ChildrenLinkOnBothSidesInOrderAndMoveBetweenParents)
{
    Tree t;
    EXPECT_EQ(MainChildren(*t.a), (std::vector<UIElement*>{t.a1, t.a2}));
    EXPECT_EQ(RenderChildren(*t.a), (std::vector<UIElement*>{t.a1, t.a2})) << "the render twin follows command 1";
    t.a->AddChild(t.a1);
    EXPECT_EQ(MainChildren(*t.a), (std::vector<UIElement*>{t.a1, t.a2})) << "adding a child again keeps its place";
    EXPECT_EQ(RenderChildren(*t.a), (std::vector<UIElement*>{t.a1, t.a2}));
    t.b->AddChild(t.a1);
    EXPECT_EQ(MainChildren(*t.a), (std::vector<UIElement*>{t.a2}));
    EXPECT_EQ(MainChildren(*t.b), (std::vector<UIElement*>{t.b1, t.a1}));
    EXPECT_EQ(RenderChildren(*t.b), (std::vector<UIElement*>{t.b1, t.a1}));
    EXPECT_EQ(t.a1->GetParent(), t.b);
    EXPECT_EQ(t.a1->GetRenderParent(), t.b);
    t.b->RemoveChild(t.a2);
    EXPECT_EQ(t.a2->GetParent(), t.a) << "only the parent removes a child";
    t.a->RemoveChild(t.a2);
    EXPECT_EQ(t.a2->GetParent(), nullptr);
    EXPECT_EQ(t.a2->GetRenderParent(), nullptr);
    EXPECT_EQ(t.a->GetFirstChild(), nullptr);
    EXPECT_EQ(t.a->GetLastChild(), nullptr);
    t.a->AddChild(nullptr);
    t.a2->Release();
    t.root->Release();
}

TEST(UIElementTreeTest, LookupsSearchDepthFirstWithTheElementItselfFirst)
{
    Tree t;
    EXPECT_EQ(t.root->FindElementByName("twin"), t.a2) << "pre-order: a's subtree before b";
    EXPECT_EQ(t.b->FindElementByName("twin"), t.b) << "the element itself before its children";
    EXPECT_EQ(t.root->FindElementByName("none"), nullptr);
    Dynarray<UIElement*> twins;
    t.root->CollectElementsByName(NameString("twin"), twins);
    ASSERT_EQ(twins.Count(), 2);
    EXPECT_EQ(twins[0], t.a2);
    EXPECT_EQ(twins[1], t.b);
    EXPECT_EQ(t.root->FindElementById(t.b1->GetId()), t.b1);
    EXPECT_EQ(t.a->FindElementById(t.b1->GetId()), nullptr) << "only the subtree";
    EXPECT_TRUE(t.root->HasElementWithId(t.a2->GetId()));
    t.a1->RaiseFlag(UIFLAG_TEXTTAG | UIFLAG_DEPTHTEST);
    t.b1->RaiseFlag(UIFLAG_TEXTTAG);
    EXPECT_EQ(t.root->FindElementByFlag(UIFLAG_TEXTTAG, UIFLAG_TEXTTAG | UIFLAG_DEPTHTEST), t.b1);
    EXPECT_EQ(t.root->FindElementByFlag(UIFLAG_TEXTTAG, UIFLAG_TEXTTAG), t.a1);
    EXPECT_EQ(t.b1->GetTopParent(), t.root);
    EXPECT_EQ(t.root->GetTopParent(), t.root);
    EXPECT_TRUE(t.b1->IsDescendantOf(t.root));
    EXPECT_TRUE(t.b1->IsDescendantOf(t.b1));
    EXPECT_FALSE(t.b1->IsDescendantOf(t.a));
    EXPECT_FALSE(t.b1->IsDescendantOf(nullptr));
    t.root->Release();
}

TEST(UIElementTreeTest, AttachedChildrenTakeTheParentsDefaultActionFlags)
{
    Tree t;
    t.root->SetDefaultActionFlags(UIACTIONFLAG_SYSTEMTIME, false);
    EXPECT_EQ(t.a->GetDefaultActionFlags(), 0u) << "not recursive";
    t.root->SetDefaultActionFlags(UIACTIONFLAG_GAMEPLAYTIME, true);
    EXPECT_EQ(t.a2->GetDefaultActionFlags(), UIACTIONFLAG_GAMEPLAYTIME);
    UIElement* other = new UIElement;
    UIElement* grandchild = new UIElement;
    other->AddChild(grandchild);
    t.b1->SetDefaultActionFlags(UIACTIONFLAG_SINE, false);
    t.b1->AddChild(other);
    EXPECT_EQ(other->GetDefaultActionFlags(), UIACTIONFLAG_SINE);
    EXPECT_EQ(grandchild->GetDefaultActionFlags(), UIACTIONFLAG_SINE) << "the whole attached subtree";
    t.root->Release();
}

TEST(UIElementTreeTest, PointerSelectableElementsEnterAndLeaveTheIdMapWithTheirFlags)
{
    const int32_t before = GetUIElementIdMapCount();
    UIElement* element = new UIElement;
    element->OnCreated(0);
    EXPECT_EQ(FindUIElementInIdMap(element->GetId()), nullptr) << "not pointer-selectable";
    element->RaiseFlag(UIFLAG_FOCUSABLEWITHMOUSE);
    EXPECT_EQ(FindUIElementInIdMap(element->GetId()), element);
    element->RaiseFlag(UIFLAG_FOCUSABLEWITHMOUSE | UIFLAG_TEXTTAG);
    element->OnCreated(0);
    EXPECT_EQ(GetUIElementIdMapCount(), before + 1) << "entering twice leaves one entry";
    element->ClearFlag(UIFLAG_TEXTTAG);
    EXPECT_EQ(FindUIElementInIdMap(element->GetId()), element) << "still selectable";
    element->ClearFlag(UIFLAG_FOCUSABLEWITHMOUSE);
    EXPECT_EQ(FindUIElementInIdMap(element->GetId()), nullptr);
    UnregisterUIElementId(element);
    EXPECT_EQ(GetUIElementIdMapCount(), before);

    // Kept sorted by id whatever the order of entry; release takes the entry out.
    UIElement* later = new UIElement;
    later->RaiseFlag(UIFLAG_FOCUSABLEWITHMOUSE);
    element->RaiseFlag(UIFLAG_FOCUSABLEWITHMOUSE);
    UIElement* parent = new UIElement;
    parent->AddChild(later);
    EXPECT_EQ(FindUIElementInIdMap(later->GetId()), later);
    EXPECT_EQ(FindUIElementInIdMap(element->GetId()), element);
    const uint32_t laterId = later->GetId();
    parent->Release();
    EXPECT_EQ(FindUIElementInIdMap(laterId), nullptr) << "a released subtree leaves the map";
    EXPECT_EQ(FindUIElementInIdMap(element->GetId()), element);
    element->Release();
    EXPECT_EQ(GetUIElementIdMapCount(), before);
    UIElement* const deleted = new UIElement;
    deleted->RaiseFlag(UIFLAG_FOCUSABLEWITHMOUSE);
    delete deleted;
    EXPECT_EQ(GetUIElementIdMapCount(), before) << "deleted without a release, it leaves the map too";
}

TEST(UIElementTreeTest, ReleasingASubtreeFreesEveryElementOnceAndClearsItsSafePointers)
{
    gTreeDestroyed.clear();
    const uint32_t changes = UIElement::GetUIChangeCounter();
    Tree t;
    const std::vector<uint32_t> ids = {t.root->GetId(), t.a->GetId(), t.a1->GetId(), t.a2->GetId(), t.b->GetId(), t.b1->GetId()};
    SafePointer<UIElement> watch(t.b1);
    t.a->Release();
    EXPECT_EQ(gTreeDestroyed, (std::vector<uint32_t>{ids[1], ids[2], ids[3]})) << "a, then its render children";
    EXPECT_EQ(MainChildren(*t.root), (std::vector<UIElement*>{t.b}));
    EXPECT_EQ(RenderChildren(*t.root), (std::vector<UIElement*>{t.b}));
    t.root->Release();
    EXPECT_FALSE(watch) << "children's safe pointers are cleared by the release of an ancestor";
    std::vector<uint32_t> sorted = gTreeDestroyed;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(sorted, ids) << "each element exactly once";
    EXPECT_EQ(UIElement::GetUIChangeCounter(), changes + 6);
}

TEST(UIElementTreeTest, DeleteChildrenFreesTheChildrenAndKeepsTheElement)
{
    gTreeDestroyed.clear();
    Tree t;
    t.root->DeleteChildren();
    EXPECT_EQ(gTreeDestroyed.size(), 5u);
    EXPECT_EQ(t.root->GetFirstChild(), nullptr);
    EXPECT_EQ(t.root->GetRenderFirstChild(), nullptr);
    t.root->Release();
    EXPECT_EQ(gTreeDestroyed.size(), 6u);
}

TEST(UIElementTreeTest, HierarchyFocusNeedsEveryAncestorVisibleAndNoneBlocking)
{
    Tree t;
    EXPECT_TRUE(t.b1->IsHierarchyFocusable());
    t.b->Hide();
    EXPECT_FALSE(t.b1->IsHierarchyFocusable()) << "a visible element inside a hidden parent";
    t.b->Show();
    t.root->RaiseFlag(UIFLAG_BLOCKFOCUS);
    EXPECT_FALSE(t.b1->IsHierarchyFocusable());
    t.root->Release();
}

TEST(UIElementTreeTest, TheMemoryGuardKeepsNewElementsUntilReportedOrReleased)
{
    gTreeDestroyed.clear();
    EnableUIMemoryGuard();
    UIElement* const root = GetUIMemoryGuardRoot();
    ASSERT_NE(root, nullptr);
    EnableUIMemoryGuard();
    EXPECT_EQ(GetUIMemoryGuardRoot(), root) << "made once";
    CountedTreeElement* kept = new CountedTreeElement;
    CountedTreeElement* reported = new CountedTreeElement;
    const uint32_t keptId = kept->GetId();
    EXPECT_EQ(kept->GetParent(), root);
    UIMemoryGuardReportElement(reported);
    EXPECT_EQ(reported->GetParent(), nullptr);
    DisableUIMemoryGuard();
    EXPECT_EQ(GetUIMemoryGuardRoot(), nullptr);
    EXPECT_EQ(gTreeDestroyed, (std::vector<uint32_t>{keptId})) << "the guard root frees what it kept";
    reported->Release();
    EXPECT_EQ(gTreeDestroyed.size(), 2u);
}
} // namespace
