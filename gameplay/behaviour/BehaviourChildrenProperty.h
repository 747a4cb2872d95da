// The stored child list of a behaviour node: a dynarray of node pointers whose record is refused
// when it holds more children than a node can address. Main thread (and the resource thread while
// it reads templates).
#pragma once

#include "core/console/GameConsole.h"
#include "core/reflection/RTTIObjectProperties.h"

#include <cstdint>

class BehaviourNode;

template <class TClass>
class BehaviourChildrenProperty : public RTTIDynarrayOfPolyObjectPointersProperty<TClass, BehaviourNode>
{
    using Base = RTTIDynarrayOfPolyObjectPointersProperty<TClass, BehaviourNode>;

public:
    // Active child counts and indices are bytes: a 256th child could never be ticked and would wrap
    // the count of the ones before it.
    static constexpr uint32_t kMaxChildren = 255;

    BehaviourChildrenProperty(const char* name, Dynarray<BehaviourNode*> TClass::*member) : Base(name, member) {}

    bool Validate(RecordInput& in, uint32_t flags) const override
    {
        RecordInput peek = in;
        uint32_t count = 0;
        if (peek.ReadU32(count) && count > kMaxChildren)
        {
            gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Behaviour node with %u children refused (at most %u)", count,
                           kMaxChildren);
            return false;
        }
        return Base::Validate(in, flags);
    }
};
