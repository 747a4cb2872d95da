#include "gameplay/behaviour/BTTaskChangePropertyDecorator.h"

#include "gameplay/behaviour/BehaviourTreePropertyBindings.h"

RTTI_DEFINE_CLASS(BTTaskChangePropertyDecorator, BehaviourNode)

void BTTaskChangePropertyDecorator::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = BTTaskChangePropertyDecorator;
    table.AddProperty(new RTTIDynarrayOfPolyObjectPointersProperty<C, BehaviourTreePropertySpeaker>(
        "Speakers", &C::m_speakers, "", 0x110000));
}

BTTaskChangePropertyDecorator::~BTTaskChangePropertyDecorator()
{
    m_speakers.DeleteAllPointers();
}

void BTTaskChangePropertyDecorator::InvalidateSafePointers()
{
    BehaviourDecorator::InvalidateSafePointers();
    for (BehaviourTreePropertySpeaker* speaker : m_speakers)
        if (speaker != nullptr)
            speaker->InvalidateSafePointers();
}

void BTTaskChangePropertyDecorator::LinkListeners()
{
    BehaviourDecorator::LinkListeners();
    for (BehaviourTreePropertySpeaker* speaker : m_speakers)
        if (speaker != nullptr)
            speaker->SetOwner(this);
}

void BTTaskChangePropertyDecorator::AddSpeaker(BehaviourTreePropertySpeaker* speaker)
{
    if (speaker == nullptr)
        return;
    speaker->SetOwner(this);
    m_speakers.Add(speaker);
}

void BTTaskChangePropertyDecorator::ResetNodeData(BehaviourTreeContext& ctx, uint32_t base) const
{
    BehaviourDecorator::ResetNodeData(ctx, base);
    BehaviourScopeSlice& slice = SliceAs<BehaviourScopeSlice>(ctx, base);
    slice.store = nullptr;
    slice.saved = nullptr;
}

void BTTaskChangePropertyDecorator::CreateNodeScope(BehaviourTreeContext& ctx, uint32_t base) const
{
    BehaviourScopeSlice& slice = SliceAs<BehaviourScopeSlice>(ctx, base);
    if (slice.store == nullptr)
        slice.store = new BehaviourPropertyStore;
}

void BTTaskChangePropertyDecorator::DestroyNodeScope(BehaviourTreeContext& ctx, uint32_t base) const
{
    BehaviourScopeSlice& slice = SliceAs<BehaviourScopeSlice>(ctx, base);
    delete slice.store;
    slice.store = nullptr;
}

void BTTaskChangePropertyDecorator::PrepareContext(BehaviourTreeContext& ctx, uint32_t base) const
{
    CreateNodeScope(ctx, base);
    // The child's Disabled, and everything below, is read inside the new scope.
    const bool pushed = PushScope(ctx, base);
    BuildActiveChildren(ctx, base);
    if (const BehaviourNode* child = GetChild(0))
        child->PrepareContext(ctx, base);
    if (pushed)
        PopScope(ctx, base);
}

bool BTTaskChangePropertyDecorator::PushScope(BehaviourTreeContext& ctx, uint32_t base) const
{
    BehaviourScopeSlice& slice = SliceAs<BehaviourScopeSlice>(ctx, base);
    BehaviourPropertyStore* const own = slice.store;
    if (own == nullptr)
        return false;
    BehaviourPropertyStore* const outer = ctx.GetPropertyStore();
    slice.saved = outer;
    own->Clear();
    for (const BehaviourTreePropertySpeaker* speaker : m_speakers)
        if (speaker != nullptr)
            own->Set(speaker->GetKey(), speaker->GetValue());
    if (outer != nullptr)
        for (const BehaviourTreePropertyListener* listener : GetListeners())
            if (listener != nullptr)
                if (const int32_t pair = outer->Find(listener->GetKey().CStr()); pair >= 0)
                    own->Set(listener->GetProperty(), outer->ReadText(pair));
    ctx.SetPropertyStore(own);
    return true;
}

void BTTaskChangePropertyDecorator::PopScope(BehaviourTreeContext& ctx, uint32_t base) const
{
    BehaviourScopeSlice& slice = SliceAs<BehaviourScopeSlice>(ctx, base);
    ctx.SetPropertyStore(slice.saved);
    slice.saved = nullptr;
}

int32_t BTTaskChangePropertyDecorator::TickChild(BehaviourTreeContext& ctx, uint32_t base) const
{
    const bool pushed = PushScope(ctx, base);
    const int32_t result = BehaviourDecorator::TickChild(ctx, base);
    if (pushed)
        PopScope(ctx, base);
    return result;
}

int32_t BTTaskChangePropertyDecorator::CheckCondition(BehaviourTreeContext& ctx, uint32_t base) const
{
    if (Slice(ctx, base).activeCount == 0)
        return BT_FAILURE;
    const bool pushed = PushScope(ctx, base);
    const int32_t result = ActiveChild(ctx, base)->CheckCondition(ctx, base);
    if (pushed)
        PopScope(ctx, base);
    return result;
}

void BTTaskChangePropertyDecorator::CollectListenedKeys(DynarraySafe<NameString>& keys) const
{
    // Its subtree reads from its own scope: only the keys it forwards from outside are listened to.
    for (const BehaviourTreePropertyListener* listener : GetListeners())
    {
        if (listener == nullptr || listener->GetKey().IsEmpty())
            continue;
        bool listed = false;
        for (const NameString& key : keys)
            listed = listed || key == listener->GetKey();
        if (!listed)
            keys.Add(listener->GetKey());
    }
}
