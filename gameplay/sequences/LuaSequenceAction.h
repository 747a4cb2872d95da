// LuaSequenceAction: an action of a class that scripts declared through the action factory. It keeps
// one slot per declared parameter (bool, int, float or text), which the class's property table
// reaches by name, so records, the editor and the queries see them like native properties. It keeps
// the default behaviour: it lasts its "Time". Main thread only.
#pragma once

#include "gameplay/sequences/SequenceAction.h"

#include <string>
#include <vector>

struct SequenceActionClassEntry;

class LuaSequenceAction : public SequenceAction
{
public:
    // One parameter: its name, its kind and its value.
    struct Param
    {
        std::string name;
        uint32_t kind = 0;
        bool boolValue = false;
        int32_t intValue = 0;
        float floatValue = 0.0f;
        std::string textValue;
    };

    explicit LuaSequenceAction(SequenceActionClassEntry* entry);
    ~LuaSequenceAction() override;
    LuaSequenceAction(const LuaSequenceAction&) = delete;
    LuaSequenceAction& operator=(const LuaSequenceAction&) = delete;

    RTTIPropertiesBase* GetClassProperties() const override;
    const char* GetActionClassName() const override;

    Param* FindParam(const std::string& name, uint32_t kind);
    const Param* FindParam(const std::string& name, uint32_t kind) const;
    std::vector<Param>& GetParams() { return m_params; }
    // The factory forgets its entries at shutdown.
    void DetachEntry() { m_entry = nullptr; }

    // The class registry's creator for script-declared classes.
    static RTTIPolyBaseClass* Create(int classId);

private:
    std::vector<Param> m_params;
    SequenceActionClassEntry* m_entry;
};
