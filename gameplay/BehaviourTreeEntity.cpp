#include "gameplay/BehaviourTreeEntity.h"

#include "core/console/GameConsole.h"

RTTI_DEFINE_CLASS_TABLE(BehaviourTreeEntity, Entity)

void BehaviourTreeEntity::BuildClassProperties(RTTIPropertiesBase&) {}

void BehaviourTreeEntity::PostCreateInit()
{
    Entity::PostCreateInit();
    static bool reported = false;
    if (!reported)
    {
        reported = true;
        gConsole.Warning(CONSOLE_CHANNEL_ENGINE, "BehaviourTreeEntity: behaviour tree evaluation is not built yet");
    }
}
