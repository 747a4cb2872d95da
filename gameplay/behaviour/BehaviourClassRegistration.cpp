#include "gameplay/behaviour/BehaviourClassRegistration.h"

#include "gameplay/behaviour/BTTaskAction.h"
#include "gameplay/behaviour/BTTaskChangePropertyDecorator.h"
#include "gameplay/behaviour/BTTaskRandomSelector.h"
#include "gameplay/behaviour/BTTaskRootDecorators.h"
#include "gameplay/behaviour/BTTaskSelectors.h"
#include "gameplay/behaviour/BTTaskSequences.h"
#include "gameplay/behaviour/BehaviourDecorator.h"
#include "gameplay/behaviour/BehaviourTreePropertyBindings.h"

void RegisterBehaviourTreeClasses()
{
    BehaviourNode::RegisterRTTIClass();
    BTTaskSequence::RegisterRTTIClass();
    BTTaskRotateSequence::RegisterRTTIClass();
    BTTaskSelector::RegisterRTTIClass();
    BTTaskPrioritySelector::RegisterRTTIClass();
    BTTaskRotateSelector::RegisterRTTIClass();
    BTTaskRandomSelector::RegisterRTTIClass();
    BTTaskAction::RegisterRTTIClass();
    BTTaskDummyDecorator::RegisterRTTIClass();
    BTTaskRandomDecorator::RegisterRTTIClass();
    BTTaskChangeStateDecorator::RegisterRTTIClass();
    BTTaskAlwaysTrueActionDecorator::RegisterRTTIClass();
    BTTaskRootDecorator::RegisterRTTIClass();
    BTTaskRootLinkDecorator::RegisterRTTIClass();
    BTTaskChangePropertyDecorator::RegisterRTTIClass();
    BehaviourTreePropertySpeaker::RegisterRTTIClass();
    BehaviourTreePropertyListener::RegisterRTTIClass();
}
