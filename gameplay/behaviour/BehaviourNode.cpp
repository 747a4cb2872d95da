#include "gameplay/behaviour/BehaviourNode.h"

#include "gameplay/behaviour/BehaviourChildrenProperty.h"
#include "gameplay/behaviour/BehaviourTreePropertyBindings.h"

#include <algorithm>
#include <cstring>

namespace
{
const char* const kBreakpointNames[] = {"None", "Enter", "Exit", "Both", nullptr};

const NameString& InterruptedName()
{
    static const NameString name("Interrupted");
    return name;
}

const NameString& DisabledName()
{
    static const NameString name("Disabled");
    return name;
}

const NameString& WeightName()
{
    static const NameString name("Weight");
    return name;
}
} // namespace

RTTI_DEFINE_CLASS(BehaviourNode, RTTIPolyBaseClass)

void BehaviourNode::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = BehaviourNode;
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, NameString>("Name", &C::m_name, 0x100));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, bool>("Interrupted", &C::m_interrupted, kListenableFlag));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, bool>("Disabled", &C::m_disabled, kListenableFlag));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, int32_t>("ContextDataIndex", &C::m_contextDataIndex, 0x2));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, bool>("Collapsed", &C::m_collapsed, 0x4002));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, uint32_t>("Weight", &C::m_weight, kListenableFlag));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, NameString>("Dev comments", &C::m_devComments, 0x4100));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, uint32_t>("Breakpoint", &C::m_breakpoint, 0x6080))
        ->SetEnumerationNames(kBreakpointNames);
    table.AddProperty(new RTTIDynarrayOfPolyObjectPointersProperty<C, BehaviourTreePropertyListener>(
        "Listeners", &C::m_listeners, "", 0x110000));
    table.AddProperty(new BehaviourChildrenProperty<C>("BehaviourChildren", &C::m_children));
}

BehaviourNode::~BehaviourNode()
{
    if (m_parent != nullptr)
        m_parent->RemoveChild(this);
    for (int32_t i = m_children.Count() - 1; i >= 0; --i)
    {
        BehaviourNode* child = m_children[i];
        if (child == nullptr)
            continue;
        // The child must not take itself out of this list while the loop walks it.
        child->m_parent = nullptr;
        delete child;
    }
    m_children.FreeStorage();
    m_listeners.DeleteAllPointers();
}

void BehaviourNode::InvalidateSafePointers()
{
    RTTIPolyBaseClass::InvalidateSafePointers();
    for (BehaviourNode* child : m_children)
        if (child != nullptr)
            child->InvalidateSafePointers();
    for (BehaviourTreePropertyListener* listener : m_listeners)
        if (listener != nullptr)
            listener->InvalidateSafePointers();
}

void BehaviourNode::OnUnload()
{
    for (BehaviourNode* child : m_children)
        if (child != nullptr)
            child->OnUnload();
}

void BehaviourNode::LinkListeners()
{
    for (BehaviourTreePropertyListener* listener : m_listeners)
        if (listener != nullptr)
            listener->SetOwner(this);
    for (BehaviourNode* child : m_children)
        if (child != nullptr)
            child->LinkListeners();
}

BehaviourNode* BehaviourNode::GetActiveChild(const BehaviourTreeContext& ctx, uint32_t base, uint32_t activeIndex) const
{
    const BehaviourNodeSlice& slice = Slice(ctx, base);
    return GetChild(slice.activeIndices != nullptr ? slice.activeIndices[activeIndex] : activeIndex);
}

BehaviourNode* BehaviourNode::GetChild(uint32_t index) const
{
    return index < uint32_t(m_children.Count()) ? m_children[int32_t(index)] : nullptr;
}

uint32_t BehaviourNode::GetActiveChildCount(const BehaviourTreeContext& ctx, uint32_t base) const
{
    return Slice(ctx, base).activeCount;
}

bool BehaviourNode::WouldCloseLoop(const BehaviourNode* node) const
{
    for (const BehaviourNode* above = this; above != nullptr; above = above->m_parent)
        if (above == node)
            return true;
    return false;
}

void BehaviourNode::AttachChild(BehaviourNode* node, bool atFront)
{
    if (node->m_parent != nullptr)
        node->m_parent->RemoveChild(node);
    node->m_parent = this;
    if (atFront)
        m_children.Insert(node, 0);
    else
        m_children.Add(node);
}

bool BehaviourNode::InsertChild(BehaviourNode* node)
{
    if (node == nullptr || WouldCloseLoop(node) || uint32_t(m_children.Count()) >= kMaxChildren)
        return false;
    AttachChild(node, true);
    return true;
}

bool BehaviourNode::AddChild(BehaviourNode* node)
{
    if (node == nullptr || WouldCloseLoop(node) || uint32_t(m_children.Count()) >= kMaxChildren)
        return false;
    AttachChild(node, false);
    return true;
}

bool BehaviourNode::RemoveChild(BehaviourNode* node)
{
    for (int32_t i = 0; i < m_children.Count(); ++i)
        if (m_children[i] == node)
        {
            m_children.RemoveAt(i);
            node->m_parent = nullptr;
            return true;
        }
    return false;
}

void BehaviourNode::LinkParents()
{
    for (BehaviourNode* child : m_children)
        if (child != nullptr)
        {
            child->m_parent = this;
            child->LinkParents();
        }
}

uint32_t BehaviourNode::AssignContextOffsets(uint32_t runningOffset)
{
    m_contextDataIndex = int32_t(runningOffset);
    runningOffset += GetDataSize();
    for (BehaviourNode* child : m_children)
        if (child != nullptr)
            runningOffset = child->AssignContextOffsets(runningOffset);
    return runningOffset;
}

uint32_t BehaviourNode::ResetContext(BehaviourTreeContext& ctx, uint32_t base, uint32_t nextFree) const
{
    ResetNodeData(ctx, base);
    for (const BehaviourNode* child : m_children)
        if (child != nullptr)
            nextFree = child->ResetContext(ctx, base, nextFree);
    return nextFree;
}

void BehaviourNode::PrepareContext(BehaviourTreeContext& ctx, uint32_t base) const
{
    BuildActiveChildren(ctx, base);
    for (const BehaviourNode* child : m_children)
        if (child != nullptr)
            child->PrepareContext(ctx, base);
    CreateNodeScope(ctx, base);
}

void BehaviourNode::BuildActiveChildren(BehaviourTreeContext&, uint32_t) const {}

void BehaviourNode::BuildActiveChildList(BehaviourTreeContext& ctx, uint32_t base) const
{
    BehaviourNodeSlice& slice = Slice(ctx, base);
    // Reading counts cap the list at kMaxChildren; the cap keeps the byte count exact regardless.
    const uint32_t count = std::min(uint32_t(m_children.Count()), kMaxChildren);
    uint8_t active[kMaxChildren];
    uint32_t activeCount = 0;
    for (uint32_t i = 0; i < count; ++i)
        if (const BehaviourNode* child = m_children[int32_t(i)]; child != nullptr && !child->IsDisabled(&ctx))
            active[activeCount++] = uint8_t(i);
    delete[] slice.activeIndices;
    slice.activeIndices = nullptr;
    slice.activeCount = uint8_t(activeCount);
    if (activeCount == count || activeCount == 0)
        return;
    slice.activeIndices = new uint8_t[activeCount];
    std::memcpy(slice.activeIndices, active, activeCount);
}

void BehaviourNode::ResetNodeData(BehaviourTreeContext&, uint32_t) const {}

void BehaviourNode::ReleaseContext(BehaviourTreeContext& ctx, uint32_t base) const
{
    for (const BehaviourNode* child : m_children)
        if (child != nullptr)
            child->ReleaseContext(ctx, base);
    AbortIfRunning(ctx, base);
    DestroyNodeScope(ctx, base);
    FreeNodeData(ctx, base);
}

void BehaviourNode::CreateNodeScope(BehaviourTreeContext&, uint32_t) const {}

void BehaviourNode::DestroyNodeScope(BehaviourTreeContext&, uint32_t) const {}

void BehaviourNode::AbortIfRunning(BehaviourTreeContext&, uint32_t) const {}

void BehaviourNode::FreeNodeData(BehaviourTreeContext&, uint32_t) const {}

uint32_t BehaviourNode::GetTreeDataSize() const
{
    uint32_t size = GetDataSize();
    for (const BehaviourNode* child : m_children)
        if (child != nullptr)
            size += child->GetTreeDataSize();
    return size;
}

uint32_t BehaviourNode::GetTotalDataSize() const
{
    uint32_t size = GetDataSize();
    for (const BehaviourNode* child : m_children)
        if (child != nullptr)
            size += child->GetTotalDataSize();
    return size;
}

void BehaviourNode::CollectListenedKeys(DynarraySafe<NameString>& keys) const
{
    for (const BehaviourTreePropertyListener* listener : m_listeners)
    {
        if (listener == nullptr || listener->GetKey().IsEmpty())
            continue;
        bool listed = false;
        for (const NameString& key : keys)
            listed = listed || key == listener->GetKey();
        if (!listed)
            keys.Add(listener->GetKey());
    }
    CollectSubtreeListenedKeys(keys);
}

void BehaviourNode::CollectSubtreeListenedKeys(DynarraySafe<NameString>& keys) const
{
    for (uint32_t i = 0; i < GetChildCount(); ++i)
        if (const BehaviourNode* child = GetChild(i))
            child->CollectListenedKeys(keys);
}

void BehaviourNode::GetListenableProperties(DynarraySafe<NameString>& names) const
{
    // The node's own table and its bases, the base class's properties first.
    Dynarray<const RTTIPropertiesBase*> tables;
    for (const RTTIPropertiesBase* table = GetClassProperties(); table != nullptr; table = table->GetBaseTable())
        tables.Insert(table, 0);
    const int32_t before = names.Count();
    for (const RTTIPropertiesBase* table : tables)
        for (const RTTIProperty* property : table->GetProperties())
            if ((property->GetFlags() & kListenableFlag) != 0)
                names.Add(NameString(property->GetName().c_str()));
    if (names.Count() == before)
        names.Add(NameString("Empty"));
}

const BehaviourTreePropertyListener* BehaviourNode::FindListener(const NameString& property) const
{
    for (const BehaviourTreePropertyListener* listener : m_listeners)
        if (listener != nullptr && listener->GetProperty() == property)
            return listener;
    return nullptr;
}

void BehaviourNode::AddListener(BehaviourTreePropertyListener* listener)
{
    if (listener == nullptr)
        return;
    listener->SetOwner(this);
    m_listeners.Add(listener);
}

namespace
{
// The pair a node's listener bound to `property` reads in the current scope, or -1 (use the field).
int32_t FindBoundPair(const BehaviourNode& node, const BehaviourTreeContext* ctx, const NameString& property,
                      const BehaviourPropertyStore*& store)
{
    if (node.GetListeners().IsEmpty() || ctx == nullptr || (store = ctx->GetPropertyStore()) == nullptr)
        return -1;
    const BehaviourTreePropertyListener* listener = node.FindListener(property);
    return listener != nullptr ? store->Find(listener->GetKey().CStr()) : -1;
}
} // namespace

bool BehaviourNode::IsInterruptible(const BehaviourTreeContext& ctx, uint32_t) const
{
    const BehaviourPropertyStore* store = nullptr;
    const int32_t pair = FindBoundPair(*this, &ctx, InterruptedName(), store);
    return pair >= 0 ? store->ReadBool(pair) : m_interrupted;
}

bool BehaviourNode::IsDisabled(const BehaviourTreeContext* ctx) const
{
    const BehaviourPropertyStore* store = nullptr;
    const int32_t pair = FindBoundPair(*this, ctx, DisabledName(), store);
    return pair >= 0 ? store->ReadBool(pair) : m_disabled;
}

uint32_t BehaviourNode::GetWeight(const BehaviourTreeContext& ctx, uint32_t) const
{
    const BehaviourPropertyStore* store = nullptr;
    const int32_t pair = FindBoundPair(*this, &ctx, WeightName(), store);
    return pair >= 0 ? store->ReadUnsigned(pair) : m_weight;
}

float BehaviourNode::ReadBoundFloat(const BehaviourTreeContext* ctx, const NameString& property, float field) const
{
    const BehaviourPropertyStore* store = nullptr;
    const int32_t pair = FindBoundPair(*this, ctx, property, store);
    return pair >= 0 ? store->ReadFloat(pair) : field;
}

bool BehaviourNode::CanInterrupt(const BehaviourTreeContext& ctx, uint32_t base) const
{
    return IsInterruptible(ctx, base);
}

void BehaviourNode::LinkTrees(BehaviourTreeTemplate* owner)
{
    for (BehaviourNode* child : m_children)
        if (child != nullptr)
            child->LinkTrees(owner);
}

bool BehaviourNode::CheckNoCycles(Dynarray<const BehaviourNode*>& visited)
{
    for (const BehaviourNode* node : visited)
        if (node == this)
            return false;
    bool clear = true;
    for (uint32_t i = 0; i < GetChildCount(); ++i)
        if (BehaviourNode* child = GetChild(i))
            clear = child->CheckNoCycles(visited) && clear;
    return clear;
}

void BehaviourNode::OnTreeRemoved(int32_t treeIndex)
{
    for (BehaviourNode* child : m_children)
        if (child != nullptr)
            child->OnTreeRemoved(treeIndex);
}

void BehaviourNode::PreloadLinks()
{
    for (BehaviourNode* child : m_children)
        if (child != nullptr)
            child->PreloadLinks();
}

int32_t BehaviourNode::Tick(BehaviourTreeContext&, uint32_t) const
{
    return BT_FAILURE;
}

int32_t BehaviourNode::CheckCondition(BehaviourTreeContext&, uint32_t) const
{
    return BT_SUCCESS;
}

int32_t BehaviourNode::CheckOwnCondition(BehaviourTreeContext&, uint32_t) const
{
    return BT_SUCCESS;
}

int32_t BehaviourNode::OnEnter(BehaviourTreeContext&, uint32_t) const
{
    return BT_RUNNING;
}

int32_t BehaviourNode::Execute(BehaviourTreeContext&, uint32_t) const
{
    return BT_SUCCESS;
}

void BehaviourNode::OnExit(BehaviourTreeContext&, uint32_t, bool) const {}
