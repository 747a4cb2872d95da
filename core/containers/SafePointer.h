// Weak references that never dangle. Only the thread that owns the objects (the main thread for
// entities) may link, unlink or destroy them: there is no lock.
//
// An object others may point at derives from SafePointerRoot. Each SafePointer links itself into an
// intrusive list held by its target; a dying target detaches the list and clears every pointer in
// it. Nothing is reference-counted: the target's lifetime is decided elsewhere.
#pragma once

#include "core/containers/Dynarray.h"

class SafePointerRoot;

// One link in a target's list of the pointers to it.
class SafePointerNode
{
public:
    SafePointerNode(const SafePointerNode&) = delete;
    SafePointerNode& operator=(const SafePointerNode&) = delete;
    // A node still linked unlinks itself, so its target's list never holds freed memory.
    virtual ~SafePointerNode();

    // Called by the dying target after the node was detached from its list.
    virtual void OnTargetDestroyed() { m_target = nullptr; }

protected:
    SafePointerNode() = default;

    // Unlinks from the old target (if any) and links into the new one's list (if any).
    void SetTargetRoot(SafePointerRoot* target);
    SafePointerRoot* GetTargetRoot() const { return m_target; }

private:
    friend class SafePointerRoot;

    SafePointerNode* m_next = nullptr;
    SafePointerNode* m_previous = nullptr;
    SafePointerRoot* m_target = nullptr;
};

// Base of every object that safe pointers may point at.
class SafePointerRoot
{
public:
    SafePointerRoot() = default;
    // A copy is not pointed at by the pointers to its source.
    SafePointerRoot(const SafePointerRoot&) {}
    SafePointerRoot& operator=(const SafePointerRoot&) { return *this; }
    virtual ~SafePointerRoot() { SafePointerRoot::InvalidateSafePointers(); }

    // Detaches the whole list and clears every pointer in it.
    virtual void InvalidateSafePointers();

    void LinkSafePointer(SafePointerNode* node);
    void UnlinkSafePointer(SafePointerNode* node);
    bool HasSafePointers() const { return m_head != nullptr; }

private:
    SafePointerNode* m_head = nullptr;
};

// Weak pointer to a T (a SafePointerRoot); null once the target is destroyed.
template <typename T>
class SafePointer : public SafePointerNode
{
public:
    SafePointer() = default;
    SafePointer(T* target) { Set(target); }
    SafePointer(const SafePointer& other) : SafePointerNode() { Set(other.Get()); }
    SafePointer& operator=(const SafePointer& other)
    {
        Set(other.Get());
        return *this;
    }
    SafePointer& operator=(T* target)
    {
        Set(target);
        return *this;
    }

    void Set(T* target) { SetTargetRoot(target); }
    T* Get() const { return static_cast<T*>(GetTargetRoot()); }
    T* operator->() const { return Get(); }
    T& operator*() const { return *Get(); }
    explicit operator bool() const { return GetTargetRoot() != nullptr; }
    bool operator==(const SafePointer& other) const { return GetTargetRoot() == other.GetTargetRoot(); }
    bool operator==(const T* target) const { return Get() == target; }
};

// Array of safe pointers held by value: each element is linked into its own target's list, and
// growth relinks the elements instead of copying them bytewise.
template <typename T>
using SafePointerArray = DynarraySafe<SafePointer<T>>;
