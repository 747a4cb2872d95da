// SceneNamesTable: the list of every scene of the game, kept as one object record in the data file
// "Scenes.Config" of the "Common" folder. The options service's resource usage dump switches to
// each scene in turn. Main thread only.
#pragma once

#include "core/containers/Dynarray.h"
#include "core/reflection/RTTIPolyBaseClass.h"
#include "core/strings/NameString.h"

// The reflected list of scene names ("Scene Names").
class SceneNamesTable : public RTTIPolyBaseClass
{
    RTTI_DECLARE_CLASS(SceneNamesTable, RTTIPolyBaseClass)

public:
    static constexpr const char* kFileName = "Scenes.Config";
    static constexpr const char* kFolder = "Common";

    // Reads "Scenes.Config"; false (the list left empty) when the file does not open or is bad.
    bool Load();

    DynarraySafe<NameString> m_sceneNames;
};
