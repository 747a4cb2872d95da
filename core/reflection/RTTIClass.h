// Everything a reflected class definition needs: the root, the table, the registry, the property
// kinds, and the macros that define a class's table builder and register it.
//
//   class Foo : public RTTIPolyBaseClass { RTTI_DECLARE_CLASS(Foo, RTTIPolyBaseClass) ... };
//   RTTI_DEFINE_CLASS(Foo, RTTIPolyBaseClass)
//   void Foo::BuildClassProperties(RTTIPropertiesBase& table) { table.AddProperty(...); }
//
// Nothing registers itself: each area's registration call (RegisterCoreClasses and the like) calls
// Foo::RegisterRTTIClass, so a class is known by name however the program was linked.
#pragma once

#include "core/reflection/RTTIBlockProperties.h"
#include "core/reflection/RTTIClassRegistry.h"
#include "core/reflection/RTTIObjectProperties.h"
#include "core/reflection/RTTIPolyBaseClass.h"
#include "core/reflection/RTTIPropertiesBase.h"
#include "core/reflection/RTTITypedProperty.h"

#include <type_traits>

namespace rtti
{
// Classes built directly on the root name "RTTIPropertiesBase" as their table's base: no base table.
template <class TBase>
constexpr const char* TableBaseName(const char* baseName)
{
    return std::is_same_v<TBase, RTTIPolyBaseClass> ? "RTTIPropertiesBase" : baseName;
}

template <class TBase>
constexpr RTTIPropertiesBase* (*BaseTableBuilder())()
{
    if constexpr (std::is_same_v<TBase, RTTIPolyBaseClass>)
        return nullptr;
    else
        return &TBase::StaticClassProperties;
}
} // namespace rtti

// Defines the lazily built table of a class (no creator: abstract classes, embedded helpers).
#define RTTI_DEFINE_CLASS_TABLE(Class, Base)                                                               \
    RTTIPropertiesBase* Class::StaticClassProperties()                                                     \
    {                                                                                                      \
        static RTTIPropertiesBase* const table = RTTIBuildClassTable<Class>(                               \
            #Class, rtti::TableBaseName<Base>(#Base), rtti::BaseTableBuilder<Base>());                     \
        return table;                                                                                      \
    }

// Defines the table and the registration call that gives the class a creator.
#define RTTI_DEFINE_CLASS(Class, Base)                                                                     \
    RTTI_DEFINE_CLASS_TABLE(Class, Base)                                                                   \
    int Class::RegisterRTTIClass()                                                                         \
    {                                                                                                      \
        return RTTIClassRegistry::EnsureClassRegistered(#Class, #Base,                                     \
                                                        [](int) -> RTTIPolyBaseClass* { return new Class; }); \
    }
