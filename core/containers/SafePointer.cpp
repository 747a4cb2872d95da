#include "core/containers/SafePointer.h"

SafePointerNode::~SafePointerNode()
{
    if (m_target != nullptr)
        m_target->UnlinkSafePointer(this);
}

void SafePointerNode::SetTargetRoot(SafePointerRoot* target)
{
    if (target == m_target)
        return;
    if (m_target != nullptr)
        m_target->UnlinkSafePointer(this);
    m_target = target;
    if (target != nullptr)
        target->LinkSafePointer(this);
}

void SafePointerRoot::LinkSafePointer(SafePointerNode* node)
{
    if (m_head != nullptr)
    {
        m_head->m_previous = node;
        node->m_next = m_head;
    }
    m_head = node;
}

void SafePointerRoot::UnlinkSafePointer(SafePointerNode* node)
{
    if (node == m_head)
        m_head = node->m_next;
    if (node->m_previous != nullptr)
        node->m_previous->m_next = node->m_next;
    if (node->m_next != nullptr)
        node->m_next->m_previous = node->m_previous;
    node->m_next = nullptr;
    node->m_previous = nullptr;
}

void SafePointerRoot::InvalidateSafePointers()
{
    SafePointerNode* node = m_head;
    m_head = nullptr;
    while (node != nullptr)
    {
        SafePointerNode* const next = node->m_next;
        node->m_next = nullptr;
        node->m_previous = nullptr;
        node->OnTargetDestroyed();
        node = next;
    }
}
