#include "ui/elements/UIElement.h"

#include "core/console/GameConsole.h"
#include "engine/scripting/LuaWrapper.h"
#include "renderer/NorvexRenderer.h"
#include "ui/elements/UIDeferredDeletion.h"
#include "ui/elements/UIElementIdMap.h"
#include "ui/widgets/UIAction.h"

#include <atomic>
#include <cfloat>

namespace
{
// Main thread.
uint32_t gNextId = 1;
uint32_t gConstructed = 0;
UIElement* gGuardRoot = nullptr;
// Render thread writes, tests read.
std::atomic<uint32_t> gUIChangeCounter{0};
// Elements are made on the main thread and destroyed on the render thread.
std::atomic<uint32_t> gLiveElements{0};

struct BoundsRequest
{
    const UIElement* element;
    uint32_t mask;
    Vector min;
    Vector max;
};

void ComputeBoundsCall(NorvexRenderer&, uint32_t, CommandRingBuffer& reader)
{
    BoundsRequest* request = nullptr;
    if (reader.Read(&request, sizeof(request)) && request != nullptr)
        request->element->ComputeChildrenBounds(request->min, request->max, request->mask);
}

void GrowBounds(const UIElement& element, const Matrix& parentMatrix, uint32_t mask, Vector& min, Vector& max)
{
    for (const UIElement* child = element.GetRenderFirstChild(); child != nullptr; child = child->GetRenderNextSibling())
    {
        Matrix matrix;
        matrix.Mul(parentMatrix, child->GetLocalMatrix());
        if ((child->GetRenderFlags() & mask) == 0)
        {
            const Vector& lo = child->GetRectMin();
            const Vector& hi = child->GetRectMax();
            const Vector& anchor = child->GetRenderAnchor();
            const float xs[2] = {lo.x + anchor.x, hi.x + anchor.x};
            const float ys[2] = {lo.y + anchor.y, hi.y + anchor.y};
            for (float x : xs)
                for (float y : ys)
                {
                    Vector corner(x, y, 0.0f, 1.0f);
                    corner.Transform(matrix);
                    min.x = std::min(min.x, corner.x);
                    min.y = std::min(min.y, corner.y);
                    max.x = std::max(max.x, corner.x);
                    max.y = std::max(max.y, corner.y);
                }
        }
        GrowBounds(*child, matrix, mask, min, max);
    }
}
} // namespace

UIElement::UIElement() : m_id(gNextId++)
{
    m_scriptClassName = "UIElement";
    ++gConstructed;
    gLiveElements.fetch_add(1, std::memory_order_relaxed);
    if (gGuardRoot != nullptr)
        gGuardRoot->AddChild(this);
}

UIElement::~UIElement()
{
    // Deleted directly (no Release): the main-side cleanup runs here, on the only thread there is.
    if (!m_mainRemoved)
    {
        UnlinkFromMainParent();
        while (m_firstChild != nullptr)
            m_firstChild->UnlinkFromMainParent();
        UnregisterUIElementId(this);
        SetRecipe(nullptr, nullptr);
    }
    RemoveActionsOnChannel(-1);
    ForgetPendingUIElementDeletion(this);
    DetachFromRenderParent();
    DeleteAllChildren();
    gUIChangeCounter.fetch_add(1, std::memory_order_relaxed);
    gLiveElements.fetch_sub(1, std::memory_order_relaxed);
}

// ---- Main side ----

void UIElement::Release()
{
    if (m_released)
        return;
    m_released = true;
    RemoveAllChildren();
    UnlinkFromMainParent();
    OnRemoved();
    SendDeletion();
}

void UIElement::FinishDeferredDeletion()
{
    UIElement* const element = TakePublishedUIElementDeletion();
    if (element == nullptr)
        return;
    // Released while it waited: its first deletion command was passed over because the slot held
    // it, so it is sent again now that the slot is empty.
    if (element->m_released)
        element->SendDeletion();
    else
        element->Release();
}

void UIElement::OnCreated(uint32_t)
{
    if (IsPointerSelectable())
        RegisterUIElementId(this);
}

void UIElement::OnRemoved()
{
    if (IsPointerSelectable())
        UnregisterUIElementId(this);
    SetRecipe(nullptr, nullptr);
    m_listeners.FreeStorage();
    InvalidateSafePointers();
    gLua.UnregisterObject(this);
    m_mainRemoved = true;
}

void UIElement::UnlinkFromMainParent()
{
    UIElement* const parent = m_parent;
    if (parent == nullptr)
        return;
    (m_previousSibling != nullptr ? m_previousSibling->m_nextSibling : parent->m_firstChild) = m_nextSibling;
    (m_nextSibling != nullptr ? m_nextSibling->m_previousSibling : parent->m_lastChild) = m_previousSibling;
    m_parent = m_previousSibling = m_nextSibling = nullptr;
}

void UIElement::LinkMainChild(UIElement* child)
{
    if (child->m_parent == this)
        return;
    child->UnlinkFromMainParent();
    child->m_parent = this;
    child->SetDefaultActionFlags(m_defaultActionFlags, true);
    child->m_previousSibling = m_lastChild;
    (m_lastChild != nullptr ? m_lastChild->m_nextSibling : m_firstChild) = child;
    m_lastChild = child;
}

void UIElement::RemoveAllChildren()
{
    while (UIElement* const child = m_firstChild)
    {
        child->UnlinkFromMainParent();
        child->OnRemoved();
        child->RemoveAllChildren();
    }
}

UIElement* UIElement::GetTopParent()
{
    UIElement* top = this;
    while (top->m_parent != nullptr)
        top = top->m_parent;
    return top;
}

bool UIElement::IsDescendantOf(const UIElement* other) const
{
    for (const UIElement* element = this; element != nullptr; element = element->m_parent)
        if (element == other)
            return true;
    return false;
}

UIElement* UIElement::FindElementByName(const NameString& name)
{
    if (m_name == name)
        return this;
    for (UIElement* child = m_firstChild; child != nullptr; child = child->m_nextSibling)
        if (UIElement* const found = child->FindElementByName(name))
            return found;
    return nullptr;
}

void UIElement::CollectElementsByName(const NameString& name, Dynarray<UIElement*>& out)
{
    if (m_name == name)
        out.Add(this);
    for (UIElement* child = m_firstChild; child != nullptr; child = child->m_nextSibling)
        child->CollectElementsByName(name, out);
}

UIElement* UIElement::FindElementById(uint32_t id)
{
    if (m_id == id)
        return this;
    for (UIElement* child = m_firstChild; child != nullptr; child = child->m_nextSibling)
        if (UIElement* const found = child->FindElementById(id))
            return found;
    return nullptr;
}

UIElement* UIElement::FindElementByFlag(uint32_t value, uint32_t mask)
{
    if ((m_userFlags & mask) == value)
        return this;
    for (UIElement* child = m_firstChild; child != nullptr; child = child->m_nextSibling)
        if (UIElement* const found = child->FindElementByFlag(value, mask))
            return found;
    return nullptr;
}

void UIElement::SetDefaultActionFlags(uint32_t flags, bool recursive)
{
    m_defaultActionFlags = flags;
    if (recursive)
        for (UIElement* child = m_firstChild; child != nullptr; child = child->m_nextSibling)
            child->SetDefaultActionFlags(flags, true);
}

bool UIElement::IsHierarchyFocusable() const
{
    for (const UIElement* element = this; element != nullptr; element = element->m_parent)
        if (!element->IsVisible() || (element->m_userFlags & UIFLAG_BLOCKFOCUS) != 0)
            return false;
    return true;
}

void UIElement::GetChildrenBounds(Vector& min, Vector& max, uint32_t mask)
{
    // The render-side tree changes while the render thread runs actions: it is read there, in
    // stream order, and the game thread waits for the answer.
    BoundsRequest request{this, mask, Vector(FLT_MAX, FLT_MAX, 0.0f, 1.0f), Vector(-FLT_MAX, -FLT_MAX, 0.0f, 1.0f)};
    NorvexRenderer* const renderer = gRenderer;
    if (renderer != nullptr && renderer->GetWriter().HasOpenBlock())
    {
        BoundsRequest* const pointer = &request;
        if (renderer->WriteCall(&ComputeBoundsCall, 0, sizeof(pointer)))
        {
            renderer->GetWriter().Put(pointer);
            renderer->SubmitCommands(true);
        }
    }
    else
    {
        ComputeChildrenBounds(request.min, request.max, mask);
    }
    min = request.min;
    max = request.max;
}

// ---- Render side ----

void UIElement::ComputeChildrenBounds(Vector& min, Vector& max, uint32_t mask) const
{
    min.Set(FLT_MAX, FLT_MAX, 0.0f, 1.0f);
    max.Set(-FLT_MAX, -FLT_MAX, 0.0f, 1.0f);
    GrowBounds(*this, Matrix::ONE, mask, min, max);
}

void UIElement::AddRenderChild(UIElement* child)
{
    if (child == nullptr || child->m_renderParent == this)
        return;
    child->DetachFromRenderParent();
    child->m_renderParent = this;
    child->m_renderPreviousSibling = m_renderLastChild;
    (m_renderLastChild != nullptr ? m_renderLastChild->m_renderNextSibling : m_renderFirstChild) = child;
    m_renderLastChild = child;
}

void UIElement::DetachFromRenderParent()
{
    UIElement* const parent = m_renderParent;
    if (parent == nullptr)
        return;
    (m_renderPreviousSibling != nullptr ? m_renderPreviousSibling->m_renderNextSibling : parent->m_renderFirstChild) =
        m_renderNextSibling;
    (m_renderNextSibling != nullptr ? m_renderNextSibling->m_renderPreviousSibling : parent->m_renderLastChild) =
        m_renderPreviousSibling;
    m_renderParent = m_renderPreviousSibling = m_renderNextSibling = nullptr;
}

void UIElement::DeleteAllChildren()
{
    while (UIElement* const child = m_renderFirstChild)
        delete child;
}

void UIElement::SetRenderFlags(uint32_t bits, bool recursive)
{
    m_renderFlags |= bits;
    if (recursive)
        for (UIElement* child = m_renderFirstChild; child != nullptr; child = child->m_renderNextSibling)
            child->SetRenderFlags(bits, true);
}

void UIElement::ClearRenderFlags(uint32_t bits, bool recursive)
{
    m_renderFlags &= ~bits;
    if (recursive)
        for (UIElement* child = m_renderFirstChild; child != nullptr; child = child->m_renderNextSibling)
            child->ClearRenderFlags(bits, true);
}

bool UIElement::IsRenderDeletedInHierarchy() const
{
    for (const UIElement* element = this; element != nullptr; element = element->m_renderParent)
        if ((element->m_renderState & UIRENDERSTATE_DELETED) != 0)
            return true;
    return false;
}

void UIElement::UpdateLocalMatrix()
{
    m_localMatrix.LoadComplexTransformation(m_position, m_rotation, m_scale);
    m_mirrored = m_scale.x * m_scale.y * m_scale.z < 0.0f;
}

void UIElement::SetRenderPosition(const Vector& position)
{
    m_position = position;
    UpdateLocalMatrix();
}

void UIElement::SetRenderRotation(const Vector& rotation)
{
    m_rotation = rotation;
    UpdateLocalMatrix();
}

void UIElement::SetRenderScale(const Vector& scale)
{
    m_scale = scale;
    UpdateLocalMatrix();
}

void UIElement::SetRect(const Vector& size)
{
    m_size = size;
    m_rectMin.Set(0.0f, 0.0f, 0.0f, 1.0f);
    m_rectMax.Set(size.x, size.y, 0.0f, 1.0f);
}

// ---- Globals ----

uint32_t UIElement::GetConstructedCount()
{
    return gConstructed;
}

uint32_t UIElement::GetLiveCount()
{
    return gLiveElements.load(std::memory_order_relaxed);
}

uint32_t UIElement::GetUIChangeCounter()
{
    return gUIChangeCounter.load(std::memory_order_relaxed);
}

uint32_t UIElement::PeekNextId()
{
    return gNextId;
}

void EnableUIMemoryGuard()
{
    if (gGuardRoot == nullptr)
        gGuardRoot = new UIElement;
}

void UIMemoryGuardReportElement(UIElement* element)
{
    if (gGuardRoot != nullptr)
        gGuardRoot->RemoveChild(element);
}

void DisableUIMemoryGuard()
{
    UIElement* const root = gGuardRoot;
    gGuardRoot = nullptr;
    if (root != nullptr)
        root->Release();
}

UIElement* GetUIMemoryGuardRoot()
{
    return gGuardRoot;
}
