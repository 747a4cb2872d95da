// Speakers and listeners: the bindings through which nodes of a shared behaviour tree take some of
// their settings per agent and per branch. A speaker (held by a change-property decorator) publishes
// a named text value into the decorator's scope; a listener binds one property of its node to a
// named value of the current scope. Main thread only.
#pragma once

#include "core/reflection/RTTIClass.h"
#include "core/strings/NameString.h"

class BehaviourNode;

// Publishes Value under the key Listener.
class BehaviourTreePropertySpeaker : public RTTIPolyBaseClass
{
    RTTI_DECLARE_CLASS(BehaviourTreePropertySpeaker, RTTIPolyBaseClass)

public:
    BehaviourTreePropertySpeaker() = default;
    BehaviourTreePropertySpeaker(const char* key, const char* value) : m_listener(key), m_value(value) {}

    // "Listener" offers the keys listened to below the owner, "Empty" when none, "Error" without owner.
    void GetPropertyChoices(const char* propertyName, DynarraySafe<NameString>& choices) const override;

    BehaviourNode* GetOwner() const { return m_owner; }
    void SetOwner(BehaviourNode* owner) { m_owner = owner; }
    const NameString& GetKey() const { return m_listener; }
    const NameString& GetValue() const { return m_value; }

private:
    BehaviourNode* m_owner = nullptr;
    NameString m_listener;
    NameString m_value;
};

// Binds the owner's property Property to the key Listener (on a change-property decorator: forwards
// the outer value of Listener into its scope under the key Property).
class BehaviourTreePropertyListener : public RTTIPolyBaseClass
{
    RTTI_DECLARE_CLASS(BehaviourTreePropertyListener, RTTIPolyBaseClass)

public:
    BehaviourTreePropertyListener() = default;
    BehaviourTreePropertyListener(const char* property, const char* key) : m_property(property), m_listener(key) {}

    // "Property" offers the owner's listenable properties, "Error" without owner.
    void GetPropertyChoices(const char* propertyName, DynarraySafe<NameString>& choices) const override;

    BehaviourNode* GetOwner() const { return m_owner; }
    void SetOwner(BehaviourNode* owner) { m_owner = owner; }
    const NameString& GetProperty() const { return m_property; }
    const NameString& GetKey() const { return m_listener; }

private:
    BehaviourNode* m_owner = nullptr;
    NameString m_property;
    NameString m_listener;
};
