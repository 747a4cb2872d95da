#include "engine/config/SceneNamesTable.h"

#include "core/reflection/RTTIClass.h"

RTTI_DEFINE_CLASS(SceneNamesTable, RTTIPolyBaseClass)

void SceneNamesTable::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = SceneNamesTable;
    table.AddProperty(
        new RTTIDynarrayProperty<C, NameString, DynarraySafe<NameString>>("Scene Names", &C::m_sceneNames));
}

bool SceneNamesTable::Load()
{
    // The whole name is given, so no extension is added to it.
    if (LoadFromFile(kFileName, "", kFolder, 0))
        return true;
    m_sceneNames.FreeStorage();
    return false;
}
