// A game delegate whose hooks call script methods. Main thread only.
#pragma once

#include "engine/scripting/GameDelegate.h"

// Adds the two script call forms and the delegate's script class name.
class LuaGameDelegate : public GameDelegate
{
public:
    // The script class of the delegate; the most derived class answers.
    virtual const char* GetScriptClassName() const = 0;
    // Runs the entity's OnInit passes (EntityScript::CallOnInit).
    void OnEntityScriptStart(Entity* entity) override;

protected:
    // The arguments are on the Lua stack. Class "Game", self = gGame.
    bool CallGameForm(const char* method, int argumentCount = 0, int resultCount = 0);
    // The delegate's own script class, self = the delegate.
    bool CallOwnForm(const char* method, int argumentCount = 0, int resultCount = 0);
};
