#include "ui/render/UIRenderFrame.h"

#include "ui/elements/UIDeferredDeletion.h"
#include "ui/widgets/UIAction.h"

UIRenderFrame gUIFrame;

void UpdateUIRenderFrame(uint64_t systemClock, uint64_t gameClock, uint64_t gameplayClock)
{
    SetUIActionClocks({Time(int64_t(gameClock)), Time(int64_t(gameplayClock)), Time(int64_t(systemClock))});
    PublishPendingUIElementDeletion();
}
