// UIRoundList: a list whose entries are generated from an integer range, each entry's texts showing
// its number through the text variable "Value". Its last entries wrap round to the top. Main thread
// (the motion is the list's).
#pragma once

#include "ui/widgets/UIList.h"

#include <cstdint>
#include <memory>
#include <vector>

class StringReplacementContainer;

// A list of the numbers of a range.
class UIRoundList : public UIList
{
public:
    UIRoundList();
    ~UIRoundList() override;

    bool IsUIRoundList() const override { return true; }
    // Unless creation flag bit 0 is set: one "RoundListEntry" entry per number from the range's
    // start to its end inclusive, then the last two moved to the top.
    void OnCreated(uint32_t creationFlags) override;
    // Drops the entries' variables on the main thread, whose texts share them.
    void OnRemoved() override;

    void SetRange(int32_t from, int32_t to);
    int32_t GetRangeFrom() const { return m_rangeFrom; }
    int32_t GetRangeTo() const { return m_rangeTo; }
    uint32_t GetGeneratedCount() const { return m_generated; }
    // Moves the last entry above the first one.
    void ThrowLastElementUp();
    float GetRunningOffset() const { return m_runningOffset; }
    float GetTopOffset() const { return m_topOffset; }
    float GetBottomOffset() const { return m_bottomOffset; }

private:
    int32_t m_rangeFrom = 0;
    int32_t m_rangeTo = 10;
    int32_t m_rangeCount = 10;
    uint32_t m_generated = 0;
    float m_entryHeight = 0.0f;
    UIElement* m_firstEntry = nullptr;
    UIElement* m_lastEntry = nullptr;
    float m_topOffset = 0.0f;
    float m_bottomOffset = 0.0f;
    float m_runningOffset = 0.0f;
    // One set of variables per generated entry ("Value"); main thread.
    std::vector<std::unique_ptr<StringReplacementContainer>> m_entryVariables;
};
