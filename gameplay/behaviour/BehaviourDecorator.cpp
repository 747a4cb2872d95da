#include "gameplay/behaviour/BehaviourDecorator.h"

#include "core/math/RandomGenerator.h"

bool BehaviourDecorator::InsertChild(BehaviourNode* node)
{
    if (node == nullptr || WouldCloseLoop(node))
        return false;
    // The held child moves under the new node first, so a node that refuses it leaves all as it was.
    if (BehaviourNode* held = GetChild(0); held != nullptr && held != node && !node->AddChild(held))
        return false;
    if (GetChild(0) == node)
        return true;
    AttachChild(node, false);
    return true;
}

void BehaviourDecorator::ResetNodeData(BehaviourTreeContext& ctx, uint32_t base) const
{
    BehaviourNodeSlice& slice = Slice(ctx, base);
    slice.state = -1;
    slice.activeIndices = nullptr;
    slice.activeCount = 0;
}

void BehaviourDecorator::BuildActiveChildren(BehaviourTreeContext& ctx, uint32_t base) const
{
    const BehaviourNode* child = GetChild(0);
    Slice(ctx, base).activeCount = child != nullptr && !child->IsDisabled(&ctx) ? 1 : 0;
}

void BehaviourDecorator::AbortIfRunning(BehaviourTreeContext& ctx, uint32_t base) const
{
    BehaviourNodeSlice& slice = Slice(ctx, base);
    if (slice.state == -1)
        return;
    slice.state = -1;
    OnExit(ctx, base, true);
}

void BehaviourDecorator::FreeNodeData(BehaviourTreeContext& ctx, uint32_t base) const
{
    BehaviourNodeSlice& slice = Slice(ctx, base);
    delete[] slice.activeIndices;
    slice.activeIndices = nullptr;
}

bool BehaviourDecorator::CanInterrupt(const BehaviourTreeContext& ctx, uint32_t base) const
{
    if (!IsInterruptible(ctx, base))
        return false;
    const BehaviourNodeSlice& slice = Slice(ctx, base);
    if (slice.state == -1 || slice.activeCount == 0)
        return true;
    return ActiveChild(ctx, base)->CanInterrupt(ctx, base);
}

int32_t BehaviourDecorator::TickChild(BehaviourTreeContext& ctx, uint32_t base) const
{
    return ActiveChild(ctx, base)->Tick(ctx, base);
}

int32_t BehaviourDecorator::DecoratorTick(BehaviourTreeContext& ctx, uint32_t base) const
{
    if (ctx.IsInterruptRequested() && !IsInterruptible(ctx, base))
        ctx.SetInterruptRequested(false);
    BehaviourNodeSlice& slice = Slice(ctx, base);
    int32_t result;
    if (slice.state == -1)
    {
        result = OnEnter(ctx, base);
        if (result != BT_RUNNING)
            return result;
        result = Execute(ctx, base);
        if (result == BT_RUNNING)
        {
            if (slice.activeCount == 0)
                result = BT_FAILURE;
            else if ((result = TickChild(ctx, base)) == BT_RUNNING)
            {
                slice.state = 1;
                return BT_RUNNING;
            }
        }
    }
    else if ((result = TickChild(ctx, base)) == BT_RUNNING)
        return BT_RUNNING;
    slice.state = -1;
    OnExit(ctx, base, false);
    return result;
}

int32_t BehaviourDecorator::CheckCondition(BehaviourTreeContext& ctx, uint32_t base) const
{
    if (Slice(ctx, base).activeCount == 0)
        return BT_FAILURE;
    const int32_t own = CheckOwnCondition(ctx, base);
    return own == BT_SUCCESS ? ActiveChild(ctx, base)->CheckCondition(ctx, base) : own;
}

RTTI_DEFINE_CLASS(BTTaskDummyDecorator, BehaviourNode)

void BTTaskDummyDecorator::BuildClassProperties(RTTIPropertiesBase&) {}

RTTI_DEFINE_CLASS(BTTaskRandomDecorator, BehaviourNode)

void BTTaskRandomDecorator::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = BTTaskRandomDecorator;
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, float>("Probability", &C::m_probability, kListenableFlag));
}

int32_t BTTaskRandomDecorator::CheckOwnCondition(BehaviourTreeContext& ctx, uint32_t) const
{
    static const NameString probabilityName("Probability");
    // The old state's top 16 bits as a percentage in [0, 100).
    const float roll = float(gRandomGenerators[0].NextLinear()) * (1.0f / 65536.0f) * 100.0f;
    const float probability = ReadBoundFloat(&ctx, probabilityName, m_probability);
    return probability > roll ? BT_SUCCESS : BT_FAILURE;
}

namespace
{
const char* const kReturnStateNames[] = {"Default", "Invert", "Success", "Failure", nullptr};
} // namespace

RTTI_DEFINE_CLASS(BTTaskChangeStateDecorator, BehaviourNode)

void BTTaskChangeStateDecorator::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = BTTaskChangeStateDecorator;
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, uint32_t>("Condition return state",
                                                                     &C::m_conditionReturnState, 0x80))
        ->SetEnumerationNames(kReturnStateNames);
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, uint32_t>("Execution return state",
                                                                     &C::m_executionReturnState, 0x80))
        ->SetEnumerationNames(kReturnStateNames);
}

int32_t BTTaskChangeStateDecorator::Map(int32_t result, uint32_t state)
{
    switch (state)
    {
    case RETURN_INVERT: return result == BT_SUCCESS ? BT_FAILURE : BT_SUCCESS;
    case RETURN_SUCCESS: return BT_SUCCESS;
    case RETURN_FAILURE: return BT_FAILURE;
    default: return result;
    }
}

int32_t BTTaskChangeStateDecorator::Tick(BehaviourTreeContext& ctx, uint32_t base) const
{
    const int32_t result = DecoratorTick(ctx, base);
    return result == BT_RUNNING ? BT_RUNNING : Map(result, m_executionReturnState);
}

int32_t BTTaskChangeStateDecorator::CheckCondition(BehaviourTreeContext& ctx, uint32_t base) const
{
    if (Slice(ctx, base).activeCount == 0)
        return BT_FAILURE;
    const int32_t own = CheckOwnCondition(ctx, base);
    if (own != BT_SUCCESS)
        return own;
    return Map(ActiveChild(ctx, base)->CheckCondition(ctx, base), m_conditionReturnState);
}

RTTI_DEFINE_CLASS(BTTaskAlwaysTrueActionDecorator, BehaviourNode)

void BTTaskAlwaysTrueActionDecorator::BuildClassProperties(RTTIPropertiesBase&) {}

int32_t BTTaskAlwaysTrueActionDecorator::Tick(BehaviourTreeContext& ctx, uint32_t base) const
{
    const int32_t result = DecoratorTick(ctx, base);
    return result == BT_FAILURE ? BT_SUCCESS : result;
}
