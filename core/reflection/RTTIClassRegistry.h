// Class names to class ids and creators, so that objects can be made from a class name read from
// data. Classes are registered by explicit per-area calls (RegisterCoreClasses, RegisterEngineClasses
// and the like) that start-up, tests and tools make on the main thread before any object is read;
// lookups run on the main thread.
#pragma once

#include <cstdint>

class RTTIPolyBaseClass;

// Registry of the reflected classes by name (case-sensitive) and id (registration order).
class RTTIClassRegistry
{
public:
    using Creator = RTTIPolyBaseClass* (*)(int classId);

    // Returns the new class id; a name registered twice gets a second id.
    static int RegisterClass(const char* className, const char* baseClassName, Creator creator);
    // The id of a class already registered under exactly this name, else a new registration: the
    // per-area registration calls may run more than once (start-up, tests, tools).
    static int EnsureClassRegistered(const char* className, const char* baseClassName, Creator creator);
    // The first id registered under exactly this name, or -1.
    static int FindClassId(const char* className);
    // A new object of the named class, or null (unknown name or no creator).
    static RTTIPolyBaseClass* CreateObject(const char* className);
    static const char* GetBaseClassName(int classId);
    static int GetClassCount();
    static const char* GetClassName(int classId);
    // Frees every row (at exit).
    static void Clear();
};
