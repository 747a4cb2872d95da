// BehaviourTreeEntity: the entity a BehaviourTreeTemplate makes, which runs one of its trees. Tree
// evaluation belongs to the gameplay services and is not built: the entity says so once in the log
// when it is first set up. Main thread only.
#pragma once

#include "scene/entities/Entity.h"

// Entity that runs a behaviour tree (not built yet).
class BehaviourTreeEntity : public Entity
{
    RTTI_DECLARE_CLASS(BehaviourTreeEntity, Entity)

public:
    void PostCreateInit() override;
};
